#!/usr/bin/env bash
# Sends the shipped driver, under the model NT kernel, random runs of
# requests: the nine request codes and others, input and output lengths of
# 0, short of the record, exact, long and huge, random record contents
# aimed mostly at the machine's own cards, on 1 to 8 processors, NT 4.0,
# 2000 and XP and each machine of the list. compare_with_native.sh runs each
# natively too: every reply, virtual time and chip byte must be the same,
# and any stop, hang or crash of the model fails the run.
#
#   fuzz_requests.sh --compare SCRIPT --native PELMIXCTL --model NTMODEL --driver PELMIX.SYS
#       --work DIR [--seed S] [--first I] [--runs N] MACHINE...
#
# Run I draws everything from seed S and I alone: a failure prints both and
# the command that repeats that run alone (--first I --runs 1).
set -uo pipefail

compare= native= model= driver= work= seed=1 first=0 runs=20
while [ $# -gt 0 ] && [ "${1#--}" != "$1" ]; do
    case $1 in
        --compare) compare=$2 ;;
        --native) native=$2 ;;
        --model) model=$2 ;;
        --driver) driver=$2 ;;
        --work) work=$2 ;;
        --seed) seed=$2 ;;
        --first) first=$2 ;;
        --runs) runs=$2 ;;
        *) echo "unknown option $1" >&2; exit 2 ;;
    esac
    shift 2
done
machines=("$@")
[ ${#machines[@]} -gt 0 ] || { echo "no machine files" >&2; exit 2; }

# A 31-bit linear congruential generator, the same on every bash.
state=0
draw() {  # draw N: a number from 0 to N-1 in $r
    state=$(( (state * 1103515245 + 12345) & 0x7FFFFFFF ))
    r=$(( (state >> 8) % $1 ))
}
pick() {  # pick WORD...: one of the words in $r
    draw $#
    local words=("$@")
    r=${words[$r]}
}
hex32() {  # a little-endian 32-bit field of value $1 in $r
    local v=$(( $1 & 0xFFFFFFFF ))
    r=$(printf '%02x%02x%02x%02x' $((v & 255)) $((v >> 8 & 255)) $((v >> 16 & 255)) $((v >> 24 & 255)))
}

nine=(0x222000 0x222004 0x222008 0x22200C 0x222010 0x222014 0x222018 0x22201C 0x222020)
# Codes beside the nine: the next function, other methods and access bits of
# the driver's functions, another device type, none at all.
others=(0x222024 0x222001 0x222002 0x222003 0x226000 0x22A01C 0x220000 0x00000000 0xFFFFFFFC 0x2221FC)
# The record each code carries (two pages for the page requests).
record_length() {
    case $1 in
        0x222000) r=456 ;;
        0x222004 | 0x222008 | 0x222018) r=131088 ;;
        0x22200C | 0x222010 | 0x222020) r=283 ;;
        0x22201C) r=64 ;;
        *) r=16 ;;
    esac
}
length_of() {  # length_of RECORD: 0, short, exact, long or huge, in $r
    local need=$1
    draw 20
    if [ $r -lt 3 ]; then r=0
    elif [ $r -lt 8 ]; then draw $((need > 1 ? need - 1 : 1)); r=$((r + 1))
    elif [ $r -lt 15 ]; then r=$need
    elif [ $r -lt 19 ]; then draw 512; r=$((need + 1 + r))
    else pick 1048576 16777216
    fi
}

# The record's contents: a header aimed at one of the machine's cards most of
# the time, page fields from the edges of the chip, then random bytes.
contents() {  # contents CODE INLEN: hex in $r
    local code=$1 inlen=$2 hex="" value
    draw 10
    if [ $r -lt 8 ]; then value=0; else draw 0x7FFFFFFF; value=$r; fi
    hex32 $value; hex+=$r
    draw 10
    if [ $r -lt 7 ] && [ ${#targets[@]} -gt 0 ]; then
        pick "${targets[@]}"
        IFS=': .' read -r bus device function <<< "$r"
        bus=$((10#$bus)) device=$((16#$device)) function=$((16#$function))
    else
        pick 0 1 2 255 0xFFFFFFFF; bus=$r
        draw 40; device=$r
        pick 0 1 7 8; function=$r
    fi
    hex32 $bus; hex+=$r
    hex32 $device; hex+=$r
    hex32 $function; hex+=$r
    case $code in
        0x22200C | 0x222010 | 0x222020)
            pick 0 128 256 65408 65536 130944 131072 131200 127 0x7FFFFF80 0xFFFFFF80; hex32 $r; hex+=$r
            pick 0 1 2 3 4 1024 1025 0x7FFFFFFF 0xFFFFFFFF; hex32 $r; hex+=$r ;;
    esac
    draw 32
    local extra=$r i
    for ((i = 0; i < extra; i++)); do
        draw 256
        hex+=$(printf '%02x' $r)
    done
    local most=$((inlen * 2))
    r=${hex:0:$most}
}

# One named command of pelmixctl's, or a raw request.
request() {  # appends to commands[]
    local target
    if [ ${#targets[@]} -gt 0 ]; then pick "${targets[@]}" 2:00.0; target=$r; else target=0:0a.0; fi
    draw 10
    if [ $r -lt 4 ]; then
        pick enum identify read-rom write-rom write-rom-preerased read-pages write-pages write-pages-preerased erase
        case $r in
            enum) commands+=(enum) ;;
            identify | erase) commands+=("$r" "$target") ;;
            read-rom) commands+=(read-rom "$target" "read$((reads++)).bin") ;;
            write-rom | write-rom-preerased) commands+=("$r" "$target" new.bin) ;;
            read-pages)
                local name=$r
                pick 0 128 65408 130944 131072 5; local start=$r
                pick 0 1 2 3 1024; commands+=("$name" "$target" "$start" "$r" "pages$((reads++)).bin") ;;
            *)
                local name=$r
                pick 0 128 65280 130944 131072 5; commands+=("$name" "$target" "$r" patch.bin) ;;
        esac
        return
    fi
    draw 10
    local code
    if [ $r -lt 8 ]; then pick "${nine[@]}"; else pick "${others[@]}"; fi
    code=$r
    record_length "$code"; local need=$r
    length_of "$need"; local inlen=$r
    length_of "$need"; local outlen=$r
    contents "$code" "$inlen"
    if [ -n "$r" ]; then commands+=(raw "$code" "$inlen" "$outlen" "$r"); else commands+=(raw "$code" "$inlen" "$outlen"); fi
}

mkdir -p "$work"
requests=0
for ((run = first; run < first + runs; run++)); do
    state=$(( (seed * 7919 + run * 104729 + 1) & 0x7FFFFFFF ))
    pick "${machines[@]}"; machine=$r
    pick 4.0 5.0 5.1; nt=$r
    draw 8; cpus=$((r + 1))
    # The native side takes the processors from the machine file: both get N.
    run_machine="$work/run$run.machine"
    grep -v '^cpus ' "$machine" > "$run_machine"
    echo "cpus $cpus" >> "$run_machine"
    targets=($(grep -o '^pci [0-9]*:[0-9a-f]*\.[0-7]' "$machine" | cut -d' ' -f2))
    files=(new.bin:131072:$((run % 251)) patch.bin:256:$((run % 241 + 1)))
    for image in $(grep -o 'image=[^ ]*' "$machine" | cut -d= -f2); do
        draw 251; files+=("$image:131072:$r")
    done
    commands=()
    reads=0
    draw 10
    [ $r -lt 8 ] && commands+=(enum)
    draw 7
    count=$((r + 3))
    for ((i = 0; i < count; i++)); do request; done
    requests=$((requests + count))
    file_options=()
    for f in "${files[@]}"; do file_options+=(--file "$f"); done
    output=$(bash "$compare" --native "$native" --model "$model" --driver "$driver" --work "$work/run$run" \
        --machine "$run_machine" --nt "$nt" "${file_options[@]}" -- "${commands[@]}" 2>&1)
    if [ $? -ne 0 ]; then
        echo "$output"
        echo "FAIL: seed $seed run $run ($(basename "$machine"), NT $nt, $cpus processors): ${commands[*]}" | cut -c1-2000
        echo "repeat: $0 --compare $compare --native $native --model $model --driver $driver --work $work" \
             "--seed $seed --first $run --runs 1 ${machines[*]}"
        exit 1
    fi
    rm -f "$run_machine"
done
echo "OK: $runs runs, $requests requests (seed $seed, runs $first to $((first + runs - 1))), all alike"
