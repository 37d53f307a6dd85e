#!/usr/bin/python3
"""Whole-process timings of quillmorph-cli beside ImageMagick and a Pillow script.

Usage: bench/compare_with_peers.py BUILD_DIR [--runs N] [--magick PATH]

Makes its own inputs in a scratch folder (a 640 x 512 PNG and a 6000 x 4000 JPEG, both
a noisy gradient, and the Mode 2 palette as a picture for ImageMagick's -remap), runs
each command N times in turn and prints the median wall time of each. Needs ImageMagick
(convert) and Pillow; neither is used by the program itself. --magick names ImageMagick's
convert where the first on the PATH is something else (a wrapper script would add its
own start-up to every run).
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

from PIL import Image

# The Mode 2 palette: the eight physical colours.
PALETTE = [(0, 0, 0), (255, 0, 0), (0, 255, 0), (255, 255, 0),
           (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]

# The six-line Pillow script: reduced-size JPEG decoding (draft), the smooth reduction
# to 160 x 256, Floyd-Steinberg to the fixed palette, saved as PNG.
PILLOW_SCRIPT = """import sys
from PIL import Image
im = Image.open(sys.argv[1]); im.draft("RGB", (160, 256))
pal = Image.new("P", (1, 1)); pal.putpalette(sum(%r, ()))
out = im.convert("RGB").resize((160, 256), Image.BOX).quantize(palette=pal, dither=Image.Dither.FLOYDSTEINBERG)
out.save(sys.argv[2])
""" % (PALETTE,)


def make_inputs(folder):
    import random
    rng = random.Random(7)

    def photo(width, height):
        im = Image.new("RGB", (width, height))
        px = []
        for y in range(height):
            for x in range(width):
                n = rng.randrange(48) - 24
                px.append((max(0, min(255, x * 255 // width + n)), max(0, min(255, y * 255 // height + n)),
                           max(0, min(255, 128 - n))))
        im.putdata(px)
        return im

    photo(640, 512).save(os.path.join(folder, "in.png"))
    # The camera picture is drawn small and enlarged: per-pixel Python for 24 million
    # pixels would take minutes. The enlargement keeps it a smooth photograph-like JPEG.
    photo(600, 400).resize((6000, 4000), Image.BILINEAR).save(os.path.join(folder, "camera.jpg"), quality=85)
    pal = Image.new("RGB", (8, 1))
    pal.putdata(PALETTE)
    pal.save(os.path.join(folder, "palette.png"))
    with open(os.path.join(folder, "pillow_convert.py"), "w") as f:
        f.write(PILLOW_SCRIPT)


def median_time(command, runs):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--runs", type=int, default=21)
    parser.add_argument("--magick", help="ImageMagick's convert (default: the first on the PATH)")
    args = parser.parse_args()
    cli = os.path.join(args.build, "cli", "quillmorph-cli")
    magick = args.magick or shutil.which("convert")
    if magick is None:
        sys.exit("ImageMagick's convert is needed")
    folder = tempfile.mkdtemp(prefix="quillmorph-peers-")
    try:
        make_inputs(folder)
        f = lambda name: os.path.join(folder, name)
        rows = [
            ("640 x 512 PNG -> Mode 2 dump, quillmorph-cli",
             [cli, "convert", f("in.png"), f("out.bbc"), "--mode", "2", "--method", "Floyd-Steinberg"]),
            ("640 x 512 PNG -> Mode 2, ImageMagick convert",
             [magick, f("in.png"), "-resize", "160x256!", "-dither", "FloydSteinberg", "-remap",
              f("palette.png"), f("magick.png")]),
            ("6000 x 4000 JPEG -> Mode 2 dump, quillmorph-cli",
             [cli, "convert", f("camera.jpg"), f("camera.bbc"), "--mode", "2", "--method", "Floyd-Steinberg",
              "--stretch"]),
            ("6000 x 4000 JPEG -> Mode 2, Pillow script",
             ["/usr/bin/python3", f("pillow_convert.py"), f("camera.jpg"), f("pillow.png")]),
        ]
        for name, command in rows:
            subprocess.run(command, check=True, stdout=subprocess.DEVNULL)  # warm the caches once
        for name, command in rows:
            print(f"{name:52s} {median_time(command, args.runs) * 1000:8.1f} ms (median of {args.runs})")
    finally:
        shutil.rmtree(folder)


if __name__ == "__main__":
    main()
