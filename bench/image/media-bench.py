#!/usr/bin/python3
"""Times "Make Icon for Media" against the tools a user would otherwise reach for.

On one 6000 x 4000 photo-like JPEG (a gradient with coarse and fine sensor-like
noise, so that it compresses like a photograph and not like a test card), each
as a whole process, median of several runs, all in the same run:

  - vipsthumbnail PHOTO -s 1024
  - Pillow: Image.open(PHOTO).convert("RGBA").save(out, format="ICNS")
  - npm's icon-gen --icns on the same photo as PNG (its only input besides SVG),
    installed into a cache folder by this benchmark, never by the program
  - our renderer alone: bench_media_icon (decode, render every row, write)
  - pictomat run make-media-icon PHOTO (the whole family, 16 to 1024 px),
    and on five copies of it in one run (the reading worker warm after the
    first)

then the fixed cost of a run (pictomat --version, make-media-icon on a
64 x 64 PNG), a 100-megapixel PNG through make-media-icon, and a 1080p H.264
movie's poster frame through our renderer.

Quality in the same run: PSNR of the 32 and 64 px elements against
ImageMagick's Lanczos resize of the source to the same rectangle, for the
photo (noise-dominated: every filter averages it to about the same mean, so
this row says little about sharpness) and for a detailed subject as an icon
source has it (sharp edges, one-pixel lines, text; 6000 x 4000, JPEG quality
95), and of the elements of a drawing as design tools write it (style sheet
classes, a blurred drop shadow, a mask) against librsvg's rsvg-convert at
each size.

Aims: make-media-icon at most 0.8 x the wall time of vipsthumbnail -s 1024
and at least 5 x faster than icon-gen, peak memory at most 40 MiB; the
100-megapixel PNG under 2 s and 200 MiB; a 1080p poster in under 0.3 s.
Pillow is a row to compare with, not an aim.
The rows the aims compare (vipsthumbnail, our renderer, each pictomat on
the photo, its fixed costs) are measured together, a run of each in turn.
Wall time is what the aims speak of; CPU time (user + system) is printed
beside it, the fairer figure on a machine that other work keeps busy, and
the machine's load average is printed first.

With --baseline OTHER_BUILD the same pictomat rows and the quality figures
are also measured with the pictomat of another build (an earlier commit) in
the same run.

Usage: bench/image/media-bench.py [BUILD_DIR] [--runs N] [--baseline OTHER_BUILD]
"""

import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

PYTHON = "/usr/bin/python3"


def make_photo(path):
    script = r"""
import sys
from PIL import Image, ImageChops, ImageFilter
w, h = 6000, 4000
base = Image.linear_gradient('L').resize((w, h)).convert('RGB')
tint = Image.merge('RGB', [Image.linear_gradient('L').rotate(a).resize((w, h)) for a in (0, 90, 180)])
base = Image.blend(base, tint, 0.5)
coarse = Image.effect_noise((w // 8, h // 8), 60).resize((w, h), Image.BILINEAR)
fine = Image.effect_noise((w, h), 25)
noise = Image.merge('RGB', [ImageChops.add(coarse, fine, 2.0, -64)] * 3)
photo = ImageChops.add(base, noise, 1.5, -32)
photo.save(sys.argv[1], quality=90)
"""
    subprocess.run([PYTHON, "-c", script, path], check=True)


def make_detailed(path):
    """Sharp edges, fine lines and text over flat colours, as an icon source has them."""
    script = r"""
import math, os, sys
from PIL import Image, ImageDraw, ImageFont
w, h = 6000, 4000
im = Image.new('RGB', (w, h), (236, 240, 244))
d = ImageDraw.Draw(im)
for i in range(0, w, 250):  # flat tiles with hard edges
    for j in range(0, h, 250):
        if (i // 250 + j // 250) % 3 == 0:
            d.rectangle((i, j, i + 124, j + 124), fill=((i * 7) % 256, (j * 5) % 256, 160))
for k in range(0, 1200, 6):  # a fan of one-pixel lines
    a = k / 1200 * math.pi / 2
    d.line((300, 3700, 300 + 2800 * math.cos(a), 3700 - 2800 * math.sin(a)), fill=(20, 20, 40), width=1)
for r in range(100, 1400, 40):  # rings, two pixels wide
    d.ellipse((4300 - r, 2000 - r, 4300 + r, 2000 + r), outline=(200, 30, 30), width=2)
font_path = '/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf'
for size, y in ((420, 150), (160, 700), (60, 950)):
    font = ImageFont.truetype(font_path, size) if os.path.exists(font_path) else ImageFont.load_default()
    d.text((3200, y), 'Pictomat 24', fill=(10, 60, 200), font=font)
im.save(sys.argv[1], quality=95)
"""
    subprocess.run([PYTHON, "-c", script, path], check=True)


def make_movie(path):
    subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                    "testsrc2=size=1920x1080:rate=30:duration=10", "-c:v", "libx264", "-preset", "veryfast",
                    "-pix_fmt", "yuv420p", path], check=True)


def make_large_png(path):
    script = r"""
import sys
from PIL import Image, ImageDraw
w, h = 12000, 8400
im = Image.radial_gradient('L').resize((w, h)).convert('RGB')
d = ImageDraw.Draw(im)
for i in range(0, w, 600):
    d.rectangle((i, 0, i + 300, h), fill=(i * 255 // w, 80, 160))
im.save(sys.argv[1], compress_level=6)
"""
    subprocess.run([PYTHON, "-c", script, path], check=True)


# A drawing as design tools write it (style sheet classes, a blurred drop
# shadow, a mask); the image tests draw the same file.
DRAWING = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "image", "data",
                       "designed.svg")

PSNR = r"""
import math, sys
from PIL import Image, ImageChops, ImageStat
icns, edge, reference, crop = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4] == "crop"
im = Image.open(icns)
im.size = (edge, edge, 1) if (edge, edge, 1) in im.info["sizes"] else (edge // 2, edge // 2, 2)
im.load()
ours = im.convert("RGBA")
ref = Image.open(reference).convert("RGBA")
if crop:
    left, top = (edge - ref.size[0]) // 2, (edge - ref.size[1]) // 2
    ours = ours.crop((left, top, left + ref.size[0], top + ref.size[1]))
def over_black(i):
    black = Image.new("RGBA", i.size, (0, 0, 0, 255))
    return Image.alpha_composite(black, i).convert("RGB")
diff = ImageChops.difference(over_black(ours), over_black(ref))
mse = sum(v * v for v in ImageStat.Stat(diff).rms) / 3
print("%.1f" % (99.0 if mse == 0 else 10 * math.log10(255 * 255 / mse)))
"""


def psnr(icns, edge, reference, crop):
    r = subprocess.run([PYTHON, "-c", PSNR, icns, str(edge), reference, "crop" if crop else "whole"],
                       capture_output=True, text=True)
    return float(r.stdout) if r.returncode == 0 else None  # no element of that size


def icon_gen(work):
    """npm's icon-gen, installed once into a cache folder outside the source tree."""
    cache = os.path.join(os.environ.get("XDG_CACHE_HOME", os.path.expanduser("~/.cache")), "pictomat-bench", "npm")
    tool = os.path.join(cache, "node_modules", ".bin", "icon-gen")
    if not os.path.exists(tool) and shutil.which("npm"):
        os.makedirs(cache, exist_ok=True)
        subprocess.run(["npm", "install", "--prefix", cache, "--no-audit", "--no-fund", "--loglevel=error",
                        "icon-gen@5"], check=False, stdout=subprocess.DEVNULL)
    return tool if os.path.exists(tool) else None


def measure(command, env=None, runs=5):
    """Median wall time and median CPU time (user + system) in seconds, and
    the largest peak RSS in MiB over the runs, each run a whole process
    (wall time by the clock, CPU time and peak memory from wait4)."""
    walls, cpus, peak = [], [], 0.0
    for _ in range(runs):
        start = time.perf_counter()
        child = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        _, status, usage = os.wait4(child.pid, 0)
        walls.append(time.perf_counter() - start)
        err = child.stderr.read().decode(errors="replace")
        child.stderr.close()
        child.returncode = os.waitstatus_to_exitcode(status)
        if child.returncode != 0:
            raise RuntimeError("%s failed: %s" % (command[0], err[-2000:]))
        cpus.append(usage.ru_utime + usage.ru_stime)
        peak = max(peak, usage.ru_maxrss / 1024.0)
    return statistics.median(walls), statistics.median(cpus), peak


def measure_together(commands, env=None, runs=5):
    """measure() for several commands at once, their runs taken in turn, so
    that a machine that slows down or speeds up meanwhile weighs on all of
    them alike: {name: (wall, CPU, peak)} for {name: command}."""
    results = {name: [[], [], 0.0] for name in commands}
    for _ in range(runs):
        for name, command in commands.items():
            wall, cpu, peak = measure(command, env, 1)
            result = results[name]
            result[0].append(wall)
            result[1].append(cpu)
            result[2] = max(result[2], peak)
    return {name: (statistics.median(w), statistics.median(c), p) for name, (w, c, p) in results.items()}


def runs_option(args, runs):
    """The number given with --runs (taken out of args), else runs."""
    if "--runs" in args:
        i = args.index("--runs")
        runs = int(args[i + 1])
        del args[i:i + 2]
    return runs


def private_session(work, pictomat):
    """The environment of a user of our own inside work, whose pictomat opens nothing after a command."""
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    for d in ("home", "config", "data", "runtime"):
        os.makedirs(os.path.join(work, d), mode=0o700)
    env.update(HOME=os.path.join(work, "home"), XDG_CONFIG_HOME=os.path.join(work, "config"),
               XDG_DATA_HOME=os.path.join(work, "data"), XDG_RUNTIME_DIR=os.path.join(work, "runtime"))
    for key in ("OpenImageFileForMe", "OpenImageFolderForMe"):
        subprocess.run([pictomat, "defaults", "write", key, "-bool", "false"], env=env, check=True)
    return env


def main():
    args = sys.argv[1:]
    runs = runs_option(args, 5)
    baseline = None
    if "--baseline" in args:
        i = args.index("--baseline")
        baseline = os.path.join(os.path.abspath(args[i + 1]), "bin", "pictomat")
        del args[i:i + 2]
    here = os.path.dirname(os.path.abspath(__file__))
    build = os.path.abspath(args[0]) if args else os.path.join(here, "..", "..", "build")
    renderer = os.path.join(build, "bin", "bench_media_icon")
    pictomat = os.path.join(build, "bin", "pictomat")
    for needed in (renderer, pictomat):
        if not os.path.exists(needed):
            sys.exit("build %s first" % needed)
    if not shutil.which("vipsthumbnail"):
        sys.exit("vipsthumbnail is missing (package libvips-tools)")

    work = tempfile.mkdtemp(prefix="media-bench-")
    try:
        photo = os.path.join(work, "photo.jpg")
        detailed = os.path.join(work, "detailed.jpg")
        movie = os.path.join(work, "movie.mp4")
        small = os.path.join(work, "small.png")
        large = os.path.join(work, "large.png")
        make_photo(photo)
        make_detailed(detailed)
        make_movie(movie)
        make_large_png(large)
        subprocess.run([PYTHON, "-c", "import sys; from PIL import Image; "
                        "Image.effect_noise((64, 64), 40).convert('RGB').save(sys.argv[1])", small], check=True)
        print("photo: 6000 x 4000 JPEG, %.1f MiB; large: 12000 x 8400 PNG, %.1f MiB; movie: 1080p H.264, %.1f MiB"
              % (os.path.getsize(photo) / 2**20, os.path.getsize(large) / 2**20, os.path.getsize(movie) / 2**20))
        print("load average before: %s" % " ".join("%.2f" % x for x in os.getloadavg()))

        env = private_session(work, pictomat)
        subprocess.run([pictomat, "defaults", "write", "UseItemsFolder", "-bool", "true"], env=env, check=True)

        # The rows the aims compare are measured together, a run of each in turn.
        binaries = [("", pictomat)] + ([("baseline ", baseline)] if baseline else [])
        together = {"vipsthumbnail -s 1024": ["vipsthumbnail", photo, "-s", "1024", "-o",
                                              os.path.join(work, "tn_%s.jpg")],
                    "bench_media_icon (renderer only)": [renderer, photo, os.path.join(work, "ours.icns")]}
        # Five photos in one run: what each file costs once the reading
        # worker is warm.
        batch = []
        for i in range(5):
            batch.append(os.path.join(work, "batch-%d.jpg" % i))
            shutil.copy(photo, batch[-1])
        for label, binary in binaries:
            together[label + "make-media-icon photo"] = [binary, "run", "make-media-icon", photo]
            together[label + "make-media-icon 5 photos"] = [binary, "run", "make-media-icon"] + batch
            together[label + "pictomat --version"] = [binary, "--version"]
            together[label + "make-media-icon 64x64 PNG"] = [binary, "run", "make-media-icon", small]
        timed = measure_together(together, env, runs)
        rows = {name: timed[name] for name in ("vipsthumbnail -s 1024",)}
        icongen = icon_gen(work)
        if icongen:
            photo_png = os.path.join(work, "photo-png")
            os.makedirs(photo_png)
            subprocess.run(["convert", photo, os.path.join(photo_png, "photo.png")], check=True)
            rows["icon-gen --icns (npm, PNG input)"] = measure(
                [icongen, "-i", os.path.join(photo_png, "photo.png"), "-o", work, "--icns"], env, max(1, runs // 2))
        else:
            print("icon-gen could not be installed from npm: its row is left out")
        rows["Pillow RGBA save ICNS"] = measure(
            [PYTHON, "-c", "import sys; from PIL import Image; "
             "Image.open(sys.argv[1]).convert('RGBA').save(sys.argv[2], format='ICNS')",
             photo, os.path.join(work, "pillow.icns")], env, max(1, runs // 2))
        rows["bench_media_icon (renderer only)"] = timed["bench_media_icon (renderer only)"]
        for label, binary in binaries:
            for row in ("make-media-icon photo", "make-media-icon 5 photos", "pictomat --version",
                        "make-media-icon 64x64 PNG"):
                rows[label + row] = timed[label + row]
            try:
                rows[label + "make-media-icon 100 MP PNG"] = measure(
                    [binary, "run", "make-media-icon", large], env, max(1, runs // 2))
            except RuntimeError as e:
                print("%smake-media-icon on the 100 MP PNG failed: %s" % (label, str(e).splitlines()[-1]))
        rows["1080p poster (bench_media_icon)"] = measure(
            [renderer, "--movie", movie, os.path.join(work, "movie.icns")], env, runs)

        # Quality: the small elements of the photo and of the detailed
        # subject against a Lanczos resize, a drawing's elements against
        # librsvg at each size.
        drawing = os.path.join(work, "drawing.svg")
        shutil.copy(DRAWING, drawing)
        quality = {}
        for label, binary in binaries:
            subprocess.run([binary, "run", "make-media-icon", photo, detailed, drawing], env=env, check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            for name, source in (("photo", photo), ("detailed", detailed)):
                for edge in (32, 64):
                    w, h = edge, edge * 4000 // 6000
                    reference = os.path.join(work, "lanczos-%s-%d.png" % (name, edge))
                    if not os.path.exists(reference):
                        subprocess.run(["convert", source, "-filter", "Lanczos", "-resize", "%dx%d!" % (w, h),
                                        reference], check=True)
                    quality[(label, "%s %d px vs ImageMagick Lanczos" % (name, edge))] = psnr(
                        source + ".icns", edge, reference, True)
            for edge in (16, 32, 64, 256):
                reference = os.path.join(work, "rsvg%d.png" % edge)
                subprocess.run(["rsvg-convert", "-w", str(edge), "-h", str(edge), drawing, "-o", reference], check=True)
                quality[(label, "drawing %d px vs rsvg-convert" % edge)] = psnr(drawing + ".icns", edge, reference,
                                                                               False)

        print("\n%-36s %9s %9s %11s" % ("", "wall (s)", "CPU (s)", "peak (MiB)"))
        for name, (seconds, cpu, mib) in rows.items():
            print("%-36s %9.3f %9.3f %11.1f" % (name, seconds, cpu, mib))
        print("load average after: %s" % " ".join("%.2f" % x for x in os.getloadavg()))

        print("\nPSNR (dB)%34s %10s" % ("this build", "baseline" if baseline else ""))
        for (label, name), value in quality.items():
            if label:
                continue
            before = quality.get(("baseline ", name))
            text = lambda v: "none" if v is None else "%.1f" % v
            print("%-43s %10s %10s" % (name, text(value), text(before) if baseline else ""))

        ours = rows["make-media-icon photo"]
        vips = rows["vipsthumbnail -s 1024"]
        npm = rows.get("icon-gen --icns (npm, PNG input)")
        large_row = rows.get("make-media-icon 100 MP PNG")
        poster = rows["1080p poster (bench_media_icon)"]
        print()
        for i, clock in ((0, "wall"), (1, "CPU")):
            checks = [
                ("time vs vipsthumbnail", ours[i] / vips[i], "x", ours[i] <= 0.8 * vips[i], "<= 0.8x"),
                ("1080p poster", poster[i], " s", poster[i] < 0.3, "< 0.3 s"),
            ]
            if npm:
                checks.append(("speed-up over icon-gen", npm[i] / ours[i], "x", npm[i] >= 5 * ours[i], ">= 5x"))
            if large_row:
                checks.append(("100 MP PNG", large_row[i], " s", large_row[i] < 2, "< 2 s"))
            for name, value, unit, ok, aim in checks:
                print("%-4s %-24s %8.2f%-5s aim %-9s %s" % (clock, name, value, unit, aim, "met" if ok else "MISSED"))
        print("%-29s %8.1f MiB  aim <= 40 MiB  %s" % ("peak memory, photo", ours[2], "met" if ours[2] <= 40 else "MISSED"))
        if large_row:
            print("%-29s %8.1f MiB  aim < 200 MiB  %s"
                  % ("peak memory, 100 MP PNG", large_row[2], "met" if large_row[2] < 200 else "MISSED"))
        fixed = rows["make-media-icon 64x64 PNG"]
        print("%-29s %8.3f s (wall), %.3f s (CPU) for a 64 x 64 PNG; --version %.3f s"
              % ("fixed cost of a run", fixed[0], fixed[1], rows["pictomat --version"][0]))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
