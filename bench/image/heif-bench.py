#!/usr/bin/python3
"""Times "Make Icon for Media" on a 48-megapixel phone photo as HEIC against
the same picture as JPEG, in one run.

The picture is 8064 x 6048 (a 48 MP phone sensor's), photo-like as a phone
delivers it (a gradient with coarse and fine noise, softened as a phone's
noise reduction leaves it), written from one PNG as:

  - JPEG, quality 90 (Pillow);
  - HEIC as phones write it: a grid of 512 x 512 HEVC tiles (each encoded by
    heif-enc at quality 60), so that libheif decodes the tiles on every core;
  - HEIC as one HEVC picture (heif-enc -q 60 on the whole), which libheif
    decodes on one core;

and for each, `pictomat run make-media-icon` (the whole family, 16 to 1024
px) as a whole process, median of several runs, with its CPU time and peak
memory, and libheif's decoding alone (heif-convert to a raw Y4M picture, the one output it writes without compressing).

Aim: the grid HEIC in at most twice the wall time of the JPEG. The encoded
files are kept in ~/.cache/pictomat-bench/heif (encoding takes minutes).

Usage: bench/image/heif-bench.py [BUILD_DIR] [--runs N]
"""

import concurrent.futures
import os
import shutil
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from importlib import import_module  # noqa: E402

media_bench = import_module("media-bench")
measure = media_bench.measure
PYTHON = media_bench.PYTHON

W, H, TILE = 8064, 6048, 512

PHOTO = r"""
import sys
from PIL import Image, ImageChops, ImageFilter
w, h = int(sys.argv[3]), int(sys.argv[4])
base = Image.linear_gradient('L').resize((w, h)).convert('RGB')
tint = Image.merge('RGB', [Image.linear_gradient('L').rotate(a).resize((w, h)) for a in (0, 90, 180)])
base = Image.blend(base, tint, 0.5)
coarse = Image.effect_noise((w // 8, h // 8), 60).resize((w, h), Image.BILINEAR)
fine = Image.effect_noise((w, h), 25)
noise = Image.merge('RGB', [ImageChops.add(coarse, fine, 2.0, -64)] * 3)
photo = ImageChops.add(base, noise, 1.5, -32).filter(ImageFilter.GaussianBlur(1.2))
photo.save(sys.argv[1], compress_level=1)
photo.save(sys.argv[2], quality=90)
# The tiles of the grid, the last column and row padded with the edge's pixels.
cols, rows = (w + 511) // 512, (h + 511) // 512
padded = Image.new('RGB', (cols * 512, rows * 512))
padded.paste(photo, (0, 0))
padded.paste(photo.crop((w - 1, 0, w, h)).resize((cols * 512 - w, h)), (w, 0))
padded.paste(padded.crop((0, h - 1, cols * 512, h)).resize((cols * 512, rows * 512 - h)), (0, h))
for r in range(rows):
    for c in range(cols):
        padded.crop((c * 512, r * 512, c * 512 + 512, r * 512 + 512)).save('%s-tile-%03d.png' % (sys.argv[1], r * cols + c))
"""


def boxes(data, start, end):
    """(type, start, body, end) of each box between start and end."""
    at = start
    while at + 8 <= end:
        size, kind = struct.unpack(">I4s", data[at:at + 8])
        body = at + 8
        if size == 1:
            size = struct.unpack(">Q", data[at + 8:at + 16])[0]
            body = at + 16
        elif size == 0:
            size = end - at
        yield kind, at, body, at + size
        at += size


def child(data, start, end, kind, full=False):
    for k, s, b, e in boxes(data, start, end):
        if k == kind:
            return s, b + (4 if full else 0), e
    raise ValueError("no %s box" % kind)


def number(data, at, size):
    return int.from_bytes(data[at:at + size], "big") if size else 0


def tile_parts(path):
    """The hvcC and colr properties and the coded picture of heif-enc's file."""
    data = open(path, "rb").read()
    _, meta, meta_end = child(data, 0, len(data), b"meta", full=True)
    _, iprp, iprp_end = child(data, meta, meta_end, b"iprp")
    _, ipco, ipco_end = child(data, iprp, iprp_end, b"ipco")
    props = {k: data[s:e] for k, s, b, e in boxes(data, ipco, ipco_end)}
    iloc, body, _ = child(data, meta, meta_end, b"iloc")
    version = data[body]
    at = body + 4
    offset_size, length_size = data[at] >> 4, data[at] & 15
    base_size, index_size = data[at + 1] >> 4, (data[at + 1] & 15) if version else 0
    at += 2
    count_size = 4 if version == 2 else 2
    count = number(data, at, count_size)
    at += count_size
    picture = b""
    for _ in range(count):
        at += count_size  # item id
        if version:
            at += 2  # construction method
        at += 2  # data reference index
        base = number(data, at, base_size)
        at += base_size
        extents = number(data, at, 2)
        at += 2
        for _ in range(extents):
            at += index_size
            offset = number(data, at, offset_size)
            at += offset_size
            length = number(data, at, length_size)
            at += length_size
            picture += data[base + offset:base + offset + length]
        break  # the primary picture is the file's first item
    return props[b"hvcC"], props.get(b"colr"), picture


def box(kind, body):
    return struct.pack(">I4s", 8 + len(body), kind) + body


def full(kind, version, flags, body):
    return box(kind, struct.pack(">I", (version << 24) | flags) + body)


def write_grid(path, tiles, cols, rows):
    """A grid HEIC as phones write it: a hidden HEVC item per tile, the grid
    item (the primary) naming them in order, and every tile's data in mdat."""
    hvcc, colr = tiles[0][0], tiles[0][1]
    if any(t[0] != hvcc for t in tiles):
        raise ValueError("tiles differ in their decoder configuration")
    n = len(tiles)
    grid = struct.pack(">BBBBHH", 0, 0, rows - 1, cols - 1, W, H)
    ipco = [hvcc, full(b"ispe", 0, 0, struct.pack(">II", TILE, TILE)), full(b"ispe", 0, 0, struct.pack(">II", W, H))]
    if colr:
        ipco.append(colr)

    def meta(mdat_start):
        infe = [full(b"infe", 2, 0, struct.pack(">HH4s", 1, 0, b"grid") + b"\0")]
        infe += [full(b"infe", 2, 1, struct.pack(">HH4s", 2 + i, 0, b"hvc1") + b"\0") for i in range(n)]
        iref = full(b"iref", 0, 0, box(b"dimg", struct.pack(">HH", 1, n) + b"".join(
            struct.pack(">H", 2 + i) for i in range(n))))
        locations, offset = [], mdat_start
        for item, data in [(1, grid)] + [(2 + i, t[2]) for i, t in enumerate(tiles)]:
            locations.append(struct.pack(">HHHII", item, 0, 1, offset, len(data)))
            offset += len(data)
        iloc = full(b"iloc", 0, 0, struct.pack(">BBH", 0x44, 0x00, n + 1) + b"".join(locations))
        # Property indices count from 1 in ipco's order; 0x80 marks one a reader must know.
        colour = [4] if colr else []
        grid_props, tile_props = [3] + colour, [0x81, 2] + colour
        associations = [struct.pack(">HB", 1, len(grid_props)) + bytes(grid_props)]
        associations += [struct.pack(">HB", 2 + i, len(tile_props)) + bytes(tile_props) for i in range(n)]
        ipma = full(b"ipma", 0, 0, struct.pack(">I", n + 1) + b"".join(associations))
        return full(b"meta", 0, 0, full(b"hdlr", 0, 0, b"\0" * 4 + b"pict" + b"\0" * 13) +
                    full(b"pitm", 0, 0, struct.pack(">H", 1)) +
                    full(b"iinf", 0, 0, struct.pack(">H", n + 1) + b"".join(infe)) + iref + iloc +
                    box(b"iprp", box(b"ipco", b"".join(ipco)) + ipma))

    ftyp = box(b"ftyp", b"heic" + struct.pack(">I", 0) + b"mif1heic")
    start = len(ftyp) + len(meta(0)) + 8
    with open(path, "wb") as f:
        f.write(ftyp + meta(start) + box(b"mdat", grid + b"".join(t[2] for t in tiles)))


def encode(png, out, quality="60"):
    subprocess.run(["heif-enc", "-q", quality, png, "-o", out], check=True, stdout=subprocess.DEVNULL)
    return out


def make_files(cache):
    png, jpg = os.path.join(cache, "photo.png"), os.path.join(cache, "photo.jpg")
    grid, single = os.path.join(cache, "grid.heic"), os.path.join(cache, "single.heic")
    if all(os.path.exists(p) for p in (jpg, grid, single)):
        return jpg, grid, single
    os.makedirs(cache, exist_ok=True)
    subprocess.run([PYTHON, "-c", PHOTO, png, jpg, str(W), str(H)], check=True)
    cols, rows = (W + TILE - 1) // TILE, (H + TILE - 1) // TILE
    names = ["%s-tile-%03d.png" % (png, i) for i in range(cols * rows)]
    with concurrent.futures.ThreadPoolExecutor(os.cpu_count() or 2) as pool:
        encoded = list(pool.map(lambda n: encode(n, n[:-4] + ".heic"), names))
    write_grid(grid, [tile_parts(e) for e in encoded], cols, rows)
    for name in names + encoded:
        os.remove(name)
    encode(png, single)
    os.remove(png)
    return jpg, grid, single


def main():
    args = sys.argv[1:]
    runs = media_bench.runs_option(args, 5)
    here = os.path.dirname(os.path.abspath(__file__))
    build = os.path.abspath(args[0]) if args else os.path.join(here, "..", "..", "build")
    pictomat = os.path.join(build, "bin", "pictomat")
    if not os.path.exists(pictomat):
        sys.exit("build %s first" % pictomat)
    for tool in ("heif-enc", "heif-convert"):
        if not shutil.which(tool):
            sys.exit("%s is missing (package libheif-examples)" % tool)
    cache = os.path.join(os.environ.get("XDG_CACHE_HOME", os.path.expanduser("~/.cache")), "pictomat-bench", "heif")
    jpg, grid, single = make_files(cache)
    print("photo: %d x %d; JPEG %.1f MiB, grid HEIC %.1f MiB, one-picture HEIC %.1f MiB"
          % (W, H, os.path.getsize(jpg) / 2**20, os.path.getsize(grid) / 2**20, os.path.getsize(single) / 2**20))
    print("load average before: %s" % " ".join("%.2f" % x for x in os.getloadavg()))

    work = tempfile.mkdtemp(prefix="heif-bench-")
    try:
        env = media_bench.private_session(work, pictomat)
        os.makedirs(os.path.join(work, "out"))
        inputs = {}
        for name, source in (("photo.jpg", jpg), ("grid.heic", grid), ("single.heic", single)):
            inputs[name] = os.path.join(work, "out", name)
            os.symlink(source, inputs[name])
        rows = [("make-media-icon, JPEG", measure([pictomat, "run", "make-media-icon", inputs["photo.jpg"]], env, runs)),
                ("make-media-icon, grid HEIC", measure([pictomat, "run", "make-media-icon", inputs["grid.heic"]],
                                                       env, runs)),
                ("make-media-icon, one-picture HEIC",
                 measure([pictomat, "run", "make-media-icon", inputs["single.heic"]], env, runs)),
                ("heif-convert, grid HEIC (decoding)",
                 measure(["heif-convert", grid, os.path.join(work, "grid.y4m")], env, runs))]
        print("\n%-36s %9s %9s %11s" % ("", "wall (s)", "CPU (s)", "peak (MiB)"))
        for label, (wall, cpu, peak) in rows:
            print("%-36s %9.2f %9.2f %11.0f" % (label, wall, cpu, peak))
        ratio = rows[1][1][0] / rows[0][1][0]
        print("\ngrid HEIC / JPEG wall time: %.2f  aim <= 2.0  %s" % (ratio, "met" if ratio <= 2.0 else "MISSED"))
        print("load average after: %s" % " ".join("%.2f" % x for x in os.getloadavg()))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
