#!/usr/bin/python3
"""Pillow's C quantize to a fixed palette with Floyd-Steinberg, the peer of the remap
benchmarks (BM_Remap160x256Mode2/5, BM_Remap320x256Mode1/5, BM_Remap640x256Mode0/5):
the same noisy gradient, the modes' default palettes. Prints the median per call."""
import random
import statistics
import timeit

from PIL import Image

PALETTES = {
    "Mode 2, 160 x 256, 8 colours": ((160, 256), [(0, 0, 0), (255, 0, 0), (0, 255, 0), (255, 255, 0),
                                                   (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]),
    "Mode 1, 320 x 256, 4 colours": ((320, 256), [(0, 0, 0), (255, 0, 0), (255, 255, 0), (255, 255, 255)]),
    "Mode 0, 640 x 256, 2 colours": ((640, 256), [(0, 0, 0), (255, 255, 255)]),
}


def photo(width, height):
    rng = random.Random(7)
    im = Image.new("RGB", (width, height))
    px = []
    for y in range(height):
        for x in range(width):
            n = rng.randrange(32) - 16
            c = lambda v: max(0, min(255, v))
            px.append((c(x * 255 // width + n), c(y * 255 // height + n), c((x + y) * 255 // (width + height) - n)))
    im.putdata(px)
    return im


for name, (size, colours) in PALETTES.items():
    im = photo(*size)
    pal = Image.new("P", (1, 1))
    # Unused entries repeat black, which every palette here holds, so they never win.
    pal.putpalette(sum(colours, ()) + (0, 0, 0) * (256 - len(colours)))
    run = lambda: im.quantize(palette=pal, dither=Image.Dither.FLOYDSTEINBERG)
    times = timeit.repeat(run, number=20, repeat=15)
    print(f"Pillow quantize, {name:30s} {statistics.median(times) / 20 * 1000:7.3f} ms (median)")
