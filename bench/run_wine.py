#!/usr/bin/env python3
"""Times the Windows tokiren-cli.exe run and reset against the Windows floor program (plain
FindFirstFileExW, MoveFileExW and a flushed log), side by side under Wine in one prefix
(build-win/wineprefix, which scripts/build-windows.sh makes). Under Wine every call is slow, so
the program's calls, not Wine's cost, are what the ratios compare.

    python3 bench/run_wine.py [--files N] [--reps N] [--seed S]

The tree: make-tree's usual tree of N files (default 30,000; every *.jpg acted on), made by the
Linux build (build/bin/make-tree). Each timed run works on a fresh copy (untimed); the contenders
take turns: tokiren-cli.exe with --jobs 1 and with its default (which turns to several threads by
itself where calls are slow), and the floor. Wine's own start, the same for all, is in each time.
Results are appended to bench/results/results.md as a new dated section.
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
FLOOR = os.path.join(BUILD, "bin", "tokiren-floor.exe")
MAKE_TREE = os.path.join(ROOT, "build", "bin", "make-tree")
WORK = os.path.join(BUILD, "bench-wine")
RESULTS = os.path.join(ROOT, "bench", "results", "results.md")
ENV = dict(os.environ, TZ="UTC", WINEPREFIX=os.path.join(BUILD, "wineprefix"), WINEDEBUG="-all",
           WINEDLLOVERRIDES="mscoree,mshtml=")


def run(argv):
    result = subprocess.run(argv, env=ENV, capture_output=True)
    if result.returncode != 0:
        raise SystemExit(f"{' '.join(argv)} failed ({result.returncode}):\n"
                         f"{result.stdout.decode(errors='replace')[-1000:]}"
                         f"{result.stderr.decode(errors='replace')[-1000:]}")
    return result.stdout.decode(errors="replace")


def names_below(folder):
    return sorted(os.path.relpath(os.path.join(d, f), folder)
                  for d, _, files in os.walk(folder) for f in files)


def contenders():
    """(name, run argv, reset argv), each taking (tree, logs) as Windows paths."""
    def cli(jobs):
        option = [] if jobs is None else ["--jobs", str(jobs)]
        return (f"tokiren-cli.exe {'--jobs 1' if jobs else '(default)'}",
                lambda tree, logs: ["wine", CLI, "run", tree, "--ext", "jpg", "--log-dir", logs]
                + option,
                lambda tree, logs: ["wine", CLI, "reset", "--log-dir", logs] + option)
    return [cli(1), cli(None),
            ("floor", lambda tree, logs: ["wine", FLOOR, "run", tree, logs + "\\floor.log"],
             lambda tree, logs: ["wine", FLOOR, "undo", logs + "\\floor.log"])]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--files", type=int, default=30000)
    parser.add_argument("--reps", type=int, default=1)
    parser.add_argument("--seed", type=int, default=42)
    args = parser.parse_args()
    os.makedirs(WORK, exist_ok=True)
    master = os.path.join(WORK, f"tree-{args.files}-{args.seed}")
    if not os.path.exists(master + ".done"):
        shutil.rmtree(master, ignore_errors=True)
        run([MAKE_TREE, master, str(args.files), str(args.seed)])
        open(master + ".done", "w").close()
    before = names_below(master)
    run(["wineboot", "--init"])
    times = {}
    for _ in range(args.reps):
        for name, run_argv, reset_argv in contenders():
            copy, logs = os.path.join(WORK, "run"), os.path.join(WORK, "log")
            for folder in (copy, logs):
                shutil.rmtree(folder, ignore_errors=True)
            subprocess.run(["cp", "-a", master, copy], check=True)
            os.makedirs(logs)
            for phase, argv in (("run", run_argv), ("reset", reset_argv)):
                start = time.monotonic()
                run(argv("Z:" + copy.replace("/", "\\"), "Z:" + logs.replace("/", "\\")))
                times.setdefault((name, phase), []).append(time.monotonic() - start)
            if names_below(copy) != before:
                raise SystemExit(f"{name}: the reset did not give back every name")
    subprocess.run(["wineserver", "-k"], env=ENV)  # fails where the server has ended already
    acted = sum(1 for name in before if name.lower().endswith(".jpg")
                and not any(part.startswith(".") for part in name.split(os.sep)))
    median = {key: statistics.median(each) for key, each in times.items()}
    lines = [f"\n## {datetime.date.today()}: a run under Wine against the Windows floor, "
             f"{args.files} files ({acted} *.jpg acted on)\n",
             f"| contender | phase | median of {args.reps} (s) | ms per file acted on |",
             "|---|---|---:|---:|"]
    for (name, phase), value in median.items():
        lines.append(f"| {name} | {phase} | {value:.2f} | {value / acted * 1000:.2f} |")
    lines.append("")
    for phase in ("run", "reset"):
        floor = median[("floor", phase)]
        for name in ("tokiren-cli.exe --jobs 1", "tokiren-cli.exe (default)"):
            lines.append(f"- {phase}: {name} / floor {median[(name, phase)] / floor:.2f}")
    text = "\n".join(lines) + "\n"
    print(text)
    with open(RESULTS, "a") as f:
        f.write(text)


if __name__ == "__main__":
    main()
