#!/usr/bin/env python3
"""Pictures of the shared corpus as the converter reads them, against Pillow and ImageMagick.

Every file of the corpus whose first bytes name a format the converter reads through its
platform loaders (BMP, ICO, CUR, GIF, JPEG), libpng, libtiff or its own PPM and Targa
readers is read through the reader chain as Open reads it (corpus_decode) and by both
references. Fails when

- the converter opens a picture at a size no reference that decodes the file gives, or
- fewer than 95 % of the platform-loader, PNG and TIFF files that both references decode
  agree with at least one of them.

Agreement: the same size and, per channel, the same 8-bit value up to one step (wider
samples and alpha are rounded differently by each decoder), or up to a JPEG decoder's
differences for JPEG files. Alpha is composed onto black, as the converter does.

Usage: corpus_agreement.py CORPUS_DECODE CORPUS. Exits with 77 (skipped) when Pillow or
ImageMagick is missing.
"""

import concurrent.futures
import io
import os
import resource
import shutil
import subprocess
import sys
import threading
import warnings

SKIP = 77
REQUIRED_SHARE = 0.95
# JPEG decoders may differ in their inverse transform and chroma upsampling.
JPEG_MAX_STEP = 12
JPEG_MEAN_STEP = 1.5
EXACT_MAX_STEP = 1
TIMEOUT_S = 30
MEMORY_LIMIT = 6 << 30

try:
    from PIL import Image, ImageChops, ImageOps, ImageStat

    # Pillow refuses pictures beyond twice this, as the converter does beyond 150 million.
    Image.MAX_IMAGE_PIXELS = 75_000_000
except ImportError:
    print("SKIPPED: Pillow (Debian python3-pil) is not installed for", sys.executable)
    sys.exit(SKIP)


def kind_of(path, head):
    """The format a file's first bytes name, or None for a file the test leaves out."""
    if path.lower().endswith(".tga"):  # Targa has no signature; many begin as cursors do
        return "tga"
    if head.startswith(b"BM"):
        return "bmp"
    if head[:4] == b"\0\0\1\0":
        return "ico"
    if head[:4] == b"\0\0\2\0":
        return "cur"
    if head.startswith(b"GIF8"):
        return "gif"
    if head.startswith(b"\xff\xd8\xff"):
        return "jpeg"
    if head.startswith(b"\x89PNG\r\n\x1a\n"):
        return "png"
    if head[:4] in (b"II*\0", b"MM\0*"):
        return "tiff"
    if head[:1] == b"P" and head[1:2] in b"123456" and len(head) > 2:
        return "pnm"
    return None


# Formats whose agreement counts towards the required share; the own readers (PPM,
# Targa) follow their own rules where the references differ (grey pixmaps declined,
# 16-bit Targa channels times 8) and are reported only.
COUNTED = {"bmp", "ico", "cur", "gif", "jpeg", "png", "tiff"}


def on_black(image):
    """The picture in RGB composed onto black, as the converter does."""
    if "A" not in image.getbands() and "transparency" not in image.info:
        return image.convert("RGB")
    rgba = image.convert("RGBA")
    alpha = rgba.getchannel("A")
    rgb = rgba.convert("RGB")
    if alpha.getextrema()[0] == 255:
        return rgb
    return ImageChops.multiply(rgb, Image.merge("RGB", (alpha, alpha, alpha)))


def read_with_pillow(path, kind):
    # From memory: given a file, Pillow hands libtiff a copy of its descriptor and, when the
    # decode fails, closes that number again after libtiff has, which can close a pipe
    # another thread has just opened under the same number.
    try:
        with open(path, "rb") as file:
            data = io.BytesIO(file.read())
        with Image.open(data) as image:
            if kind == "gif":
                image.seek(0)
            if kind == "jpeg":
                image = ImageOps.exif_transpose(image)
            image.load()
            if image.mode in ("I;16", "I;16B", "I;16L", "I"):
                return None  # Pillow clips wide grey samples instead of scaling them
            return image.size, on_black(image)
    except Exception:  # noqa: BLE001 - any failure means Pillow does not decode it
        return None


def read_with_magick(path, kind):
    # Icons hold several pictures (the converter takes the one with the most pixels); of
    # other files the first. A GIF's first frame is placed on its logical screen.
    source = path if kind in ("ico", "cur") else path + "[0]"
    steps = ["-coalesce"] if kind == "gif" else []
    if kind == "jpeg":
        steps = ["-auto-orient"]
    command = ["convert", "-limit", "area", "150MP", "-limit", "disk", "0", source, *steps,
               "-depth", "8", "+adjoin", "pam:-"]
    try:
        done = subprocess.run(command, capture_output=True, timeout=TIMEOUT_S, check=False)
    except subprocess.TimeoutExpired:
        return None
    if done.returncode != 0 or not done.stdout:
        return None
    frames = split_pam(done.stdout)
    # max() keeps the first of equals, as the converter does.
    return max(frames, key=lambda frame: frame[0][0] * frame[0][1]) if frames else None


def split_pam(data):
    frames = []
    offset = 0
    while offset < len(data):
        end = data.find(b"ENDHDR\n", offset)
        if end < 0:
            break
        fields = {}
        for line in data[offset:end].decode("ascii", "replace").splitlines()[1:]:
            key, _, value = line.partition(" ")
            fields[key] = value.strip()
        width, height, depth = int(fields["WIDTH"]), int(fields["HEIGHT"]), int(fields["DEPTH"])
        start = end + 7
        size = width * height * depth
        pixels = data[start:start + size]
        if len(pixels) != size or size == 0 or int(fields.get("MAXVAL", "255")) != 255:
            break
        mode = {1: "L", 2: "LA", 3: "RGB", 4: "RGBA"}[depth]
        frames.append(((width, height), on_black(Image.frombytes(mode, (width, height), pixels))))
        offset = start + size
    return frames


class Converter:
    """corpus_decode, built beside the converter: the reader chain as Open runs it."""

    def __init__(self, program):
        self.process = subprocess.Popen([program], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.lock = threading.Lock()

    def read(self, path):
        with self.lock:
            self.process.stdin.write(path.encode() + b"\n")
            self.process.stdin.flush()
            answer = self.process.stdout.readline().decode("utf-8", "replace").strip()
            if not answer or answer.startswith("-"):
                return None, answer[2:] if answer else "the decoder stopped"
            width, height = (int(n) for n in answer.split())
            pixels = self.process.stdout.read(width * height * 3)
        return ((width, height), Image.frombytes("RGB", (width, height), pixels)), ""

    def close(self):
        self.process.stdin.close()
        self.process.wait()


def agrees(ours, reference, kind):
    if reference is None or ours[0] != reference[0]:
        return False
    difference = ImageChops.difference(ours[1], reference[1])
    largest = max(high for _, high in difference.getextrema())
    if kind == "jpeg":
        return largest <= JPEG_MAX_STEP and max(ImageStat.Stat(difference).mean) <= JPEG_MEAN_STEP
    return largest <= EXACT_MAX_STEP


def compare(converter, corpus, path):
    with open(path, "rb") as file:
        head = file.read(16)
    kind = kind_of(path, head)
    if kind is None:
        return None
    ours, reason = converter.read(path)
    pillow = read_with_pillow(path, kind)
    magick = read_with_magick(path, kind)
    return {
        "path": os.path.relpath(path, corpus),
        "kind": kind,
        "ours": ours[0] if ours else None,
        "reason": reason,
        "pillow": pillow[0] if pillow else None,
        "magick": magick[0] if magick else None,
        "agrees_pillow": ours is not None and agrees(ours, pillow, kind),
        "agrees_magick": ours is not None and agrees(ours, magick, kind),
    }


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    decoder, corpus = sys.argv[1], sys.argv[2]
    if shutil.which("convert") is None:
        print("SKIPPED: ImageMagick (Debian imagemagick) is not installed")
        return SKIP
    if not os.path.isdir(corpus):
        print("SKIPPED: no corpus at", corpus)
        return SKIP
    paths = []
    for root, _, names in os.walk(corpus):
        if os.path.relpath(root, corpus).split(os.sep)[0] in ("bbc", "ilbm", "wmf", "emf"):
            continue
        paths += [os.path.join(root, name) for name in names]
    paths.sort()
    warnings.simplefilter("ignore")  # Pillow's remarks on damaged files
    os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
    # A damaged file must not take the machine's memory with it: this process and the
    # programs it starts fail an allocation instead.
    resource.setrlimit(resource.RLIMIT_AS, (MEMORY_LIMIT, MEMORY_LIMIT))
    converter = Converter(decoder)
    with concurrent.futures.ThreadPoolExecutor(3) as pool:
        results = [r for r in pool.map(lambda p: compare(converter, corpus, p), paths) if r]
    converter.close()

    wrong_size, counted, agreeing, disagreeing, own = [], 0, 0, [], []
    for r in results:
        sizes = {s for s in (r["pillow"], r["magick"]) if s}
        if r["ours"] and sizes and r["ours"] not in sizes:
            wrong_size.append(r)
        both = r["pillow"] and r["magick"]
        if not both:
            continue
        agreed = r["agrees_pillow"] or r["agrees_magick"]
        if r["kind"] in COUNTED:
            counted += 1
            agreeing += agreed
            if not agreed:
                disagreeing.append(r)
        elif not agreed:
            own.append(r)

    def describe(r):
        ours = "%dx%d" % r["ours"] if r["ours"] else "refused (%s)" % r["reason"]
        refs = "Pillow %s, ImageMagick %s" % (
            "%dx%d" % r["pillow"] if r["pillow"] else "-", "%dx%d" % r["magick"] if r["magick"] else "-")
        return "  %s [%s]: ours %s; %s" % (r["path"], r["kind"], ours, refs)

    print("files read: %d; both references decode %d of the counted formats" % (len(results), counted))
    print("disagreeing with both references (%d):" % len(disagreeing))
    for r in disagreeing:
        print(describe(r))
    print("own readers (PPM, Targa) disagreeing with both, by their own rules (%d):" % len(own))
    for r in own:
        print(describe(r))
    share = agreeing / counted if counted else 0.0
    print("agreement: %d of %d = %.1f %%" % (agreeing, counted, 100.0 * share))
    failed = False
    if wrong_size:
        failed = True
        print("FAIL: opened at a size no reference gives (%d):" % len(wrong_size))
        for r in wrong_size:
            print(describe(r))
    if counted == 0 or share < REQUIRED_SHARE:
        failed = True
        print("FAIL: agreement below %d %%" % round(REQUIRED_SHARE * 100))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
