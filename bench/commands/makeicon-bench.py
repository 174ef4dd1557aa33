#!/usr/bin/python3
"""Times "Make Icon for File" and a PNG export at 512 over many files.

Two parts. First, "Make Icon for File" over 100 and then 1,000 plain files of
ten kinds (text, CSV, HTML, JSON, XML, Python, shell, Markdown, C, log), each
a whole `pictomat run make-icon` process, median of the runs: aim at most 3 s
for the 1,000, and peak memory within 10% between 100 and 1,000 items. Every
distinct icon is rendered once per command, so the 1,000 cost little more
than their writing.
Second, the older mixed set below.

Each run is one whole `pictomat run make-icon FILE...` or
`pictomat run export png FILE...` process over 20 and then 200 files of mixed
kinds (text, pictures, a movie-like name, desktop entries with their own
picture icons, folders), under /usr/bin/time -v, in a private HOME with
nothing opened afterwards. Reported per command:

  - wall time for 20 and 200 items, best of the runs;
  - per-item time: the whole run over 200, and the marginal cost of the
    items 21..200 ((t200 - t20) / 180), which leaves out start-up;
  - peak resident memory for 20 and for 200 items: when the loop keeps
    nothing per item, the two are about equal (memory is flat from the 20th
    to the 200th item).

With --custom-icons the export also gives every image its custom icon
(needs a session bus with the GVfs metadata daemon, e.g. under
dbus-run-session).

Usage: bench/commands/makeicon-bench.py BUILD_DIR [--runs N] [--custom-icons]
"""

import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile

KINDS = ["notes.txt", "photo.png", "clip.mp4", "tool.desktop", "sheet.csv", "page.html", "folder"]
PLAIN_KINDS = ["txt", "csv", "html", "json", "xml", "py", "sh", "md", "c", "log"]


def make_plain_files(root, count):
    os.makedirs(root, exist_ok=True)
    paths = []
    for i in range(count):
        path = os.path.join(root, "%04d.%s" % (i, PLAIN_KINDS[i % len(PLAIN_KINDS)]))
        with open(path, "w") as f:
            f.write("item %d\n" % i)
        paths.append(path)
    return paths


def make_inputs(root, count):
    from PIL import Image  # /usr/bin/python3 has Pillow
    os.makedirs(root, exist_ok=True)
    picture = os.path.join(root, "..", "icon.png")
    Image.radial_gradient("L").convert("RGB").resize((256, 256)).save(picture)
    paths = []
    for i in range(count):
        kind = KINDS[i % len(KINDS)]
        path = os.path.join(root, "%03d-%s" % (i, kind))
        if kind == "folder":
            os.mkdir(path)
        elif kind == "photo.png":
            Image.effect_noise((64, 64), 40 + i % 50).convert("RGB").save(path)
        elif kind == "tool.desktop":
            with open(path, "w") as f:
                f.write("[Desktop Entry]\nType=Application\nName=T\nExec=true\nIcon=%s\n" % os.path.abspath(picture))
        else:
            with open(path, "wb") as f:
                f.write(b"item %d\n" % i)
        paths.append(path)
    return paths


def measure(command, env):
    r = subprocess.run(["/usr/bin/time", "-v"] + command, env=env, capture_output=True, text=True)
    if r.returncode != 0:
        sys.exit("failed (%d): %s\n%s" % (r.returncode, " ".join(command[:3]), r.stderr[-2000:]))
    wall = re.search(r"Elapsed \(wall clock\) time \(h:mm:ss or m:ss\): (?:(\d+):)?(\d+):([\d.]+)", r.stderr)
    seconds = int(wall.group(1) or 0) * 3600 + int(wall.group(2)) * 60 + float(wall.group(3))
    rss = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", r.stderr).group(1))
    return seconds, rss


def main():
    args = sys.argv[1:]
    if not args or args[0].startswith("-"):
        sys.exit(__doc__)
    build = args[0]
    runs = int(args[args.index("--runs") + 1]) if "--runs" in args else 3
    custom = "--custom-icons" in args
    binary = os.path.join(build, "bin", "pictomat")
    if not os.access(binary, os.X_OK):
        sys.exit("no pictomat executable in %s/bin" % build)

    top = tempfile.mkdtemp(prefix="pictomat-bench-")
    try:
        env = dict(os.environ, HOME=top + "/home", XDG_CONFIG_HOME=top + "/config",
                   XDG_DATA_HOME=top + "/data", QT_QPA_PLATFORM="offscreen")
        for d in ("home", "config", "data"):
            os.makedirs(os.path.join(top, d))
        settings = [("OpenImageFileForMe", "-bool", "false"), ("OpenImageFolderForMe", "-bool", "false"),
                    ("AddCustomIcon", "-bool", "true" if custom else "false"), ("IconSize", "-int", "512")]
        for key, kind, value in settings:
            subprocess.run([binary, "defaults", "write", key, kind, value], env=env, check=True)
        paths = make_inputs(os.path.join(top, "items"), 200)
        out = os.path.join(top, "data", "Corvane Software", "Pictomat")

        plain = make_plain_files(os.path.join(top, "plain"), 1000)
        print("load average before: %s" % " ".join("%.2f" % x for x in os.getloadavg()))
        print("Make Icon for File on plain files of %d kinds, median of %d runs" % (len(PLAIN_KINDS), runs))
        plain_results = {}
        for count in (100, 1000):
            times, peaks = [], []
            for _ in range(runs):
                shutil.rmtree(out, ignore_errors=True)
                t, rss = measure([binary, "run", "make-icon"] + plain[:count], env)
                times.append(t)
                peaks.append(rss)
            if len(os.listdir(out)) != count:
                sys.exit("make-icon: %d outputs for %d items" % (len(os.listdir(out)), count))
            plain_results[count] = (statistics.median(times), max(peaks))
            print("  %5d items: %6.2f s, %6.1f ms per item, peak %6.1f MiB"
                  % (count, plain_results[count][0], plain_results[count][0] / count * 1000,
                     plain_results[count][1] / 1024))
        t1000 = plain_results[1000][0]
        growth = plain_results[1000][1] / plain_results[100][1] - 1
        print("  1,000 items in %.2f s: aim <= 3 s %s; peak memory 100 -> 1,000: %+.1f%% (aim within 10%%) %s"
              % (t1000, "met" if t1000 <= 3 else "MISSED", growth * 100, "met" if abs(growth) <= 0.10 else "MISSED"))
        print("load average after: %s\n" % " ".join("%.2f" % x for x in os.getloadavg()))

        print("pictomat run, %d runs each, best wall time; IconSize 512%s"
              % (runs, ", custom icons on" if custom else ""))
        print("%-22s %9s %9s %12s %12s %11s %11s" % ("command", "t(20) s", "t(200) s", "per item ms",
                                                       "marginal ms", "RSS(20) MiB", "RSS(200) MiB"))
        for label, verb in (("Make Icon for File", ["make-icon"]), ("export png 512", ["export", "png"])):
            results = {}
            for count in (20, 200):
                best = None
                for _ in range(runs):
                    shutil.rmtree(out, ignore_errors=True)
                    t, rss = measure([binary, "run"] + verb + paths[:count], env)
                    best = (t, rss) if best is None or t < best[0] else best
                produced = len(os.listdir(out))
                if produced != count:
                    sys.exit("%s: %d outputs for %d items" % (label, produced, count))
                results[count] = best
            (t20, r20), (t200, r200) = results[20], results[200]
            print("%-22s %9.2f %9.2f %12.1f %12.1f %11.1f %11.1f" % (
                label, t20, t200, t200 / 200 * 1000, (t200 - t20) / 180 * 1000, r20 / 1024, r200 / 1024))
            growth = (r200 - r20) / 1024
            print("  peak memory from the 20th to the 200th item: %+.1f MiB (%s)"
                  % (growth, "flat" if growth < 8 else "GROWING"))
    finally:
        shutil.rmtree(top, ignore_errors=True)


if __name__ == "__main__":
    main()
