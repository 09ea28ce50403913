#!/usr/bin/env bash
# The tool command lines that Tarnivo runs for one file with the default profile, back to back
# from a plain script, with nothing in between: the yardstick for Tarnivo's own overhead.
#   tool-lines.sh BIN SOURCE WORK OUTPUT [COLOURS]
# BIN holds tarnivo-ffmpeg and tarnivo-sox (the programs deployed as ffmpeg.exe and sox.exe), and
# the frame writer tarnivo-frames that the front end runs for the frame extraction.
# COLOURS are the input options the conversion reads the frames back with (default
# "-colorspace bt709", what Tarnivo gives an untagged HD film).
set -euo pipefail
bin=$1 source=$2 work=$3 output=$4 colours=${5:--colorspace bt709}
ffmpeg="$bin/tarnivo-ffmpeg"
mkdir -p "$work/Renamed"
cd "$work"

rate=$(ffprobe -v error -select_streams v:0 -show_entries stream=r_frame_rate -of csv=p=0 "file:$source")
ffprobe -v error -show_entries \
    "stream=codec_type,r_frame_rate,avg_frame_rate,start_time:stream_disposition=attached_pic:format=start_time" \
    -of json "file:$source" >/dev/null
"$ffmpeg" -i "$source" -an -qscale 1 -vf "fps=fps=$rate:start_time=0.000000,setpts=PTS-STARTPTS" %06d.jpg
frames=$(perl -e 'my @f = sort { $b cmp $a } glob("[0-9]*.jpg"); my $k = 1;
                  rename($_, "Renamed/image" . $k++ . ".jpg") or die for @f; print scalar(@f)')
span=$(perl -e "printf '%.6f', $frames / ($rate)")
"$ffmpeg" -i "$source" -vn -ac 2 \
    -af "aresample=async=1:first_pts=0,atrim=start=0.000000:duration=$span,apad=whole_dur=$span,asetpts=PTS-STARTPTS" \
    audio.wav
"$bin/tarnivo-sox" audio.wav reversed.wav reverse
"$ffmpeg" -f image2 -framerate "$rate" -i Renamed/image%d.jpg -vcodec copy tvideo.avi
"$ffmpeg" -i tvideo.avi -i reversed.wav -c copy -map 0:v:0 -map 1:a:0 -shortest rvideo.avi
rm -f Renamed/*.jpg
# shellcheck disable=SC2086
"$ffmpeg" $colours -i rvideo.avi -y -b 360 -r 29.97 -s 320x240 -vcodec xvid -deinterlace -sameq -ac 2 "$output"
