#!/usr/bin/env python3
# How honest tarnivo-reverse's progress line is: for generated 1280x720 30 fps clips with sound
# (3 s, 8 s and 60 s by default), runs tarnivo-reverse with the default profile on a terminal of
# its own, notes every progress line with the time it was shown, and prints, at 10 %, 50 % and
# 90 % of the run's real length, the time left and the speed the line showed against the time
# that was really left.
#
#   bench/progress-line.py [--build FOLDER] [--trace] [SECONDS...]
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
FPS = re.compile(r"(\d+) fps")
POINTS = (0.10, 0.50, 0.90)


def seconds_of(clock):
    value = 0
    for part in clock.split(":"):
        value = value * 60 + int(part)
    return value


def make_clip(path, seconds):
    subprocess.run(
        ["ffmpeg", "-nostdin", "-loglevel", "error", "-y",
         "-f", "lavfi", "-i", f"testsrc2=size=1280x720:rate=30:duration={seconds}",
         "-f", "lavfi", "-i", f"sine=frequency=440:duration={seconds}",
         "-c:v", "mpeg4", "-q:v", "4", "-c:a", "pcm_s16le", "-shortest", path],
        check=True)


# Runs the program with standard error on a terminal; returns the lines shown, each with the
# time it was shown (seconds since the start), and the run's whole length.
def run_on_terminal(arguments, environment):
    leader, follower = pty.openpty()
    start = time.monotonic()
    process = subprocess.Popen(arguments, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=follower, env=environment)
    os.close(follower)
    shown = []
    pending = b""
    while True:
        ready, _, _ = select.select([leader], [], [], 0.5)
        if not ready:
            if process.poll() is not None:
                break
            continue
        try:
            chunk = os.read(leader, 65536)
        except OSError:
            break
        if not chunk:
            break
        now = time.monotonic() - start
        pending += chunk
        # Each line is written as CR, the line, then "erase to the end of the line".
        *complete, pending = pending.split(b"\x1b[K")
        for piece in complete:
            text = piece.split(b"\r")[-1].decode("utf-8", "replace").strip()
            if text:
                shown.append((now, text))
    process.wait()
    os.close(leader)
    return shown, time.monotonic() - start, process.returncode


def main():
    arguments = sys.argv[1:]
    build = "build"
    trace = False
    while arguments[:1] in (["--build"], ["--trace"]):
        if arguments[0] == "--trace":
            trace = True
            arguments = arguments[1:]
        else:
            build = arguments[1]
            arguments = arguments[2:]
    lengths = [int(a) for a in arguments] or [3, 8, 60]
    program = os.path.join(os.path.abspath(build), "bin", "tarnivo-reverse")
    load = os.getloadavg()[0]
    print(f"load average {load:.1f} on {os.cpu_count()} cores")
    print("clip  run s   at    shown left   really left   fps shown   line")
    with tempfile.TemporaryDirectory(prefix="tarnivo-progress-") as scratch:
        for seconds in lengths:
            clip = os.path.join(scratch, f"clip {seconds}s.avi")
            make_clip(clip, seconds)
            out = os.path.join(scratch, f"out{seconds}")
            work = os.path.join(scratch, f"work{seconds}")
            os.mkdir(out)
            os.mkdir(work, 0o700)
            environment = dict(os.environ, TEMP=work, XDG_CONFIG_HOME=os.path.join(scratch, "config"),
                               COLUMNS="200")
            shown, length, status = run_on_terminal(
                [program, "--profile", "AVI (MPEG4-XviD-Best Quality)", "--out", out, clip], environment)
            if status != 0:
                print(f"{seconds:>3} s  tarnivo-reverse failed with status {status}")
                continue
            if trace:
                for when, text in shown:
                    print(f"  {when:6.1f} s, {length - when:6.1f} s left: {text}")
            for point in POINTS:
                at = point * length
                before = [text for when, text in shown if when <= at]
                line = before[-1] if before else ""
                left = LEFT.search(line)
                fps = FPS.search(line)
                shown_left = f"{seconds_of(left.group(1)):>5} s" if left else "    -  "
                print(f"{seconds:>3} s {length:6.1f}  {point * 100:3.0f} %   {shown_left}     "
                      f"{length - at:7.1f} s   {fps.group(1) if fps else '-':>6}      {line}")


if __name__ == "__main__":
    main()
