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
# With --camera the clips are like a camera's footage instead (the pattern with moving grain, as
# phones record in low light), 1280x720 and 1920x1080, tagged BT.709: their JPEG frames are 5 to
# 6 times a clean pattern's.
#
#   bench/reverse-benchmark.sh [--long] [--short] [--seconds S] [--camera] [--profile mp4]
#                              [--repeat N] [--build FOLDER]
#
# FOLDER is a build folder holding bin/tarnivo-reverse, bin/tarnivo-ffmpeg, bin/tarnivo-sox,
# bin/tarnivo-frames and bin/tarnivo-batch (default: build). --short measures the 20 s clips only,
# --seconds S clips of S seconds only. --profile mp4 measures "MP4 (H.264/AAC, same size as
# source)" instead of the default profile (the ways b, d and e then write its settings, and (c) is
# left out); the results' PSNR against the film played backwards is then printed too (every 15th
# picture, YUV). With --repeat N every way runs N times, in turns, and the median time is printed
# (for a machine that is not quiet).
# Peak memory is the largest sum of the resident memory of the process and all its
# descendants, sampled every 100 ms.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build="$here/../build"
lengths=(20 60)
repeat=1
camera=no
profile=default
while (($#)); do
    case $1 in
    --long) lengths+=(600) ;;
    --short) lengths=(20) ;;
    --seconds) lengths=("$2"); shift ;;
    --camera) camera=yes ;;
    --profile) profile=$2; shift ;;
    --repeat) repeat=$2; shift ;;
    --build) build=$2; shift ;;
    *) echo "usage: $0 [--long] [--short] [--seconds S] [--camera] [--profile mp4] [--repeat N] [--build FOLDER]" >&2; exit 2 ;;
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

# makeClip SECONDS KIND PATH: KIND is "untagged" or "bt709" (the clean pattern at 720p), or
# "camera720" or "camera1080" (with moving grain, tagged BT.709).
makeClip() {
    local tags=() picture="testsrc2=s=1280x720:r=30:d=$1"
    [[ $2 != untagged ]] && tags=(-colorspace bt709 -color_primaries bt709 -color_trc bt709 -color_range tv)
    [[ $2 == camera720 ]] && picture+=",noise=alls=10:allf=t+u"
    [[ $2 == camera1080 ]] && picture="testsrc2=s=1920x1080:r=30:d=$1,noise=alls=10:allf=t+u"
    ffmpeg -nostdin -v error -y -f lavfi -i "$picture" -f lavfi \
        -i "sine=f=440:beep_factor=4:d=$1" -ac 2 -c:v libx264 -preset veryfast -crf 20 "${tags[@]}" \
        -c:a aac "$3"
}

# psnrOf RESULT SOURCE: the average YUV PSNR of every 15th picture of a result against the
# source's picture it shows (the source played backwards), pictures paired by their order; only
# for results at the source's own size and rate.
psnrOf() {
    local frames
    frames=$(ffprobe -v error -select_streams v:0 -count_packets -show_entries stream=nb_read_packets \
        -of csv=p=0 "$2")
    ffmpeg -nostdin -hide_banner -nostats -i "$1" -i "$2" -lavfi \
        "[0:v]select='not(mod(n,15))',setpts=N/TB,format=yuv420p[a];
         [1:v]select='not(mod($frames-1-n,15))',reverse,setpts=N/TB,format=yuv420p[b];[a][b]psnr" \
        -f null - 2>&1 | sed -n 's/.*PSNR.*average:\([0-9.inf]*\).*/\1/p'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

report() { printf '  %-40s %8s s  %8s s  %7s MiB  %s\n' "$1" "$2" "$3" "$4" "$5"; }

# The profile's picture and sound, as ffmpeg's own switches: its filters, then the rest.
if [[ $profile == mp4 ]]; then
    profileName="MP4 (H.264/AAC, same size as source)" extension=mp4
    targetFilters="scale=w='max(iw,2)':h='max(ih,2)',crop=w='floor(iw/2)*2':h='floor(ih/2)*2'"
    targetOptions=(-c:v libx264 -preset medium -crf 18 -pix_fmt yuv420p -c:a aac -b:a 192k)
else
    profileName="AVI (MPEG4-XviD-Best Quality)" extension=avi
    targetFilters="yadif=deint=interlaced,scale=320:240"
    targetOptions=(-r 29.97 -c:v libxvid -q:v 2 -ac 2)
fi
# ffmpeg's JPEG options as fine as Tarnivo's frames (which are 0.3 to 0.7 dB finer still).
jpeg=(-qscale 1 -qmin 1 -strict -1)

wayA() {
    rm -rf "$scratch"/a-temp "$scratch"/a-out
    mkdir -p "$scratch/a-temp" "$scratch/a-out" "$scratch/a-config"
    chmod 700 "$scratch/a-temp"
    measure "$scratch/a.log" env TEMP="$scratch/a-temp" XDG_CONFIG_HOME="$scratch/a-config" \
        "$bin/tarnivo-reverse" --profile "$profileName" --out "$scratch/a-out" "$1"
    results[A]="$scratch/a-out/$(basename "${1%.*}").$extension"
}

wayB() {
    measure "$scratch/b.log" bash -c "ulimit -v $filterLimitKiB; exec ffmpeg -nostdin -y -i '$1' \
        -vf \"reverse,$targetFilters\" -af areverse ${targetOptions[*]} '$scratch/b.$extension'"
    results[B]="$scratch/b.$extension"
}

wayC() {
    rm -rf "$scratch/c-work"
    measure "$scratch/c.log" "$here/tool-lines.sh" "$bin" "$1" "$scratch/c-work" "$scratch/c.avi" "$2"
}

# editorWay WAY SOURCE JPEG-OPTIONS...: way d or e.
editorWay() {
    local way=$1 source=$2
    shift 2
    measure "$scratch/$way.log" bash -c "ulimit -v $filterLimitKiB
        ffmpeg -nostdin -y -i '$source' -c:v mjpeg $* -c:a pcm_s16le '$scratch/d.mov' &&
        exec ffmpeg -nostdin -y -i '$scratch/d.mov' -vf \"reverse,$targetFilters\" -af areverse \
            ${targetOptions[*]} '$scratch/$way.$extension'"
    results[${way^^}]="$scratch/$way.$extension"
}

wayD() { editorWay d "$1" "${jpeg[@]}"; }

wayE() { editorWay e "$1" -q:v 2; }

# What a way's last run ended with, and why when it failed.
outcome() {
    local log=$1
    if ((status == 0)); then
        echo "exit 0"
    else
        echo "exit $status: $(grep -m1 -i -E 'cannot allocate|out of memory|alloc' "$log" || tail -n1 "$log")"
    fi
}

kinds=(untagged bt709)
[[ $camera == yes ]] && kinds=(camera720 camera1080)
ways=(A B C D E)
# The tool lines are the default profile's.
[[ $profile == mp4 ]] && ways=(A B D E)
for length in "${lengths[@]}"; do
    for kind in "${kinds[@]}"; do
        clip="$scratch/clip-$length.mp4"
        makeClip "$length" "$kind" "$clip"
        # The colours the conversion reads Tarnivo's frames back in: the film's own tags, or
        # BT.709 for an untagged HD film.
        inputColours="-colorspace bt709"
        [[ $kind != untagged ]] && inputColours+=" -color_primaries bt709 -color_trc bt709"
        size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=s=x:p=0 "$clip")
        echo "$length s of $size at 30 fps with sound, $kind, $profile profile:   wall        CPU       peak" \
            "$([[ $profile == mp4 ]] && echo "   PSNR")"
        declare -A times=() cpus=() peaks=() notes=() psnrs=() results=()
        for ((round = 1; round <= repeat; round++)); do
            for way in "${ways[@]}"; do
                [[ $way == A && ! -x $bin/tarnivo-reverse ]] && continue
                results[$way]=""
                "way$way" "$clip" "$inputColours"
                times[$way]+="$seconds "
                cpus[$way]+="$cpu "
                ((peakMiB > ${peaks[$way]:-0})) && peaks[$way]=$peakMiB
                notes[$way]=$(outcome "$scratch/${way,,}.log")
                if [[ $profile == mp4 && $status == 0 && -n ${results[$way]} ]]; then
                    psnrs[$way]="$(psnrOf "${results[$way]}" "$clip") dB"
                fi
                rm -f "$scratch"/*.avi "$scratch"/*.mov "$scratch"/?.mp4 "$scratch"/a-out/*
            done
        done
        for way in "${ways[@]}"; do
            # shellcheck disable=SC2086
            [[ -n ${times[$way]:-} ]] && times[$way]=$(median ${times[$way]}) cpus[$way]=$(median ${cpus[$way]})
        done
        declare -A names=([A]="(a) tarnivo-reverse" [B]="(b) ffmpeg reverse/areverse filters"
            [C]="(c) Tarnivo's tool lines, plain script" [D]="(d) editor: MJPEG intermediate, reversed"
            [E]="(e) editor, intermediate at -q:v 2")
        for way in "${ways[@]}"; do
            if [[ -n ${times[$way]:-} ]]; then
                report "${names[$way]}" "${times[$way]}" "${cpus[$way]}" "${peaks[$way]}" \
                    "${psnrs[$way]:+${psnrs[$way]}  }${notes[$way]}"
            else
                report "${names[$way]}" "-" "-" "-" "not built"
            fi
        done
        for measure in wall CPU; do
            if [[ $measure == wall ]]; then declare -n t=times; else declare -n t=cpus; fi
            line="  $measure:"
            for way in "${ways[@]:1}"; do
                line+="  a/${way,,} $(ratio "${t[A]:-0}" "${t[$way]}") "
            done
            echo "$line"
            unset -n t
        done
        unset times cpus peaks notes psnrs results names
        rm -rf "$scratch"/a-temp "$scratch"/a-out "$scratch"/c-work "$clip"
    done
done
