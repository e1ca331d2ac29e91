#!/usr/bin/env bash
# A private i386 Debian root with a 32-bit Wine, so that the shipped i686
# binaries can run under Wine without installing 32-bit Wine on the machine.
# The host's packages and Wine stay untouched.
#
#   i386-root.sh prepare ROOT   make ROOT once (debootstrap and wine32, about
#                               two minutes); exit 77 when this kernel runs no
#                               32-bit processes or root rights are missing
#   i386-root.sh run ROOT DIR... -- COMMAND...
#                               run COMMAND in ROOT, each DIR visible at its
#                               own path; mounts live in a namespace of the
#                               command's own and vanish with it, and every
#                               process left behind ends with it
#   i386-root.sh session ROOT PIDFILE [DIR...]
#                               the same namespace, lasting: starts it in the
#                               background and writes the pid of its first
#                               process to PIDFILE, for the two below
#   i386-root.sh enter PIDFILE -- COMMAND...
#                               run COMMAND in that session, in the current
#                               folder when the session sees it (else /), with
#                               DISPLAY, WINEPREFIX and WINEDEBUG passed on;
#                               programs of one session share /tmp, and so
#                               one wineserver per prefix
#   i386-root.sh end PIDFILE    end the session and every process in it
#
# i386 programs run on the kernel's own 32-bit support. User-mode emulation
# (qemu-i386) cannot stand in for it: Wine's fault handler sees no trap
# number there ("Got unexpected trap -1") and its processes fail.
set -uo pipefail

usage() {
    echo "usage: i386-root.sh prepare ROOT | run ROOT [DIR...] -- COMMAND..." >&2
    echo "       i386-root.sh session ROOT PIDFILE [DIR...] | enter PIDFILE -- COMMAND... | end PIDFILE" >&2
    exit 2
}
[ $# -ge 2 ] || usage
action=$1 root=$(realpath -m "$2")
shift 2

# The mirror apt already uses on this machine.
debian_mirror() {
    local uri
    uri=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources 2>/dev/null |
          awk '/^deb / && $2 !~ /security/ { print ($2 ~ /^\[/ ? $3 : $2); exit }
               /^URIs:/ && $2 !~ /security/ { print $2; exit }')
    echo "${uri:-http://deb.debian.org/debian}"
}

prepare() {
    [ -f "$root/.pelmix-ready" ] && return 0
    [ "$(id -u)" -eq 0 ] || { echo "i386-root: making the root needs root rights" >&2; return 77; }
    command -v debootstrap >/dev/null || { echo "i386-root: debootstrap is not installed" >&2; return 1; }
    rm -rf "$root"
    mkdir -p "$root"
    local log=$root.log
    echo "i386-root: making $root (log in $log)" >&2
    debootstrap --arch=i386 --foreign --variant=minbase bookworm "$root" "$(debian_mirror)" > "$log" 2>&1 ||
        { echo "i386-root: debootstrap failed, see $log" >&2; return 1; }
    if ! chroot "$root" /bin/true 2>> "$log"; then
        echo "i386-root: this kernel runs no 32-bit processes" >&2
        rm -rf "$root"
        return 77
    fi
    chroot "$root" /debootstrap/debootstrap --second-stage >> "$log" 2>&1 ||
        { echo "i386-root: debootstrap's second stage failed, see $log" >&2; return 1; }
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    run_in_root -- bash -c 'apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
        --no-install-recommends wine wine32 && apt-get clean' >> "$log" 2>&1 ||
        { echo "i386-root: installing wine32 failed, see $log" >&2; return 1; }
    touch "$root/.pelmix-ready"
}

# run_in_root DIR... -- COMMAND...: a new mount and process namespace, so the
# mounts vanish and no process outlives the command.
run_in_root() {
    local dirs=() dir
    while [ $# -gt 0 ] && [ "$1" != -- ]; do
        dir=$(cd "$1" && pwd) || return 125
        dirs+=("$dir")
        shift
    done
    [ "${1:-}" = -- ] && shift
    [ $# -gt 0 ] || usage
    unshare --mount --pid --fork --propagation private -- bash -c '
        root=$1 count=$2
        shift 2
        mount -t proc proc "$root/proc" && mount --rbind /dev "$root/dev" &&
            mount -t tmpfs tmpfs "$root/tmp" || exit 125
        for dir in "${@:1:$count}"; do
            mkdir -p "$root$dir" && mount --bind "$dir" "$root$dir" || exit 125
        done
        shift "$count"
        cd / && exec chroot "$root" /usr/bin/env -i PATH=/usr/bin:/bin:/usr/sbin:/sbin \
            HOME=/root LANG=C.UTF-8 "$@"
    ' bash "$root" "${#dirs[@]}" "${dirs[@]}" "$@"
}

# The session's first process (the namespace's init) and its root, from PIDFILE.
session_of() {
    read -r session_init session_root < "$1" 2>/dev/null &&
        [ -d "/proc/$session_init" ] || { echo "i386-root: no session in $1" >&2; return 125; }
}

# session PIDFILE DIR...: a namespace held open by a sleep; its pid (the
# namespace's pid 1, seen from here) and the root go to PIDFILE once its
# mounts are up.
session() {
    local pidfile=$1 holder init child
    shift
    [ -f "$root/.pelmix-ready" ] || { echo "i386-root: no root at $root; prepare it first" >&2; return 125; }
    run_in_root "$@" -- sleep infinity < /dev/null > /dev/null 2>&1 &
    holder=$!
    # The sleep is the holder's descendant (through unshare): the first
    # process down that line that is a sleep.
    for _ in $(seq 100); do
        init=$holder
        while [ "$(cat "/proc/$init/comm" 2>/dev/null)" != sleep ]; do
            child=$(awk '{ print $1 }' "/proc/$init/task/$init/children" 2>/dev/null)
            [ -n "$child" ] || break
            init=$child
        done
        [ "$(cat "/proc/$init/comm" 2>/dev/null)" = sleep ] && { echo "$init $root" > "$pidfile"; return 0; }
        [ -d "/proc/$holder" ] || break
        sleep 0.1
    done
    echo "i386-root: the session did not start" >&2
    [ "$init" = "$holder" ] || kill -KILL "$init" 2>/dev/null
    kill "$holder" 2>/dev/null
    return 125
}

# enter PIDFILE -- COMMAND...
enter_session() {
    local pidfile=$1
    shift
    [ "${1:-}" = -- ] && shift
    [ $# -gt 0 ] || usage
    session_of "$pidfile" || return 125
    nsenter --target "$session_init" --mount --pid -- chroot "$session_root" /usr/bin/env -i \
        PATH=/usr/bin:/bin:/usr/sbin:/sbin HOME=/root LANG=C.UTF-8 \
        ${DISPLAY:+DISPLAY=$DISPLAY} ${WINEPREFIX:+WINEPREFIX=$WINEPREFIX} ${WINEDEBUG:+WINEDEBUG=$WINEDEBUG} \
        /bin/sh -c 'cd "$1" 2>/dev/null || cd /; shift; exec "$@"' sh "$PWD" "$@"
}

# end PIDFILE: the init's end ends every process of its namespace.
end_session() {
    session_of "$1" || return 0
    kill -KILL "$session_init" 2>/dev/null
    for _ in $(seq 100); do [ -d "/proc/$session_init" ] || break; sleep 0.1; done
    rm -f "$1"
}

case $action in
    prepare) prepare ;;
    session) [ $# -ge 1 ] || usage
             session "$@" ;;
    enter) enter_session "$root" "$@" ;;
    end) end_session "$root" ;;
    run) [ -f "$root/.pelmix-ready" ] || { echo "i386-root: no root at $root; prepare it first" >&2; exit 125; }
         run_in_root "$@" ;;
    *) usage ;;
esac
