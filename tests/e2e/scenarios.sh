#!/usr/bin/env bash
# End-to-end scenarios of the whole wizard: Dorvane.exe with its pages under
# Wine in a virtual X display, the emulated-hardware Pelmix.sys with a
# machine file and flash images, robot.exe answering pages and boxes. Each
# scenario checks texts, icons, default buttons, the flash contents (with
# biostool), the backup file and the exit code, and keeps a screenshot of
# every page and box.
#
#   scenarios.sh WIN_BUILD OUT_DIR BIOSIMAGE BIOSTOOL [SCENARIO...]
set -uo pipefail

[ $# -ge 4 ] || { echo "usage: scenarios.sh WIN_BUILD OUT_DIR BIOSIMAGE BIOSTOOL [SCENARIO...]" >&2; exit 2; }
E2E_BIN=$(cd "$1" && pwd)
mkdir -p "$2"
E2E_OUT=$(cd "$2" && pwd)
biosimage=$3
biostool=$4
shift 4
here=$(cd "$(dirname "$0")" && pwd)
. "$here/e2e_lib.sh"
trap e2e_cleanup EXIT
e2e_start || { echo "SKIP: Wine cannot run here"; exit 77; }

# Images every scenario starts from.
images=$E2E_OUT/images
mkdir -p "$images"
"$biosimage" board --layout legacy --size 131072 --out "$images/board128.bin" >/dev/null
"$biosimage" board --layout legacy --size 65536 --out "$images/board64.bin" >/dev/null
"$biosimage" board --layout legacy --size 131072 --product "ORVEL III AGP 32MB" --version "Bios Rev 3.00.00.0007" \
    --out "$images/board-b.bin" >/dev/null
"$biostool" inbuilt "$images/inbuilt.bin" >/dev/null

title="caption: $(text_fill "$text_InstallerTitle" "$text_ProductName")"
exit_title="caption: $text_ExitInstallerTitle"
inbuilt_version="ORVEL II AGP Bios Rev 1.02.00.0034"
backup=

bridge="pci 0:00.0 id=8086:7190 class=0600 bar0=0xF8000008/64M"
card_a="pci 0:0a.0 id=1E5B:0A51 rev=02 class=0300 cmd=0007 bar0=0xE0000008/64M bar1=0xE4000000/8K rom=0xE4020000/128K flash=08BF"
card_64k="pci 0:0c.0 id=1D2E:0C62 rev=01 class=0300 cmd=0007 bar0=0xEC000008/64M bar1=0xF1000000/16K rom=0xF1020000/64K flash=D4BF"
card_b="pci 0:0b.0 id=1D2E:0C61 rev=05 class=0300 agp bar0=0xD0000008/64M bar1=0xD4000000/16K flash=2320"

# machine NAME LINE...: a machine file in the working folder, with the
# chip images its cards name copied there.
machine() {
    local file=$E2E_OUT/machines/$1.machine
    shift
    mkdir -p "$E2E_OUT/machines"
    printf 'cpus 2\n' >"$file"
    printf '%s\n' "$@" >>"$file"
    echo "$file"
}

# One card with a realistic 128-KB legacy board image, and what the default
# path should leave on it.
one_card() {
    prepare "$1" "$(machine "$1" "$bridge" "$card_a image=card.bin" "${@:2}")"
    cp "$images/board128.bin" "$work/card.bin"
    cp "$images/board128.bin" "$work/old.bin"
}

# highlighted NAME yes|no: whether the box, still shown, paints the dark red
# text of a highlighted box.
highlighted() {
    local red
    red=$(convert "$(settled_shot "box-$1")" -format %c histogram:info:- | grep -ci '#B40000')
    if [ "$2" = yes ] && [ "$red" -eq 0 ]; then fail "box $1 is not highlighted"; fi
    if [ "$2" = no ] && [ "$red" -ne 0 ]; then fail "box $1 is highlighted"; fi
}

same_file() { cmp -s "$1" "$2" || fail "$3"; }

# Welcome, Next; then the backup page with one card.
to_backup_page() {
    start "$@"
    expect_page Welcome || return 1
    robot click "$IDOK" >/dev/null
    expect_page "Save Backup"
}

read_question() {
    expect_box read-question "caption: $text_ReadBiosTitle" "text: $text_ReadBios" \
        "buttons: ok cancel" "default: ok" "icon: none"
    highlighted read-question no
}

read_card() {
    robot click "$IDOK" >/dev/null
    read_question
    answer ok
}

write_question() {
    expect_box write-question "caption: $text_WriteBiosTitle" "text: $(text_fill "$text_WriteBios" "$1")" \
        "buttons: ok cancel" "default: cancel" "icon: none"
    highlighted write-question yes
}

confirm_write() {
    write_question "$1"
    answer "${2:-ok}"
}

# The default path's walk (the main job's too) with this suite's checks on
# the way: the backup under its default name (its host path in $backup), the
# in-built image.
walk_at_backup_page() {
    backup=$("$WINELOADER" winepath -u "$walk_backup" 2>/dev/null | tr -d '\r')
    [[ "$walk_backup" =~ ^C:\\users\\[^\\]+\\Temp\\B1B[0-9A-Fa-f]{1,4}\.bin$ ]] ||
        fail "default backup name: $walk_backup"
    [ -e "$backup" ] && fail "the temporary name's file was left behind"
    expect_state "$IDC_SKIP_BACKUP" "hidden enabled unchecked" "skip-backup box"
}
walk_at_image_page() {
    expect_state "$IDC_DEFAULT_IMAGE" "visible enabled checked" "default image"
    expect_state "$IDC_IMAGE_PATH" "visible disabled unchecked" "file name box"
}
walk_read_question() { read_question; }
walk_write_question() { write_question "$inbuilt_version"; }

# From the start to the write question with the defaults, answered OK.
write_inbuilt() { walk_to_write "$@"; }

finish() {
    walk_finish || return 1
    service_absent
}

scenario_default_path() {
    one_card default_path
    walk_default_path || return
    service_absent
    "$biostool" merge "$work/old.bin" "$images/inbuilt.bin" "$work/expected.bin" --length 131072 >/dev/null ||
        fail "biostool refused the merge"
    same_file "$work/card.bin" "$work/expected.bin" "the flash does not hold the merged image"
    "$biostool" checksum "$work/card.bin" >/dev/null || fail "the flash checksum is not valid"
    "$biostool" info "$work/card.bin" | tr -d '\r' >"$work/flash-info.txt"
    grep -q "Bios Rev 1.02.00.0034" "$work/flash-info.txt" || fail "the in-built version text is not on the flash"
    grep -q "Kestrel Boards" "$work/flash-info.txt" || fail "the board's maker text is not on the flash"
    # The board keeps its flags and registers; the release brings its version numbers.
    "$biostool" info "$work/old.bin" | tr -d '\r' >"$work/old-info.txt"
    "$biostool" info "$images/inbuilt.bin" | tr -d '\r' >"$work/inbuilt-info.txt"
    [ "$(grep '^Flags:' "$work/flash-info.txt")" = "$(grep '^Flags:' "$work/old-info.txt")" ] ||
        fail "board flags: $(grep '^Flags:' "$work/flash-info.txt")"
    [ "$(sed -n '/^registers:/,$p' "$work/flash-info.txt")" = "$(sed -n '/^registers:/,$p' "$work/old-info.txt")" ] ||
        fail "the board's registers are not on the flash"
    [ "$(grep '^VersionM' "$work/flash-info.txt")" = "$(grep '^VersionM' "$work/inbuilt-info.txt")" ] ||
        fail "version numbers: $(grep '^VersionM' "$work/flash-info.txt" | tr '\n' ' ')"
    same_file "$backup" "$work/old.bin" "the backup is not the old image"
}

scenario_two_cards() {
    prepare two_cards "$(machine two_cards "$bridge" "$card_a image=a.bin" "$card_b image=b.bin")"
    cp "$images/board128.bin" "$work/a.bin"
    cp "$images/board-b.bin" "$work/b.bin"
    start
    expect_page Welcome || return
    robot click "$IDOK" >/dev/null
    expect_page "Select Device" || return
    [ "$(robot list "$IDC_DEVICE_LIST" | tr '\n' '|')" = "ZT10-E (PCI)|Orvel II (AGP)|" ] || fail "list: $(robot list "$IDC_DEVICE_LIST" | tr '\n' '|')"
    expect_state "$IDOK" "visible disabled unchecked" "Next enabled before a selection"
    expect_state "$IDC_MORE_INFO" "visible disabled unchecked" "More info enabled before a selection"
    robot select "$IDC_DEVICE_LIST" 1 >/dev/null
    expect_state "$IDOK" "visible enabled unchecked" "Next after a selection"
    robot click "$IDC_MORE_INFO" >/dev/null
    expect_box more-info "$title" "text: $text_GetBiosInfo" "buttons: ok" "icon: none"
    answer ok
    local info=
    for _ in $(seq 100); do
        info=$(robot get-text "$IDC_DEVICE_INFO")
        [ -n "$info" ] && break
        sleep 0.2
    done
    # The robot shows the text's line ends as \n (and drops the carriage returns).
    [ "$info" = 'ORVEL III AGP 32MB Bios Rev 3.00.00.0007\nKestrel Boards Ltd\n' ] || fail "More info text: $info"
    shot more-info-text
    robot click "$IDC_BACK" >/dev/null
    expect_page Welcome || return
    robot click "$IDOK" >/dev/null
    expect_page "Select Device" || return
    [ "$(robot list "$IDC_DEVICE_LIST" | wc -l)" = 2 ] || fail "the list was not rebuilt"
    expect_state "$IDOK" "visible disabled unchecked" "a selection survived Back"
    robot select "$IDC_DEVICE_LIST" 1 >/dev/null
    robot click "$IDOK" >/dev/null
    expect_page "Save Backup" || return
    [[ "$(robot get-text "$IDC_BACKUP_PATH")" =~ \\B2B[0-9A-Fa-f]{1,4}\.bin$ ]] || fail "second card's backup name: $(robot get-text "$IDC_BACKUP_PATH")"
    robot click "$IDCANCEL" >/dev/null
    expect_box cancel "$exit_title" "default: no"
    answer yes
    expect_exit 0
    same_file "$work/b.bin" "$images/board-b.bin" "More info changed the card"
}

scenario_small_chip() {
    prepare small_chip "$(machine small_chip "$bridge" "$card_64k image=card.bin")"
    cp "$images/board64.bin" "$work/card.bin"
    write_inbuilt || return
    finish
    [ "$(stat -c %s "$work/card.bin")" = 65536 ] || fail "the 64-KB chip image changed size"
    "$biostool" merge "$images/board64.bin" "$images/inbuilt.bin" "$work/expected.bin" --length 65536 >/dev/null
    same_file "$work/card.bin" "$work/expected.bin" "the 64-KB flash does not hold the merged image"
    [ "$(stat -c %s "$backup")" = 131072 ] || fail "the backup is not 131072 bytes"
    head -c 65536 "$backup" | cmp -s - "$images/board64.bin" || fail "the backup's first half is not the old image"
    tail -c 65536 "$backup" | cmp -s - <(head -c 65536 /dev/zero) || fail "the backup's second half is not empty"
}

# Image files of 20000, 40000 and 65536 bytes on the standard page.
scenario_image_files() {
    one_card image_files
    "$biosimage" board --layout stored --size 65536 --version "Bios Rev 4.00" --out "$work/file65536.bin" >/dev/null
    head -c 40000 "$work/file65536.bin" >"$work/file40000.bin"
    "$biostool" checksum "$work/file40000.bin" --repair 32768 >/dev/null
    head -c 20000 "$work/file65536.bin" >"$work/file20000.bin"
    to_backup_page -nowrite || return
    read_card
    expect_page "Select BIOS" || return
    robot click "$IDC_SPECIFIC_IMAGE" >/dev/null
    expect_state "$IDC_IMAGE_PATH" "visible enabled unchecked" "file name box after Specific Image"
    robot set-text "$IDC_IMAGE_PATH" "$(winpath "$work/file20000.bin")" >/dev/null
    robot click "$IDOK" >/dev/null
    expect_box short-file "$title" \
        "text: $text_SourceBiosCsErr" "icon: error" "buttons: ok"
    answer ok
    robot set-text "$IDC_IMAGE_PATH" "$(winpath "$work/file40000.bin")" >/dev/null
    robot click "$IDOK" >/dev/null
    confirm_write "ORVEL II AGP 16MB Bios Rev 4.00" cancel
    robot set-text "$IDC_IMAGE_PATH" "$(winpath "$work/missing.bin")" >/dev/null
    robot click "$IDOK" >/dev/null
    expect_box missing-file "$title" \
        "text: $text_NoBiosImage" "icon: none"
    answer ok
    robot set-text "$IDC_IMAGE_PATH" "$(winpath "$work/file65536.bin")" >/dev/null
    robot click "$IDOK" >/dev/null
    confirm_write "ORVEL II AGP 16MB Bios Rev 4.00"
    expect_box test-mode "caption: Debug Message" "text: Test mode: BIOS write has been skipped" "icon: information"
    answer ok
    finish
    same_file "$work/card.bin" "$work/old.bin" "-nowrite changed the flash"
}

# A byte that never completes: the write fails with 6, and so does the restore.
scenario_write_fails() {
    one_card write_fails "fault stuck 0:0a.0 0x100"
    write_inbuilt || return
    expect_box write-failed "$title" \
        "text: $(text_fill "$text_NoBiosWriteErr" 6)" \
        "icon: warning" "buttons: ok"
    highlighted write-failed yes
    answer ok
    expect_box restore-failed "$title" "text: $(text_fill "$text_NoBiosRestoreErr" 6)" "icon: error"
    answer ok
    no_box 1500
    expect_exit 0
    service_absent
}

# A byte that fails only the first time: the write fails with 6 part way
# through the chip, the old image goes back on, and the wizard stays on the
# image page, where the next try succeeds.
scenario_write_restored() {
    one_card write_restored "fault stuck 0:0a.0 0x8000 1"
    "$biostool" merge "$work/old.bin" "$images/inbuilt.bin" "$work/expected.bin" --length 131072 >/dev/null ||
        fail "biostool refused the merge"
    # Pages before the stuck byte take new bytes, so only a restore brings the old image back.
    cmp -s <(head -c 32768 "$work/old.bin") <(head -c 32768 "$work/expected.bin") &&
        fail "the new image matches the old one before the stuck byte"
    write_inbuilt || return
    expect_box write-failed "$title" \
        "text: $(text_fill "$text_NoBiosWriteErr" 6)" \
        "icon: warning" "buttons: ok" "default: ok"
    highlighted write-failed yes
    answer ok
    no_box 1500
    # The robot's question waits for the page's thread, so the restore is over.
    [ "$(robot page)" = "Select BIOS" ] || fail "the image page did not stay: $(robot page)"
    [ -s "$work/exit" ] && fail "the run ended after a restore that succeeded"
    shot page-after-restore
    same_file "$work/card.bin" "$backup" "the flash does not hold the backup after the restore"
    same_file "$backup" "$work/old.bin" "the backup is not the old image"
    # The fault has passed: the same choice now writes and verifies.
    robot click "$IDOK" >/dev/null
    confirm_write "$inbuilt_version"
    finish
    same_file "$work/card.bin" "$work/expected.bin" "the second try did not leave the merged image"
}

scenario_force_read_error() {
    one_card force_read_error
    to_backup_page -forcereadcserr || return
    # Back with one card leads to the Welcome page.
    robot click "$IDC_BACK" >/dev/null
    expect_page Welcome || return
    robot click "$IDOK" >/dev/null
    expect_page "Save Backup" || return
    read_card
    expect_box read-error "caption: $text_ReadChecksumErrTitle" "text: $text_ReadChecksumErr" \
        "buttons: yes no" "default: no" "icon: none"
    highlighted read-error yes
    answer yes
    expect_page "Select BIOS" || return
    expect_state "$IDC_SPECIFIC_IMAGE" "hidden enabled checked" "read-error page, Specific Image"
    expect_state "$IDC_IMAGE_PATH" "visible enabled unchecked" "read-error page, file box"
    robot click "$IDOK" >/dev/null
    expect_box no-name "$title" \
        "text: $text_NoBiosImage" "icon: none"
    answer ok
    # A blank image is refused without merging.
    "$biosimage" board --layout stored --blank --out "$work/blank.bin" >/dev/null
    robot set-text "$IDC_IMAGE_PATH" "$(winpath "$work/blank.bin")" >/dev/null
    robot click "$IDOK" >/dev/null
    expect_box blank "$title" \
        "text: $text_MustMergeOnBlank3" "icon: information"
    answer ok
    robot click "$IDCANCEL" >/dev/null
    expect_box cancel "$exit_title"
    answer yes
    expect_exit 0
}

# Developer mode: the hidden check boxes and radio buttons show and work.
scenario_dev_mode() {
    one_card dev_mode
    to_backup_page -devmode -forcereadcserr || return
    expect_state "$IDC_SKIP_BACKUP" "visible enabled unchecked" "skip-backup box"
    expect_state "$IDC_SKIP_CHECKSUM" "visible enabled unchecked" "skip-validation box"
    robot click "$IDC_SKIP_BACKUP" >/dev/null
    expect_state "$IDC_BACKUP_PATH" "visible disabled unchecked" "backup name with backup skipped"
    expect_state "$IDC_BROWSE" "visible disabled unchecked" "Browse with backup skipped"
    read_card
    expect_box read-error "caption: $text_ReadChecksumErrTitle" "default: no"
    answer yes
    expect_page "Select BIOS" || return
    local id
    for id in "$IDC_DEFAULT_IMAGE" "$IDC_MERGE_AFTER_ERROR" "$IDC_IGNORE_AFTER_ERROR"; do
        [[ "$(robot state $id)" == visible* ]] || fail "control $id hidden in developer mode"
    done
    robot click "$IDC_DEFAULT_IMAGE" >/dev/null
    expect_state "$IDC_IMAGE_PATH" "visible disabled unchecked" "file box with the in-built image"
    robot click "$IDOK" >/dev/null
    expect_box blank "$title" \
        "text: $text_MustMergeOnBlank2" "icon: information"
    answer ok
    robot click "$IDCANCEL" >/dev/null
    expect_box cancel "$exit_title"
    answer yes
    expect_exit 0
    same_file "$work/card.bin" "$work/old.bin" "the card changed"
}

scenario_force_write_error() {
    one_card force_write_error
    write_inbuilt -forcewritecserr || return
    expect_box reread-checksum "$title" \
        "text: $text_RereadCsErr" "icon: error"
    answer ok
    no_box 1500
    expect_exit 0
    # A failed verification puts the old image back.
    same_file "$work/card.bin" "$work/old.bin" "the flash does not hold the old image"
}

# A read-back that goes wrong once: both verification boxes, then the old
# image goes back, reads back equal (no restore box) and the run ends.
scenario_verify_restored() {
    one_card verify_restored "fault corrupt 0:0a.0 0x8000 1"
    write_inbuilt || return
    expect_box reread-checksum "$title" "text: $text_RereadCsErr" "icon: error"
    answer ok
    expect_box reread-compare "$title" "text: $text_RereadMemcmpErr" "icon: error"
    answer ok
    no_box 1500
    expect_exit 0
    service_absent
    same_file "$work/card.bin" "$backup" "the flash does not hold the backup after the restore"
    same_file "$backup" "$work/old.bin" "the backup is not the old image"
}

# A backup file that cannot be written keeps the user on the backup page (a
# folder that vanishes after the page's probe, a name that leads to a device),
# and a write that does not verify is followed by the old image.
scenario_old_image_kept() {
    one_card old_image_kept
    local bad_path="text: $text_BadBackupPath"
    to_backup_page -forcewritecserr || return
    mkdir "$work/vanishing"
    robot set-text "$IDC_BACKUP_PATH" "$(winpath "$work/vanishing")\\backup.bin" >/dev/null
    robot click "$IDOK" >/dev/null
    expect_box read-question "caption: $text_ReadBiosTitle"
    rm -r "$work/vanishing"
    answer ok
    expect_box vanished-folder "$title" "$bad_path" "icon: information" "buttons: ok"
    answer ok
    no_box 1000
    [ "$(robot page)" = "Save Backup" ] || fail "the backup page did not stay: $(robot page)"
    # A device is no backup: refused before the card is read.
    ln -s /dev/full "$work/full.bin"
    robot set-text "$IDC_BACKUP_PATH" "$(winpath "$work/full.bin")" >/dev/null
    robot click "$IDOK" >/dev/null
    expect_box device "$title" "$bad_path" "icon: information" "buttons: ok"
    answer ok
    [ "$(robot page)" = "Save Backup" ] || fail "the backup page did not stay: $(robot page)"
    [ -c /dev/full ] || fail "/dev/full is gone"
    same_file "$work/card.bin" "$work/old.bin" "a failed backup changed the card"
    touch -d '-1 minute' "$work/card.bin"
    touch "$work/before-write"
    backup="$work/backup.bin"
    robot set-text "$IDC_BACKUP_PATH" "$(winpath "$backup")" >/dev/null
    read_card
    expect_page "Select BIOS" || return
    robot click "$IDOK" >/dev/null
    confirm_write "$inbuilt_version"
    expect_box reread-checksum "$title" \
        "text: $text_RereadCsErr" "icon: error"
    answer ok
    no_box 1500
    expect_exit 0
    service_absent
    [ "$work/card.bin" -nt "$work/before-write" ] || fail "the flash was never written"
    same_file "$work/card.bin" "$work/old.bin" "the flash does not hold the old image"
    same_file "$backup" "$work/old.bin" "the backup is not the old image"
}

scenario_existing_backup() {
    one_card existing_backup
    printf 'an earlier backup' >"$work/earlier.bin"
    to_backup_page || return
    # Browse, then cancel the folder chooser: the typed name moves into the
    # remembered (temporary) folder.
    local folder
    folder=$(robot get-text "$IDC_BACKUP_PATH")
    folder=${folder%\\*}
    robot set-text "$IDC_BACKUP_PATH" 'E:\x\my.bin' >/dev/null
    robot click "$IDC_BROWSE" >/dev/null
    wait_active "Browse for Folder" || return
    shot folder-chooser
    # The folder chooser is the active window of the virtual desktop.
    xdotool key Escape
    wait_active "Save Backup" || return
    [ "$(robot get-text "$IDC_BACKUP_PATH")" = "$folder\\my.bin" ] || fail "after Browse and Cancel: $(robot get-text "$IDC_BACKUP_PATH")"
    robot set-text "$IDC_BACKUP_PATH" "$(winpath "$work/earlier.bin")" >/dev/null
    robot click "$IDOK" >/dev/null
    expect_box overwrite "$title" \
        "text: $text_ConfirmBackupOverwrite" "buttons: yes no" "default: no"
    answer no
    [ "$(robot page)" = "Save Backup" ] || fail "the page did not stay after No"
    [ "$(cat "$work/earlier.bin")" = "an earlier backup" ] || fail "No changed the file"
    robot click "$IDOK" >/dev/null
    expect_box overwrite-again "$title" "default: no"
    answer yes
    expect_box read-question "caption: $text_ReadBiosTitle"
    [ "$(cat "$work/earlier.bin")" = "an earlier backup" ] || fail "the file was emptied before the read"
    answer ok
    expect_page "Select BIOS" || return
    same_file "$work/earlier.bin" "$work/old.bin" "the backup does not hold the card's image"
    robot click "$IDCANCEL" >/dev/null
    expect_box cancel "$exit_title"
    answer yes
    expect_exit 0
}

# small_disk_off: the small disk of backup_kept is unmounted.
small_disk_off() {
    mountpoint -q "$1" && umount "$1"
    return 0
}

# A backup never replaces or removes what its name holds: a link to a device
# is refused at once and left as it is; a disk that fills up while the backup
# is written leaves the earlier file whole and no temporary file; Yes to the
# overwrite question keeps the earlier file as NAME.1 beside the new, whole
# backup.
scenario_backup_kept() {
    local small=$E2E_OUT/work/backup_kept/small
    small_disk_off "$small"
    one_card backup_kept
    local bad_path="text: $text_BadBackupPath"
    to_backup_page || return
    ln -s /dev/full "$work/device.bin"
    robot set-text "$IDC_BACKUP_PATH" "$(winpath "$work/device.bin")" >/dev/null
    robot click "$IDOK" >/dev/null
    expect_box device "$title" "$bad_path" "icon: information" "buttons: ok"
    answer ok
    no_box 1000
    [ "$(robot page)" = "Save Backup" ] || fail "the backup page did not stay: $(robot page)"
    [ -L "$work/device.bin" ] || fail "the link to the device was removed"
    [ -c /dev/full ] || fail "/dev/full is gone"

    # A 64-KB disk holding an earlier backup: the new one cannot fit.
    mkdir "$small"
    if mount -t tmpfs -o size=64k tmpfs "$small" 2>/dev/null; then
        printf 'an earlier backup' >"$small/earlier.bin"
        robot set-text "$IDC_BACKUP_PATH" "$(winpath "$small/earlier.bin")" >/dev/null
        robot click "$IDOK" >/dev/null
        expect_box overwrite-full "$title" "text: $text_ConfirmBackupOverwrite" "default: no"
        answer yes
        expect_box read-question-full "caption: $text_ReadBiosTitle"
        answer ok
        expect_box full-disk "$title" "$bad_path" "icon: information" "buttons: ok"
        answer ok
        no_box 1000
        [ "$(robot page)" = "Save Backup" ] || fail "the backup page did not stay: $(robot page)"
        [ "$(cat "$small/earlier.bin")" = "an earlier backup" ] || fail "a full disk lost the earlier backup"
        [ "$(ls "$small")" = earlier.bin ] || fail "left on the full disk: $(ls "$small" | tr '\n' ' ')"
        small_disk_off "$small"
    else
        echo "note [$scenario]: no small disk can be mounted here; the full disk is not checked"
    fi
    same_file "$work/card.bin" "$work/old.bin" "a failed backup changed the card"

    printf 'an earlier backup' >"$work/earlier.bin"
    robot set-text "$IDC_BACKUP_PATH" "$(winpath "$work/earlier.bin")" >/dev/null
    robot click "$IDOK" >/dev/null
    expect_box overwrite "$title" "text: $text_ConfirmBackupOverwrite" "buttons: yes no" "default: no"
    answer yes
    read_question
    answer ok
    expect_page "Select BIOS" || return
    same_file "$work/earlier.bin" "$work/old.bin" "the new backup is not the card's whole image"
    [ "$(cat "$work/earlier.bin.1" 2>/dev/null)" = "an earlier backup" ] ||
        fail "the earlier backup was not kept as earlier.bin.1"
    [ -e "$work/earlier.bin.part" ] && fail "the temporary file was left behind"
    robot click "$IDCANCEL" >/dev/null
    expect_box cancel "$exit_title"
    answer yes
    expect_exit 0
    same_file "$work/card.bin" "$work/old.bin" "the card changed"
}

scenario_no_card() {
    prepare no_card "$(machine no_card "$bridge")"
    start
    expect_page Welcome || return
    robot click "$IDOK" >/dev/null
    expect_box no-card "$title" \
        "text: $(text_fill "$text_NoDevicesErr" 2)" "icon: information" "buttons: ok"
    answer ok
    no_box 1000
    expect_exit 0
    service_absent
}

scenario_nine_cards() {
    prepare nine_cards "$e2e_repo/tools/pelmixctl/samples/nine-cards.machine"
    start
    expect_page Welcome || return
    robot click "$IDOK" >/dev/null
    expect_box nine-cards "$title" \
        "text: $(text_fill "$text_NoDevicesErr" 1)" "icon: information"
    answer ok
    expect_exit 0
}

# The processors are not held in time during More info: the text stays empty.
scenario_more_info_timeout() {
    prepare more_info_timeout "$(machine more_info_timeout "$bridge" "$card_a image=a.bin" "fault cpu-timeout")"
    cp "$images/board128.bin" "$work/a.bin"
    start -forcedevlist
    expect_page Welcome || return
    robot click "$IDOK" >/dev/null
    expect_page "Select Device" || return
    [ "$(robot list "$IDC_DEVICE_LIST")" = "ZT10-E (PCI)" ] || fail "list: $(robot list "$IDC_DEVICE_LIST")"
    expect_state "$IDOK" "visible disabled unchecked" "Next enabled before a selection"
    robot select "$IDC_DEVICE_LIST" 0 >/dev/null
    expect_state "$IDC_MORE_INFO" "visible enabled unchecked" "More info after a selection"
    robot click "$IDC_MORE_INFO" >/dev/null
    expect_box more-info "$title" "buttons: ok"
    answer ok
    # The read runs on the page's thread: the robot's question waits for it.
    [ -z "$(robot get-text "$IDC_DEVICE_INFO")" ] || fail "information text after a failed read: $(robot get-text "$IDC_DEVICE_INFO")"
    [ "$(robot page)" = "Select Device" ] || fail "the page did not stay"
    robot click "$IDCANCEL" >/dev/null
    expect_box cancel "$exit_title"
    answer yes
    expect_exit 0
}

all="default_path two_cards small_chip image_files write_fails write_restored force_read_error dev_mode force_write_error old_image_kept
     existing_backup backup_kept no_card nine_cards more_info_timeout"
run_scenarios "$all" "$@"
