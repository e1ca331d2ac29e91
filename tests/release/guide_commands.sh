#!/usr/bin/env bash
# Runs every command that the user guide's source and READ-ME-FIRST show, on
# emulated machines, and checks that each does what its section says. The
# commands are read from the texts themselves: code lines (indented by four
# blanks) and `code` spans that start with a program's name. Each section
# that shows commands has a scenario here (the state of the machine its text
# describes); a command this script does not know, or a section without a
# scenario, fails the test, so no changed command goes untested; the
# recovery, bench and checksum commands must stay shown.
#
#   guide_commands.sh --source DIR --pelmixctl FILE --biostool FILE --images DIR --work DIR
#
# pelmixctl.exe runs as the native pelmixctl on the section's machine file
# (the same requests and outputs as pelmixctl.exe on Windows, as the Wine
# comparisons check); biostool.exe as the native biostool. A command that asks
# before it writes runs on a terminal (script(1)) and is answered y. The
# target (BUS:DEV.FN) and the Windows file names of a command are replaced by
# the scenario's. certutil is not in Wine (only a stub), so its command is
# checked by its form and by the digest it prints, computed here, against
# SHA256SUMS made as scripts/package.sh makes it.
set -uo pipefail

source_dir= pelmixctl= biostool= images= work=
while [ $# -gt 0 ]; do
    case $1 in
        --source) source_dir=$2 ;;
        --pelmixctl) pelmixctl=$2 ;;
        --biostool) biostool=$2 ;;
        --images) images=$2 ;;
        --work) work=$2 ;;
        *) echo "unknown option $1" >&2; exit 2 ;;
    esac
    shift 2
done
[ -n "$source_dir" ] && [ -n "$pelmixctl" ] && [ -n "$biostool" ] && [ -n "$images" ] && [ -n "$work" ] ||
    { echo "usage: guide_commands.sh --source DIR --pelmixctl FILE --biostool FILE --images DIR --work DIR" >&2; exit 2; }
# Commands run in each scenario's folder: every path given here made absolute.
source_dir=$(realpath "$source_dir") pelmixctl=$(realpath "$pelmixctl") biostool=$(realpath "$biostool")
images=$(realpath "$images") work=$(realpath -m "$work")
command -v script >/dev/null || { echo "SKIP: no script(1) to give the confirming commands a terminal"; exit 77; }

guide=$source_dir/docs/guide/guide.txt
readme=$source_dir/docs/guide/read-me-first.txt
rm -rf "$work"
mkdir -p "$work"
failed=0
fail() { echo "FAIL: $*"; failed=1; }

programs='pelmixctl.exe|pelmixctl|biostool.exe|biostool|certutil|fc|sha256sum|Dorvane.exe'
# The backup file's name in the guide's examples (the Save Backup page's).
backup_name=B1B2F.bin

# SECTION<TAB>COMMAND lines, in the order of the texts.
extract() {
    LC_ALL=C awk -v programs="^($programs) " -v mention="^($programs) (checksum|info|pad|merge|restore|verify|backup|flash|identify|read-rom|write-rom)$" '
        FNR == 1 { section = (FILENAME ~ /read-me-first/) ? "READ-ME-FIRST" : "" }
        /^#/ { section = $0; sub(/^#+ /, "", section); next }
        /^    [^ ]/ { line = substr($0, 5); if (line ~ programs) print section "\t" line; next }
        {
            rest = $0
            while (match(rest, /`[^`]*`/)) {
                span = substr(rest, RSTART + 1, RLENGTH - 2)
                # A program and a verb that needs a file or a target, alone,
                # names the command in a sentence: the code lines run it.
                if (span ~ programs && span !~ mention) print section "\t" span
                rest = substr(rest, RSTART + RLENGTH)
            }
        }' "$guide" "$readme"
}
extract >"$work/commands.tsv"
total=$(wc -l <"$work/commands.tsv")
[ "$total" -gt 0 ] || { echo "FAIL: no command found in $guide"; exit 1; }

# ---- Machines ----

# card TARGET PART IMAGE REST: the machine line of an Orvel card at TARGET
# (REST: its ids and BARs) whose chip (PART) holds IMAGE, in a file named
# after TARGET.
chip_file() { echo "$run/chip-${1//[:.]/-}.rom"; }
card() {
    local target=$1 part=$2 image=$3 rest=$4
    cp "$image" "$(chip_file "$target")"
    echo "pci $target $rest flash=$part image=$(basename "$(chip_file "$target")")"
}
# start_run NAME: a fresh folder for one scenario; commands run in it (a
# file named without a folder lands there, as in the prompt's folder).
start_run() {
    run=$work/$1
    mkdir -p "$run"
    cd "$run" || exit 1
    machine=$run/bench.machine
    targets=()
}
one_card() {  # one_card PART IMAGE: a card at 0:0a.0, the target
    local part=$1 image=$2
    {
        echo "cpus 2"
        echo "pci 0:00.0 id=8086:7190 class=0600 bar0=0xF8000008/64M"
        card 0:0a.0 "$part" "$image" "id=1E5B:0A51 class=0300 bar0=0xE0000008/64M bar1=0xE4000000/8K"
    } >"$machine"
    targets=(0:0a.0)
    target=0:0a.0
}

# A chip left incomplete, as after the program's "Unable to restore your
# original BIOS": the backup was saved first, then half of a new image was
# written and the rest of the chip is erased.
break_chip() {
    "$pelmixctl" --machine "$machine" backup "$target" "$run/$backup_name" </dev/null >"$run/backup.txt" 2>&1 ||
        fail "$run: no backup of $target"
    local size half
    size=$(chip_size "$target")
    half=$((size / 2))
    { head -c $half "$images/inbuilt.bin"; head -c $half /dev/zero | tr '\0' '\377'; } >"$(chip_file "$target")"
    return 0
}
chip_size() { stat -c %s "$(chip_file "$1")"; }
# cut_rom IN SIZE_BYTE_OCTAL LENGTH OUT: an option ROM as other tools save
# it, its size byte set and cut at the length it declares, summed over it.
cut_rom() {
    cp "$1" "$4.tmp"
    printf "\\$2" | dd of="$4.tmp" bs=1 seek=2 conv=notrunc 2>/dev/null
    head -c "$3" "$4.tmp" >"$4"
    rm -f "$4.tmp"
    "$biostool" checksum "$4" --repair "$3" >/dev/null 2>&1 || fail "cannot sum $4 over $3"
}
sums_of_others() { for t in "${targets[@]}"; do [ "$t" = "$target" ] || sha256sum "$(chip_file "$t")"; done; }

# ---- Running a command ----

# file_for PATH: the scenario's file for a Windows path, by its name.
file_for() { echo "$run/${1##*\\}"; }

# run_command COMMAND: runs one command of the texts in the current
# scenario and checks it; sets out and status.
run_command() {
    local text=$1
    local -a words args
    read -r -a words <<<"$text"
    local program=${words[0]}
    args=()
    local word
    for word in "${words[@]:1}"; do
        if [[ $word =~ ^[0-9]{1,3}:[0-9a-fA-F]{1,2}\.[0-7]$ ]]; then
            args+=("$target")
        elif [[ $word =~ ^[A-Za-z]:\\ ]]; then
            args+=("$(file_for "$word")")
        else
            args+=("$word")
        fi
    done
    case $program in
        pelmixctl.exe|pelmixctl) check_pelmixctl "${args[@]}" ;;
        biostool.exe|biostool) check_biostool "${args[@]}" ;;
        certutil) check_certutil "${args[@]}" ;;
        sha256sum) check_sha256sum "${args[@]}" ;;
        *) fail "[$section] untested command: $text" ;;
    esac
}

# The verb of a pelmixctl command line: its first word that is not an option.
verb_of() {
    local word
    for word in "$@"; do case $word in --*) ;; *) echo "$word"; return ;; esac; done
}
# The word after NAME on the line, or nothing.
after() {
    local name=$1 previous= word
    shift
    for word in "$@"; do [ "$previous" = "$name" ] && { echo "$word"; return; }; previous=$word; done
}
# The positional words after the verb.
positionals() {
    local seen=0 skip=0 word
    for word in "$@"; do
        if [ $skip -eq 1 ]; then skip=0; continue; fi
        case $word in
            --backup|--machine) skip=1 ;;
            --*) ;;
            *) [ $seen -eq 1 ] && echo "$word"; seen=1 ;;
        esac
    done
}

check_pelmixctl() {
    local verb yes=0 json=0 word
    verb=$(verb_of "$@")
    for word in "$@"; do
        [ "$word" = --yes ] && yes=1
        [ "$word" = --json ] && json=1
    done
    local -a pos
    mapfile -t pos < <(positionals "$@")
    local before_chip= before_others
    [ -n "${target:-}" ] && [ -f "$(chip_file "$target")" ] && before_chip=$(sha256sum <"$(chip_file "$target")")
    before_others=$(sums_of_others)
    # A flash that names an image file: the image is there.
    if [ "$verb" = flash ] && [ ${#pos[@]} -ge 2 ]; then
        cp "$images/stored-128k.rom" "${pos[1]}"
    fi
    if { [ "$verb" = restore ] || [ "$verb" = flash ]; } && [ $yes -eq 0 ]; then
        # Asks before it writes: a terminal, answered y.
        local quoted
        quoted=$(printf '%q ' "$pelmixctl" --machine "$machine" "$@")
        out=$(echo y | script -qec "$quoted" /dev/null)
        status=$?
        out=$(tr -d '\r' <<<"$out")
    else
        out=$("$pelmixctl" --machine "$machine" "$@" </dev/null 2>&1)
        status=$?
    fi
    local shown="[$section] pelmixctl $*"
    if [ $json -eq 1 ]; then
        grep -qv '^{.*}$' <<<"$out" && fail "$shown: a line that is not a JSON object: $(grep -v '^{.*}$' <<<"$out" | head -1)"
        tail -1 <<<"$out" | grep -q '^{"step":"result",.*"exit":0' || fail "$shown: the last line is no result with exit 0"
    fi
    case $verb in
        --help|"")
            [ $status -eq 0 ] && [[ $out == "usage: pelmixctl "* ]] || fail "$shown: exit $status, no usage text" ;;
        enum)
            [ $status -eq 0 ] || fail "$shown: exit $status"
            local t upper
            for t in "${targets[@]}"; do
                upper=$(echo "$t" | tr a-f A-F)
                grep -qF "  $upper  " <<<"$out" || fail "$shown: card $t is not listed: $out"
            done
            # identify after it: the chip's code and name, as the driver identifies it.
            if [[ " $* " == *" identify "* ]]; then
                grep -q '^  chip 0x[0-9A-F]\{4\} ' <<<"$out" || fail "$shown: no chip code: $out"
            fi ;;
        cards)
            # Each card with what its chip holds, the chips only read.
            [ $status -eq 0 ] && grep -qx "result: outcome listed, cards ${#targets[@]}, exit 0" <<<"$out" ||
                fail "$shown: exit $status: $out"
            local t
            for t in "${targets[@]}"; do
                grep -q "target $t, .*, checksum [a-z].*, version " <<<"$out" || fail "$shown: card $t is not told: $out"
            done
            [ "$(sha256sum <"$(chip_file "$target")")" = "$before_chip" ] || fail "$shown: the chip changed" ;;
        restore)
            [ $status -eq 0 ] && grep -qx 'result: outcome written and verified, exit 0' <<<"$out" ||
                fail "$shown: exit $status: $out"
            local file=${pos[1]:-}
            cmp -s <(head -c "$(chip_size "$target")" "$file") "$(chip_file "$target")" ||
                fail "$shown: the chip does not hold the backup" ;;
        verify)
            [ $status -eq 0 ] && grep -qx 'result: outcome equal, exit 0' <<<"$out" || fail "$shown: exit $status: $out" ;;
        backup)
            local file=${pos[1]:-}
            [ $status -eq 0 ] || fail "$shown: exit $status: $out"
            [ "$(stat -c %s "$file" 2>/dev/null)" = 131072 ] || fail "$shown: no 131072-byte backup"
            cmp -s <(head -c "$(chip_size "$target")" "$file") "$(chip_file "$target")" ||
                fail "$shown: the backup does not hold the chip" ;;
        flash)
            local file
            file=$(after --backup "$@")
            [ $status -eq 0 ] && grep -q 'outcome written and verified, exit 0\|"outcome":"written and verified","exit":0' \
                <<<"$out" || fail "$shown: exit $status: $out"
            [ "$(sha256sum <"$(chip_file "$target")")" != "$before_chip" ] || fail "$shown: the chip did not change"
            [ -f "$file" ] || fail "$shown: no backup $file" ;;
        write-rom)
            # A request of its own: it must put FILE on the chip.
            [ $status -eq 0 ] || fail "$shown: exit $status: $out"
            cmp -s <(head -c "$(chip_size "$target")" "${pos[1]:-}") "$(chip_file "$target")" ||
                fail "$shown: the chip does not hold the file" ;;
        read-rom)
            [ $status -eq 0 ] && cmp -s "${pos[1]:-}" "$(chip_file "$target")" ||
                fail "$shown: exit $status, the file does not hold the chip" ;;
        *) fail "$shown: untested command" ;;
    esac
    [ "$(sums_of_others)" = "$before_others" ] || fail "$shown: another card's chip changed"
}

check_biostool() {
    local verb=$1
    out=$("$biostool" "$@" 2>&1)
    status=$?
    local shown="[$section] biostool $*"
    case $verb in
        checksum)
            # A backup passes as the program counts it (its first line).
            [ $status -eq 0 ] && head -1 <<<"$out" | grep -q '^checksum valid over' ||
                fail "$shown: exit $status: $out" ;;
        info)
            [ $status -eq 0 ] && grep -q 'Bios Rev' <<<"$out" || fail "$shown: exit $status, no version text: $out" ;;
        pad)
            local size
            size=$(stat -c %s "$3" 2>/dev/null || echo 0)
            [ $status -eq 0 ] && [ $((size % 32768)) -eq 0 ] && [ "$size" -gt 0 ] &&
                cmp -s <(head -c "$(stat -c %s "$2")" "$3") "$2" || fail "$shown: exit $status, $size bytes"
            ;;
        --help|-h)
            [ $status -eq 0 ] && [[ $out == "usage: biostool "* ]] && grep -q '^Exit codes: ' <<<"$out" ||
                fail "$shown: exit $status, no usage and exit codes: $out" ;;
        *) fail "$shown: untested command" ;;
    esac
}

# The package's folder as scripts/package.sh stages it: the files, and
# SHA256SUMS made by the same command.
package_folder() {
    stage=$run/package
    mkdir -p "$stage/images"
    local f
    for f in Dorvane.exe Pelmix.sys pelmixctl.exe biostool.exe guide.html guide.txt setup.cfg.sample \
        READ-ME-FIRST.txt images/welcome.png; do
        head -c $((RANDOM + 1)) /dev/urandom >"$stage/$f"
    done
    local make_sums
    make_sums=$(grep -o '(cd "$stage" && find .*>SHA256SUMS)' "$source_dir/scripts/package.sh")
    [ -n "$make_sums" ] || { fail "scripts/package.sh makes no SHA256SUMS this test knows"; return; }
    eval "$make_sums"
}

check_certutil() {
    local shown="[$section] certutil $*"
    if [ $# -ne 3 ] || [ "$1" != -hashfile ] || [ "$3" != SHA256 ]; then
        fail "$shown: not certutil -hashfile FILE SHA256"
        return
    fi
    [ -f "$stage/$2" ] || { fail "$shown: $2 is not a file of the package"; return; }
    # What certutil prints is the file's SHA-256; SHA256SUMS must hold it.
    local digest
    digest=$(sha256sum "$stage/$2" | cut -d' ' -f1)
    grep -qx "$digest  $2" "$stage/SHA256SUMS" || fail "$shown: SHA256SUMS holds no line \"$digest  $2\""
}

check_sha256sum() {
    local shown="[$section] sha256sum $*"
    out=$(cd "$stage" && sha256sum "$@" 2>&1)
    status=$?
    [ $status -eq 0 ] && grep -q ': OK$' <<<"$out" || fail "$shown: exit $status: $out"
    # And it finds a damaged file.
    printf x >>"$stage/Pelmix.sys"
    (cd "$stage" && sha256sum "$@" >/dev/null 2>&1) && fail "$shown: a changed file passes"
    package_folder
}

# ---- Scenarios: the state each section describes ----

# scenario SECTION VARIANT: prepares the machine for one pass of a section.
scenario() {
    case $1 in
        "If the program could not restore")
            # A 128-KB and a 64-KB chip: the backup is 131072 bytes either way.
            if [ "$2" = 1 ]; then
                start_run could-not-restore-128k; one_card 08BF "$images/stored-128k.rom"
            else
                start_run could-not-restore-64k; one_card D4BF "$images/stored-64k.rom"
            fi
            break_chip ;;
        "If the screen stays black after a restart")
            # A working Orvel PCI card shows the picture; the dead AGP card,
            # its BIOS incomplete, starts with its memory decoding off.
            start_run second-card
            {
                echo "cpus 2"
                echo "pci 0:00.0 id=8086:7190 class=0600 bar0=0xF8000008/64M"
                echo "pci 0:01.0 id=8086:7191 class=0604 header=01 cfg18=0x00010100 cfg20=0xF3F0F000 cfg24=0xEBF0E000"
                card 0:0a.0 9FDF "$images/legacy-128k.rom" \
                    "id=1E5B:0A51 class=0300 bar0=0xD0000008/64M bar1=0xD4000000/8K"
                card 1:00.0 2320 "$images/stored-128k.rom" \
                    "id=1D2E:0C62 class=0300 cmd=0000 agp status=0230 bar0=0xE8000008/64M bar1=0xF3000000/16K rom=0xF3FE0000/128K"
            } >"$machine"
            targets=(0:0a.0 1:00.0)
            target=1:00.0
            break_chip ;;
        "Checking a backup or an image")
            start_run checking-a-backup; one_card 08BF "$images/stored-128k.rom"
            "$pelmixctl" --machine "$machine" backup "$target" "$run/$backup_name" >/dev/null 2>&1 ||
                fail "no backup to check"
            cut_rom "$images/stored-64k.rom" 116 39936 "$run/vgabios.bin" ;;
        "Flashing from a prompt")
            start_run flashing-from-a-prompt; one_card D5BF "$images/stored-128k.rom" ;;
        "Checking the files of the package"|READ-ME-FIRST)
            start_run "package-files-${1// /-}"; package_folder ;;
        *) return 1 ;;
    esac
}
passes() { [ "$1" = "If the program could not restore" ] && echo 2 || echo 1; }

# What the texts must go on showing, section by section: the recovery a user
# needs when it matters, bench flashing and the check of the files.
required=(
    "If the program could not restore|pelmixctl.exe enum" "If the program could not restore|pelmixctl.exe restore"
    "If the program could not restore|pelmixctl.exe verify"
    "If the screen stays black after a restart|pelmixctl.exe enum"
    "If the screen stays black after a restart|pelmixctl.exe cards"
    "If the screen stays black after a restart|pelmixctl.exe restore"
    "Flashing from a prompt|pelmixctl.exe backup" "Flashing from a prompt|pelmixctl.exe flash"
    "Flashing from a prompt|pelmixctl.exe --json" "Checking the files of the package|certutil -hashfile"
    "READ-ME-FIRST|certutil -hashfile"
)
for want in "${required[@]}"; do
    grep -qF "${want%%|*}"$'\t'"${want#*|}" "$work/commands.tsv" ||
        fail "[${want%%|*}] the texts do not show ${want#*|}"
done

mapfile -t sections < <(cut -f1 "$work/commands.tsv" | awk '!seen[$0]++')
ran=0
for section in "${sections[@]}"; do
    for ((pass = 1; pass <= $(passes "$section"); pass++)); do
        if ! scenario "$section" "$pass"; then
            while IFS=$'\t' read -r s text; do
                [ "$s" = "$section" ] && fail "[$section] no scenario for this section's command: $text"
            done <"$work/commands.tsv"
            continue
        fi
        while IFS=$'\t' read -r s text; do
            [ "$s" = "$section" ] || continue
            echo "[$section] $text"
            run_command "$text"
            ran=$((ran + 1))
        done <"$work/commands.tsv"
    done
done

if [ $failed -eq 0 ]; then
    echo "OK: $total commands of the guide and READ-ME-FIRST, $ran runs"
    rm -rf "$work"
else
    echo "logs in $work"
fi
exit $failed
