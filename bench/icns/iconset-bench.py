#!/usr/bin/python3
"""Times making an .icns file from a full .iconset folder.

Each run is one whole process, timed from start to exit (wall clock, and the
CPU time it used: on a shared machine the CPU time stays comparable under
load), median of the runs:

  - pictomat icns create OUT.icns FOLDER.iconset   (all ten iconset pictures)
  - pictomat icns create OUT.icns PNG...           (the six that png2icns takes)
  - png2icns OUT.icns PNG...                       (the same six: 16, 32, 128,
                                                    256, 512 and 1024 pixels;
                                                    it has no @2x slots)

The pictures are drawn once (Pillow) as an icon is: a rounded tile with
gradients, a soft shadow and a transparent surround, scaled down for each size.

Usage: bench/icns/iconset-bench.py BUILD_DIR [--runs N]
"""

import os
import statistics
import subprocess
import sys
import tempfile
import time

NAMES = [(16, 1), (16, 2), (32, 1), (32, 2), (128, 1), (128, 2), (256, 1), (256, 2), (512, 1), (512, 2)]


def draw(path):
    from PIL import Image, ImageDraw, ImageFilter  # /usr/bin/python3 has Pillow
    size = 1024
    shadow = Image.new("RGBA", (size, size), (0, 0, 0, 0))
    ImageDraw.Draw(shadow).rounded_rectangle((110, 130, 924, 944), 180, fill=(0, 0, 0, 110))
    shadow = shadow.filter(ImageFilter.GaussianBlur(18))
    tile = Image.linear_gradient("L").resize((size, size))
    colour = Image.merge("RGBA", (tile.point(lambda v: 40 + v // 3), tile.point(lambda v: 90 + v // 3),
                                  tile.point(lambda v: 255 - v // 2), Image.new("L", (size, size), 255)))
    mask = Image.new("L", (size, size), 0)
    ImageDraw.Draw(mask).rounded_rectangle((100, 100, 924, 924), 180, fill=255)
    icon = Image.alpha_composite(shadow, Image.composite(colour, Image.new("RGBA", (size, size)), mask))
    glow = Image.radial_gradient("L").resize((760, 760)).point(lambda v: max(0, 200 - v))
    icon.paste((255, 255, 255), (132, 40), Image.merge("L", (glow,)))
    ImageDraw.Draw(icon).ellipse((330, 330, 700, 700), fill=(80, 200, 90, 230), outline=(255, 255, 255, 200), width=14)
    icon.save(path)
    return icon


def make_iconset(folder):
    from PIL import Image
    os.makedirs(folder)
    icon = draw(os.path.join(folder, "..", "master.png"))
    for points, scale in NAMES:
        edge = points * scale
        name = "icon_%dx%d%s.png" % (points, points, "@2x" if scale == 2 else "")
        icon.resize((edge, edge), Image.LANCZOS).save(os.path.join(folder, name))


def median_ms(command, runs, output):
    """Median wall and CPU milliseconds of whole runs of the command."""
    wall, cpu = [], []
    for _ in range(runs):
        if os.path.exists(output):
            os.unlink(output)
        start = time.perf_counter()
        child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        err = child.stderr.read()
        _, status, usage = os.wait4(child.pid, 0)
        wall.append((time.perf_counter() - start) * 1000)
        cpu.append((usage.ru_utime + usage.ru_stime) * 1000)
        child.returncode = os.waitstatus_to_exitcode(status)
        child.stderr.close()
        if child.returncode != 0:
            sys.exit("failed (%d): %s\n%s" % (child.returncode, " ".join(command), err.decode()[-2000:]))
    return statistics.median(wall), statistics.median(cpu)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    build = sys.argv[1]
    runs = int(sys.argv[sys.argv.index("--runs") + 1]) if "--runs" in sys.argv else 21
    pictomat = os.path.join(build, "bin", "pictomat")
    with tempfile.TemporaryDirectory() as tmp:
        folder = os.path.join(tmp, "App.iconset")
        make_iconset(folder)
        six = [os.path.join(folder, n) for n in ("icon_16x16.png", "icon_32x32.png", "icon_128x128.png",
                                                 "icon_256x256.png", "icon_512x512.png", "icon_512x512@2x.png")]
        out = os.path.join(tmp, "out.icns")
        rows = [
            ("pictomat, .iconset (10)", median_ms([pictomat, "icns", "create", out, folder], runs, out)),
            ("pictomat, 6 PNGs", median_ms([pictomat, "icns", "create", out] + six, runs, out)),
            ("png2icns, 6 PNGs", median_ms(["png2icns", out] + six, runs, out)),
        ]
        wall, cpu = rows[2][1]
        print("icns from an iconset, whole processes, median of %d runs" % runs)
        print("%-26s %9s %9s %9s %9s" % ("", "wall ms", "speed-up", "cpu ms", "speed-up"))
        for name, (w, c) in rows:
            print("%-26s %9.1f %8.1fx %9.1f %8.1fx" % (name, w, wall / w, c, cpu / max(c, 0.1)))
        print("(pictomat writes through a temporary file and fsync; png2icns writes in place)")


if __name__ == "__main__":
    main()
