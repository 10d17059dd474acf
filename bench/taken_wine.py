#!/usr/bin/env python3
"""Times a --taken run of the Windows tokiren-cli.exe against a LastWrite run, side by side under
Wine in one prefix (build-win/wineprefix, which scripts/build-windows.sh makes).

    python3 bench/taken_wine.py [--files N] [--reps N]

The tree: N (default 3,000) camera-like JPEGs with EXIF, each with its own DateTimeOriginal and
last-write time so that no name is taken twice. Every timed run works on a fresh copy (untimed);
the two take turns. Wine's own start, the same for both, is in each time. Results are appended to
bench/results/results.md as a new dated section.
"""
import argparse
import datetime
import os
import shutil
import statistics
import subprocess
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build-win")
CLI = os.path.join(BUILD, "bin", "tokiren-cli.exe")
WORK = os.path.join(BUILD, "bench-taken")
RESULTS = os.path.join(ROOT, "bench", "results", "results.md")
ENV = dict(os.environ, TZ="UTC", WINEPREFIX=os.path.join(BUILD, "wineprefix"), WINEDEBUG="-all",
           WINEDLLOVERRIDES="mscoree,mshtml=")
TAKEN_VS_LASTWRITE = 3.0
BASE_TIME = "2016:08:30 12:00:00"


def run(argv):
    subprocess.run(argv, env=ENV, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_tree(files):
    """`files` copies of one 1600x1200 camera JPEG, each with its own capture and file time: the
    times are patched into the copies' bytes (same length), which is what exiv2 would write."""
    tree = os.path.join(WORK, f"tree-{files}")
    if os.path.isdir(tree) and len(os.listdir(tree)) == files:
        return tree
    shutil.rmtree(tree, ignore_errors=True)
    os.makedirs(tree)
    base = os.path.join(WORK, "camera.jpg")
    run(["convert", "-size", "1600x1200", "plasma:", "-quality", "85", base])
    run(["exiftool", "-q", "-overwrite_original", "-Make=Canon", "-Model=Canon EOS 80D",
         "-ExposureTime=1/125", "-FNumber=5.6", "-ISO=200", "-FocalLength=35",
         f"-DateTimeOriginal={BASE_TIME}", f"-CreateDate={BASE_TIME}",
         "-ModifyDate=2020:01:01 00:00:00", base])
    with open(base, "rb") as f:
        data = f.read()
    assert BASE_TIME.encode() in data
    for i in range(files):
        stamp = datetime.datetime(2016, 8, 30, 12) + datetime.timedelta(seconds=i)
        path = os.path.join(tree, f"IMG_{i:04d}.JPG")
        with open(path, "wb") as f:
            f.write(data.replace(BASE_TIME.encode(), stamp.strftime("%Y:%m:%d %H:%M:%S").encode()))
        written = stamp - datetime.timedelta(days=400)
        os.utime(path, (written.timestamp(), written.timestamp()))
    return tree


def timed(tree, taken):
    copy, logs = os.path.join(WORK, "run"), os.path.join(WORK, "log")
    for folder in (copy, logs):
        shutil.rmtree(folder, ignore_errors=True)
    subprocess.run(["cp", "-a", tree, copy], check=True)
    os.makedirs(logs)
    argv = ["wine", CLI, "run", "Z:" + copy, "--ext", "jpg", "--log-dir", "Z:" + logs]
    if taken:
        argv.append("--taken")
    start = time.monotonic()
    run(argv)
    return time.monotonic() - start


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--files", type=int, default=3000)
    parser.add_argument("--reps", type=int, default=3)
    args = parser.parse_args()
    os.makedirs(WORK, exist_ok=True)
    tree = make_tree(args.files)
    run(["wineboot", "--init"])
    times = {"LastWrite": [], "--taken": []}
    for _ in range(args.reps):
        times["LastWrite"].append(timed(tree, False))
        times["--taken"].append(timed(tree, True))
    run(["wineserver", "-k"])
    lastwrite = statistics.median(times["LastWrite"])
    taken = statistics.median(times["--taken"])
    ratio = taken / lastwrite
    verdict = "within" if ratio <= TAKEN_VS_LASTWRITE else "NOT within"
    lines = [f"\n## {datetime.date.today()}: Taken on Windows, under Wine, {args.files} JPEGs\n",
             "| run | median of %d (s) | each (s) |" % args.reps, "|---|---|---|"]
    for name, each in times.items():
        lines.append(f"| tokiren-cli.exe run, {name} | {statistics.median(each):.2f} | "
                     + ", ".join(f"{t:.2f}" for t in each) + " |")
    lines.append(f"\n--taken / LastWrite: {ratio:.2f}, {verdict} {TAKEN_VS_LASTWRITE:.0f}x.\n")
    text = "\n".join(lines)
    print(text)
    with open(RESULTS, "a") as f:
        f.write(text)


if __name__ == "__main__":
    main()
