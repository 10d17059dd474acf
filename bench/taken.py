#!/usr/bin/env python3
"""Times a --taken run of tokiren-cli against a LastWrite run of the same tree and ExifTool.

    python3 bench/taken.py [--files N] [--reps N] [--exiftool-reps N] [--helpers N ...]
                           [--cold] [--baseline DIR]

--helpers times a --taken run for each number of helpers given; --cold drops the page cache
before every timed run (root only); --baseline DIR times the tokiren-cli found in DIR (an earlier
build) beside this one, LastWrite and --taken.

The tree: N copies (default 20,000) of camera-like JPEGs with EXIF, in folders of 1,000, each
copy with its own DateTimeOriginal and last-write time so that no name is taken twice. Every timed
run works on a fresh copy (the copying, untimed, leaves the page cache warm). The contenders take
turns. Also measures the peak memory of the --taken run (GNU time %M), and the pages of a 4 GB
sparse MP4 the helper touches (its page faults) with its movie header at the start and at the end. Results are
appended to bench/results/results.md as a new dated section.
"""
import argparse
import datetime
import os
import shutil
import socket
import statistics
import struct
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BIN = os.path.join(ROOT, "build", "bin")
WORK = os.path.join(ROOT, "build", "bench-taken")
RESULTS = os.path.join(ROOT, "bench", "results", "results.md")
ENV = dict(os.environ, TZ="UTC")
PER_FOLDER = 1000
TAKEN_VS_LASTWRITE = 2.0
TAKEN_VS_LASTWRITE_COLD = 3.0
LASTWRITE_VS_BASELINE = 1.05
PAGE = os.sysconf("SC_PAGE_SIZE")
SPARSE_BYTES = 4 * 1024 ** 3


def run(argv, **kwargs):
    subprocess.run(argv, env=ENV, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   **kwargs)


def make_sources():
    """PER_FOLDER JPEGs like a camera's: 1600x1200, Make, Model, exposure and distinct times."""
    sources = os.path.join(WORK, "sources")
    if os.path.isdir(sources) and len(os.listdir(sources)) == PER_FOLDER:
        return sources
    shutil.rmtree(sources, ignore_errors=True)
    os.makedirs(sources)
    base = os.path.join(WORK, "camera.jpg")
    run(["convert", "-size", "1600x1200", "plasma:", "-quality", "85", base])
    run(["exiftool", "-q", "-overwrite_original", "-Make=Canon", "-Model=Canon EOS 80D",
         "-ExposureTime=1/125", "-FNumber=5.6", "-ISO=200", "-FocalLength=35",
         "-DateTimeOriginal=2016:08:30 12:00:00", "-CreateDate=2016:08:30 12:00:00",
         "-ModifyDate=2020:01:01 00:00:00", base])
    for i in range(PER_FOLDER):
        path = os.path.join(sources, f"IMG_{i:04d}.JPG")
        shutil.copyfile(base, path)
    # One exiv2 call per minute of distinct times would be slow; exiv2 takes many files at once,
    # so each file gets its own second through a per-file command list.
    for i in range(PER_FOLDER):
        stamp = datetime.datetime(2016, 8, 30, 12) + datetime.timedelta(seconds=i)
        text = stamp.strftime("%Y:%m:%d %H:%M:%S")
        run(["exiv2", f"-Mset Exif.Photo.DateTimeOriginal {text}",
             os.path.join(sources, f"IMG_{i:04d}.JPG")])
        os.utime(os.path.join(sources, f"IMG_{i:04d}.JPG"), (stamp.timestamp(), stamp.timestamp()))
    return sources


def make_tree(files):
    tree = os.path.join(WORK, f"tree-{files}")
    if os.path.isdir(tree):
        return tree
    sources = make_sources()
    for folder in range(files // PER_FOLDER):
        shutil.copytree(sources, os.path.join(tree, f"{folder:03d}"), copy_function=os.link)
    return tree


def fresh_copy(tree):
    copy = os.path.join(WORK, "run")
    shutil.rmtree(copy, ignore_errors=True)
    subprocess.run(["cp", "-a", tree, copy], check=True)
    logs = os.path.join(WORK, "log")
    shutil.rmtree(logs, ignore_errors=True)
    os.makedirs(logs)
    return copy, logs


def contender_argv(name, copy, logs, baseline):
    """The command of a contender: "<who> run, <time source>[, N helpers]"."""
    if name == "exiftool run":
        return ["exiftool", "-q", "-r", "-FileName<DateTimeOriginal", "-d", "%Y%m%d%H%M%S%%-c.%%e",
                copy]
    who, _, rest = name.partition(" run, ")
    folder = baseline if who == "landed" else BIN
    cli = [os.path.join(folder, "tokiren-cli"), "run", copy, "--ext", "jpg", "--log-dir", logs]
    if rest.startswith("--taken"):
        cli.append("--taken")
        if rest.endswith(" helpers"):
            cli += ["--helpers", rest.split(", ")[1].split()[0]]
    return cli


def helper_touched(path):
    """Bytes of pages the helper touches (page faults) answering for `path`, after a warm-up file.
    The helper maps each file it is handed and reads only the pages its parser looks at."""
    parent, child = socket.socketpair()
    helper = subprocess.Popen([os.path.join(BIN, "tokiren-media-helper"), str(os.getpid())],
                              stdin=child, stdout=child, env=ENV)
    child.close()

    def answer():
        length = struct.unpack("=I", parent.recv(4))[0]
        return parent.recv(length).decode() if length else ""

    def ask(p):
        with open(p, "rb") as f:
            socket.send_fds(parent, [b"F"], [f.fileno()])
        return answer()

    def faults():
        with open(f"/proc/{helper.pid}/stat") as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return int(fields[7]) + int(fields[9])  # minflt, majflt

    answer()  # ready
    ask(os.path.join(make_sources(), "IMG_0000.JPG"))
    before = faults()
    said = ask(path)
    touched = (faults() - before) * PAGE
    parent.close()
    helper.wait()
    return touched, said


def make_sparse_movies():
    """A 4 GB MP4 whose media data is a hole, the movie header before it and after it."""
    movie = os.path.join(WORK, "movie.mp4")
    run(["ffmpeg", "-nostdin", "-f", "lavfi", "-i", "color=c=blue:s=64x48:d=1", "-c:v", "libx264",
         "-metadata", "creation_time=2016-08-30T16:48:42Z", "-movflags", "+faststart", "-y", movie])
    data = open(movie, "rb").read()
    boxes, at = {}, 0
    while at < len(data):
        size, kind = struct.unpack(">I4s", data[at:at + 8])
        boxes[kind] = data[at:at + size]
        at += size
    paths = {}
    for where, order in (("start", [b"ftyp", b"moov", b"mdat"]), ("end", [b"ftyp", b"mdat", b"moov"])):
        path = os.path.join(WORK, f"sparse-{where}.mp4")
        with open(path, "wb") as out:
            for kind in order:
                if kind == b"mdat":  # a 64-bit size, then a hole
                    out.write(struct.pack(">I4sQ", 1, b"mdat", SPARSE_BYTES + 16))
                    out.seek(SPARSE_BYTES, 1)
                else:
                    out.write(boxes[kind])
            out.truncate(out.tell())
        paths[where] = path
    return paths


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--files", type=int, default=20000)
    parser.add_argument("--reps", type=int, default=3)
    # ExifTool takes minutes at this size: once is enough to place it (0: leave it out).
    parser.add_argument("--exiftool-reps", type=int, default=1)
    parser.add_argument("--helpers", type=int, nargs="*", default=[])
    parser.add_argument("--cold", action="store_true")
    parser.add_argument("--baseline")
    args = parser.parse_args()
    os.makedirs(WORK, exist_ok=True)
    tree = make_tree(args.files)
    contenders = ["tokiren run, LastWrite", "tokiren run, --taken"]
    contenders += [f"tokiren run, --taken, {n} helpers" for n in args.helpers]
    if args.baseline:
        contenders += ["landed run, LastWrite", "landed run, --taken"]
    if args.exiftool_reps > 0:
        contenders.append("exiftool run")
    samples = {name: [] for name in contenders}
    for rep in range(args.reps):
        for k in range(len(contenders)):
            name = contenders[(rep + k) % len(contenders)]
            if name == "exiftool run" and rep >= args.exiftool_reps:
                continue
            copy, logs = fresh_copy(tree)
            argv = contender_argv(name, copy, logs, args.baseline)
            if args.cold:
                os.sync()
                with open("/proc/sys/vm/drop_caches", "w") as caches:
                    caches.write("3\n")
            start = time.perf_counter()
            subprocess.run(argv, env=ENV, check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            samples[name].append(time.perf_counter() - start)
            renamed = sum(len([n for n in files if n.startswith("2016083012")])
                          for _, _, files in os.walk(copy))
            if renamed != args.files:
                sys.exit(f"{name}: {renamed} of {args.files} files renamed")
    copy, logs = fresh_copy(tree)
    peak = subprocess.run(["/usr/bin/time", "-f", "%M"] +
                          contender_argv("tokiren run, --taken", copy, logs, None),
                          env=ENV, capture_output=True, check=True)
    peak_mb = int(peak.stderr.decode().strip().splitlines()[-1]) / 1024
    sparse = {where: helper_touched(path) for where, path in make_sparse_movies().items()}

    medians = {name: statistics.median(values) for name, values in samples.items() if values}
    base = medians["tokiren run, LastWrite"]
    lines = [f"\n# Capture times (--taken) ({datetime.datetime.now():%Y-%m-%d %H:%M})\n",
             f"Median of {args.reps} runs each (ExifTool: {min(args.exiftool_reps, args.reps)}), "
             f"contenders taking turns, {'cold (dropped before each run)' if args.cold else 'warm'} "
             "page cache, on "
             f"{args.files:,} copies of a 1600x1200 camera-like JPEG (EXIF from exiftool) in "
             f"folders of {PER_FOLDER:,}, each copy with its own DateTimeOriginal and last-write "
             "time; every run on a fresh copy. Ratios to the LastWrite run of the same invocation.\n",
             "| contender | median wall s | files/s | vs LastWrite run |", "|---|---:|---:|---:|"]
    for name in medians:
        lines.append(f"| {name} | {medians[name]:.3f} | {args.files / medians[name]:,.0f} | "
                     f"{medians[name] / base:.2f} |")
    ratio = medians["tokiren run, --taken"] / base
    goal = TAKEN_VS_LASTWRITE_COLD if args.cold else TAKEN_VS_LASTWRITE
    lines += ["", "## Targets", "",
              f"- --taken run / LastWrite run at {args.files:,} files: {ratio:.2f} (goal at most "
              f"{goal}) -- {'met' if ratio <= goal else 'MISSED'}",
              f"- peak memory of the --taken run at {args.files:,} files (GNU time %M, the largest "
              f"of tokiren-cli and its helpers): {peak_mb:.1f} MB"]
    if "landed run, LastWrite" in medians:
        landed = base / medians["landed run, LastWrite"]
        lines.append(f"- LastWrite run / the landed build's LastWrite run: {landed:.3f} (goal at "
                     f"most {LASTWRITE_VS_BASELINE}) -- "
                     f"{'met' if landed <= LASTWRITE_VS_BASELINE else 'MISSED'}")
        lines.append(f"- --taken run / the landed build's --taken run: "
                     f"{medians['tokiren run, --taken'] / medians['landed run, --taken']:.2f}")
    if "exiftool run" in medians:
        lines.append(f"- ExifTool / --taken run: "
                     f"{medians['exiftool run'] / medians['tokiren run, --taken']:.1f}")
    for where, (read, answer) in sparse.items():
        lines.append(f"- 4 GB sparse MP4, movie header at the {where}: the helper touched "
                     f"{read:,} bytes of pages (page faults) and answered {answer or 'nothing'}")
    text = "\n".join(lines) + "\n"
    with open(RESULTS, "a") as out:
        out.write(text)
    print(text)


if __name__ == "__main__":
    main()
