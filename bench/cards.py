#!/usr/bin/env python3
"""Times a run of tokiren-cli on an exFAT card image (exfat-fuse), where every rename is a claim,
against the floor program doing the same claim and rename per file, side by side.

    sudo python3 bench/cards.py [--files N] [--reps N]

The image (1 GiB) is made, formatted and mounted through a loop device once per invocation, in
build/bench-cards/; every timed run works on a fresh copy of a flat tree of N files (default
10,000) with a second each, copied onto the card untimed. The contenders take turns. Results are
appended to bench/results/results.md as a new dated section.
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
WORK = os.path.join(ROOT, "build", "bench-cards")
RESULTS = os.path.join(ROOT, "bench", "results", "results.md")
ENV = dict(os.environ, TZ="UTC")
RUN_VS_FLOOR = 1.3


def run(argv, **kwargs):
    return subprocess.run(argv, env=ENV, check=True, capture_output=True, **kwargs)


def mount_card():
    image, point = os.path.join(WORK, "card.img"), os.path.join(WORK, "card")
    os.makedirs(point, exist_ok=True)
    run(["truncate", "-s", "1G", image])
    run(["mkfs.exfat", image])
    loop = run(["losetup", "-f", "--show", image]).stdout.decode().strip()
    run(["mount.exfat-fuse", loop, point])
    return point, loop


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--files", type=int, default=10000)
    parser.add_argument("--reps", type=int, default=3)
    args = parser.parse_args()
    if os.geteuid() != 0:
        sys.exit("mounting a card image needs root")
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    source = os.path.join(WORK, "source")
    run([os.path.join(BIN, "make-tree"), source, str(args.files), "7", "--flat",
         "--distinct-seconds"])
    point, loop = mount_card()
    contenders = {
        "tokiren run": lambda tree, logs: [os.path.join(BIN, "tokiren-cli"), "run", tree, "--ext",
                                           "jpg", "--log-dir", logs],
        "floor, claim and rename per file": lambda tree, logs: [
            os.path.join(BIN, "tokiren-floor"), "run", tree, os.path.join(logs, "floor.log"),
            "--claim"],
    }
    samples = {name: [] for name in contenders}
    try:
        names = list(contenders)
        for rep in range(args.reps):
            for k in range(len(names)):
                name = names[(rep + k) % len(names)]
                tree, logs = os.path.join(point, "tree"), os.path.join(WORK, "logs")
                shutil.rmtree(tree, ignore_errors=True)
                shutil.rmtree(logs, ignore_errors=True)
                os.makedirs(logs)
                run(["cp", "-r", "--preserve=timestamps", source, tree])
                start = time.perf_counter()
                run(contenders[name](tree, logs))
                samples[name].append(time.perf_counter() - start)
                renamed = sum(1 for n in os.listdir(tree) if n[:1] in "12")
                if renamed != args.files:
                    sys.exit(f"{name}: {renamed} of {args.files} files renamed")
    finally:
        subprocess.run(["umount", point], check=False)
        subprocess.run(["losetup", "-d", loop], check=False)
    medians = {name: statistics.median(values) for name, values in samples.items()}
    floor = medians["floor, claim and rename per file"]
    lines = [f"\n# An exFAT card (exfat-fuse) ({datetime.datetime.now():%Y-%m-%d %H:%M})\n",
             f"Median of {args.reps} runs each, contenders taking turns, on {args.files:,} files "
             "with a second each in one folder of a 1 GiB exFAT image mounted through a loop "
             "device; each run on a fresh copy. exfat-fuse has neither the no-replace flag nor "
             "links: every rename is a claim (the new name made empty, then renamed over).\n",
             "| contender | median wall s | files/s | vs floor |", "|---|---:|---:|---:|"]
    for name, value in medians.items():
        lines.append(f"| {name} | {value:.3f} | {args.files / value:,.0f} | {value / floor:.2f} |")
    ratio = medians["tokiren run"] / floor
    lines += ["", f"- run / floor on the card: {ratio:.2f} (goal at most {RUN_VS_FLOOR}) -- "
                  f"{'met' if ratio <= RUN_VS_FLOOR else 'MISSED'}"]
    text = "\n".join(lines) + "\n"
    with open(RESULTS, "a") as out:
        out.write(text)
    print(text)


if __name__ == "__main__":
    main()
