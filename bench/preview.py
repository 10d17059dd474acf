#!/usr/bin/env python3
"""Times the window's preview against a dry run of the command line on the same tree, side by side.

    python3 bench/preview.py [--sizes N ...] [--reps N] [--seed S] [--no-setup] [--out FILE]

For each size (100,000 and 1,000,000 files by default) the tree is made once by make-tree in
build/bench-work/ (as bench/run.py makes it). Then, in a rotating order, `tokiren-cli run TREE
--ext jpg --dry-run` (its lines to /dev/null) and `window-run TREE LOGS --preview` (the window
driven headlessly: ".JPG" checked, the folder chosen, Preview clicked, until the preview's dialog
is shown with its first rows painted). Neither touches the tree. One untimed round first warms the
cache for both. Peak memory of each comes from GNU time. Goal: the preview opens within 1.5x of the
dry run. Results are printed and added on top of bench/results/preview.md.
"""
import argparse
import datetime
import os
import statistics
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import run as bench  # noqa: E402  the tree maker, GNU time and the machine's conditions

PREVIEW_VS_DRY_RUN = 1.5


def dry_run(tree, logs):
    cli = os.path.join(bench.BIN, "tokiren-cli")
    mb, seconds, _ = bench.measured([cli, "run", tree, "--ext", "jpg", "--dry-run",
                                     "--log-dir", logs])
    return seconds, mb, None


def preview(tree, logs):
    report = os.path.join(bench.WORK, "time-preview.txt")
    result = subprocess.run(["/usr/bin/time", "-o", report, "-f", "%M %e",
                             os.path.join(bench.BIN, "window-run"), tree, logs, "--preview"],
                            env=bench.ENV, capture_output=True)
    if result.returncode != 0:
        sys.exit(f"window-run --preview failed:\n{result.stderr.decode(errors='replace')}")
    fields = dict(item.split("=") for item in result.stdout.decode().split())
    kb = open(report).read().split()[-2]
    return float(fields["seconds"]), int(kb) / 1024, fields


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--sizes", type=int, nargs="+", default=[100_000, 1_000_000])
    parser.add_argument("--reps", type=int, default=3)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--no-setup", action="store_true")
    parser.add_argument("--out", default=os.path.join(bench.RESULTS, "preview.md"))
    args = parser.parse_args()
    if not args.no_setup:
        subprocess.run([os.path.join(bench.ROOT, "bench", "setup.sh")], check=True)
    os.makedirs(bench.WORK, exist_ok=True)
    load_before = bench.load_text()
    helper = bench.Bench(args.reps)
    logs = os.path.join(bench.WORK, "logs-preview")
    os.makedirs(logs, exist_ok=True)

    rows = ["| files | dry run s (median) | preview opens s (median) | ratio | goal | "
            "dry run peak MB | preview peak MB | scroll to the end s | rows |",
            "|---|---|---|---|---|---|---|---|---|"]
    missed = False
    for files in args.sizes:
        tree = helper.tree(files, args.seed)
        contenders = {"dry run": dry_run, "preview": preview}
        for name, measure in contenders.items():  # warm the cache, untimed
            measure(tree, logs)
        seconds = {name: [] for name in contenders}
        peak = {name: 0.0 for name in contenders}
        extra = {}
        names = list(contenders)
        for rep in range(args.reps):
            order = names[rep % len(names):] + names[:rep % len(names)]
            for name in order:
                wall, mb, fields = contenders[name](tree, logs)
                seconds[name].append(wall)
                peak[name] = max(peak[name], mb)
                if fields:
                    extra = fields
                print(f"{files} files, {name}: {wall:.3f} s, {mb:.0f} MB", flush=True)
        dry, shown = statistics.median(seconds["dry run"]), statistics.median(seconds["preview"])
        ratio = shown / dry
        met = ratio <= PREVIEW_VS_DRY_RUN
        missed |= not met
        rows.append(f"| {files:,} | {dry:.2f} | {shown:.2f} | {ratio:.2f} | "
                    f"{'met' if met else 'MISSED'} (<= {PREVIEW_VS_DRY_RUN}) | "
                    f"{peak['dry run']:.0f} | {peak['preview']:.0f} | {extra.get('scroll', '?')} | "
                    f"{extra.get('rows', '?')} |")

    section = [f"## {datetime.date.today().isoformat()}: the preview against a dry run", ""]
    section += bench.machine_lines(load_before)
    section += [f"- {args.reps} timed rounds per size after one untimed; medians; the dry run is "
                "`tokiren-cli run TREE --ext jpg --dry-run` with its lines to /dev/null, the "
                "preview `window-run TREE LOGS --preview` from the click on Preview until the "
                "dialog is shown with its first rows painted (the window's own start not counted; "
                "peak memory counts the whole window program)", ""]
    section += rows + [""]
    text = "\n".join(section)
    print(text)
    old = open(args.out).read() if os.path.exists(args.out) else "# The preview against a dry run\n\n"
    head, _, rest = old.partition("\n\n")
    with open(args.out, "w") as f:
        f.write(head + "\n\n" + text + "\n" + rest)
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main())
