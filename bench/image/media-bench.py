#!/usr/bin/python3
"""Times "Make Icon for Media" against the tools a user would otherwise reach for.

On one 6000 x 4000 photo-like JPEG (a gradient with coarse and fine noise, so
that it compresses like a photograph and not like a smooth gradient), each as a
whole process, best of several runs:

  - vipsthumbnail -s 512
  - Pillow: Image.open(...).save(..., format="ICNS")
  - our renderer: bench_media_icon (decode, render every row, write the .icns)
  - pictomat run make-media-icon, when the build has the pictomat executable

and a 1080p H.264 movie's poster frame through our renderer.

Aims: at most 1.2 x vipsthumbnail's time, at least 10 x faster than Pillow,
peak memory under 60 MiB, a 1080p poster in under 0.3 s.

Usage: bench/image/media-bench.py [BUILD_DIR] [--runs N]
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile

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


def make_movie(path):
    subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                    "testsrc2=size=1920x1080:rate=30:duration=10", "-c:v", "libx264", "-preset", "veryfast",
                    "-pix_fmt", "yuv420p", path], check=True)


def measure(command, env=None, runs=5):
    """Best wall time and best CPU time (user + system) in seconds, and the
    largest peak RSS in MiB over the runs. CPU time is the fairer figure on a
    machine that other work keeps busy."""
    best, cpu, peak = None, None, 0.0
    for _ in range(runs):
        r = subprocess.run(["/usr/bin/time", "-v"] + command, capture_output=True, text=True, env=env)
        if r.returncode != 0:
            raise RuntimeError("%s failed: %s" % (command[0], r.stderr[-2000:]))
        wall = re.search(r"Elapsed \(wall clock\) time \(h:mm:ss or m:ss\): (?:(\d+):)?(\d+):([\d.]+)", r.stderr)
        rss = re.search(r"Maximum resident set size \(kbytes\): (\d+)", r.stderr)
        user = float(re.search(r"User time \(seconds\): ([\d.]+)", r.stderr).group(1))
        system = float(re.search(r"System time \(seconds\): ([\d.]+)", r.stderr).group(1))
        seconds = int(wall.group(1) or 0) * 3600 + int(wall.group(2)) * 60 + float(wall.group(3))
        best = seconds if best is None else min(best, seconds)
        cpu = user + system if cpu is None else min(cpu, user + system)
        peak = max(peak, int(rss.group(1)) / 1024.0)
    return best, cpu, peak


def main():
    args = sys.argv[1:]
    runs = 5
    if "--runs" in args:
        i = args.index("--runs")
        runs = int(args[i + 1])
        del args[i:i + 2]
    here = os.path.dirname(os.path.abspath(__file__))
    build = os.path.abspath(args[0]) if args else os.path.join(here, "..", "..", "build")
    renderer = os.path.join(build, "bin", "bench_media_icon")
    pictomat = os.path.join(build, "bin", "pictomat")
    if not os.path.exists(renderer):
        sys.exit("build the bench_media_icon target first (%s)" % renderer)
    if not shutil.which("vipsthumbnail"):
        sys.exit("vipsthumbnail is missing (package libvips-tools)")

    work = tempfile.mkdtemp(prefix="media-bench-")
    try:
        photo = os.path.join(work, "photo.jpg")
        movie = os.path.join(work, "movie.mp4")
        make_photo(photo)
        make_movie(movie)
        print("photo: 6000 x 4000 JPEG, %.1f MiB; movie: 1080p H.264, %.1f MiB"
              % (os.path.getsize(photo) / 2**20, os.path.getsize(movie) / 2**20))

        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        for d in ("home", "config", "data", "runtime"):
            os.makedirs(os.path.join(work, d), mode=0o700)
        env.update(HOME=os.path.join(work, "home"), XDG_CONFIG_HOME=os.path.join(work, "config"),
                   XDG_DATA_HOME=os.path.join(work, "data"), XDG_RUNTIME_DIR=os.path.join(work, "runtime"))

        rows = []
        rows.append(("vipsthumbnail -s 512",) + measure(
            ["vipsthumbnail", photo, "-s", "512", "-o", os.path.join(work, "tn_%s.jpg")], env, runs))
        rows.append(("Pillow save ICNS",) + measure(
            [PYTHON, "-c", "import sys; from PIL import Image; Image.open(sys.argv[1]).save(sys.argv[2], format='ICNS')",
             photo, os.path.join(work, "pillow.icns")], env, max(1, runs // 2)))
        ours = measure([renderer, photo, os.path.join(work, "ours.icns")], env, runs)
        rows.append(("bench_media_icon",) + ours)
        if os.path.exists(pictomat):
            try:
                whole = measure([pictomat, "run", "make-media-icon", photo], env, runs)
                rows.append(("pictomat run make-media-icon",) + whole)
                ours = whole
            except RuntimeError as e:
                print("pictomat run make-media-icon not measured: %s" % str(e).splitlines()[0])
        poster = measure([renderer, "--movie", movie, os.path.join(work, "movie.icns")], env, runs)
        rows.append(("1080p poster (bench_media_icon)",) + poster)

        print("\n%-34s %9s %9s %11s" % ("", "wall (s)", "CPU (s)", "peak (MiB)"))
        for name, seconds, cpu, mib in rows:
            print("%-34s %9.3f %9.3f %11.1f" % (name, seconds, cpu, mib))

        vips, pillow = rows[0][1:], rows[1][1:]
        print()
        for i, clock in ((0, "wall"), (1, "CPU")):
            checks = [
                ("time vs vipsthumbnail", ours[i] / vips[i], "x", ours[i] <= 1.2 * vips[i], "<= 1.2x"),
                ("speed-up over Pillow", pillow[i] / ours[i], "x", pillow[i] >= 10 * ours[i], ">= 10x"),
                ("1080p poster", poster[i], " s", poster[i] < 0.3, "< 0.3 s"),
            ]
            for name, value, unit, ok, aim in checks:
                print("%-4s %-24s %8.2f%-5s aim %-9s %s" % (clock, name, value, unit, aim, "met" if ok else "MISSED"))
        print("%-29s %8.1f MiB  aim < 60 MiB  %s" % ("peak memory", ours[2], "met" if ours[2] < 60 else "MISSED"))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
