#!/usr/bin/env python3
"""Writes the malformed picture files of this folder, one defect each.

Files are named <defect>.<ext>. A name starting with "partial-" must decode with the
part that the data reach and black after it; "decodes-" must decode without error;
every other file must give no picture. "too-short-" files promise more pixel data than
they could hold at their format's densest encoding and must be refused from the header.
Run from this folder to rewrite them.
"""
import os
import struct


def write(folder, name, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


# IFF ------------------------------------------------------------------------------

def chunk(cid, data, size=None):
    size = len(data) if size is None else size
    out = cid + struct.pack(">I", size) + data
    if len(data) % 2:
        out += b"\0"
    return out


def form(ftype, *chunks):
    body = ftype + b"".join(chunks)
    return b"FORM" + struct.pack(">I", len(body)) + body


def bmhd(w, h, planes, masking=0, compression=1):
    return chunk(b"BMHD", struct.pack(">HHhhBBBBHBBHH", w, h, 0, 0, planes, masking, compression, 0, 0, 10, 11, w, h))


CMAP2 = chunk(b"CMAP", bytes([0, 0, 0, 255, 0, 0]))
# 16 x 2, 1 plane: rows of 2 bytes, all pixels set (red).
BODY_RAW = bytes([0xFF, 0xFF, 0xFF, 0xFF])
iff = "ilbm"
write(iff, "not-form.iff", b"FORX" + form(b"ILBM", bmhd(16, 2, 1, 0, 0), CMAP2, chunk(b"BODY", BODY_RAW))[4:])
write(iff, "form-type-acbm.iff", form(b"ACBM", bmhd(16, 2, 1, 0, 0), CMAP2, chunk(b"BODY", BODY_RAW)))
write(iff, "no-bmhd.iff", form(b"ILBM", CMAP2, chunk(b"BODY", BODY_RAW)))
write(iff, "bmhd-two-bytes.iff", form(b"ILBM", chunk(b"BMHD", b"\0\x10"), CMAP2, chunk(b"BODY", BODY_RAW)))
write(iff, "bmhd-cut-before-compression.iff", form(b"ILBM", chunk(b"BMHD", struct.pack(">HHhhB", 16, 2, 0, 0, 1)), CMAP2, chunk(b"BODY", BODY_RAW)))
write(iff, "width-65535.iff", form(b"ILBM", bmhd(65535, 2, 1, 0, 0), CMAP2, chunk(b"BODY", BODY_RAW)))
write(iff, "size-32767-square.iff", form(b"ILBM", bmhd(32767, 32767, 1, 0, 0), CMAP2, chunk(b"BODY", BODY_RAW)))
write(iff, "width-zero.iff", form(b"ILBM", bmhd(0, 2, 1, 0, 0), CMAP2, chunk(b"BODY", BODY_RAW)))
write(iff, "missing-body.iff", form(b"ILBM", bmhd(16, 2, 1, 0, 0), CMAP2))
write(iff, "compression-2.iff", form(b"ILBM", bmhd(16, 2, 1, 0, 2), CMAP2, chunk(b"BODY", BODY_RAW)))
write(iff, "body-before-bmhd.iff", form(b"ILBM", chunk(b"BODY", BODY_RAW), bmhd(16, 2, 1, 0, 0), CMAP2))
write(iff, "planes-zero.iff", form(b"ILBM", bmhd(16, 2, 0, 0, 0), CMAP2, chunk(b"BODY", BODY_RAW)))
write(iff, "planes-200.iff", form(b"ILBM", bmhd(16, 2, 200, 0, 0), CMAP2, chunk(b"BODY", BODY_RAW * 200)))
write(iff, "pbm-without-cmap.iff", form(b"PBM ", bmhd(4, 2, 8, 0, 0), chunk(b"BODY", bytes(8))))
write(iff, "pbm-cmap-after-body.iff", form(b"PBM ", bmhd(4, 2, 8, 0, 0), chunk(b"BODY", bytes([1] * 8)), CMAP2))
# A stored BODY that claims far more than the file holds: refused, as it cannot fill the picture.
write(iff, "body-size-beyond-end.iff",
      form(b"ILBM", bmhd(16, 2, 1, 0, 0), CMAP2) + b"BODY" + struct.pack(">I", 0xFFFFFFF0) + bytes([0xFF, 0xFF]))
# ByteRun1 that stops in the middle of a literal run.
write(iff, "partial-byterun-cut-in-literal.iff", form(b"ILBM", bmhd(16, 2, 1, 0, 1), CMAP2, chunk(b"BODY", bytes([3, 0xFF, 0xFF]))))
# A repeat run far longer than the planar store.
write(iff, "decodes-byterun-beyond-store.iff", form(b"ILBM", bmhd(16, 2, 1, 0, 1), CMAP2, chunk(b"BODY", bytes([0x81, 0xFF] * 40))))
# Pixel values beyond the CMAP.
write(iff, "decodes-index-beyond-cmap.iff", form(b"ILBM", bmhd(16, 1, 3, 0, 0), CMAP2, chunk(b"BODY", bytes([0xFF, 0xFF] * 3))))
# HAM by its CAMG but with no CMAP at all.
write(iff, "decodes-ham-without-cmap.iff", form(b"ILBM", bmhd(16, 1, 6, 0, 0), chunk(b"CAMG", struct.pack(">I", 0x800)), chunk(b"BODY", bytes(range(12)))))
# A CMAP whose size is not a multiple of 3 and runs off the end of the file.
write(iff, "decodes-cmap-cut-short.iff", form(b"ILBM", bmhd(16, 1, 1, 0, 0), chunk(b"BODY", bytes([0xAA, 0x55]))) + b"CMAP" + struct.pack(">I", 0x300) + bytes([9, 8, 7, 6]))
# A chunk size that makes the walk jump past the end.
# 320 x 200 stored planes need 40,000 bytes; packed ones at least 626.
write(iff, "too-short-stored-body.iff", form(b"ILBM", bmhd(320, 200, 5, 0, 0), CMAP2, chunk(b"BODY", bytes(39999))))
write(iff, "too-short-packed-body.iff", form(b"ILBM", bmhd(320, 200, 5, 0, 1), CMAP2, chunk(b"BODY", bytes([0x81, 0]) * 312)))
write(iff, "too-short-pbm-body.iff", form(b"PBM ", bmhd(32767, 4577, 8, 0, 1), CMAP2, chunk(b"BODY", bytes([0x81, 0]) * 8)))
write(iff, "chunk-size-wraps.iff", form(b"ILBM", bmhd(16, 2, 1, 0, 0)) + b"JUNK" + struct.pack(">I", 0xFFFFFFFF) + chunk(b"BODY", BODY_RAW))

# PPM ------------------------------------------------------------------------------

ppm = "ppm"
write(ppm, "magic-p5-grey.ppm", b"P5\n2 2\n255\n" + bytes(4))
write(ppm, "maxval-zero.ppm", b"P6\n2 2\n0\n" + bytes(12))
write(ppm, "maxval-70000.ppm", b"P3\n1 1\n70000\n1 2 3\n")
write(ppm, "letter-in-width.ppm", b"P6\n2a 2\n255\n" + bytes(12))
write(ppm, "no-maxval.ppm", b"P6\n2 2\n")
write(ppm, "comment-to-end-of-file.ppm", b"P3\n2 2\n# no maxval follows")
write(ppm, "width-beyond-any-limit.ppm", b"P6\n99999999999999999999 2\n255\n" + bytes(12))
write(ppm, "size-40000-by-1.ppm", b"P6\n40000 1\n255\n" + bytes(12))
write(ppm, "samples-cut-p6.ppm", b"P6\n2 2\n255\n" + bytes([255, 0, 0, 0, 255, 0, 1]))
write(ppm, "samples-cut-p6-wide.ppm", b"P6\n2 2\n65535\n" + bytes([255, 255, 0, 0, 0, 0, 255]))
write(ppm, "samples-cut-p3.ppm", b"P3\n2 2\n255\n255 0 0  0 255 0 1 2 3 4 5")
write(ppm, "letter-in-sample-p3.ppm", b"P3\n2 2\n15\n15 0 0  0 15 0  1x 2 3  4 5 6\n")
write(ppm, "decodes-p3-samples-above-maxval.ppm", b"P3\n1 1\n15\n16 300 99999999999999999999\n")

# Headers alone that promise pictures of 150 million pixels.
write(ppm, "too-short-p6-header-alone.ppm", b"P6\n32767 4577\n255\n")
write(ppm, "too-short-p3-header-alone.ppm", b"P3\n30000 4000\n255\n")
write(ppm, "too-short-p3-one-character-a-sample.ppm", b"P3\n2 2\n255\n" + b"1" * 12)

# TGA ------------------------------------------------------------------------------

def tga(itype, w, h, depth, descriptor, data=b"", idfield=b"", maplen=0, mapbits=0):
    header = struct.pack("<BBBHHBHHHHBB", len(idfield), 1 if maplen else 0, itype, 0, maplen, mapbits, 0, 0, w, h, depth, descriptor)
    return header + idfield + bytes(maplen * ((mapbits + 7) // 8)) + data


tg = "tga"
write(tg, "header-cut.tga", tga(2, 2, 2, 24, 0x20)[:12])
write(tg, "colour-mapped.tga", tga(1, 2, 2, 8, 0x20, bytes(4), maplen=2, mapbits=24))
write(tg, "width-zero.tga", tga(2, 0, 2, 24, 0x20, bytes(12)))
write(tg, "size-65535-square.tga", tga(10, 65535, 65535, 24, 0x20, bytes([0xFF, 1, 2, 3])))
write(tg, "uncompressed-cut.tga", tga(2, 2, 2, 24, 0x20, bytes([0, 0, 255, 0, 255])))
write(tg, "partial-rle-cut-in-literal.tga", tga(10, 2, 2, 32, 0x20, bytes([0x80, 1, 2, 3, 4, 0x02, 1, 2, 3, 4])))
write(tg, "partial-rle-cut-in-run.tga", tga(10, 3, 1, 24, 0x20, bytes([0x00, 9, 9, 9, 0x81, 1, 2])))
write(tg, "decodes-rle-overfull.tga", tga(10, 2, 1, 24, 0x00, bytes([0xFF, 1, 2, 3, 0x7F]) + bytes(400)))
write(tg, "data-start-beyond-end.tga", tga(10, 2, 2, 24, 0x20, bytes([0x81, 1, 2, 3]), idfield=b"x" * 255, maplen=65535, mapbits=255)[:300])
write(tg, "too-short-header-alone.tga", tga(2, 32767, 4577, 24, 0x20))
write(tg, "too-short-rle-header-alone.tga", tga(10, 32767, 4577, 24, 0x20))
# 300 pixels need at least three run-length packets.
write(tg, "too-short-rle-two-packets.tga", tga(10, 300, 1, 24, 0x20, bytes([0xFF, 1, 2, 3]) * 2))
# Headers the stricter check no longer takes for Targa: a grey pixmap whose third byte
# is a line feed (10), a colour-map type of 2, a depth of 8, a cursor's resource type 2.
write(tg, "grey-pixmap-line-feed.pgm", b"P5\n24 7\n255\n" + bytes(range(168)))
write(tg, "colour-map-type-2.tga", tga(2, 2, 2, 24, 0x20, bytes(12))[:1] + b"\x02" + tga(2, 2, 2, 24, 0x20, bytes(12))[2:])
write(tg, "depth-8.tga", tga(2, 2, 2, 8, 0x20, bytes(4)))
write(tg, "cursor.cur", bytes([0, 0, 2, 0, 1, 0, 2, 2, 0, 0, 1, 0, 1, 0, 0x30, 0, 0, 0, 0x16, 0, 0, 0]) + bytes(48))


# TIFF -----------------------------------------------------------------------------

def tiff(w, h, compression, strip=b"", strip_offset=None, strip_bytes=None):
    """A little-endian grey TIFF, 8 bits a sample, one strip."""
    entries = [(256, 4, w), (257, 4, h), (258, 3, 8), (259, 3, compression), (262, 3, 1),
               (273, 4, None), (277, 3, 1), (278, 4, h), (279, 4, len(strip) if strip_bytes is None else strip_bytes)]
    data_at = 8 + 2 + 12 * len(entries) + 4
    out = b"II*\0" + struct.pack("<IH", 8, len(entries))
    for tag, kind, value in entries:
        value = (data_at if strip_offset is None else strip_offset) if value is None else value
        out += struct.pack("<HHII", tag, kind, 1, value)
    return out + struct.pack("<I", 0) + strip


tf = "tiff"
write(tf, "too-short-stored-header-alone.tif", tiff(30000, 4000, 1, strip_bytes=120000000))
write(tf, "too-short-deflate-few-bytes.tif", tiff(30000, 4000, 8, bytes([0x78, 0x9C, 3, 0, 0, 0, 0, 1])))
write(tf, "too-short-fax-strip-beyond-end.tif", tiff(30000, 4000, 4, strip_offset=1 << 20, strip_bytes=500))
write(tf, "decodes-stored-2-by-2.tif", tiff(2, 2, 1, bytes([0, 85, 170, 255])))


# GIF ------------------------------------------------------------------------------

def gif(screen_w, screen_h, frame_w, frame_h):
    """A GIF with a two-colour table and one frame of colour 0 (LZW, minimum code size 2)."""
    header = b"GIF89a" + struct.pack("<HHBBB", screen_w, screen_h, 0x80, 0, 0) + bytes([0, 0, 0, 255, 255, 255])
    frame = b"\x2c" + struct.pack("<HHHHB", 0, 0, frame_w, frame_h, 0) + bytes([2, 2, 0x44, 0x01, 0])
    return header + frame + b"\x3b"


gf = "gif"
write(gf, "too-short-screen-12000-square.gif", gif(12000, 12000, 1, 1))
