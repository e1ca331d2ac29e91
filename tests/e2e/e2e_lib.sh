# Shared by the end-to-end scenarios and the main job: a virtual X display,
# the project's Wine prefix with a virtual desktop, a working folder holding
# Dorvane.exe beside the emulated-hardware Pelmix.sys and its machine, and
# the robot's commands. Source it after setting:
#   E2E_BIN   Windows build folder (release/Dorvane.exe, test-tools/robot.exe,
#             emulated/Pelmix.sys)
#   E2E_OUT   folder for the working folders and the screenshots
#   E2E_PREFIX_DIR  folder of the Wine prefix (default E2E_OUT); the build
#             folder shares the prefix of the other Wine tests
# Only what it starts is stopped: its own Xvfb by pid, its own prefix's Wine
# processes with wineserver -k.

e2e_repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
xvfb_pid=

e2e_cleanup() {
    [ -n "${WINESERVER:-}" ] && "$WINESERVER" -k >/dev/null 2>&1
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
        xvfb_pid=
    fi
}

# Wine prefix and, unless E2E_USE_DISPLAY is set, a private Xvfb display.
e2e_start() {
    . "$e2e_repo/scripts/wine-env.sh" "${E2E_PREFIX_DIR:-$E2E_OUT}" || return 77
    if [ -z "${E2E_USE_DISPLAY:-}" ]; then
        local n display=
        for n in $(seq 91 140); do
            [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || { display=$n; break; }
        done
        [ -n "$display" ] || { echo "no free X display number" >&2; return 1; }
        Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >"$E2E_OUT/xvfb.log" 2>&1 &
        xvfb_pid=$!
        export DISPLAY=":$display"
        for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
    fi
    # One virtual desktop: pages get title bars and the main window maximizes.
    "$WINELOADER" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    "$WINELOADER" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
    # The desktop that reg.exe brought up predates the setting: end it.
    "$WINESERVER" -k >/dev/null 2>&1
    return 0
}

failures=0
scenario=
work=
shots=

fail() {
    echo "FAIL [$scenario]: $*"
    failures=$((failures + 1))
    shot failure
}

robot() { (cd "$work" && timeout 60 "$WINELOADER" robot.exe "$@" | tr -d '\r'); }

shot() {
    local n
    n=$(ls "$shots" 2>/dev/null | wc -l)
    import -window root "$shots/$(printf %02d "$n")-$1.png" 2>/dev/null
}

# prepare NAME MACHINE_FILE: a fresh working folder with the program, the
# robot, the emulated driver and the machine as Pelmix.machine.
prepare() {
    scenario=$1
    work=$E2E_OUT/work/$scenario
    shots=$E2E_OUT/screenshots/$scenario
    rm -rf "$work" "$shots"
    mkdir -p "$work" "$shots"
    cp "$E2E_BIN/release/Dorvane.exe" "$E2E_BIN/test-tools/robot.exe" "$work/"
    cp "$E2E_BIN/emulated/Pelmix.sys" "$work/Pelmix.sys"
    cp "$2" "$work/Pelmix.machine"
}

# The Windows form of a path in the working folder.
winpath() { "$WINELOADER" winepath -w "$1" 2>/dev/null | tr -d '\r'; }

# Starts Dorvane.exe in the working folder; its exit code lands in $work/exit.
start() {
    rm -f "$work/exit"
    (cd "$work" && timeout 300 "$WINELOADER" Dorvane.exe "$@" >/dev/null 2>&1; echo $? >"$work/exit") &
}

expect_exit() {
    local want=$1
    for _ in $(seq 600); do [ -s "$work/exit" ] && break; sleep 0.1; done
    local got
    got=$(cat "$work/exit" 2>/dev/null)
    [ "$got" = "$want" ] || fail "exit code ${got:-none}, expected $want"
}

expect_page() {
    robot wait-page "$1" "${2:-20000}" >/dev/null || { fail "page $1 did not show"; return 1; }
    shot "page-$(echo "$1" | tr ' ' '-')"
}

# expect_box NAME [LINE...]: waits for a box and compares each given line
# (caption:, text:, buttons:, default:, icon:, owner:) with the robot's.
expect_box() {
    local name=$1
    shift
    local got
    got=$(robot box "${BOX_WAIT:-60000}") || { fail "no message box ($name)"; return 1; }
    shot "box-$name"
    local line
    for line in "$@"; do
        grep -qxF -- "$line" <<<"$got" || fail "box $name: expected '$line', got: $(tr '\n' '|' <<<"$got")"
    done
    return 0
}

answer() { robot answer "$1" >/dev/null || fail "cannot answer $1"; }

# expect_state ID WANT [WHAT]: a click is posted, so its effect is awaited
# (up to 20 s) before the control's state is compared.
expect_state() {
    local got
    for _ in $(seq 100); do
        got=$(robot state "$1")
        [ "$got" = "$2" ] && return 0
        sleep 0.2
    done
    fail "${3:-control $1}: $got, expected $2"
}

# wait_active CAPTION: until the active window has that caption (up to 20 s).
wait_active() {
    for _ in $(seq 100); do
        [ "$(robot active)" = "$1" ] && return 0
        sleep 0.2
    done
    fail "window $1 did not become active"
    return 1
}

no_box() {
    if robot box "${1:-1500}" >/dev/null 2>&1; then
        fail "an unexpected box: $(robot box 100 | tr '\n' '|')"
        return 1
    fi
    return 0
}
