#!/usr/bin/env python3
# How honest tarnivo-reverse's progress line is. For batches of generated clips with sound (by
# default 1, 2 and 5 clips of 3 s, 20 s and 60 s, 640x480 at 30 fps), runs tarnivo-reverse with
# each profile asked for (by default the default profile and mp4) on a terminal of its own, notes
# every progress line with the time it was shown, and prints for each run the ratio of the time
# left shown to the time really left: its least and its greatest value from a fifth of the first
# file on (lines with less than two seconds really left are passed over: a clock shows whole
# seconds), whether the shown time ever rose while the run went on, and whether "0:00 left" was
# shown while work remained. Goal: every ratio between 0.67 and 1.5.
#
#   bench/progress-line.py [--build FOLDER] [--trace] [--size WxH] [--profile ID]... [--batch N]...
#                          [SECONDS...]
#
# FOLDER is a build folder with bin/tarnivo-reverse and its helper programs (default: build).
# --trace also prints every line shown, with the time it was shown and the time really left.
# Run it on a quiet machine and again under load (for example beside `stress-ng --cpu 2`).
import os
import pty
import re
import select
import subprocess
import sys
import tempfile
import time

LEFT = re.compile(r"(\d+(?::\d\d)+) left")
FIRST_MADE = re.compile(rb"^\[1/\d+\] (made|failed)", re.M)


def seconds_of(clock):
    value = 0
    for part in clock.split(":"):
        value = value * 60 + int(part)
    return value


def make_clip(path, seconds, size):
    subprocess.run(
        ["ffmpeg", "-nostdin", "-loglevel", "error", "-y",
         "-f", "lavfi", "-i", f"testsrc2=size={size}:rate=30:duration={seconds}",
         "-f", "lavfi", "-i", f"sine=frequency=440:duration={seconds}",
         "-c:v", "mpeg4", "-q:v", "4", "-c:a", "pcm_s16le", "-shortest", path],
        check=True)


# Runs the program with standard error on a terminal; returns the lines shown, each with the time
# it was shown (seconds since the start), when the first file was over, the run's whole length
# and its exit status.
def run_on_terminal(arguments, environment):
    leader, follower = pty.openpty()
    start = time.monotonic()
    process = subprocess.Popen(arguments, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                               stderr=follower, env=environment)
    os.close(follower)
    shown = []
    pending = b""
    said = b""
    first_over = None
    streams = [leader, process.stdout]
    while streams:
        ready, _, _ = select.select(streams, [], [], 0.5)
        now = time.monotonic() - start
        for stream in ready:
            try:
                chunk = os.read(stream.fileno() if hasattr(stream, "fileno") else stream, 65536)
            except OSError:
                chunk = b""
            if not chunk:
                streams.remove(stream)
                continue
            if stream is process.stdout:
                said += chunk
                if first_over is None and FIRST_MADE.search(said):
                    first_over = now
                continue
            pending += chunk
            # Each line is written as CR, the line, then "erase to the end of the line".
            *complete, pending = pending.split(b"\x1b[K")
            for piece in complete:
                text = piece.split(b"\r")[-1].decode("utf-8", "replace").strip()
                if text:
                    shown.append((now, text))
        if not ready and process.poll() is not None:
            break
    process.wait()
    os.close(leader)
    length = time.monotonic() - start
    return shown, first_over or length, length, process.returncode


def judge(shown, first_over, length):
    ratios = []
    rose = False
    zero = False
    previous = None
    for when, text in shown:
        left = LEFT.search(text)
        if not left:
            continue
        shown_left = seconds_of(left.group(1))
        truth = length - when
        if shown_left == 0 and truth > 1:
            zero = True
        if previous is not None and shown_left > previous[1] + 1 and when - previous[0] < 5:
            rose = True
        previous = (when, shown_left)
        if when >= 0.2 * first_over and truth >= 2:
            ratios.append(shown_left / truth)
    return ratios, rose, zero


def main():
    arguments = sys.argv[1:]
    build = "build"
    trace = False
    size = "640x480"
    profiles = []
    batches = []
    lengths = []
    while arguments:
        word = arguments.pop(0)
        if word == "--trace":
            trace = True
        elif word == "--build":
            build = arguments.pop(0)
        elif word == "--size":
            size = arguments.pop(0)
        elif word == "--profile":
            profiles.append(arguments.pop(0))
        elif word == "--batch":
            batches.append(int(arguments.pop(0)))
        else:
            lengths.append(int(word))
    lengths = lengths or [3, 20, 60]
    profiles = profiles or ["avi-xvid-best", "mp4"]
    batches = batches or [1, 2, 5]
    program = os.path.join(os.path.abspath(build), "bin", "tarnivo-reverse")
    print(f"load average {os.getloadavg()[0]:.1f} on {os.cpu_count()} cores, clips {size} at 30 fps")
    print("profile          clips  each   run s   least  greatest  rose  0:00   within 0.67-1.5")
    with tempfile.TemporaryDirectory(prefix="tarnivo-progress-") as scratch:
        for seconds in lengths:
            clip = os.path.join(scratch, f"clip {seconds}s.avi")
            make_clip(clip, seconds, size)
            for profile in profiles:
                for batch in batches:
                    out = tempfile.mkdtemp(dir=scratch)
                    work = tempfile.mkdtemp(dir=scratch)
                    environment = dict(os.environ, TEMP=work, XDG_CONFIG_HOME=os.path.join(scratch, "config"),
                                       COLUMNS="200")
                    shown, first_over, length, status = run_on_terminal(
                        [program, "--profile", profile, "--out", out] + [clip] * batch, environment)
                    if status != 0:
                        print(f"{profile:<16} {batch:>5} {seconds:>4} s  tarnivo-reverse failed with status {status}")
                        continue
                    if trace:
                        for when, text in shown:
                            print(f"  {when:6.1f} s, {length - when:6.1f} s left: {text}")
                    ratios, rose, zero = judge(shown, first_over, length)
                    least = min(ratios) if ratios else float("nan")
                    greatest = max(ratios) if ratios else float("nan")
                    within = bool(ratios) and least >= 0.67 and greatest <= 1.5
                    print(f"{profile:<16} {batch:>5} {seconds:>4} s {length:7.1f}  {least:6.2f}  {greatest:8.2f}  "
                          f"{'yes' if rose else 'no':>4}  {'yes' if zero else 'no':>4}   {'yes' if within else 'NO'}")


if __name__ == "__main__":
    main()
