#!/usr/bin/env bash
# End-to-end scenarios of Dorvane's shell: the real program under Wine in a
# virtual X display, driven by robot.exe, answering its message boxes and
# taking a screenshot of every page and box it passes through.
#
#   scenarios.sh WIN_BUILD OUT_DIR [SCENARIO...]
#
# WIN_BUILD is a Windows build folder: release/Dorvane.exe, and robot.exe,
# shell_wine_tests.exe and shell_stub_driver.sys in test-tools/. OUT_DIR
# receives the Wine prefix, the working folders and the screenshots. The
# scenario "unit" runs the shell's Win32 tests. With SHELL_BIOSIMAGE naming
# the native image generator, the emulated card starts with a valid BIOS. Only
# what this script starts is stopped: its own Xvfb by pid, its own prefix's
# Wine processes with wineserver -k.
set -uo pipefail

[ $# -ge 2 ] || { echo "usage: scenarios.sh WIN_BUILD OUT_DIR [SCENARIO...]" >&2; exit 2; }
bin=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
shift 2
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)

SCENARIO_BIN=$bin
SCENARIO_OUT=$out
. "$repo/tests/wine-common/scenario_lib.sh"
trap scenario_cleanup EXIT
scenario_start "$out" || { echo "SKIP: Wine cannot run here"; exit 77; }

# A fresh working folder with the program, the robot and, unless told
# otherwise, a driver: the emulated-hardware Pelmix.sys with a one-card
# machine when the build has it, else the stand-in driver.
prepare() {
    begin_scenario "$1"
    [ "${2:-driver}" = nodriver ] && return 0
    if [ -f "$bin/emulated/Pelmix.sys" ]; then
        cp "$bin/emulated/Pelmix.sys" "$work/Pelmix.sys"
        cp "$repo/tools/pelmixctl/samples/family1-card.machine" "$work/Pelmix.machine"
        if [ -n "${SHELL_BIOSIMAGE:-}" ] && "$SHELL_BIOSIMAGE" board --size 131072 --out "$work/card.bin" >/dev/null; then
            sed -i '/flash=/ s/$/ image=card.bin/' "$work/Pelmix.machine"
        fi
    else
        cp "$bin/test-tools/shell_stub_driver.sys" "$work/Pelmix.sys"
    fi
}

program_title=$(text_fill "$text_InstallerTitle" "$text_ProductName")
title="caption: $program_title"
mild="text: $text_ExitInstaller"
incomplete="text: $(text_fill "$text_ExitInstallerIncomplete" "$text_ProductName")"
exit_title="caption: $text_ExitInstallerTitle"
welcome_line() { text_fill "$text_WelcomeTxt" "$1" "$1"; }

scenario_no_driver() {
    prepare no_driver nodriver
    start
    expect_box no-driver "$title" "text: $(text_fill "$text_NoDriver" Pelmix.sys)" \
        "buttons: ok" "icon: warning" "owner: $program_title"
    answer ok
    expect_exit 0
    service_absent
}

scenario_bad_driver() {
    prepare bad_driver nodriver
    echo "not a driver" >"$work/Pelmix.sys"
    start
    expect_box start-failed "$title" \
        "re:text: $(text_pattern "$text_ServiceStartErr")" \
        "buttons: ok" "icon: warning"
    answer ok
    expect_exit 0
    service_absent
}

scenario_welcome_keys() {
    prepare welcome_keys
    start
    expect_page Welcome || return
    [ "$(robot get-text "$IDC_WELCOME_LINE")" = "$(welcome_line "$text_ProductName")" ] ||
        fail "welcome line: $(robot get-text "$IDC_WELCOME_LINE")"
    [ "$(robot get-text "$IDC_WELCOME_CLICK")" = "Click Next to install a BIOS image. Otherwise, click Cancel to stop installing and return to Windows." ] ||
        fail "click line: $(robot get-text "$IDC_WELCOME_CLICK")"

    robot click "$IDCANCEL" >/dev/null
    expect_box cancel-mild "$exit_title" "$mild" "buttons: yes no" "default: yes" "icon: none"
    answer no
    [ "$(robot active)" = Welcome ] || fail "Welcome not active after No: $(robot active)"

    robot key "$IDOK" F1 >/dev/null || fail "F1 not pressed"
    expect_box about "$title" \
        "text: $(text_fill "$text_AboutString" "$text_ProductName" "$(head -1 "$repo/VERSION")")" \
        "icon: information" "owner: Welcome"
    answer ok

    robot key "$IDOK" CTRL-SHIFT-F1 >/dev/null || fail "Ctrl+Shift+F1 not pressed"
    if robot box 1500 >/dev/null 2>&1; then
        fail "Ctrl+Shift+F1 opened a box"
        answer ok
    fi

    robot key "$IDCANCEL" F3 >/dev/null || fail "F3 not pressed"
    expect_box f3 "$exit_title" "$mild" "default: yes"
    answer no
    [ "$(robot active)" = Welcome ] || fail "Welcome not active after No to F3: $(robot active)"

    # Developer mode set on the Welcome page shows on the backup page.
    if goto_backup; then
        expect_state "$IDC_SKIP_BACKUP" "visible enabled unchecked" "skip-backup box"
        expect_state "$IDC_SKIP_CHECKSUM" "visible enabled unchecked" "skip-checksum box"
        robot key "$IDOK" F3 >/dev/null || fail "F3 not pressed"
        expect_box f3-incomplete "$exit_title" "$incomplete" "default: no"
        answer yes
    fi
    expect_exit 0
    service_absent
}

# Walks the wizard from the page that is up to the page with the given
# caption: Next once on each page on the way (a page may stay up while it
# works), OK (or Yes, to go on) on each box.
advance_to() {
    local target=$1 clicked= page got
    for _ in $(seq 60); do
        if [ -s "$work/exit" ]; then
            # Without an emulated card the stand-in driver finds none.
            if [ -f "$work/Pelmix.machine" ]; then
                fail "the program ended on the way to $target"
            else
                echo "note [$scenario]: no card, so no way to $target; not checked"
            fi
            return 1
        fi
        page=$(robot page 2>/dev/null) || page=
        if [ "$page" = "$target" ]; then
            shot "page-$(echo "$target" | tr ' ' '-')"
            return 0
        fi
        if got=$(robot box 700 2>/dev/null); then
            shot "box-on-the-way"
            if grep -q '^buttons:.* ok' <<<"$got"; then answer ok; else answer yes; fi
            continue
        fi
        if [ -n "$page" ] && [ "$page" != "$clicked" ]; then
            [ "$page" = Welcome ] || shot "page-$(echo "$page" | tr ' ' '-')"
            robot click "$IDOK" >/dev/null
            clicked=$page
        fi
    done
    fail "did not reach the page $target"
    return 1
}

# From the Welcome page to the backup page; 1 when there is no backup page to
# reach (no card found), after answering the program's message.
goto_backup() {
    robot click "$IDOK" >/dev/null
    if robot wait-page "Select Device" 5000 >/dev/null 2>&1; then
        shot page-Select-Device
        robot click "$IDOK" >/dev/null
    fi
    if robot wait-page "Save Backup" 5000 >/dev/null 2>&1; then
        shot page-Save-Backup
        return 0
    fi
    echo "note [$scenario]: no backup page without a card; not checked"
    robot box 3000 >/dev/null 2>&1 && { shot box-detect; answer ok; }
    return 1
}

scenario_dev_mode() {
    prepare dev_mode
    start -DEVMODE
    expect_page Welcome || return
    if goto_backup; then
        expect_state "$IDC_SKIP_CHECKSUM" "visible enabled unchecked" "-DEVMODE: skip-checksum box"
        robot click "$IDCANCEL" >/dev/null
        expect_box cancel "default: no"
        answer yes
    fi
    expect_exit 0

    prepare dev_mode_keys
    start
    expect_page Welcome || return
    if goto_backup; then
        expect_state "$IDC_SKIP_BACKUP" "hidden enabled unchecked" "skip-backup box shown"
        robot key "$IDOK" CTRL-SHIFT-F1 >/dev/null || fail "Ctrl+Shift+F1 not pressed"
        sleep 0.5
        expect_state "$IDC_SKIP_BACKUP" "visible enabled unchecked" "skip-backup box not revealed"
        expect_state "$IDC_SKIP_CHECKSUM" "visible enabled unchecked" "skip-checksum box not revealed"
        shot page-Save-Backup-developer
        # The image page opens with its developer check boxes shown.
        advance_to "Select BIOS" &&
            { expect_state "$IDC_IGNORE_CHECKSUM" "visible enabled unchecked" "ignore-checksum box"; }
        robot click "$IDCANCEL" >/dev/null
        expect_box cancel "default: no"
        answer yes
    fi
    expect_exit 0
}

scenario_second_instance() {
    prepare second_instance
    mkdir -p "$work/othercfg"
    printf 'ProductName=Zeta\r\nInformationTitle=\r\n' >"$work/othercfg/setup.cfg"
    start_to "$work/exit1"
    expect_page Welcome || return
    start_to "$work/exit2" -i "$(cd "$work" && "$WINELOADER" winepath -w "$work/othercfg" 2>/dev/null | tr -d '\r')"
    expect_box running "caption: $text_InformationTitle" "text: $(text_fill "$text_SetupRunning" Zeta)" \
        "buttons: ok" "icon: information" "owner: none"
    answer ok
    expect_exit 1 "$work/exit2"
    [ "$(robot page)" = Welcome ] || fail "the first instance lost its page"
    robot click "$IDCANCEL" >/dev/null
    expect_box cancel "$exit_title" "$mild"
    answer yes
    expect_exit 0 "$work/exit1"
}

scenario_setup_cfg() {
    prepare setup_cfg
    printf '; texts of this run\r\nProductName=Zeta\r\nFontColour=YELLOW\r\nExitInstaller=Leave %%s now?\r\nexitinstallertitle = Leaving\r\nWelcomeMsg2=Press Next.\r\n' \
        >"$work/setup.cfg"
    start
    expect_page Welcome || return
    [ "$(robot get-text "$IDC_WELCOME_LINE")" = "$(welcome_line Zeta)" ] ||
        fail "welcome line: $(robot get-text "$IDC_WELCOME_LINE")"
    [ "$(robot get-text "$IDC_WELCOME_CLICK")" = "Press Next." ] || fail "WelcomeMsg2 not shown: $(robot get-text "$IDC_WELCOME_CLICK")"
    # The banner is painted in yellow.
    local yellow
    yellow=$(convert "$(settled_shot welcome)" -crop 700x60+0+20 +repage -format %c histogram:info:- |
        grep -ci '#FFFF00')
    [ "$yellow" -gt 0 ] || fail "no yellow in the banner"

    robot click "$IDCANCEL" >/dev/null
    expect_box cancel-mild "caption: Leaving" "text: Leave %s now?" "default: yes"
    answer no

    # On to the backup page, where quitting asks about an incomplete
    # installation; with the same configured text, formatted.
    if ! goto_backup; then
        expect_exit 0
        return
    fi
    robot click "$IDCANCEL" >/dev/null
    expect_box cancel-incomplete "caption: Leaving" "text: Leave Zeta now?" "default: no"
    answer yes
    expect_exit 0
}

scenario_leftover_service() {
    prepare leftover_service
    local driver
    driver=$("$WINELOADER" winepath -w "$work/Pelmix.sys" 2>/dev/null | tr -d '\r')
    "$WINELOADER" sc create Pelmix type= kernel start= demand binPath= "$driver" >/dev/null 2>&1
    "$WINELOADER" reg query 'HKLM\System\CurrentControlSet\Services\Pelmix' >/dev/null 2>&1 ||
        fail "could not leave a service behind"
    start
    expect_page Welcome || return
    if robot box 1000 >/dev/null 2>&1; then
        fail "a box showed at start"
    fi
    robot click "$IDCANCEL" >/dev/null
    expect_box cancel "$exit_title"
    answer yes
    expect_exit 0
    service_absent
}

scenario_finish() {
    prepare finish
    start
    expect_page Welcome || return
    advance_to "Setup Complete" || return
    expect_state "$IDC_RESTART_NOW" "visible enabled checked" "restart-now"
    expect_state "$IDC_RESTART_LATER" "visible enabled unchecked" "restart-later"
    robot key "$IDOK" ESC >/dev/null
    expect_box esc "$exit_title" "$incomplete" "default: no" "buttons: yes no"
    answer no
    [ "$(robot active)" = "Setup Complete" ] || fail "Finish page not active after No: $(robot active)"
    robot click "$IDC_RESTART_LATER" >/dev/null
    sleep 0.3
    expect_state "$IDC_RESTART_LATER" "visible enabled checked" "restart-later not chosen"
    robot click "$IDOK" >/dev/null
    if robot box 1500 >/dev/null 2>&1; then
        fail "Finish asked a question"
        answer yes
    fi
    expect_exit 0
    service_absent
}

scenario_finish_restart() {
    prepare finish_restart
    start
    expect_page Welcome || return
    advance_to "Setup Complete" || return
    # Restart now (the default): Wine accepts the request and does nothing.
    robot click "$IDOK" >/dev/null
    expect_exit 0
    service_absent
}

# Height in pixels of the banner's first capitals (white), left of where
# any page could stand.
banner_height() {
    convert "$1" -crop 75x70+0+19 +repage -fill black +opaque white -trim -format %h info: 2>/dev/null
}

scenario_banner_size() {
    # On a screen 640 pixels wide the banner is 22-point, else 36-point.
    local size height
    for size in 640x480 1024x768; do
        "$WINELOADER" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$size" /f >/dev/null 2>&1
        # The desktop takes its new size when it is next opened.
        end_wine_programs
        prepare "banner_$size"
        start
        expect_page Welcome || return
        height=$(banner_height "$(settled_shot welcome)")
        case $size in
        640x480) [ "${height:-0}" -ge 16 ] && [ "${height:-0}" -le 24 ] || fail "22-point capitals are $height pixels high" ;;
        *) [ "${height:-0}" -ge 28 ] && [ "${height:-0}" -le 40 ] || fail "36-point capitals are $height pixels high" ;;
        esac
        robot click "$IDCANCEL" >/dev/null
        expect_box cancel "$exit_title"
        answer yes
        expect_exit 0
    done
}

scenario_unit() {
    prepare unit nodriver
    cp "$bin/test-tools/shell_wine_tests.exe" "$work/"
    (cd "$work" && timeout 120 "$WINELOADER" shell_wine_tests.exe 2>/dev/null | tr -d '\r') | tee "$work/result.txt"
    grep -qx "all passed" "$work/result.txt" || fail "Win32 tests failed"
}

all="no_driver bad_driver welcome_keys dev_mode second_instance setup_cfg leftover_service banner_size finish finish_restart"
run_scenarios "$all" "$@"
