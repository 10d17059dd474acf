#!/usr/bin/env python3
"""Times a run with companions against the same run without, side by side.

    python3 bench/companions.py [--files N] [--reps N] [--seed S] [--no-setup] [--out FILE]

The tree (100,000 files by default) is made once by `make-tree --pairs` in build/bench-work/: about
half its files come in pairs, IMG_n.jpg with IMG_n.CR2 of the same time. Each timed run renames a
fresh copy of it with `tokiren-cli run COPY --ext jpg --ext cr2 --ext png --ext txt`, with and
without `--companions`, in a rotating order: both rename the same files, the one with companions
planning each pair as one. Goal: within 1.2x. Results are printed and added on top of
bench/results/companions.md.
"""
import argparse
import datetime
import os
import statistics
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import run as bench  # noqa: E402  the tree maker, fresh copies and the machine's conditions

COMPANIONS_VS_ALONE = 1.2
EXTENSIONS = ["--ext", "jpg", "--ext", "cr2", "--ext", "png", "--ext", "txt"]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--files", type=int, default=100_000)
    parser.add_argument("--reps", type=int, default=3)
    parser.add_argument("--seed", type=int, default=7)
    parser.add_argument("--no-setup", action="store_true")
    parser.add_argument("--out", default=os.path.join(bench.RESULTS, "companions.md"))
    args = parser.parse_args()
    if not args.no_setup:
        subprocess.run([os.path.join(bench.ROOT, "bench", "setup.sh")], check=True)
    os.makedirs(bench.WORK, exist_ok=True)
    load_before = bench.load_text()
    runner = bench.Bench(args.reps)
    master = runner.tree(args.files, args.seed, ["--pairs"])
    cli = os.path.join(bench.BIN, "tokiren-cli")
    contenders = {"alone": [], "companions": ["--companions"]}
    samples = {name: [] for name in contenders}
    renamed = {}
    for rep in range(args.reps):
        names = list(contenders)
        for name in names[rep % 2:] + names[:rep % 2]:
            copy, logs = runner.fresh_copy(master)
            seconds, _ = bench.timed([cli, "run", copy, "--log-dir", logs] + EXTENSIONS +
                                     contenders[name])
            samples[name].append(seconds)
            renamed[name] = bench.count_lines(os.path.join(logs, "tokiren_log.txt"))
    medians = {name: statistics.median(values) for name, values in samples.items()}
    ratio = medians["companions"] / medians["alone"]
    verdict = "met" if ratio <= COMPANIONS_VS_ALONE else "missed"
    lines = [f"## {datetime.date.today()}: {args.files:,} files, half of them in pairs",
             "", *bench.machine_lines(load_before), "",
             "| run | median s | renames |", "|---|---|---|"]
    for name in contenders:
        lines.append(f"| {name} | {medians[name]:.2f} | {renamed[name]:,} |")
    lines += ["", f"Companions vs alone: {ratio:.2f}x (goal {COMPANIONS_VS_ALONE}x: {verdict}).",
              f"Samples: " + "; ".join(f"{n} {', '.join(f'{s:.2f}' for s in v)}"
                                       for n, v in samples.items()), ""]
    text = "\n".join(lines)
    print(text)
    previous = open(args.out).read() if os.path.exists(args.out) else "# Companions\n\n"
    head, _, rest = previous.partition("\n\n")
    with open(args.out, "w") as f:
        f.write(head + "\n\n" + text + "\n" + rest)


if __name__ == "__main__":
    main()
