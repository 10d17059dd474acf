#!/usr/bin/env python3
"""Times a rename run and a Reset of Tokiren against the floor and ExifTool, side by side.

    python3 bench/run.py [--million] [--reps N] [--seed S] [--no-setup]

Trees of 10k and 100k files (and 1M with --million) are made once, deterministically, in
build/bench-work/; every timed run works on a fresh copy whose making is not timed. The contenders
take turns in a rotating order. Results go to bench/results/results.md (a Markdown table, with the
targets met or missed) and bench/results/time-per-file.png.
"""
import argparse
import datetime
import os
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BIN = os.path.join(ROOT, "build", "bin")
WORK = os.path.join(ROOT, "build", "bench-work")
RESULTS = os.path.join(ROOT, "bench", "results")
ENV = dict(os.environ, TZ="UTC", QT_QPA_PLATFORM="offscreen")

# Goals, printed as met or missed.
RUN_VS_FLOOR = 1.2
RUN_VS_FLOOR_NO_SYNC = 1.5
RESET_VS_FLOOR = 1.2
PEAK_MB_AT_1M = 150
GROWTH_1M_VS_10K = 1.3
WINDOW_VS_CLI = 1.2


def timed(argv):
    """Runs argv; returns (wall seconds, its standard output)."""
    start = time.perf_counter()
    result = subprocess.run(argv, env=ENV, capture_output=True)
    wall = time.perf_counter() - start
    if result.returncode != 0:
        sys.exit(f"{' '.join(argv)} failed:\n{result.stderr.decode(errors='replace')}")
    return wall, result.stdout.decode()


def settle():
    """Writes back what the run left dirty, so an undo is not timed with the run's write-back."""
    subprocess.run(["sync"], check=True)


def peak_rss_mb(argv):
    """Runs argv under GNU time; returns its peak RSS in MB."""
    result = subprocess.run(["/usr/bin/time", "-f", "%M"] + argv, env=ENV, capture_output=True,
                            check=True)
    return int(result.stderr.decode().strip().splitlines()[-1]) / 1024


class Bench:
    def __init__(self, reps):
        self.reps = reps
        self.samples = {}  # (files, contender) -> [seconds]
        self.memory = {}   # (files, contender) -> peak MB
        self.notes = []

    def add(self, files, contender, seconds):
        self.samples.setdefault((files, contender), []).append(seconds)

    def median(self, files, contender):
        values = self.samples.get((files, contender))
        return statistics.median(values) if values else None

    def tree(self, files, seed):
        master = os.path.join(WORK, f"tree-{files}-{seed}")
        if not os.path.exists(master + ".done"):
            shutil.rmtree(master, ignore_errors=True)
            subprocess.run([os.path.join(BIN, "make-tree"), master, str(files), str(seed)],
                           env=ENV, check=True, stdout=subprocess.DEVNULL)
            open(master + ".done", "w").close()
        return master

    def fresh_copy(self, master):
        copy = os.path.join(WORK, "run")
        shutil.rmtree(copy, ignore_errors=True)
        subprocess.run(["cp", "-a", master, copy], check=True)
        logs = os.path.join(WORK, "logs")
        shutil.rmtree(logs, ignore_errors=True)
        os.makedirs(logs)
        subprocess.run(["sync"], check=True)
        return copy, logs

    def measure(self, files, master):
        cli, floor = os.path.join(BIN, "tokiren-cli"), os.path.join(BIN, "tokiren-floor")
        contenders = ["tokiren", "floor", "floor-no-sync"]
        if files == 10_000 and shutil.which("exiftool"):
            contenders.append("exiftool")
        if files == 100_000:
            contenders.append("window")
        for rep in range(self.reps):
            order = contenders[rep % len(contenders):] + contenders[:rep % len(contenders)]
            for contender in order:
                tree, logs = self.fresh_copy(master)
                if contender == "tokiren":
                    self.add(files, "tokiren run",
                             timed([cli, "run", tree, "--ext", "jpg", "--log-dir", logs])[0])
                    settle()
                    self.add(files, "tokiren reset", timed([cli, "reset", "--log-dir", logs])[0])
                elif contender == "floor":
                    log = os.path.join(logs, "log")
                    self.add(files, "floor run", timed([floor, "run", tree, log])[0])
                    settle()
                    self.add(files, "floor undo", timed([floor, "undo", log])[0])
                elif contender == "floor-no-sync":
                    log = os.path.join(logs, "log")
                    self.add(files, "floor run, no sync",
                             timed([floor, "run", tree, log, "--no-sync"])[0])
                elif contender == "exiftool":
                    self.add(files, "exiftool run", timed(
                        ["exiftool", "-q", "-q", "-r", "-ext", "jpg", "-FileName<FileModifyDate",
                         "-d", "%Y%m%d%H%M%S%%-c.%%ue", tree])[0])
                elif contender == "window":
                    _, out = timed([os.path.join(BIN, "window-run"), tree, logs])
                    fields = dict(item.split("=") for item in out.split())
                    self.add(files, "window RUN", float(fields["seconds"]))
                    self.notes.append(f"window RUN at {files} files: the progress display was "
                                      f"painted {fields['updates']} times")
        # Peak memory, once per program, outside the timed runs.
        tree, logs = self.fresh_copy(master)
        self.memory[(files, "tokiren run")] = peak_rss_mb(
            [cli, "run", tree, "--ext", "jpg", "--log-dir", logs])
        self.memory[(files, "tokiren reset")] = peak_rss_mb([cli, "reset", "--log-dir", logs])
        tree, logs = self.fresh_copy(master)
        self.memory[(files, "floor run")] = peak_rss_mb(
            [floor, "run", tree, os.path.join(logs, "log")])
        shutil.rmtree(tree, ignore_errors=True)

    def targets(self, sizes):
        lines = []

        def check(text, value, goal):
            if value is None:
                return
            verdict = "met" if value <= goal else "MISSED"
            lines.append(f"- {text}: {value:.2f} (goal at most {goal}) -- {verdict}")

        for files in sizes:
            if files < 100_000:
                continue
            run = self.median(files, "tokiren run")
            check(f"run / floor run at {files} files", self.ratio(files, "tokiren run", "floor run"),
                  RUN_VS_FLOOR)
            check(f"run / floor run without sync at {files} files",
                  self.ratio(files, "tokiren run", "floor run, no sync"), RUN_VS_FLOOR_NO_SYNC)
            check(f"reset / floor undo at {files} files",
                  self.ratio(files, "tokiren reset", "floor undo"), RESET_VS_FLOOR)
            if files == 100_000 and run:
                check("window RUN / command line at 100000 files",
                      self.ratio(files, "window RUN", "tokiren run"), WINDOW_VS_CLI)
        if 1_000_000 in sizes:
            check("peak memory of a run at 1000000 files, MB",
                  self.memory.get((1_000_000, "tokiren run")), PEAK_MB_AT_1M)
            small, large = self.median(10_000, "tokiren run"), self.median(1_000_000, "tokiren run")
            if small and large:
                check("time per file at 1000000 / at 10000 files",
                      (large / 1_000_000) / (small / 10_000), GROWTH_1M_VS_10K)
        return lines

    def ratio(self, files, contender, floor):
        a, b = self.median(files, contender), self.median(files, floor)
        return a / b if a and b else None

    def report(self, sizes):
        floors = {"tokiren run": "floor run", "floor run, no sync": "floor run",
                  "exiftool run": "floor run", "window RUN": "floor run",
                  "tokiren reset": "floor undo"}
        rows = ["| files | contender | median wall s | files/s | peak RSS MB | vs floor |",
                "|---:|---|---:|---:|---:|---:|"]
        for (files, contender) in sorted(self.samples):
            median = self.median(files, contender)
            floor = floors.get(contender)
            ratio = self.ratio(files, contender, floor) if floor else None
            memory = self.memory.get((files, contender))
            memory_text = "" if memory is None else f"{memory:.1f}"
            ratio_text = "" if ratio is None else f"{ratio:.2f}"
            rows.append(f"| {files} | {contender} | {median:.3f} | {files / median:,.0f} | "
                        f"{memory_text} | {ratio_text} |")
        when = datetime.datetime.now().strftime("%Y-%m-%d %H:%M")
        text = [f"# Benchmark results ({when})", "",
                f"Median of {self.reps} runs each, contenders taking turns, on one file system "
                f"({WORK}); every run on a fresh copy. Ratios are to the floor program measured in "
                "the same invocation (runs to `floor run`, with the same log sync; Reset to "
                "`floor undo`).", ""] + rows + ["", "## Targets", ""] + self.targets(sizes)
        if self.notes:
            text += ["", "## Notes", ""] + [f"- {note}" for note in self.notes]
        os.makedirs(RESULTS, exist_ok=True)
        with open(os.path.join(RESULTS, "results.md"), "w") as f:
            f.write("\n".join(text) + "\n")
        print("\n".join(text))
        self.plot()

    def plot(self):
        if not shutil.which("gnuplot"):
            print("gnuplot is missing: no plot")
            return
        contenders = sorted({c for (_, c) in self.samples if "undo" not in c and "reset" not in c})
        data = os.path.join(WORK, "plot.dat")
        with open(data, "w") as f:
            for index, contender in enumerate(contenders):
                f.write(f'"{contender}"\n')
                for files in sorted({n for (n, c) in self.samples if c == contender}):
                    f.write(f"{files} {self.median(files, contender) / files * 1e6:.3f}\n")
                f.write("\n\n")
        script = "\n".join([
            "set terminal png size 800,500",
            f"set output '{os.path.join(RESULTS, 'time-per-file.png')}'",
            "set title 'Time per file against tree size (flat lines: linear growth)'",
            "set logscale x", "set logscale y", "set key outside right",
            "set xlabel 'files in the tree'", "set ylabel 'microseconds per file'",
            "plot " + ", ".join(f"'{data}' index {i} using 1:2 with linespoints title columnheader(1)"
                                for i in range(len(contenders))),
        ])
        subprocess.run(["gnuplot"], input=script.encode(), check=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--million", action="store_true", help="add a tree of 1M files")
    parser.add_argument("--reps", type=int, default=3, help="timed runs per contender (>= 3)")
    parser.add_argument("--seed", type=int, default=42)
    parser.add_argument("--no-setup", action="store_true", help="skip installing and building")
    args = parser.parse_args()
    if not args.no_setup:
        subprocess.run([os.path.join(ROOT, "bench", "setup.sh")], check=True)
    os.makedirs(WORK, exist_ok=True)
    sizes = [10_000, 100_000] + ([1_000_000] if args.million else [])
    bench = Bench(max(args.reps, 3))
    for files in sizes:
        print(f"{files} files ...", flush=True)
        bench.measure(files, bench.tree(files, args.seed))
    bench.report(sizes)


if __name__ == "__main__":
    main()
