#!/usr/bin/env python3
# What the conversion makes of a reversed film, as figures: RealMedia at frame rates from 1 to
# 60 fps (made or not, its length, its video rate), and the colours of tagged and untagged HD
# and SD films through profiles that keep, convert or tag their colour matrix (RGB PSNR of the
# result against the source played backwards, each read in the matrix players read it in).
#
#   bench/conversion-figures.py [--build FOLDER] [--only rm|colours]
#
# FOLDER is a build folder with bin/tarnivo-reverse and its helper programs (default: build).
# Each film is a few seconds long; the whole run takes a few minutes on two cores.
import argparse
import os
import re
import subprocess
import sys
import tempfile

RATES = ["1", "2", "5", "10", "15", "20", "24", "30000/1001", "30", "50", "60"]

# name, lavfi picture, ffmpeg options that make the film
HD_BARS = ("smptehdbars=s=1280x720:r=30:d=1[b];testsrc2=s=320x180:r=30:d=1[t];"
           "[b][t]overlay=x='t*600':y=270")
SD_BARS = ("smptebars=s=640x480:r=30:d=1[b];testsrc2=s=160x120:r=30:d=1[t];"
           "[b][t]overlay=x='t*300':y=180")
LOSSLESS = ["-c:v", "libx264", "-qp", "0", "-preset", "ultrafast"]
UNTAG = ["-bsf:v", "h264_metadata=matrix_coefficients=2:colour_primaries=2:transfer_characteristics=2"]
COLOUR_FILMS = [
    ("tagged hd.mp4", HD_BARS,
     ["-vf", "scale=out_color_matrix=bt709:out_range=tv,format=yuv420p", "-colorspace", "bt709",
      "-color_primaries", "bt709", "-color_trc", "bt709"] + LOSSLESS),
    ("untagged hd.mp4", HD_BARS,
     ["-vf", "scale=out_color_matrix=bt709:out_range=tv,format=yuv420p"] + LOSSLESS + UNTAG),
    ("untagged sd.mp4", SD_BARS,
     ["-vf", "scale=out_color_matrix=bt601:out_range=tv,format=yuv420p"] + LOSSLESS + UNTAG),
    ("tagged bt709 sd.mp4", SD_BARS,
     ["-vf", "scale=out_color_matrix=bt709:out_range=tv,format=yuv420p", "-colorspace", "bt709",
      "-color_primaries", "bt709", "-color_trc", "bt709"] + LOSSLESS),
]
# Profiles that convert the matrix by size (xvid 320x240, FLV 352x288), keep the source's size
# (WMV), tag it (QuickTime MOV: H.264), and write RGB pictures (GIF).
COLOUR_PROFILES = ["avi-xvid-best", "flv", "wmv-best", "mov", "gif-320"]


def run(arguments, **kwargs):
    return subprocess.run(arguments, capture_output=True, text=True, **kwargs)


def ffmpeg(arguments):
    done = run(["ffmpeg", "-nostdin", "-v", "error", "-y"] + arguments)
    if done.returncode != 0:
        sys.exit(done.stderr)


def entry(path, stream, key):
    done = run(["ffprobe", "-v", "error", "-select_streams", stream, "-show_entries",
                f"stream={key}", "-of", "csv=p=0", path])
    return done.stdout.strip().split("\n")[0] if done.stdout.strip() else ""


def duration(path):
    done = run(["ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", path])
    try:
        return float(done.stdout.strip())
    except ValueError:
        return 0.0


# How players read a file's pictures: its stated matrix, else BT.709 for HD and BT.601 below.
def reading(path):
    stated = entry(path, "v:0", "color_space")
    width = int(entry(path, "v:0", "width") or 0)
    height = int(entry(path, "v:0", "height") or 0)
    hd = width >= 1280 or height > 576
    if stated == "bt709":
        matrix = "bt709"
    elif stated in ("smpte170m", "bt470bg"):
        matrix = "bt601"
    else:
        matrix = "bt709" if hd else "bt601"
    full = entry(path, "v:0", "color_range") == "pc" or entry(path, "v:0", "pix_fmt").startswith("yuvj")
    return f"in_color_matrix={matrix}:in_range={'pc' if full else 'tv'}"


# RGB PSNR of film against source played backwards, at the film's size, frames paired by index.
def psnr_against_reversed(film, source):
    size = entry(film, "v:0", "width") + ":" + entry(film, "v:0", "height")
    if film.endswith(".gif"):
        first = "[0:v]format=gbrp"
    else:
        first = f"[0:v]scale={size}:{reading(film)},format=gbrp"
    done = run(["ffmpeg", "-hide_banner", "-nostats", "-i", film, "-i", source, "-lavfi",
                f"{first},setpts=N/(30*TB)[a];"
                f"[1:v]reverse,scale={size}:{reading(source)}:flags=bicubic,format=gbrp,"
                f"setpts=N/(30*TB)[b];[a][b]psnr=shortest=1", "-f", "null", "-"])
    found = re.search(r"average:([0-9.]+|inf)", done.stderr)
    return found.group(1) if found else "-"


# The bars' colours of one picture as players show them: the top third of the picture, averaged
# down to 32x6 patches, as 8-bit RGB.
def bar_patches(path, index):
    # An RGB picture (GIF) has no matrix: the scale filter ignores the one named.
    first = f"scale=32:18:{reading(path)}:flags=area,"
    done = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-vf",
                           f"select=eq(n\\,{index}),{first}format=rgb24,crop=32:6:0:0",
                           "-frames:v", "1", "-f", "rawvideo", "-"], capture_output=True)
    return list(done.stdout)


# The mean and the largest difference of a bar patch's colour between the film's first picture and the
# source's last (the film runs backwards), in 8-bit RGB steps.
def colour_shift(film, source):
    frames = int(run(["ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
                      "stream=nb_read_frames", "-of", "csv=p=0", source]).stdout.strip() or 0)
    shown = bar_patches(film, 0)
    meant = bar_patches(source, frames - 1)
    if not shown or len(shown) != len(meant):
        return "-"
    shifts = [abs(a - b) for a, b in zip(shown, meant)]
    return f"{sum(shifts) / len(shifts):.1f}/{max(shifts)}"


def reverse(build, work, profile, source):
    out = os.path.join(work, "out")
    os.makedirs(out, exist_ok=True)
    for name in os.listdir(out):
        os.remove(os.path.join(out, name))
    environment = dict(os.environ, TEMP=os.path.join(work, "temp"),
                       XDG_CONFIG_HOME=os.path.join(work, "config"))
    os.makedirs(environment["TEMP"], exist_ok=True)
    done = run([os.path.join(build, "bin", "tarnivo-reverse"), "--quiet", "--profile", profile,
                "--out", out, source], env=environment)
    made = [name for name in os.listdir(out) if not name.startswith(".")]
    return (os.path.join(out, made[0]) if made else None), done


def real_media(build, work):
    print("RealMedia (RM (RealONE/RealPlayer)) of a 4 s 640x360 detailed film with sound")
    print(f"{'rate':>11} {'made':>5} {'length s':>9} {'frames':>7} {'video kbit/s':>13} {'PSNR dB':>8}")
    for rate in RATES:
        source = os.path.join(work, f"rm {rate.replace('/', '-')}.mkv")
        ffmpeg(["-f", "lavfi", "-i", f"testsrc2=s=640x360:r={rate}:d=4,noise=alls=12:allf=t",
                "-f", "lavfi", "-i", "sine=d=4", "-c:v", "ffv1", "-c:a", "pcm_s16le", source])
        made, done = reverse(build, work, "rm", source)
        if not made:
            print(f"{rate:>11} {'no':>5}   {done.stdout.strip().splitlines()[-1:]}")
            continue
        frames = run(["ffprobe", "-v", "error", "-count_packets", "-select_streams", "v:0",
                      "-show_entries", "stream=nb_read_packets", "-of", "csv=p=0", made]).stdout.strip()
        size_bits = os.path.getsize(made) * 8
        length = duration(made)
        rate_kbit = size_bits / length / 1000 if length > 0 else 0
        psnr = psnr_against_reversed(made, source) if rate not in ("1", "2") else "-"
        print(f"{rate:>11} {'yes':>5} {length:9.3f} {frames:>7} {rate_kbit:13.0f} {psnr:>8}")


def colours(build, work):
    print("Colours: RGB PSNR (dB) of the result against the source backwards / the mean / the largest shift")
    print("of a bar's colour (8-bit RGB steps, 32x6 patches of the bars), each read as players read it")
    print(f"{'film':<22}" + "".join(f"{profile:>19}" for profile in COLOUR_PROFILES))
    for name, picture, making in COLOUR_FILMS:
        source = os.path.join(work, name)
        ffmpeg(["-f", "lavfi", "-i", picture, "-f", "lavfi", "-i", "sine=d=1"] + making + [source])
        line = f"{name:<22}"
        for profile in COLOUR_PROFILES:
            made, _ = reverse(build, work, profile, source)
            # A GIF shows two pictures a second: no picture by picture comparison.
            psnr = "-" if made is None or made.endswith(".gif") else f"{float(psnr_against_reversed(made, source)):.1f}"
            figures = f"{psnr}/{colour_shift(made, source)}" if made else "failed"
            line += f"{figures:>19}"
        print(line, flush=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--only", choices=["rm", "colours"])
    options = parser.parse_args()
    build = os.path.abspath(options.build)
    with tempfile.TemporaryDirectory(prefix="tarnivo-figures-") as work:
        if options.only != "colours":
            real_media(build, work)
        if options.only != "rm":
            colours(build, work)


if __name__ == "__main__":
    main()
