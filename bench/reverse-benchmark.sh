#!/usr/bin/env bash
# Reversal benchmark: wall time and peak memory of
#   (a) tarnivo-reverse with the default profile,
#   (b) ffmpeg's reverse and areverse filters into the same codec, size and rate,
#   (c) the tool command lines Tarnivo runs for the file, back to back from a plain script,
#   (d) an editor's way: the film into an all-intra MJPEG intermediate with PCM sound (JPEG
#       pictures as fine as Tarnivo's frames), then a reversed render of it into the same codec,
#       size and rate (the render holds the decoded pictures, so its memory is not an editor's),
#   (e) the same with the intermediate at "-q:v 2", a common editing quality, coarser than
#       Tarnivo's frames,
# for generated 1280x720 30 fps clips with sound of 20 s and 60 s (and 10 minutes with --long),
# each once without colour tags and once tagged BT.709 as phones and cameras write them.
#
#   bench/reverse-benchmark.sh [--long] [--short] [--repeat N] [--build FOLDER]
#
# FOLDER is a build folder holding bin/tarnivo-reverse, bin/tarnivo-ffmpeg, bin/tarnivo-sox and
# bin/tarnivo-batch (default: build). --short measures the 20 s clips only. With --repeat N every
# way runs N times, in turns, and the median time is printed (for a machine that is not quiet).
# Peak memory is the largest sum of the resident memory of the process and all its
# descendants, sampled every 100 ms.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build="$here/../build"
lengths=(20 60)
repeat=1
while (($#)); do
    case $1 in
    --long) lengths+=(600) ;;
    --short) lengths=(20) ;;
    --repeat) repeat=$2; shift ;;
    --build) build=$2; shift ;;
    *) echo "usage: $0 [--long] [--short] [--repeat N] [--build FOLDER]" >&2; exit 2 ;;
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

# Runs a command; sets seconds (wall), cpu (user and system seconds of the command and all the
# children it waited for), peakMiB and status.
measure() {
    local log=$1
    shift
    local start end peak=0 now state
    start=$(date +%s.%N)
    /usr/bin/time -o "$scratch/cpu" -f "%U %S" "$@" </dev/null >"$log" 2>&1 &
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
    cpu=$(awk '/^[0-9.]+ [0-9.]+$/ { printf "%.2f", $1 + $2 }' "$scratch/cpu")
    peakMiB=$((peak / 1024))
}

# makeClip SECONDS COLOURS PATH: COLOURS is "untagged" or "bt709".
makeClip() {
    local tags=()
    [[ $2 == bt709 ]] && tags=(-colorspace bt709 -color_primaries bt709 -color_trc bt709 -color_range tv)
    ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=s=1280x720:r=30:d=$1" -f lavfi \
        -i "sine=f=440:beep_factor=4:d=$1" -ac 2 -c:v libx264 -preset veryfast -crf 20 "${tags[@]}" \
        -c:a aac "$3"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

report() { printf '  %-44s %8s s  %8s s  %7s MiB  %s\n' "$1" "$2" "$3" "$4" "$5"; }

# The default profile's picture and sound, as ffmpeg's own switches.
target=(-vf yadif=deint=interlaced,scale=320:240 -r 29.97 -c:v libxvid -q:v 2 -ac 2)
# The frames' JPEG options.
jpeg=(-qscale 1 -qmin 1 -strict -1)

wayA() {
    rm -rf "$scratch"/a-temp "$scratch"/a-out
    mkdir -p "$scratch/a-temp" "$scratch/a-out" "$scratch/a-config"
    chmod 700 "$scratch/a-temp"
    measure "$scratch/a.log" env TEMP="$scratch/a-temp" XDG_CONFIG_HOME="$scratch/a-config" \
        "$bin/tarnivo-reverse" --out "$scratch/a-out" "$1"
}

wayB() {
    measure "$scratch/b.log" bash -c "ulimit -v $filterLimitKiB; exec ffmpeg -nostdin -y -i '$1' \
        -vf reverse,yadif=deint=interlaced,scale=320:240 -af areverse ${target[*]:2} '$scratch/b.avi'"
}

wayC() {
    rm -rf "$scratch/c-work"
    measure "$scratch/c.log" "$here/tool-lines.sh" "$bin" "$1" "$scratch/c-work" "$scratch/c.avi" "$2"
}

# editorWay LOG SOURCE JPEG-OPTIONS...
editorWay() {
    local log=$1 source=$2
    shift 2
    measure "$log" bash -c "ulimit -v $filterLimitKiB
        ffmpeg -nostdin -y -i '$source' -c:v mjpeg $* -c:a pcm_s16le '$scratch/d.mov' &&
        exec ffmpeg -nostdin -y -i '$scratch/d.mov' -vf reverse,${target[1]} -af areverse \
            ${target[*]:2} '$scratch/d.avi'"
}

wayD() { editorWay "$scratch/d.log" "$1" "${jpeg[@]}"; }

wayE() { editorWay "$scratch/e.log" "$1" -q:v 2; }

# What a way's last run ended with, and why when it failed.
outcome() {
    local log=$1
    if ((status == 0)); then
        echo "exit 0"
    else
        echo "exit $status: $(grep -m1 -i -E 'cannot allocate|out of memory|alloc' "$log" || tail -n1 "$log")"
    fi
}

for length in "${lengths[@]}"; do
    for colours in untagged bt709; do
        clip="$scratch/clip-$length.mp4"
        makeClip "$length" "$colours" "$clip"
        # The colours the conversion reads Tarnivo's frames back in: the film's own tags, or
        # BT.709 for an untagged HD film.
        inputColours="-colorspace bt709"
        [[ $colours == bt709 ]] && inputColours+=" -color_primaries bt709 -color_trc bt709"
        echo "$length s of 1280x720 at 30 fps with sound, $colours:       wall        CPU"
        declare -A times=() cpus=() peaks=() notes=()
        for ((round = 1; round <= repeat; round++)); do
            for way in A B C D E; do
                [[ $way == A && ! -x $bin/tarnivo-reverse ]] && continue
                "way$way" "$clip" "$inputColours"
                times[$way]+="$seconds "
                cpus[$way]+="$cpu "
                ((peakMiB > ${peaks[$way]:-0})) && peaks[$way]=$peakMiB
                notes[$way]=$(outcome "$scratch/${way,,}.log")
                rm -f "$scratch"/*.avi "$scratch"/*.mov
            done
        done
        for way in A B C D E; do
            # shellcheck disable=SC2086
            [[ -n ${times[$way]:-} ]] && times[$way]=$(median ${times[$way]}) cpus[$way]=$(median ${cpus[$way]})
        done
        if [[ -n ${times[A]:-} ]]; then
            report "(a) tarnivo-reverse, default profile" "${times[A]}" "${cpus[A]}" "${peaks[A]}" "${notes[A]}"
        else
            report "(a) tarnivo-reverse" "-" "-" "-" "not built"
        fi
        report "(b) ffmpeg reverse/areverse filters" "${times[B]}" "${cpus[B]}" "${peaks[B]}" "${notes[B]}"
        report "(c) Tarnivo's tool lines, plain script" "${times[C]}" "${cpus[C]}" "${peaks[C]}" "${notes[C]}"
        report "(d) editor: MJPEG intermediate, reversed" "${times[D]}" "${cpus[D]}" "${peaks[D]}" "${notes[D]}"
        report "(e) editor, intermediate at -q:v 2" "${times[E]}" "${cpus[E]}" "${peaks[E]}" "${notes[E]}"
        for kind in wall CPU; do
            if [[ $kind == wall ]]; then declare -n t=times; else declare -n t=cpus; fi
            echo "  $kind: a/b $(ratio "${t[A]:-0}" "${t[B]}")   a/c $(ratio "${t[A]:-0}" "${t[C]}")" \
                "  a/d $(ratio "${t[A]:-0}" "${t[D]}")   a/e $(ratio "${t[A]:-0}" "${t[E]}")"
            unset -n t
        done
        unset times cpus peaks notes
        rm -rf "$scratch"/a-temp "$scratch"/a-out "$scratch"/c-work "$clip"
    done
done
