#!/usr/bin/env python3
"""Times tokiren-cli run and reset on a share simulated here (bench/delay-fs: a FUSE layer that
answers every request after a set delay), against the floor program making only the needed calls
with one thread and with N, side by side in one invocation.

    python3 bench/share.py [--quick] [--files N ...] [--delays MS ...] [--jobs N] [--reps N]
                           [--seed S] [--no-build]

Default: trees of 3,000 and 20,000 files (the usual tree of make-tree: folders of 100 to 1,000
files, every *.jpg acted on), delays of 0.2, 1 and 5 ms, floor jobs 1 and 16. --quick: 3,000 files
at 1 ms. Each timed run works on a fresh copy of the tree, copied beneath the layer untimed, on a
fresh mount (the kernel caches nothing yet); the log stays on the local disk, as the program's
folder does. The contenders take turns. Results: bench/results/share.csv (one row per timed run),
bench/results/share.svg (the plot) and a new section on top of bench/results/share.md.
"""
import argparse
import csv
import datetime
import os
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build")
BIN = os.path.join(BUILD, "bin")
WORK = os.path.join(BUILD, "bench-share")
RESULTS = os.path.join(ROOT, "bench", "results")
ENV = dict(os.environ, TZ="UTC")

# Goals of the parallel code at 20,000 files and 1 ms, printed as met or missed.
SPEEDUP_AT_1MS = 10.0
VS_FLOOR_AT_1MS = 1.5


def run(argv, **kwargs):
    result = subprocess.run(argv, env=ENV, capture_output=True, **kwargs)
    if result.returncode != 0:
        sys.exit(f"{' '.join(argv)} failed ({result.returncode}):\n"
                 f"{result.stderr.decode(errors='replace')[-2000:]}")
    return result


def cli_has_jobs():
    out = subprocess.run([os.path.join(BIN, "tokiren-cli"), "--help"], capture_output=True)
    return b"--jobs" in out.stdout


class Share:
    """One mount of delay-fs over `backing` at `point`, counting the requests it serves."""

    def __init__(self, backing, point, delay_ms):
        self.backing, self.point, self.delay_ms = backing, point, delay_ms
        self.count_file = os.path.join(WORK, "requests.txt")

    def __enter__(self):
        if os.path.exists(self.count_file):
            os.remove(self.count_file)
        os.makedirs(self.point, exist_ok=True)
        run([os.path.join(BIN, "delay-fs"), "--delay-ms", str(self.delay_ms), "--count",
             self.count_file, self.backing, self.point])
        return self

    def __exit__(self, *unused):
        subprocess.run(["fusermount3", "-u", self.point], check=True)
        self.requests = None
        # The count is written as the layer shuts down, just after the unmount returns.
        for _ in range(100):
            if os.path.exists(self.count_file) and open(self.count_file).read().strip():
                self.requests = int(open(self.count_file).read())
                break
            time.sleep(0.05)


def contenders(jobs):
    """(name, its run's argv, its undo's argv), each taking (tree, logs)."""
    cli, floor = os.path.join(BIN, "tokiren-cli"), os.path.join(BIN, "tokiren-floor")
    listing = []
    cli_jobs = [1, jobs] if cli_has_jobs() else [None]
    for n in cli_jobs:
        option = [] if n is None else ["--jobs", str(n)]
        name = "tokiren" if n is None else f"tokiren --jobs {n}"
        listing.append((name,
                        lambda tree, logs, o=option: [cli, "run", tree, "--ext", "jpg",
                                                      "--log-dir", logs] + o,
                        lambda tree, logs, o=option: [cli, "reset", "--log-dir", logs] + o))
    for n in (1, jobs):
        listing.append((f"floor --jobs {n}",
                        lambda tree, logs, n=n: [floor, "run", tree,
                                                 os.path.join(logs, "floor.log"), "--jobs", str(n)],
                        lambda tree, logs, n=n: [floor, "undo", os.path.join(logs, "floor.log"),
                                                 "--jobs", str(n)]))
    return listing


def names_below(folder):
    return sorted(os.path.relpath(os.path.join(d, f), folder)
                  for d, _, files in os.walk(folder) for f in files)


def master_tree(files, seed):
    master = os.path.join(WORK, f"tree-{files}-{seed}")
    if not os.path.exists(master + ".done"):
        shutil.rmtree(master, ignore_errors=True)
        run([os.path.join(BIN, "make-tree"), master, str(files), str(seed)])
        open(master + ".done", "w").close()
    return master


def measure(args):
    rows = []
    listing = contenders(args.jobs)
    point = os.path.join(WORK, "mnt")
    for files in args.files:
        master = master_tree(files, args.seed)
        expected = names_below(master)
        acted = sum(1 for n in expected if n.lower().endswith(".jpg")
                    and not os.path.basename(n).startswith("."))
        for delay in args.delays:
            for rep in range(args.reps):
                shift = rep % len(listing)
                for name, run_argv, undo_argv in listing[shift:] + listing[:shift]:
                    backing, logs = os.path.join(WORK, "backing"), os.path.join(WORK, "logs")
                    shutil.rmtree(backing, ignore_errors=True)
                    shutil.rmtree(logs, ignore_errors=True)
                    os.makedirs(logs)
                    subprocess.run(["cp", "-a", master, backing], check=True)
                    print(f"{files} files, {delay} ms: {name} ...", flush=True)
                    for phase, argv in (("run", run_argv), ("reset", undo_argv)):
                        with Share(backing, point, delay) as share:
                            start = time.perf_counter()
                            run(argv(point, logs))
                            seconds = time.perf_counter() - start
                        if phase == "run":
                            renamed = sum(1 for n in names_below(backing) if n != n.lower()
                                          and os.path.basename(n)[:1].isdigit())
                        elif names_below(backing) != expected:
                            sys.exit(f"{name}: the reset at {files} files left the tree changed")
                        rows.append(dict(files=files, delay_ms=delay, contender=name,
                                         phase=phase, seconds=round(seconds, 4), acted=acted,
                                         requests=share.requests,
                                         ms_per_file=round(seconds / acted * 1000, 4)))
                        print(f"  {phase}: {seconds:.2f} s, {share.requests} requests", flush=True)
                    if renamed == 0:
                        sys.exit(f"{name}: the run at {files} files renamed nothing")
    return rows


def medians(rows):
    """(files, delay, contender, phase) -> (median seconds, median requests, acted)."""
    groups = {}
    for row in rows:
        key = (row["files"], row["delay_ms"], row["contender"], row["phase"])
        groups.setdefault(key, []).append(row)
    return {key: (statistics.median(r["seconds"] for r in group),
                  statistics.median(r["requests"] or 0 for r in group), group[0]["acted"])
            for key, group in groups.items()}


def svg_plot(table, path):
    """Milliseconds per file against the delay, log-log, one panel per tree size and phase."""
    sizes = sorted({k[0] for k in table})
    phases = ["run", "reset"]
    names = sorted({k[2] for k in table})
    delays = sorted({k[1] for k in table})
    colours = ["#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#8c564b"]
    width, height, margin = 360, 260, 55
    panels = [(s, p) for s in sizes for p in phases]
    total_w = width * len(panels) + 200
    import math
    values = [v[0] / v[2] * 1000 for v in table.values()]
    y_lo = 10 ** math.floor(math.log10(min(values)))
    y_hi = 10 ** math.ceil(math.log10(max(values)))
    x_lo, x_hi = min(delays) / 1.5, max(delays) * 1.5
    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{total_w}" height="{height + 40}" '
           'font-family="sans-serif" font-size="11">',
           f'<rect width="{total_w}" height="{height + 40}" fill="white"/>',
           f'<text x="10" y="16" font-size="13">Time per file on a simulated share (delay-fs), '
           'by the delay of every request: lower is better</text>']
    for index, (size, phase) in enumerate(panels):
        left, top = index * width + margin, 30
        w, h = width - margin - 15, height - 50

        def x(v):
            return left + (math.log(v) - math.log(x_lo)) / (math.log(x_hi) - math.log(x_lo)) * w

        def y(v):
            return top + h - (math.log(v) - math.log(y_lo)) / (math.log(y_hi) - math.log(y_lo)) * h
        out.append(f'<rect x="{left}" y="{top}" width="{w}" height="{h}" fill="none" '
                   'stroke="#888"/>')
        out.append(f'<text x="{left + w / 2}" y="{top - 4}" text-anchor="middle">{phase}, '
                   f'{size:,} files</text>')
        exponent = round(math.log10(y_lo))
        while 10 ** exponent <= y_hi * 1.001:
            v = 10 ** exponent
            out.append(f'<line x1="{left}" x2="{left + w}" y1="{y(v):.1f}" y2="{y(v):.1f}" '
                       'stroke="#ddd"/>')
            out.append(f'<text x="{left - 4}" y="{y(v) + 4:.1f}" text-anchor="end">{v:g}</text>')
            exponent += 1
        for d in delays:
            out.append(f'<text x="{x(d):.1f}" y="{top + h + 14}" text-anchor="middle">{d:g}</text>')
        out.append(f'<text x="{left + w / 2}" y="{top + h + 28}" text-anchor="middle">delay per '
                   'request, ms</text>')
        if index == 0:
            out.append(f'<text transform="translate({left - 38},{top + h / 2}) rotate(-90)" '
                       'text-anchor="middle">ms per file acted on</text>')
        for n, name in enumerate(names):
            points = [(d, table[(size, d, name, phase)]) for d in delays
                      if (size, d, name, phase) in table]
            if not points:
                continue
            coords = " ".join(f"{x(d):.1f},{y(v[0] / v[2] * 1000):.1f}" for d, v in points)
            colour = colours[n % len(colours)]
            dash = ' stroke-dasharray="5,3"' if name.startswith("floor") else ""
            out.append(f'<polyline points="{coords}" fill="none" stroke="{colour}" '
                       f'stroke-width="2"{dash}/>')
            for d, v in points:
                out.append(f'<circle cx="{x(d):.1f}" cy="{y(v[0] / v[2] * 1000):.1f}" r="3" '
                           f'fill="{colour}"/>')
    legend_x = width * len(panels) + 10
    for n, name in enumerate(names):
        colour = colours[n % len(colours)]
        dash = ' stroke-dasharray="5,3"' if name.startswith("floor") else ""
        yy = 50 + n * 18
        out.append(f'<line x1="{legend_x}" x2="{legend_x + 24}" y1="{yy}" y2="{yy}" '
                   f'stroke="{colour}" stroke-width="2"{dash}/>')
        out.append(f'<text x="{legend_x + 30}" y="{yy + 4}">{name}</text>')
    out.append("</svg>")
    with open(path, "w") as f:
        f.write("\n".join(out) + "\n")


def report(rows, args, started):
    table = medians(rows)
    csv_path = os.path.join(RESULTS, "share.csv")
    with open(csv_path, "w", newline="") as f:
        writer = csv.DictWriter(f, fieldnames=list(rows[0]))
        writer.writeheader()
        writer.writerows(rows)
    svg_plot(table, os.path.join(RESULTS, "share.svg"))
    lines = [f"# A simulated share ({started:%Y-%m-%d %H:%M})", "",
             f"Median of {args.reps} run(s) each, contenders taking turns, each on a fresh copy "
             "beneath a fresh mount of bench/delay-fs (every request answered after the delay); "
             "the usual make-tree tree, every *.jpg acted on; the log on the local disk. "
             "Requests: what the layer served, the kernel's own lookups among them. "
             f"{os.cpu_count()} cores; load average at the end "
             f"{open('/proc/loadavg').read().split()[0]}.", "",
             "| files | acted on | delay ms | contender | phase | median s | ms per file | "
             "requests per file |", "|---:|---:|---:|---|---|---:|---:|---:|"]
    for key in sorted(table):
        files, delay, name, phase = key
        seconds, requests, acted = table[key]
        lines.append(f"| {files} | {acted} | {delay:g} | {name} | {phase} | {seconds:.2f} | "
                     f"{seconds / acted * 1000:.2f} | {requests / acted:.1f} |")
    lines += ["", "Side by side (ratios of medians of the same invocation):", ""]
    cli_names = sorted({k[2] for k in table if k[2].startswith("tokiren")})
    parallel = [n for n in cli_names if n != "tokiren --jobs 1" and n != "tokiren"]
    sequential = "tokiren --jobs 1" if "tokiren --jobs 1" in cli_names else "tokiren"
    floor_n = f"floor --jobs {args.jobs}"
    for files in sorted({k[0] for k in table}):
        for delay in sorted({k[1] for k in table}):
            for phase in ("run", "reset"):
                def get(name):
                    value = table.get((files, delay, name, phase))
                    return value[0] if value else None
                seq, floor1, floorn = get(sequential), get("floor --jobs 1"), get(floor_n)
                parts = [f"sequential / floor 1 job {seq / floor1:.2f}" if seq and floor1 else "",
                         f"floor 1 job / floor {args.jobs} jobs {floor1 / floorn:.2f}"
                         if floor1 and floorn else ""]
                for name in parallel:
                    par = get(name)
                    if par and seq:
                        parts.append(f"sequential / {name} {seq / par:.2f}")
                    if par and floorn:
                        parts.append(f"{name} / floor {args.jobs} jobs {par / floorn:.2f}")
                lines.append(f"- {files} files, {delay:g} ms, {phase}: " +
                             "; ".join(p for p in parts if p))
    goal_lines = []
    for name in parallel:
        for phase in ("run", "reset"):
            key_par, key_seq = (20000, 1.0, name, phase), (20000, 1.0, sequential, phase)
            key_floor = (20000, 1.0, floor_n, phase)
            if key_par in table and key_seq in table:
                speedup = table[key_seq][0] / table[key_par][0]
                goal_lines.append(f"- {phase}: sequential / {name} at 20000 files, 1 ms: "
                                  f"{speedup:.2f} (goal at least {SPEEDUP_AT_1MS}) -- "
                                  f"{'met' if speedup >= SPEEDUP_AT_1MS else 'MISSED'}")
            if key_par in table and key_floor in table:
                ratio = table[key_par][0] / table[key_floor][0]
                goal_lines.append(f"- {phase}: {name} / floor {args.jobs} jobs at 20000 files, "
                                  f"1 ms: {ratio:.2f} (goal at most {VS_FLOOR_AT_1MS}) -- "
                                  f"{'met' if ratio <= VS_FLOOR_AT_1MS else 'MISSED'}")
    if goal_lines:
        lines += ["", "## Targets", ""] + goal_lines
    lines += ["", "Plot: share.svg; every timed run: share.csv."]
    md_path = os.path.join(RESULTS, "share.md")
    older = open(md_path).read() if os.path.exists(md_path) else ""
    with open(md_path, "w") as f:
        f.write("\n".join(lines) + "\n" + ("\n" + older if older else ""))
    print("\n".join(lines))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true", help="3,000 files at 1 ms only")
    parser.add_argument("--files", type=int, nargs="+", default=[3000, 20000])
    parser.add_argument("--delays", type=float, nargs="+", default=[0.2, 1.0, 5.0])
    parser.add_argument("--jobs", type=int, default=16, help="the parallel floor's threads")
    parser.add_argument("--reps", type=int, default=1)
    parser.add_argument("--seed", type=int, default=42)
    parser.add_argument("--no-build", action="store_true", help="use the programs built already")
    args = parser.parse_args()
    if args.quick:
        args.files, args.delays = [3000], [1.0]
    if os.geteuid() != 0 and not os.access("/dev/fuse", os.W_OK):
        sys.exit("the simulated share needs /dev/fuse")
    if not args.no_build:
        subprocess.run([os.path.join(ROOT, "scripts", "setup.sh"), "tokiren-cli", "tokiren-floor",
                        "make-tree", "delay-fs"], check=True)
    os.makedirs(WORK, exist_ok=True)
    started = datetime.datetime.now()
    rows = measure(args)
    report(rows, args, started)


if __name__ == "__main__":
    main()
