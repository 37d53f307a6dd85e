#!/usr/bin/python3
"""Whole-process time of converting N pictures with one batch run (--output-dir) against
N single conversions one after another. Usage: bench/batch_vs_single.py BUILD_DIR PICTURE [--count N]"""
import argparse
import os
import shutil
import statistics
import subprocess
import tempfile
import time

parser = argparse.ArgumentParser()
parser.add_argument("build")
parser.add_argument("picture")
parser.add_argument("--count", type=int, default=100)
parser.add_argument("--runs", type=int, default=3)
args = parser.parse_args()
cli = os.path.join(args.build, "cli", "quillmorph-cli")
options = ["--mode", "2", "--method", "Floyd-Steinberg"]
folder = tempfile.mkdtemp(prefix="quillmorph-batch-")
try:
    extension = os.path.splitext(args.picture)[1]
    inputs = []
    for i in range(args.count):
        inputs.append(os.path.join(folder, f"picture{i:03d}{extension}"))
        shutil.copyfile(args.picture, inputs[-1])
    single, batch = [], []
    for _ in range(args.runs):
        start = time.perf_counter()
        for i, name in enumerate(inputs):
            subprocess.run([cli, "convert", name, os.path.join(folder, f"single{i:03d}")] + options, check=True)
        single.append(time.perf_counter() - start)
        start = time.perf_counter()
        subprocess.run([cli, "convert"] + inputs + ["--output-dir", os.path.join(folder, "out")] + options,
                       check=True, stdout=subprocess.DEVNULL)
        batch.append(time.perf_counter() - start)
    s, b = statistics.median(single), statistics.median(batch)
    print(f"{args.count} pictures one by one: {s * 1000:.0f} ms; batch on {os.cpu_count()} processors: "
          f"{b * 1000:.0f} ms ({b / s:.2f} of the time; medians of {args.runs})")
finally:
    shutil.rmtree(folder)
