#!/usr/bin/env python3
"""Times a rename run and a Reset of Tokiren against the floor and ExifTool, side by side.

    python3 bench/run.py [--million] [--sizes N ...] [--same-second] [--reset-memory]
                         [--long-names] [--reps N] [--seed S] [--no-setup] [--out FILE]

Trees of 10k and 100k files (and 1M with --million) are made once, deterministically, in
build/bench-work/; every timed run works on a fresh copy whose making is not timed. The contenders
take turns in a rotating order. Results go to bench/results/results.md as a new dated section on
top of the older ones (a Markdown table, with the targets met or missed) and
bench/results/time-per-file.png.

Further cases, each asked for by its option:
  --same-second   one folder of 5k, 20k and 100k files all of one last-write second (every stamp
                  after the first counted up), against the same folder with a second per file
  --reset-memory  peak memory of Reset after a run over 200k and 1M files, and of a Reset
                  that finds none of them (the tree moved away: every line stays in the log)
  --long-names    peak memory of a run at 200k files whose names are 200 bytes long, against the
                  same tree with short names
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
SAME_SECOND_VS_DISTINCT = 3.0  # at 100k files in one folder
RESET_PEAK_MB_AT_1M = 50

SAME_SECOND_SIZES = [5_000, 20_000, 100_000]
RESET_MEMORY_LINES = [200_000, 1_000_000]
LONG_NAME_FILES, LONG_NAME_BYTES = 200_000, 200
# Every extension of the usual tree: each file outside hidden folders gets its log line.
EVERY_EXT = ["--ext", "jpg", "--ext", "png", "--ext", "txt"]


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


def measured(argv, allowed=(0,)):
    """Runs argv under GNU time; returns (peak RSS in MB, wall seconds, last line of its stderr).
    Its output goes to a file, not to memory: a Reset that finds nothing may say a lot."""
    report, errors = os.path.join(WORK, "time.txt"), os.path.join(WORK, "stderr.txt")
    with open(errors, "wb") as stderr:
        result = subprocess.run(["/usr/bin/time", "-o", report, "-f", "%M %e"] + argv, env=ENV,
                                stdout=subprocess.DEVNULL, stderr=stderr)
    with open(errors, "rb") as f:
        f.seek(max(0, os.path.getsize(errors) - 4096))
        tail = f.read().decode(errors="replace").strip().splitlines()
    last = tail[-1] if tail else ""
    if result.returncode not in allowed:
        sys.exit(f"{' '.join(argv)} exited with {result.returncode}:\n{last}")
    kb, wall = open(report).read().split()[-2:]
    return int(kb) / 1024, float(wall), last


def count_lines(path):
    """The CR LF ended lines of a log."""
    count = 0
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            count += block.count(b"\r\n")
    return count


def load_text():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def machine_lines(load_before):
    """The conditions of this run, for the section's head."""
    def first(command):
        try:
            return subprocess.run(command, capture_output=True, text=True).stdout.strip()
        except OSError:
            return "?"
    with open("/proc/meminfo") as f:
        memory = {k: v.split()[0] for k, v in (line.split(":", 1) for line in f)}
    fs = first(["df", "-h", "--output=fstype,avail", WORK]).splitlines()[-1].split()
    return [f"- {os.cpu_count()} cores, {int(memory['MemTotal']) // 1024} MB of memory "
            f"({int(memory['MemAvailable']) // 1024} MB available at the end), kernel "
            f"{os.uname().release}; {fs[0]} with {fs[1]} free in {WORK}",
            f"- load average (1, 5, 15 min) at the start: {load_before}; at the end: {load_text()} "
            "(a shared machine: other builds ran beside the benchmark)"]


class Bench:
    def __init__(self, reps):
        self.reps = reps
        self.samples = {}  # (files, contender) -> [seconds]
        self.memory = {}   # (files, contender) -> peak MB
        self.notes = []
        self.sections = []   # further cases: lines of Markdown, each a section of its own
        self.checks = []     # (text, value, goal) of the further cases

    def add(self, files, contender, seconds):
        self.samples.setdefault((files, contender), []).append(seconds)

    def median(self, files, contender):
        values = self.samples.get((files, contender))
        return statistics.median(values) if values else None

    def tree(self, files, seed, options=()):
        """The master tree of `files` files; `options` go to make-tree and name its folder."""
        suffix = "".join(options).replace("--", "-")
        master = os.path.join(WORK, f"tree-{files}-{seed}{suffix}")
        if not os.path.exists(master + ".done"):
            shutil.rmtree(master, ignore_errors=True)
            subprocess.run([os.path.join(BIN, "make-tree"), master, str(files), str(seed)] +
                           list(options), env=ENV, check=True, stdout=subprocess.DEVNULL)
            open(master + ".done", "w").close()
        return master

    def fresh_copy(self, master):
        copy = os.path.join(WORK, "run")
        shutil.rmtree(copy, ignore_errors=True)
        shutil.rmtree(copy + "-moved", ignore_errors=True)
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

    def same_second(self, seed):
        """One folder whose files share one second against one whose files do not, same names."""
        cli = os.path.join(BIN, "tokiren-cli")
        kinds = {"same second": "--same-second", "distinct seconds": "--distinct-seconds"}
        masters = {(files, kind): self.tree(files, seed, ("--flat", option))
                   for files in SAME_SECOND_SIZES for kind, option in kinds.items()}
        contenders = sorted(masters)
        times = {}
        for rep in range(self.reps):
            shift = rep % len(contenders)
            for files, kind in contenders[shift:] + contenders[:shift]:
                tree, logs = self.fresh_copy(masters[(files, kind)])
                wall, _ = timed([cli, "run", tree, "--ext", "jpg", "--log-dir", logs])
                lines = count_lines(os.path.join(logs, "tokiren_log.txt"))
                if lines != files:
                    sys.exit(f"{kind} at {files} files: {lines} log lines")
                times.setdefault((files, kind), []).append(wall)
                settle()
        rows = ["| files in one folder | last-write times | median wall s | runs, s | "
                "us per file | same / distinct |", "|---:|---|---:|---|---:|---:|"]
        median = {key: statistics.median(values) for key, values in times.items()}
        for files, kind in contenders:
            m = median[(files, kind)]
            ratio = m / median[(files, "distinct seconds")]
            runs = ", ".join(f"{t:.3f}" for t in times[(files, kind)])
            rows.append(f"| {files} | {kind} | {m:.3f} | {runs} | {m / files * 1e6:.2f} | "
                        f"{'' if kind != 'same second' else f'{ratio:.2f}'} |")
        small, mid, large = (median[(n, "same second")] for n in SAME_SECOND_SIZES)
        self.sections.append(
            ["## Files of one second in one folder", "",
             f"`tokiren-cli run TREE --ext jpg --log-dir DIR` on a folder of N empty `IMG_<n>.jpg` "
             f"files, all of 2016-08-30 12:48:42 (counted up to 20160830124842.JPG, ...43.JPG, "
             f"...) or each of its own second (`make-tree --flat`); the same names, fresh copies, "
             f"the {len(contenders)} trees taking turns, {self.reps} runs each.", ""] + rows +
            ["", f"Growth of one second's files: {SAME_SECOND_SIZES[1]} / {SAME_SECOND_SIZES[0]} "
                 f"files took {mid / small:.1f}x the time (linear: "
                 f"{SAME_SECOND_SIZES[1] / SAME_SECOND_SIZES[0]:.0f}x; a quadratic count-up took "
                 f"21x, 1.0 s to 21 s); {SAME_SECOND_SIZES[2]} / {SAME_SECOND_SIZES[0]}: "
                 f"{large / small:.1f}x (linear: "
                 f"{SAME_SECOND_SIZES[2] / SAME_SECOND_SIZES[0]:.0f}x)."])
        self.checks.append((f"one second / a second each, {SAME_SECOND_SIZES[-1]} files in one "
                            "folder", large / median[(SAME_SECOND_SIZES[-1], "distinct seconds")],
                            SAME_SECOND_VS_DISTINCT))

    def in_place(self, master):
        """The master itself, to run on and Reset back: a million files are not copied in
        minutes on a busy disk. Its mark is taken away until restore() has checked it whole."""
        os.remove(master + ".done")
        logs = os.path.join(WORK, "logs")
        shutil.rmtree(logs, ignore_errors=True)
        os.makedirs(logs)
        settle()
        return master, logs

    def restore(self, master, logs, lines):
        """Resets the run over `master` and marks it whole again when every line was undone."""
        cli = os.path.join(BIN, "tokiren-cli")
        _, out = timed([cli, "reset", "--log-dir", logs])
        log = os.path.join(logs, "tokiren_log.txt")
        if os.path.exists(log) and count_lines(log):
            sys.exit(f"{master}: Reset left {count_lines(log)} of {lines} lines")
        open(master + ".done", "w").close()

    def reset_memory(self, seed):
        """Reset's peak memory after a run over big trees, the files found and not found."""
        cli = os.path.join(BIN, "tokiren-cli")
        rows = ["| log lines | Reset | peak RSS MB | bytes per line | wall s | lines left in the "
                "log | log MB |", "|---:|---|---:|---:|---:|---:|---:|"]
        peaks = {}
        for files in RESET_MEMORY_LINES:
            master = self.tree(files, seed)
            for moved in (False, True):
                tree, logs = self.in_place(master)
                log = os.path.join(logs, "tokiren_log.txt")
                run_mb, run_wall, _ = measured(
                    [cli, "run", tree] + EVERY_EXT + ["--log-dir", logs])
                lines, log_mb = count_lines(log), os.path.getsize(log) / 2**20
                settle()
                if moved:
                    os.rename(tree, tree + "-moved")
                mb, wall, said = measured([cli, "reset", "--log-dir", logs],
                                          allowed=(1,) if moved else (0,))
                left = count_lines(log) if os.path.exists(log) else 0
                if moved:
                    os.rename(tree + "-moved", tree)
                if left != (lines if moved else 0):
                    sys.exit(f"Reset at {lines} lines left {left} in the log: {said}")
                kind = "every file moved away" if moved else "every file found"
                peaks[(files, moved)] = mb
                rows.append(f"| {lines} | {kind} | {mb:.1f} | {mb * 2**20 / lines:.0f} | "
                            f"{wall:.2f} | {left} | {log_mb:.1f} |")
                if moved:
                    self.restore(master, logs, lines)
                else:
                    open(master + ".done", "w").close()
                    self.notes.append(f"run before Reset at {files} files ({lines} renamed): "
                                      f"peak RSS {run_mb:.1f} MB, {run_wall:.1f} s")
        trend = ", ".join(f"{files} files: {peaks[(files, False)]:.1f} / "
                          f"{peaks[(files, True)]:.1f} MB" for files in RESET_MEMORY_LINES)
        self.sections.append(
            ["## Reset's memory", "",
             "Peak RSS (GNU time `%M`) of `tokiren-cli reset --log-dir DIR` after "
             "`tokiren-cli run TREE --ext jpg --ext png --ext txt` over the usual tree (a log "
             "line for every file but the hidden and those already named after their stamp), once "
             "with every file where the run left it and once with the tree renamed away first "
             "(nothing is found: every line stays in the log, exit status 1; the tree is then put "
             "back and reset). The "
             "runs work on the tree itself, which Reset gives back whole. One measure each: peak "
             "memory barely varies from run to run.", ""] + rows +
            ["", f"Trend (found / moved away): {trend}."])
        biggest = RESET_MEMORY_LINES[-1]
        self.checks.append((f"peak memory of Reset at {biggest} files' log lines, files found, MB",
                            peaks[(biggest, False)], RESET_PEAK_MB_AT_1M))
        self.notes.append(f"peak memory of Reset at {biggest} files' log lines, files moved away "
                          f"(no goal): {peaks[(biggest, True)]:.2f} MB")

    def long_names(self, seed):
        """A run's peak memory with 200-byte names against the same tree with short names."""
        cli = os.path.join(BIN, "tokiren-cli")
        files = LONG_NAME_FILES
        masters = {"short names": self.tree(files, seed),
                   f"{LONG_NAME_BYTES}-byte names": self.tree(
                       files, seed, ("--name-bytes", str(LONG_NAME_BYTES)))}
        peaks, walls, logs_mb, renamed = {}, {}, {}, {}
        kinds = list(masters)
        for rep in range(self.reps):
            for kind in kinds[rep % 2:] + kinds[:rep % 2]:
                tree, logs = self.in_place(masters[kind])
                mb, wall, _ = measured([cli, "run", tree] + EVERY_EXT + ["--log-dir", logs])
                log = os.path.join(logs, "tokiren_log.txt")
                peaks.setdefault(kind, []).append(mb)
                walls.setdefault(kind, []).append(wall)
                logs_mb[kind], renamed[kind] = os.path.getsize(log) / 2**20, count_lines(log)
                settle()
                self.restore(tree, logs, renamed[kind])
        rows = ["| files | names | renamed | median peak RSS MB | runs, MB | bytes per file | "
                "wall s | log MB |", "|---:|---|---:|---:|---|---:|---:|---:|"]
        median = {kind: statistics.median(values) for kind, values in peaks.items()}
        for kind in kinds:
            rows.append(f"| {files} | {kind} | {renamed[kind]} | {median[kind]:.1f} | "
                        f"{', '.join(f'{v:.1f}' for v in peaks[kind])} | "
                        f"{median[kind] * 2**20 / files:.0f} | "
                        f"{statistics.median(walls[kind]):.2f} | {logs_mb[kind]:.1f} |")
        extra = (median[kinds[1]] - median[kinds[0]]) * 2**20 / files
        self.sections.append(
            [f"## A run's memory with {LONG_NAME_BYTES}-byte names", "",
             f"Peak RSS of `tokiren-cli run TREE --ext jpg --ext png --ext txt` (every file but "
             f"the hidden ones) over the usual tree of {files} files, "
             f"every name not already a stamp padded to {LONG_NAME_BYTES} bytes "
             f"(`make-tree --name-bytes {LONG_NAME_BYTES}`), against the same tree with short "
             f"names; taking turns, {self.reps} runs each, on the tree itself (Reset gives it "
             "back between runs). Bytes per file: the peak over every file of the tree. A "
             "baseline: no goal yet.", ""] + rows +
            ["", f"The long names cost {extra:.0f} bytes per file more than the short ones."])

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
        for text, value, goal in self.checks:
            check(text, value, goal)
        return lines

    def ratio(self, files, contender, floor):
        a, b = self.median(files, contender), self.median(files, floor)
        return a / b if a and b else None

    def report(self, sizes, out, load_before):
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
                "`floor undo`).", ""] + machine_lines(load_before) + [""]
        if self.samples:
            text += rows + [""]
        for section in self.sections:
            text += section + [""]
        text += ["## Targets", ""] + self.targets(sizes)
        if self.notes:
            text += ["", "## Notes", ""] + [f"- {note}" for note in self.notes]
        # The newest section goes on top; the older ones stay below it.
        older = ""
        if os.path.exists(out):
            with open(out) as f:
                older = f.read()
        os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
        with open(out, "w") as f:
            f.write("\n".join(text) + "\n" + ("\n" + older if older else ""))
        print("\n".join(text))
        if self.samples:
            self.plot(os.path.dirname(os.path.abspath(out)))

    def plot(self, folder):
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
            f"set output '{os.path.join(folder, 'time-per-file.png')}'",
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
    parser.add_argument("--sizes", type=int, nargs="*", default=[10_000, 100_000],
                        help="tree sizes of the usual cases (none: only the further cases)")
    parser.add_argument("--same-second", action="store_true",
                        help="one folder of files sharing one second, against a second each")
    parser.add_argument("--reset-memory", action="store_true",
                        help="Reset's peak memory after runs over 200k and 1M files")
    parser.add_argument("--long-names", action="store_true",
                        help="a run's peak memory at 200k files with 200-byte names")
    parser.add_argument("--out", default=os.path.join(RESULTS, "results.md"),
                        help="results file, the new section put on top (default: %(default)s)")
    parser.add_argument("--reps", type=int, default=3, help="timed runs per contender (>= 3)")
    parser.add_argument("--seed", type=int, default=42)
    parser.add_argument("--no-setup", action="store_true", help="skip installing and building")
    args = parser.parse_args()
    if not args.no_setup:
        subprocess.run([os.path.join(ROOT, "bench", "setup.sh")], check=True)
    os.makedirs(WORK, exist_ok=True)
    load_before = load_text()
    sizes = args.sizes + ([1_000_000] if args.million and 1_000_000 not in args.sizes else [])
    bench = Bench(max(args.reps, 3))
    for files in sizes:
        print(f"{files} files ...", flush=True)
        bench.measure(files, bench.tree(files, args.seed))
    if args.same_second:
        print("files of one second ...", flush=True)
        bench.same_second(args.seed)
    if args.reset_memory:
        print("Reset's memory ...", flush=True)
        bench.reset_memory(args.seed)
    if args.long_names:
        print("long names ...", flush=True)
        bench.long_names(args.seed)
    bench.report(sizes, args.out, load_before)


if __name__ == "__main__":
    main()
