#!/usr/bin/python3
"""Times how long the tray program takes to answer after a burst of calls.

Starts a private session bus and X server (Xvfb), a private HOME, and the
tray program; then pictomat_dbus_flood sends 2,000 ShowMenu and 300
SetSelection calls without waiting and times the answer to one more call
that the program's main thread answers, sent a quarter of a second after the
burst. Prints how long that call waited, how long from the start of the
burst until the program settled (no menu rebuild for three seconds), and how often the
menu was rebuilt (each build runs the selection script once: the program is
given a wrapper around the shipped script that counts its runs); best of the runs.

Usage: bench/app/flood-bench.py BUILD_DIR [--menus N] [--handovers N] [--runs N]
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time


def run_once(build, menus, handovers):
    root = tempfile.mkdtemp(prefix="pictomat-flood-")
    try:
        env = dict(os.environ)
        for name, sub in (("HOME", "home"), ("XDG_CONFIG_HOME", "config"), ("XDG_DATA_HOME", "data"),
                          ("XDG_RUNTIME_DIR", "runtime")):
            env[name] = os.path.join(root, sub)
            os.makedirs(env[name], mode=0o700)
        files = []
        for i in range(3):
            path = os.path.join(root, "file%d.txt" % i)
            with open(path, "w") as f:
                f.write("x\n")
            files.append(path)
        runs = os.path.join(root, "selection-runs")
        wrapper = os.path.join(root, "count-selection")
        shipped = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "data", "selection")
        with open(wrapper, "w") as f:
            f.write("#!/bin/sh\necho >> '%s'\nexec '%s'\n" % (runs, os.path.abspath(shipped)))
        os.chmod(wrapper, 0o700)
        env["PICTOMAT_SELECTION_SCRIPT"] = wrapper
        display = ":%d" % (90 + os.getpid() % 50)
        started = []
        xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        started.append(xvfb)
        bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env, text=True)
        started.append(bus)
        env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
        env["DISPLAY"] = display
        env["QT_QPA_PLATFORM"] = "xcb"
        time.sleep(1)
        log = open(os.path.join(root, "tray.log"), "w")
        tray = subprocess.Popen([os.path.join(build, "bin", "pictomat")], env=env, stdout=log, stderr=log)
        started.insert(0, tray)
        for _ in range(100):
            owned = subprocess.run(["gdbus", "call", "--session", "--dest", "org.freedesktop.DBus",
                                    "--object-path", "/org/freedesktop/DBus", "--method",
                                    "org.freedesktop.DBus.NameHasOwner", "com.corvane.Pictomat"],
                                   env=env, capture_output=True, text=True).stdout
            if "true" in owned:
                break
            time.sleep(0.1)
        time.sleep(1)
        burst_start = time.monotonic()
        out = subprocess.run([os.path.join(build, "bin", "pictomat_dbus_flood"), str(menus), str(handovers)] + files,
                             env=env, capture_output=True, text=True)
        seconds = float(out.stdout.strip() or "nan")

        def rebuilds():
            try:
                with open(runs) as f:
                    return f.read().count("\n")
            except FileNotFoundError:
                return 0
        # Settled: no rebuild for three seconds.
        last, last_change = rebuilds(), time.monotonic()
        while time.monotonic() - last_change < 3 and time.monotonic() - burst_start < 600:
            time.sleep(0.2)
            now = rebuilds()
            if now != last:
                last, last_change = now, time.monotonic()
        settled = last_change - burst_start
        for p in started:
            p.kill()
            p.wait(10)
        log.close()
        return seconds, max(settled, seconds), last
    finally:
        shutil.rmtree(root, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--menus", type=int, default=2000)
    parser.add_argument("--handovers", type=int, default=300)
    parser.add_argument("--runs", type=int, default=1)
    args = parser.parse_args()
    results = [run_once(os.path.abspath(args.build), args.menus, args.handovers) for _ in range(args.runs)]
    best = min(results)
    print("%d ShowMenu + %d SetSelection: next call answered after %.2f s; busy for %.2f s; menu rebuilt %d times"
          % (args.menus, args.handovers, best[0], best[1], best[2]))


if __name__ == "__main__":
    sys.exit(main())
