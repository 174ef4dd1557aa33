#!/usr/bin/python3
"""Times `pictomat appicons` against the tools app developers reach for.

From a 1024 x 1024 icon PNG (drawn as iconset-bench.py draws it) and from an
SVG drawing of the same kind, each as a whole process, median of several
runs, CPU time (user + system, the process and its children) and wall time:

  - pictomat appicons SOURCE OUT       every platform: macOS .icns and
                                       .iconset, Windows .ico, Linux hicolor,
                                       iOS, Android, the web
  - tauri icon SOURCE -o OUT           Tauri's set (macOS, Windows, Linux PNGs,
                                       iOS, Android, Windows Store)
  - icon-gen -i SOURCE -o OUT --favicon
                                       the web's favicons

@tauri-apps/cli and icon-gen (sharp/libvips inside) are installed from the
npm registry into BUILD_DIR/bench-npm-appicons the first time, for this
benchmark only. Outputs are removed before each run.

Aim: pictomat's every platform takes at most a fifth of the CPU time of
`tauri icon` and `icon-gen --favicon` together, from the PNG and from the
SVG. CPU time is what the aim speaks of: the fairer figure on a machine that
other work keeps busy; wall time is printed beside it.

Usage: bench/commands/appicons-bench.py [BUILD_DIR] [--runs N]
"""

import os
import runpy
import shutil
import subprocess
import sys
import tempfile

TAURI_CLI_VERSION = "2.12.6"
ICON_GEN_VERSION = "5.0.0"

HERE = os.path.dirname(os.path.abspath(__file__))
draw_icon = runpy.run_path(os.path.join(HERE, "..", "icns", "iconset-bench.py"))["draw"]
# Whole runs timed as the platform-icons benchmark times them.
measure = runpy.run_path(os.path.join(HERE, "platform-icons-bench.py"))["measure"]


def write_svg(path):
    """An app icon drawing as designers ship them: gradients, a blurred
    shadow, a rounded body and a figure on it, 1024 units square."""
    body = [
        '<svg xmlns="http://www.w3.org/2000/svg" width="1024" height="1024" viewBox="0 0 1024 1024">',
        '<defs><linearGradient id="g" x1="0" y1="0" x2="0" y2="1">'
        '<stop offset="0" stop-color="#2a5bd7"/><stop offset="1" stop-color="#7a2fd0"/></linearGradient>',
        '<radialGradient id="r" cx="0.5" cy="0.3" r="0.6"><stop offset="0" stop-color="#fff" stop-opacity="0.6"/>'
        '<stop offset="1" stop-color="#fff" stop-opacity="0"/></radialGradient>',
        '<filter id="s" x="-10%" y="-10%" width="120%" height="130%"><feGaussianBlur stdDeviation="18"/></filter>'
        '</defs>',
        '<rect x="110" y="130" width="814" height="814" rx="180" fill="#000" opacity="0.4" filter="url(#s)"/>',
        '<rect x="100" y="100" width="824" height="824" rx="180" fill="url(#g)"/>',
        '<rect x="100" y="100" width="824" height="824" rx="180" fill="url(#r)"/>',
        '<circle cx="512" cy="512" r="200" fill="#50c85a" stroke="#fff" stroke-width="14" opacity="0.9"/>',
    ]
    for i in range(12):
        body.append('<path d="M512 512 L%d %d A 260 260 0 0 1 %d %d Z" fill="#fff" opacity="0.%d"/>'
                    % (512 + 260 * (i % 3), 252 + 40 * i, 772 - 30 * i, 512 + 20 * i, 1 + i % 8))
    body.append('</svg>')
    with open(path, "w") as f:
        f.write("\n".join(body) + "\n")


def install_peers(build):
    prefix = os.path.join(build, "bench-npm-appicons")
    bins = os.path.join(prefix, "node_modules", ".bin")
    tauri, icon_gen = os.path.join(bins, "tauri"), os.path.join(bins, "icon-gen")
    if not (os.path.exists(tauri) and os.path.exists(icon_gen)):
        if not shutil.which("npm"):
            sys.exit("npm is missing: the tools compared with cannot be installed")
        os.makedirs(prefix, exist_ok=True)
        subprocess.run(["npm", "install", "--prefix", prefix, "--no-audit", "--no-fund", "--loglevel=error",
                        "@tauri-apps/cli@" + TAURI_CLI_VERSION, "icon-gen@" + ICON_GEN_VERSION], check=True)
    return tauri, icon_gen


def main():
    args = sys.argv[1:]
    runs = 5
    if "--runs" in args:
        i = args.index("--runs")
        runs = int(args[i + 1])
        del args[i:i + 2]
    build = os.path.abspath(args[0]) if args else os.path.join(HERE, "..", "..", "build")
    pictomat = os.path.join(build, "bin", "pictomat")
    if not os.path.exists(pictomat):
        sys.exit("build %s first" % pictomat)
    tauri, icon_gen = install_peers(build)

    work = tempfile.mkdtemp(prefix="appicons-bench-")
    try:
        png, svg = os.path.join(work, "icon.png"), os.path.join(work, "icon.svg")
        draw_icon(png)
        write_svg(svg)
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        for d in ("home", "config", "data", "runtime"):
            os.makedirs(os.path.join(work, d), mode=0o700)
        env.update(HOME=os.path.join(work, "home"), XDG_CONFIG_HOME=os.path.join(work, "config"),
                   XDG_DATA_HOME=os.path.join(work, "data"), XDG_RUNTIME_DIR=os.path.join(work, "runtime"),
                   CI="true")
        out = os.path.join(work, "out")

        def clean():
            if os.path.isdir(out):
                shutil.rmtree(out)
            os.makedirs(out)

        print("sources: 1024 x 1024 PNG, %.1f MiB; SVG, %.1f KiB; %d runs each; @tauri-apps/cli %s, icon-gen %s"
              % (os.path.getsize(png) / 2**20, os.path.getsize(svg) / 2**10, runs, TAURI_CLI_VERSION,
                 ICON_GEN_VERSION))
        print("load average before: %s" % " ".join("%.2f" % x for x in os.getloadavg()))
        results = {}
        for label, source in (("1024 px PNG", png), ("SVG", svg)):
            results[label] = {
                "tauri icon": measure([tauri, "icon", source, "-o", out], env, runs, clean),
                "icon-gen --favicon": measure([icon_gen, "-i", source, "-o", out, "--favicon"], env, runs, clean),
                "pictomat appicons (all six)": measure([pictomat, "appicons", source, out], env, runs, clean),
                "pictomat appicons --macos-shape":
                    measure([pictomat, "appicons", "--macos-shape", source, out], env, runs, clean),
            }
        print("load average after: %s" % " ".join("%.2f" % x for x in os.getloadavg()))

        print("\n%-34s %22s %22s" % ("", "1024 px PNG", "SVG"))
        print("%-34s %10s %11s %10s %11s" % ("", "wall (s)", "CPU (s)", "wall (s)", "CPU (s)"))
        for name in results["SVG"]:
            a, b = results["1024 px PNG"][name], results["SVG"][name]
            print("%-34s %10.3f %11.3f %10.3f %11.3f" % (name, a[0], a[1], b[0], b[1]))
        print()
        for label, rows in results.items():
            for clock, i in (("CPU", 1), ("wall", 0)):
                ours = rows["pictomat appicons (all six)"][i]
                theirs = rows["tauri icon"][i] + rows["icon-gen --favicon"][i]
                print("%-12s %-4s ours / (tauri icon + icon-gen --favicon): %.3f%s"
                      % (label, clock, ours / theirs,
                         ("  aim <= 0.20  " + ("met" if ours <= 0.2 * theirs else "MISSED")) if clock == "CPU" else ""))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
