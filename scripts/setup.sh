#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
set -euo pipefail

# Wine runs the 64-bit test builds of the Windows programs; no 32-bit Wine is
# installed on the machine. debootstrap makes the private i386 root in which
# one smoke test runs the i686 binaries under a 32-bit Wine. g++-multilib
# builds the model NT kernel, a 32-bit x86 program that runs the shipped driver.
packages=(cmake g++ g++-multilib make libgtest-dev clang clang-format libclang-rt-14-dev mingw-w64
          wine wine64 xvfb xdotool imagemagick debootstrap)

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
