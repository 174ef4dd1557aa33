#!/usr/bin/python3
"""The tray as a panel meets it, beside tray programs Debian users keep running.

Starts a private session bus, an X server (Xvfb), a stand-in tray host
(org.kde.StatusNotifierWatcher) and a private HOME, then for Pictomat and each
peer (CopyQ and Flameshot, installed from Debian when missing) measures, in
the same run:

  start to item    from starting the program until its item is registered
  menu             AboutToShow then GetLayout of the item's menu, as a panel
                   reads it over dbusmenu (median of --openings)
  menu, 100 files  the same with a 100-file hand-over standing (Pictomat)
  hand-over        from SetSelection of 100 files until the menu shows them
  private memory   Private_Clean + Private_Dirty after the openings, and the
                   growth per rebuild over 300 hand-over rebuilds (Pictomat)
  libraries        shared objects mapped at rest
  20 entries       twenty file-manager entries ("pictomat run --tray
                   make-icon -- FILE") fired at once, with no tray running
                   (cold) and with one running (warm)

Usage: bench/app/tray-bench.py BUILD_DIR [--openings N] [--peers copyq,flameshot]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

from gi.repository import Gio, GLib

PEERS = {
    "copyq": {"package": "copyq", "argv": ["copyq"]},
    "flameshot": {"package": "flameshot", "argv": ["flameshot"]},
}


def ensure_peers(names):
    missing = [PEERS[n]["package"] for n in names if not shutil.which(PEERS[n]["argv"][0])]
    if missing:
        print("installing %s from Debian" % " ".join(missing), file=sys.stderr)
        sudo = [] if os.geteuid() == 0 else ["sudo"]
        subprocess.run(sudo + ["apt-get", "install", "-y", "-qq", "--no-install-recommends"] + missing,
                       check=True, stdout=subprocess.DEVNULL,
                       env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))


class Session:
    def __init__(self, build):
        self.build = build
        self.root = tempfile.mkdtemp(prefix="pictomat-traybench-")
        self.env = dict(os.environ)
        for name, sub in (("HOME", "home"), ("XDG_CONFIG_HOME", "config"), ("XDG_DATA_HOME", "data"),
                          ("XDG_CACHE_HOME", "cache"), ("XDG_RUNTIME_DIR", "runtime")):
            self.env[name] = os.path.join(self.root, sub)
            os.makedirs(self.env[name], mode=0o700)
        self.env.pop("PICTOMAT_SELECTION_SCRIPT", None)
        self.env.pop("WAYLAND_DISPLAY", None)
        self.started = []
        display = ":%d" % (150 + os.getpid() % 50)
        self.spawn(["Xvfb", display, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"])
        bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=self.env, text=True)
        self.started.append(bus)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
        self.env["DISPLAY"] = display
        self.env["QT_QPA_PLATFORM"] = "xcb"
        time.sleep(0.5)
        self.bus = Gio.DBusConnection.new_for_address_sync(
            self.env["DBUS_SESSION_BUS_ADDRESS"],
            Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)
        watcher = self.spawn([os.path.join(build, "bin", "status_notifier_watcher_standin")],
                             stdout=subprocess.PIPE)
        watcher.stdout.readline()
        self.registered = {}
        self.bus.signal_subscribe("org.kde.StatusNotifierWatcher", "org.kde.StatusNotifierWatcher",
                                  "StatusNotifierItemRegistered", "/StatusNotifierWatcher", None,
                                  Gio.DBusSignalFlags.NONE, self.on_registered)
        self.files = []
        os.makedirs(os.path.join(self.root, "items"))
        for i in range(100):
            path = os.path.join(self.root, "items", "photo %03d.txt" % i)
            with open(path, "w") as f:
                f.write("item\n")
            self.files.append(path)
        out = os.path.join(self.root, "out")
        os.makedirs(out)
        for key, kind, value in (("UseItemsFolder", "-bool", "false"), ("ImageFolderPathname", "-string", out),
                                 ("OpenImageFolderForMe", "-bool", "false"), ("OpenImageFileForMe", "-bool", "false"),
                                 ("AddCustomIcon", "-bool", "false")):
            subprocess.run([self.pictomat(), "defaults", "write", key, kind, value], env=self.env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def pictomat(self):
        return os.path.join(self.build, "bin", "pictomat")

    def spawn(self, argv, **kwargs):
        kwargs.setdefault("stdout", subprocess.DEVNULL)
        kwargs.setdefault("stderr", subprocess.DEVNULL)
        p = subprocess.Popen(argv, env=self.env, **kwargs)
        self.started.append(p)
        return p

    def on_registered(self, conn, sender, path, iface, signal, params):
        self.registered[params.unpack()[0]] = time.monotonic()

    def pump(self, seconds=0.0):
        context = GLib.MainContext.default()
        end = time.monotonic() + seconds
        while True:
            while context.pending():
                context.iteration(False)
            if time.monotonic() >= end:
                return
            time.sleep(0.0005)

    def call(self, dest, path, iface, method, signature=None, args=None, timeout=10000):
        params = GLib.Variant(signature, args) if signature else None
        return self.bus.call_sync(dest, path, iface, method, params, None, Gio.DBusCallFlags.NONE, timeout, None)

    def owner_pid(self, name):
        reply = self.call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                          "GetConnectionUnixProcessID", "(s)", (name,))
        return reply.unpack()[0]

    def close(self):
        for p in reversed(self.started):
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(3)
                except subprocess.TimeoutExpired:
                    p.kill()
        shutil.rmtree(self.root, ignore_errors=True)


def start_item(session, argv):
    """Starts a program; the time until its item registered, its item and menu path, its process."""
    before = set(session.registered)
    t0 = time.monotonic()
    proc = session.spawn(argv)
    deadline = t0 + 30
    while time.monotonic() < deadline:
        session.pump(0.001)
        new = set(session.registered) - before
        for item in new:
            service = item.split("/")[0]
            try:
                if session.owner_pid(service) == proc.pid:
                    menu = session.call(service, "/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get",
                                        "(ss)", ("org.kde.StatusNotifierItem", "Menu")).unpack()[0]
                    return session.registered[item] - t0, service, menu, proc
            except GLib.Error:
                pass
    raise RuntimeError("%s registered no item" % argv[0])


def open_menu(session, service, menu):
    t0 = time.perf_counter()
    session.call(service, menu, "com.canonical.dbusmenu", "AboutToShow", "(i)", (0,))
    layout = session.call(service, menu, "com.canonical.dbusmenu", "GetLayout", "(iias)", (0, -1, []))
    elapsed = time.perf_counter() - t0
    session.call(service, menu, "com.canonical.dbusmenu", "Event", "(isvu)",
                 (0, "closed", GLib.Variant("i", 0), 0))
    return elapsed, layout.unpack()[1]


def labels(layout):
    _, props, children = layout
    out = [props.get("label", "")]
    for c in children:
        out += labels(c)
    return out


def menu_latency(session, service, menu, openings):
    times = []
    for _ in range(openings):
        elapsed, _ = open_menu(session, service, menu)
        times.append(elapsed)
        session.pump(0.005)
    return statistics.median(times)


def private_kib(pid):
    total = 0
    with open("/proc/%d/smaps_rollup" % pid) as f:
        for line in f:
            if line.startswith(("Private_Clean:", "Private_Dirty:")):
                total += int(line.split()[1])
    return total


def libraries(pid):
    libs = set()
    with open("/proc/%d/maps" % pid) as f:
        for line in f:
            parts = line.split()
            if len(parts) >= 6 and ".so" in parts[5]:
                libs.add(parts[5])
    return len(libs)


def hand_over(session, uris):
    session.call("com.corvane.Pictomat", "/com/corvane/Pictomat", "com.corvane.Pictomat", "SetSelection",
                 "(as)", (uris,))


def bench_pictomat(session, openings):
    result = {}
    start, service, menu, proc = start_item(session, [session.pictomat()])
    result["start to item"] = start
    session.pump(1.0)
    result["menu"] = menu_latency(session, service, menu, openings)
    result["libraries"] = libraries(proc.pid)
    uris = ["file://" + GLib.uri_escape_string(f, "/", False) for f in session.files]
    header = "100 Items, First item: photo 000.txt"
    t0 = time.perf_counter()
    hand_over(session, uris)
    while header not in labels(open_menu(session, service, menu)[1]):
        session.pump(0.001)
    result["hand-over"] = time.perf_counter() - t0
    result["menu, 100 files"] = menu_latency(session, service, menu, openings)

    # Rebuilds: hand-overs of alternating selections, each followed by an opening.
    def rebuilds(count):
        for k in range(count):
            hand_over(session, uris[k % 2::2] if k % 3 else uris)
            open_menu(session, service, menu)
    rebuilds(20)
    session.pump(0.5)
    before = private_kib(proc.pid)
    rebuilds(300)
    session.pump(0.5)
    after = private_kib(proc.pid)
    result["private memory"] = after
    result["growth per rebuild"] = (after - before) / 300.0
    proc.terminate()
    proc.wait(5)
    return result


def bench_peer(session, name, openings):
    result = {}
    start, service, menu, proc = start_item(session, PEERS[name]["argv"])
    result["start to item"] = start
    session.pump(1.0)
    result["menu"] = menu_latency(session, service, menu, openings)
    result["libraries"] = libraries(proc.pid)
    for _ in range(300):
        open_menu(session, service, menu)
    session.pump(0.5)
    result["private memory"] = private_kib(proc.pid)
    proc.terminate()
    try:
        proc.wait(5)
    except subprocess.TimeoutExpired:
        proc.kill()
    return result


def twenty_entries(session, running):
    """Wall time for twenty make-icon entries fired at once."""
    tray = None
    if running:
        _, _, _, tray = start_item(session, [session.pictomat()])
        session.pump(1.0)
    t0 = time.perf_counter()
    entries = [subprocess.Popen([session.pictomat(), "run", "--tray", "make-icon", "--", f], env=session.env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
               for f in session.files[:20]]
    statuses = [e.wait(120) for e in entries]
    elapsed = time.perf_counter() - t0
    if any(statuses):
        print("20 entries: statuses %s" % statuses, file=sys.stderr)
    pid = session.owner_pid("com.corvane.Pictomat")
    os.kill(pid, 15)
    for _ in range(100):
        try:
            os.kill(pid, 0)
            time.sleep(0.05)
        except ProcessLookupError:
            break
    return elapsed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--openings", type=int, default=50)
    parser.add_argument("--peers", default="copyq,flameshot")
    args = parser.parse_args()
    peers = [p for p in args.peers.split(",") if p]
    ensure_peers(peers)
    session = Session(os.path.abspath(args.build))
    try:
        rows = {"pictomat": bench_pictomat(session, args.openings)}
        for peer in peers:
            rows[peer] = bench_peer(session, peer, args.openings)
        cold = twenty_entries(session, running=False)
        warm = twenty_entries(session, running=True)
    finally:
        session.close()
    print("| program | start to item | menu | menu, 100 files | hand-over | private memory | growth per rebuild "
          "| libraries |")
    print("|---|---|---|---|---|---|---|---|")
    for name, r in rows.items():
        ms = lambda k: "%.1f ms" % (r[k] * 1000) if k in r else "-"
        print("| %s | %s | %s | %s | %s | %.1f MiB | %s | %d |" % (
            name, ms("start to item"), ms("menu"), ms("menu, 100 files"), ms("hand-over"),
            r["private memory"] / 1024.0,
            ("%.2f KiB" % r["growth per rebuild"]) if "growth per rebuild" in r else "-", r["libraries"]))
    print()
    print("20 file-manager entries at once: cold %.2f s, warm %.2f s (%.1fx)" % (cold, warm, cold / warm))


if __name__ == "__main__":
    main()
