# Shared by the Wine scenario scripts (the shell's and the whole wizard's)
# and the main job: a virtual X display, a Wine prefix with one virtual
# desktop, a working folder per scenario, and the robot's commands with the
# checks built on them. Source it after setting:
#   SCENARIO_BIN  Windows build folder (release/Dorvane.exe, test-tools/robot.exe)
#   SCENARIO_OUT  folder for the working folders and the screenshots
#   SCENARIO_IDS  (optional) the control ids file; by default the one the
#                 build writes beside the robot, test-tools/control_ids.sh
#   SCENARIO_TEXTS  (optional) the program's texts; by default the ones the
#                 build makes, user_texts/user_texts.sh
#   SCENARIO_PROGRAM  (optional) the Dorvane.exe to run; by default
#                 release/Dorvane.exe of SCENARIO_BIN
#   SCENARIO_I386_ROOT  (optional) run Wine in this private i386 root
#                 (scripts/i386-root.sh): its 32-bit Wine runs i686 binaries
# Only what it starts is stopped: its own Xvfb by pid, its own prefix's Wine
# processes with wineserver -k.

scenario_repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
xvfb_pid=
failures=0
scenario=
work=
shots=

# The wizard's control ids (IDOK, IDC_BACKUP_PATH, ...) as the code names
# them: generated at build time from its resource header.
scenario_ids=${SCENARIO_IDS:-$SCENARIO_BIN/test-tools/control_ids.sh}
if [ -f "$scenario_ids" ]; then
    . "$scenario_ids"
else
    echo "no control ids in $scenario_ids (the robot's build writes them)" >&2
fi

# The program's texts (text_ReadBiosTitle, ...) as the robot reports them,
# made at build time from app/res/texts.txt, and text_fill for their %s and %d.
. "$scenario_repo/tests/wine-common/texts_lib.sh"
texts_load "${SCENARIO_TEXTS:-$SCENARIO_BIN/user_texts/user_texts.sh}" || exit 1

# end_wine_programs: ends every program of the prefix and waits until its
# server is gone (that takes most of a second): a program started while the
# server shuts down may fail to start at all.
end_wine_programs() {
    "$WINESERVER" -k >/dev/null 2>&1
    timeout 30 "$WINESERVER" -w >/dev/null 2>&1
}

scenario_cleanup() {
    [ -n "${WINESERVER:-}" ] && end_wine_programs
    [ -n "${scenario_session:-}" ] && "$scenario_repo/scripts/i386-root.sh" end "$scenario_session"
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
        xvfb_pid=
    fi
}

# scenario_i386_start PREFIX_DIR: a session of the i386 root that sees the
# tree, the prefix, the binaries and the working folders, and WINELOADER and
# WINESERVER as commands here that run its Wine there, so that every program
# of a scenario (the wizard, the robot, winepath) meets one wineserver. Wine
# there reaches the host's Xvfb through its abstract socket: the session
# keeps the host's network namespace.
scenario_session=
scenario_i386_start() {
    local root_script=$scenario_repo/scripts/i386-root.sh wrappers=$SCENARIO_OUT/i386-wine names
    local program=${SCENARIO_PROGRAM:-$SCENARIO_BIN/release/Dorvane.exe}
    mkdir -p "$wrappers" "$1"
    "$root_script" session "$SCENARIO_I386_ROOT" "$SCENARIO_OUT/i386-session" "$scenario_repo" "$1" \
        "$SCENARIO_BIN" "$SCENARIO_OUT" "$(dirname "$program")" || return 1
    scenario_session=$SCENARIO_OUT/i386-session
    # The root's Wine environment: its prefix (made on first use), loader and server.
    names=$("$root_script" enter "$scenario_session" -- bash -c \
        '. "$1/scripts/wine-env.sh" "$2" && printf "%s\n" "$WINEPREFIX" "$WINELOADER" "$WINESERVER"' \
        bash "$scenario_repo" "$1") || return 1
    { read -r WINEPREFIX; read -r WINELOADER; read -r WINESERVER; } <<<"$names"
    printf '#!/bin/sh\nexec "%s" enter "%s" -- "%s" "$@"\n' "$root_script" "$scenario_session" "$WINELOADER" >"$wrappers/wine"
    printf '#!/bin/sh\nexec "%s" enter "%s" -- "%s" "$@"\n' "$root_script" "$scenario_session" "$WINESERVER" >"$wrappers/wineserver"
    chmod +x "$wrappers/wine" "$wrappers/wineserver"
    WINELOADER=$wrappers/wine WINESERVER=$wrappers/wineserver WINEDEBUG=-all
    export WINEPREFIX WINELOADER WINESERVER WINEDEBUG
}

# scenario_start PREFIX_DIR: the Wine prefix and, unless SCENARIO_USE_DISPLAY
# is set, a private Xvfb display. 1 when Wine cannot run.
scenario_start() {
    if [ -n "${SCENARIO_I386_ROOT:-}" ]; then
        scenario_i386_start "$1" || return 1
    else
        . "$scenario_repo/scripts/wine-env.sh" "$1" || return 1
    fi
    if [ -z "${SCENARIO_USE_DISPLAY:-}" ]; then
        # Xvfb takes the first free display number itself and writes it once
        # it serves: suites started side by side never choose the same one.
        local numbers=$SCENARIO_OUT/xvfb.display display=
        rm -f "$numbers"
        Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$numbers" >"$SCENARIO_OUT/xvfb.log" 2>&1 &
        xvfb_pid=$!
        for _ in $(seq 100); do
            display=$(head -n 1 "$numbers" 2>/dev/null)
            [ -n "$display" ] && break
            sleep 0.1
        done
        [ -n "$display" ] || { echo "Xvfb did not start (see $SCENARIO_OUT/xvfb.log)" >&2; return 1; }
        export DISPLAY=":$display"
    fi
    # One virtual desktop: pages get title bars and the main window maximizes.
    "$WINELOADER" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    "$WINELOADER" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
    # The desktop that reg.exe brought up predates the setting: end it.
    end_wine_programs
    return 0
}

# begin_scenario NAME: a fresh working folder with the program and the robot.
begin_scenario() {
    scenario=$1
    work=$SCENARIO_OUT/work/$scenario
    shots=$SCENARIO_OUT/screenshots/$scenario
    rm -rf "$work" "$shots"
    mkdir -p "$work" "$shots"
    cp "${SCENARIO_PROGRAM:-$SCENARIO_BIN/release/Dorvane.exe}" "$work/Dorvane.exe"
    cp "$SCENARIO_BIN/test-tools/robot.exe" "$work/"
}

fail() {
    echo "FAIL [$scenario]: $*"
    failures=$((failures + 1))
    shot failure
}

# The robot's output without the console's carriage returns.
robot() { (cd "$work" && timeout 60 "$WINELOADER" robot.exe "$@" | tr -d '\r'); }

shot() {
    local n
    n=$(ls "$shots" 2>/dev/null | wc -l)
    import -window root "$shots/$(printf %02d "$n")-$1.png" 2>/dev/null
}

# settled_shot NAME: prints the path of a picture of the screen taken once
# painting has settled (two captures half a second apart alike, 10 s at
# most), for checks of what the program paints: a page's picture is taken as
# soon as it shows, which may be before the main window has painted.
settled_shot() {
    local file=$work/settled-$1.png before=$work/settled-$1.before.png _
    import -window root "$before" 2>/dev/null
    for _ in $(seq 20); do
        sleep 0.5
        import -window root "$file" 2>/dev/null
        [ "$(compare -metric AE "$before" "$file" null: 2>&1)" = 0 ] && break
        mv "$file" "$before"
    done
    rm -f "$before"
    echo "$file"
}

# The Windows form of a host path.
winpath() { "$WINELOADER" winepath -w "$1" 2>/dev/null | tr -d '\r'; }

# start_to FILE [ARGS]: starts Dorvane.exe in the working folder; its exit
# code lands in FILE. start [ARGS]: the same into $work/exit.
start_to() {
    local code=$1
    shift
    rm -f "$code"
    # The prefix's server and service manager come up first: started together,
    # the program and the robot could both start them, and the program once
    # found no service manager (error 1722).
    (cd "$work" && timeout 60 "$WINELOADER" cmd /c exit >/dev/null 2>&1)
    (cd "$work" && timeout 300 "$WINELOADER" Dorvane.exe "$@" >/dev/null 2>&1; echo $? >"$code") &
}
start() { start_to "$work/exit" "$@"; }

# expect_exit WANT [FILE]: waits (up to 60 s) for the exit code and compares it.
expect_exit() {
    local want=$1 code=${2:-$work/exit}
    for _ in $(seq 600); do [ -s "$code" ] && break; sleep 0.1; done
    local got
    got=$(cat "$code" 2>/dev/null)
    [ "$got" = "$want" ] || fail "exit code ${got:-none}, expected $want"
}

# expect_page CAPTION [MS]: waits for a page (60 s unless told: a loaded
# machine can take long to start Wine) and takes its picture.
expect_page() {
    robot wait-page "$1" "${2:-60000}" >/dev/null || { fail "page $1 did not show"; return 1; }
    shot "page-$(echo "$1" | tr ' ' '-')"
}

# expect_box NAME [LINE...]: waits for a box and compares each given line
# (caption:, text:, buttons:, default:, icon:, owner:) with the robot's; a
# line "re:PATTERN" is matched as a whole-line extended expression.
expect_box() {
    local name=$1
    shift
    local got
    got=$(robot box "${BOX_WAIT:-60000}") || { fail "no message box ($name)"; return 1; }
    shot "box-$name"
    local line
    for line in "$@"; do
        if [ "${line#re:}" != "$line" ]; then
            grep -qxE -- "${line#re:}" <<<"$got" || fail "box $name: expected /${line#re:}/, got: $(tr '\n' '|' <<<"$got")"
        else
            grep -qxF -- "$line" <<<"$got" || fail "box $name: expected '$line', got: $(tr '\n' '|' <<<"$got")"
        fi
    done
    return 0
}

answer() { robot answer "$1" >/dev/null || fail "cannot answer $1"; }

# expect_state ID WANT [WHAT]: the control's state is awaited (up to 20 s),
# as a click is posted and a loaded machine may answer a read late; a
# failure names the state last read.
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

service_absent() {
    "$WINELOADER" reg query 'HKLM\System\CurrentControlSet\Services\Pelmix' >/dev/null 2>&1 &&
        fail "the Pelmix service is still installed"
}

# run_scenarios "ALL" [--group K/N | NAME...]: each named scenario (all by
# default; with --group, every Nth of ALL from the Kth on, so that N suites,
# each with a prefix and a display of its own, share the work), the prefix's
# programs ended after each, then the summary and the exit code.
run_scenarios() {
    local all=$1 s began
    shift
    if [ "${1:-}" = --group ]; then
        local k=${2%/*} n=${2#*/} i=0 chosen=
        for s in $all; do
            [ $((i % n + 1)) = "$k" ] && chosen="$chosen $s"
            i=$((i + 1))
        done
        [ -n "$chosen" ] || { echo "no scenario in group $2" >&2; exit 2; }
        set -- $chosen
    fi
    for s in ${*:-$all}; do
        echo "--- $s"
        began=$(date +%s)
        "scenario_$s"
        echo "    $(($(date +%s) - began)) s"
        end_wine_programs
    done
    scenario_summary
}

scenario_summary() {
    if [ $failures -gt 0 ]; then
        echo "$failures failure(s); screenshots in $SCENARIO_OUT/screenshots"
        exit 1
    fi
    echo "all scenarios passed; screenshots in $SCENARIO_OUT/screenshots"
}
