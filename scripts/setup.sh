#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
set -euo pipefail

# Wine runs the 64-bit test builds of the Windows programs; no 32-bit Wine is
# installed on the machine. debootstrap makes the private i386 root in which
# the i686 tests run the shipped binaries under a 32-bit Wine. seabios and
# ipxe-qemu bring real option ROMs, cut at their declared length, for
# biostool's tests. g++-multilib builds the model NT kernel, a 32-bit x86
# program that runs the shipped driver; qemu-user runs it where the kernel
# runs no 32-bit programs (a hypervisor may switch IA-32 emulation off).
packages=(cmake g++ g++-multilib make libgtest-dev clang clang-format libclang-rt-14-dev mingw-w64
          wine wine64 xvfb xdotool imagemagick debootstrap seabios ipxe-qemu qemu-user)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "setup: installing ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
