#!/usr/bin/env bash
# Reversal benchmark: wall time and peak memory of
#   (a) tarnivo-reverse with the default profile,
#   (b) ffmpeg's reverse and areverse filters into the same codec, size and rate,
#   (c) the tool command lines Tarnivo runs for the file, back to back from a plain script,
# for generated 1280x720 30 fps clips with sound of 20 s and 60 s (and 10 minutes with --long).
#
#   bench/reverse-benchmark.sh [--long] [--build FOLDER]
#
# FOLDER is a build folder holding bin/tarnivo-reverse, bin/tarnivo-ffmpeg, bin/tarnivo-sox and
# bin/tarnivo-batch (default: build). Peak memory is the largest sum of the resident memory of
# the process and all its descendants, sampled every 100 ms.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build="$here/../build"
lengths=(20 60)
while (($#)); do
    case $1 in
    --long) lengths+=(600) ;;
    --build) build=$2; shift ;;
    *) echo "usage: $0 [--long] [--build FOLDER]" >&2; exit 2 ;;
    esac
    shift
done
bin=$(cd "$build/bin" && pwd)
# The filter holds every decoded picture; past this much address space it fails cleanly rather
# than waking the kernel's out-of-memory killer.
filterLimitKiB=$((8 * 1024 * 1024))

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tarnivo-bench.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# The resident memory (KiB) of a process and all its descendants.
treeResident() {
    ps -e -o pid=,ppid=,rss= | awk -v root="$1" '
        { parent[$1] = $2; rss[$1] = $3 }
        END {
            for (p in rss) {
                q = p
                while (q != root && (q in parent) && q > 1) q = parent[q]
                if (q == root) total += rss[p]
            }
            print total + 0
        }'
}

# Runs a command; sets seconds, peakMiB and status.
measure() {
    local log=$1
    shift
    local start end peak=0 now state
    start=$(date +%s.%N)
    "$@" </dev/null >"$log" 2>&1 &
    local pid=$!
    # Until the process has ended (a zombie waiting for `wait` has ended too).
    while { read -r _ _ state _ <"/proc/$pid/stat"; } 2>/dev/null && [[ $state != Z ]]; do
        now=$(treeResident "$pid")
        ((now > peak)) && peak=$now
        sleep 0.1
    done
    status=0
    wait "$pid" || status=$?
    end=$(date +%s.%N)
    seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }')
    peakMiB=$((peak / 1024))
}

makeClip() {
    ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=s=1280x720:r=30:d=$1" -f lavfi \
        -i "sine=f=440:beep_factor=4:d=$1" -ac 2 -c:v libx264 -preset veryfast -crf 20 -c:a aac "$2"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }

report() { printf '  %-44s %8s s  %7s MiB  %s\n' "$1" "$2" "$3" "$4"; }

for length in "${lengths[@]}"; do
    clip="$scratch/clip-$length.mp4"
    makeClip "$length" "$clip"
    echo "$length s of 1280x720 at 30 fps with sound:"

    if [[ -x $bin/tarnivo-reverse ]]; then
        mkdir -p "$scratch/a-temp" "$scratch/a-out" "$scratch/a-config"
        chmod 700 "$scratch/a-temp"
        measure "$scratch/a.log" env TEMP="$scratch/a-temp" XDG_CONFIG_HOME="$scratch/a-config" \
            "$bin/tarnivo-reverse" --out "$scratch/a-out" "$clip"
        aSeconds=$seconds
        report "(a) tarnivo-reverse, default profile" "$seconds" "$peakMiB" "exit $status"
    else
        aSeconds=0
        report "(a) tarnivo-reverse" "-" "-" "not built"
    fi

    measure "$scratch/b.log" bash -c "ulimit -v $filterLimitKiB; exec ffmpeg -nostdin -y -i '$clip' \
        -vf reverse,yadif,scale=320:240 -af areverse -r 29.97 -c:v libxvid -q:v 2 -ac 2 '$scratch/b.avi'"
    bSeconds=$seconds
    bNote="exit $status"
    if ((status != 0)); then
        bNote+=": $(grep -m1 -i -E 'cannot allocate|out of memory|alloc' "$scratch/b.log" || tail -n1 "$scratch/b.log")"
    fi
    report "(b) ffmpeg reverse/areverse filters" "$seconds" "$peakMiB" "$bNote"

    rm -rf "$scratch/c-work"
    measure "$scratch/c.log" "$here/tool-lines.sh" "$bin" "$clip" "$scratch/c-work" "$scratch/c.avi"
    cSeconds=$seconds
    report "(c) Tarnivo's tool lines, plain script" "$seconds" "$peakMiB" "exit $status"

    echo "  a/b $(ratio "$aSeconds" "$bSeconds")   a/c $(ratio "$aSeconds" "$cSeconds")"
    rm -rf "$scratch"/a-temp "$scratch"/a-out "$scratch"/c-work "$scratch"/*.avi "$clip"
done
