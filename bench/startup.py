#!/usr/bin/env python3
"""Start-up time and memory of the client, on each of its scene graph paths, against bare headless
Chromium on the same demo page.

Run under an X server (startup.sh wraps it in xvfb-run). Both sides are measured in the same run,
alternately, with one discarded warm-up each, and share a private HOME.
"""
import argparse
import ctypes
import ctypes.util
import datetime
import glob
import os
import queue
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

MB = 1000 * 1000  # targets are in decimal megabytes
TIME_TARGET = 1.5
MEMORY_TARGET_MB = 250
HOME_ROUTE = "#/src/pages/qt/start/index"
PATHS = ("opengl", "software")  # the client's scene graph paths, forced through BRV_SCENE_GRAPH
HOME_TITLE = r"^brimvale v\d"  # the home window; the client maps no other window at start
RENDERED = 'id="view"><section>'  # the home page's first section, put in by app.js


# --- process tree memory -------------------------------------------------------------------

def process_tree(root):
    children = {}
    for stat in glob.glob("/proc/[0-9]*/stat"):
        try:
            with open(stat) as f:
                text = f.read()
        except OSError:
            continue
        # The command name is in parentheses and may hold spaces: fields start after the last one.
        fields = text[text.rfind(")") + 2:].split()
        children.setdefault(int(fields[1]), []).append(int(stat.split("/")[2]))
    tree, todo = [], [root]
    while todo:
        pid = todo.pop()
        tree.append(pid)
        todo.extend(children.get(pid, []))
    return tree


def process_kind(pid):
    try:
        with open(f"/proc/{pid}/comm") as f:
            name = f.read().strip()
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            # Chromium's helpers rewrite their command line into one space-separated string.
            cmdline = f.read().decode("utf-8", "replace")
    except OSError:
        return "?"
    kind = re.search(r"(?:^|[\0 ])--type=([\w-]+)", cmdline)
    kind = kind.group(1) if kind else "main"
    # Qt's renderers are forked by the zygote and keep its command line.
    if kind == "zygote" and parent_kind(pid) == "zygote":
        kind = "forked by zygote (renderer)"
    return f"{name} {kind}"


def parent_kind(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            ppid = f.read().rsplit(")", 1)[1].split()[1]
        with open(f"/proc/{ppid}/cmdline", "rb") as f:
            kind = re.search(rb"(?:^|[\0 ])--type=([\w-]+)", f.read())
    except OSError:
        return None
    return kind.group(1).decode() if kind else None


def tree_memory(root, detail=None):
    """(RSS bytes, PSS bytes, process count) summed over root and its descendants; with a list
    for detail, also one (kind, RSS, PSS, anonymous) entry per process."""
    rss = pss = count = 0
    for pid in process_tree(root):
        try:
            with open(f"/proc/{pid}/smaps_rollup") as f:
                rollup = f.read()
        except OSError:
            continue  # gone meanwhile, or a zombie
        r = re.search(r"^Rss:\s+(\d+) kB", rollup, re.M)
        p = re.search(r"^Pss:\s+(\d+) kB", rollup, re.M)
        if r and p:
            rss += int(r.group(1)) * 1024
            pss += int(p.group(1)) * 1024
            count += 1
            if detail is not None:
                a = re.search(r"^Anonymous:\s+(\d+) kB", rollup, re.M)
                detail.append((process_kind(pid), int(r.group(1)) * 1024,
                               int(p.group(1)) * 1024, int(a.group(1)) * 1024 if a else 0))
    return rss, pss, count


def sample_peak(pid, going, interval):
    """Samples the tree while going() holds: the peak of each sum, and the processes of the
    sample with the largest RSS."""
    peak, detail = (0, 0, 0), []
    while going():
        now = []
        sample = tree_memory(pid, now)
        if sample[0] > peak[0]:
            detail = now
        peak = tuple(map(max, peak, sample))
        time.sleep(interval)
    return peak, detail


def stop_group(proc):
    if proc.poll() is None:
        try:
            os.killpg(proc.pid, signal.SIGTERM)
            proc.wait(timeout=10)
        except (ProcessLookupError, subprocess.TimeoutExpired):
            pass
    try:
        os.killpg(proc.pid, signal.SIGKILL)  # web engine helpers left behind
    except ProcessLookupError:
        pass
    proc.wait()


# --- top-level window maps, without polling --------------------------------------------------

class MapWatcher:
    """Reports every top-level window mapped on the display, stamped when the event arrives."""
    MAP_NOTIFY = 19
    SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
    XA_WM_NAME = 39

    def __init__(self):
        self.events = queue.Queue()
        self._ready = threading.Event()
        self._error = None
        threading.Thread(target=self._run, daemon=True).start()
        self._ready.wait(10)
        if self._error or not self._ready.is_set():
            raise RuntimeError(f"cannot watch the X display: {self._error or 'no answer'}")

    def _run(self):
        try:
            x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
            x.XOpenDisplay.restype = ctypes.c_void_p
            x.XOpenDisplay.argtypes = [ctypes.c_char_p]
            x.XDefaultRootWindow.restype = ctypes.c_ulong
            x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
            x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
            x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
            x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
            x.XGetWindowProperty.argtypes = [
                ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long, ctypes.c_long,
                ctypes.c_int, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_ulong),
                ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_void_p)]
            x.XFree.argtypes = [ctypes.c_void_p]
            display = x.XOpenDisplay(None)
            if not display:
                raise RuntimeError("XOpenDisplay failed (is DISPLAY set?)")
            x.XSelectInput(display, x.XDefaultRootWindow(display), self.SUBSTRUCTURE_NOTIFY_MASK)
            x.XSync(display, 0)
        except Exception as e:  # reported by the constructor
            self._error = e
            self._ready.set()
            return
        self._ready.set()
        event = (ctypes.c_long * 24)()  # XEvent is a union of 24 longs
        while True:
            x.XNextEvent(display, event)
            stamp = time.monotonic()
            if ctypes.c_int.from_buffer(event).value != self.MAP_NOTIFY:
                continue
            window = event[5]  # XMapEvent: type, serial, send_event, display, event, window
            self.events.put((stamp, window, self._name(x, display, window)))

    def _name(self, x, display, window):
        kind, fmt = ctypes.c_ulong(), ctypes.c_int()
        items, after, data = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_void_p()
        if x.XGetWindowProperty(display, window, self.XA_WM_NAME, 0, 256, 0, 0,
                                ctypes.byref(kind), ctypes.byref(fmt), ctypes.byref(items),
                                ctypes.byref(after), ctypes.byref(data)) != 0 or not data:
            return ""
        name = ctypes.string_at(data, items.value).decode("utf-8", "replace") if fmt.value == 8 else ""
        x.XFree(data)
        return name

    def drain(self):
        while not self.events.empty():
            self.events.get_nowait()

    def wait_for(self, pattern, deadline):
        seen = []
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                return None, seen
            try:
                stamp, window, name = self.events.get(timeout=left)
            except queue.Empty:
                return None, seen
            seen.append(name)
            if re.search(pattern, name, re.I):
                return stamp, seen


# --- the two sides ---------------------------------------------------------------------------

def client_log_line(data_home, needle, timeout):
    """The local time stamp (ms since the epoch) of the first log line holding needle."""
    deadline = time.monotonic() + timeout
    stamp = re.compile(r"^\[(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})\]")
    while time.monotonic() < deadline:
        for path in glob.glob(os.path.join(data_home, "**", "log", "*.log"), recursive=True):
            with open(path, encoding="utf-8", errors="replace") as f:
                for line in f:
                    if needle in line:
                        m = stamp.match(line)
                        if m:
                            when = datetime.datetime.strptime(m.group(1), "%Y-%m-%d %H:%M:%S.%f")
                            return when.timestamp() * 1000, line
        time.sleep(0.05)
    return None, None


def run_client(exe, env, watcher, work, settle, timeout):
    # A fresh log each run, so that the ImReady line found is this run's.
    for path in glob.glob(os.path.join(env["XDG_DATA_HOME"], "**", "log", "*.log"), recursive=True):
        os.remove(path)
    watcher.drain()
    with open(os.path.join(work, "client.out"), "wb") as out:
        wall0 = time.time()
        t0 = time.monotonic()
        proc = subprocess.Popen([exe], env=env, stdout=out, stderr=subprocess.STDOUT,
                                start_new_session=True)
        try:
            shown, seen = watcher.wait_for(HOME_TITLE, t0 + timeout)
            if shown is None:
                raise RuntimeError(f"the home window was not shown within {timeout} s "
                                   f"(exit code {proc.poll()}, windows mapped: {seen}); "
                                   f"see {out.name}")
            end = time.monotonic() + settle
            peak, detail = sample_peak(proc.pid, lambda: time.monotonic() < end, 0.1)
            ready_ms, _ = client_log_line(env["XDG_DATA_HOME"], '"ImReady"', 5)
        finally:
            stop_group(proc)
    return {
        "shown_ms": (shown - t0) * 1000,
        "imready_ms": None if ready_ms is None else ready_ms - wall0 * 1000,
        "rss": peak[0], "pss": peak[1], "procs": peak[2], "detail": detail, "seen": seen,
    }


def run_chromium(cmd, env, sample):
    t0 = time.monotonic()
    proc = subprocess.Popen(cmd, env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                            start_new_session=True)
    dom = []
    reader = threading.Thread(target=lambda: dom.append(proc.stdout.read()), daemon=True)
    reader.start()
    peak, detail = (0, 0, 0), []
    if sample:
        peak, detail = sample_peak(proc.pid, lambda: proc.poll() is None, 0.02)
    proc.wait()
    elapsed = (time.monotonic() - t0) * 1000
    reader.join()
    stop_group(proc)
    if proc.returncode != 0:
        raise RuntimeError(f"chromium exited with {proc.returncode}")
    return {"ms": elapsed, "dom": dom[0].decode("utf-8", "replace"),
            "rss": peak[0], "pss": peak[1], "procs": peak[2], "detail": detail}


def serve(www, work):
    log = open(os.path.join(work, "http.log"), "wb")
    server = subprocess.Popen([sys.executable, "-u", "-m", "http.server", "--bind", "127.0.0.1",
                               "--directory", www, "0"],
                              stdout=subprocess.PIPE, stderr=log)
    line = server.stdout.readline().decode()
    m = re.search(r"port (\d+)", line)
    if not m:
        server.kill()
        raise RuntimeError(f"http.server did not start: {line!r}")
    port = int(m.group(1))
    for _ in range(100):
        try:
            urllib.request.urlopen(f"http://127.0.0.1:{port}/index.html", timeout=1).read()
            break
        except OSError:
            time.sleep(0.05)
    return server, port


def print_breakdown(side, runs):
    """Where the memory of the median run (by RSS) goes, process by process."""
    if not runs:
        return
    run = sorted(runs, key=lambda r: r["rss"])[len(runs) // 2]
    print(f"  {side} processes at its peak ({run['rss'] / MB:.1f} MB RSS): " + "; ".join(
        f"{kind} RSS {rss / MB:.1f} PSS {pss / MB:.1f} anon {anon / MB:.1f}"
        for kind, rss, pss, anon in sorted(run["detail"], key=lambda d: -d[1])))


def median(values):
    return statistics.median(values) if values else float("nan")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("client", help="the brimvale executable")
    parser.add_argument("--runs", type=int, default=7, help="measured runs of each side")
    parser.add_argument("--memory-runs", type=int, default=3,
                        help="extra Chromium runs sampled for memory (kept apart from the timed "
                             "ones, whose figures sampling would slow)")
    parser.add_argument("--settle", type=float, default=2.0,
                        help="seconds of memory sampling after the home window is shown")
    parser.add_argument("--timeout", type=float, default=60.0)
    parser.add_argument("--chromium", default="chromium")
    parser.add_argument("--keep", action="store_true", help="keep the work directory")
    args = parser.parse_args()
    client = os.path.abspath(args.client)
    source = os.path.dirname(here)

    work = tempfile.mkdtemp(prefix="brv-startup.")
    server = None
    try:
        env = dict(os.environ)
        for key in ("XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"):
            env[key] = os.path.join(work, key.lower())
            os.makedirs(env[key], mode=0o700)
        env["HOME"] = work
        client_env = dict(env, BRV_DEBUG_LOG="1", QTWEBENGINE_DISABLE_SANDBOX="1")

        # The demo pages as the client's built-in service serves them; its channel script comes
        # from Qt's resources and has no file on disk, so that request gets a 404 here.
        www = os.path.join(work, "www")
        os.makedirs(os.path.join(www, "theme"))
        for name in ("index.html", "style.css", "param.js", "bridge.js", "app.js"):
            shutil.copy(os.path.join(source, "demo", name), www)
        for theme in glob.glob(os.path.join(source, "src", "res", "theme", "*.json")):
            with open(theme, encoding="utf-8") as f:
                body = f.read()
            stem = os.path.splitext(os.path.basename(theme))[0]
            with open(os.path.join(www, "theme", stem + ".js"), "w", encoding="utf-8") as f:
                f.write(f"window.brvApplyTheme && window.brvApplyTheme({body});\n")
        server, port = serve(www, work)

        watcher = MapWatcher()
        print(f"load average before: {open('/proc/loadavg').read().strip()}", flush=True)

        # Warm-up: fills the page cache and both profiles; its fragment (the encoded page
        # parameter) is reused so that Chromium renders the same home page.
        warm = run_client(client, client_env, watcher, work, 0.5, args.timeout)
        fragment = HOME_ROUTE
        _, line = client_log_line(client_env["XDG_DATA_HOME"], "openUrl", 1)
        if line:
            m = re.search(r"openUrl \"[^\"#]*(#[^\"]*)\"", line)
            if m:
                fragment = m.group(1)
        url = f"http://127.0.0.1:{port}/index.html{fragment}"
        chromium = [args.chromium, "--headless", "--no-sandbox", "--disable-gpu",
                    f"--user-data-dir={os.path.join(work, 'chromium-profile')}",
                    # Keeps it off the network: no updates, no sync, no name look-ups.
                    "--no-first-run", "--disable-background-networking",
                    "--disable-component-update", "--disable-sync", "--disable-default-apps",
                    "--disable-extensions",
                    "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1",
                    "--dump-dom", url]
        first = run_chromium(chromium, env, False)
        rendered = RENDERED in first["dom"]
        print(f"warm-up: client shown after {warm['shown_ms']:.0f} ms, "
              f"chromium done after {first['ms']:.0f} ms "
              f"(home page rendered in its DOM dump: {'yes' if rendered else 'NO'})", flush=True)

        # Both scene graph paths, forced, so that each is measured whatever this machine has.
        paths = {p: dict(client_env, BRV_SCENE_GRAPH=p) for p in PATHS}
        clients, browsers = {p: [] for p in PATHS}, []
        print(f"{'run':>3}  {'path':>8}  {'client shown':>12}  {'ImReady log':>11}  "
              f"{'client RSS':>10}  {'client PSS':>10}  {'procs':>5}  {'chromium':>8}")
        for i in range(args.runs):
            for p in PATHS:
                c = run_client(client, paths[p], watcher, work, args.settle, args.timeout)
                clients[p].append(c)
                if len(c["seen"]) > 1:
                    print(f"note: windows mapped before the home window: {c['seen'][:-1]}")
                ready = "n/a" if c["imready_ms"] is None else f"{c['imready_ms']:.0f} ms"
                print(f"{i + 1:>3}  {p:>8}  {c['shown_ms']:>9.0f} ms  {ready:>11}  "
                      f"{c['rss'] / MB:>7.1f} MB  {c['pss'] / MB:>7.1f} MB  {c['procs']:>5}",
                      flush=True)
            b = run_chromium(chromium, env, False)
            browsers.append(b)
            print(f"{i + 1:>3}  {'chromium':>8}  {'':>12}  {'':>11}  {'':>10}  {'':>10}  {'':>5}  "
                  f"{b['ms']:>5.0f} ms", flush=True)
        sampled = [run_chromium(chromium, env, True) for _ in range(args.memory_runs)]
        print(f"load average after: {open('/proc/loadavg').read().strip()}")
        unrendered = sum(RENDERED not in b["dom"] for b in browsers + sampled)
        if unrendered:
            print(f"warning: {unrendered} chromium runs dumped the page before app.js rendered it")

        def verdict(ok):
            return "met" if ok else "NOT met"

        bare = median([b["ms"] for b in browsers])
        b_rss = median([s["rss"] for s in sampled]) / MB if sampled else float("nan")
        b_pss = median([s["pss"] for s in sampled]) / MB if sampled else float("nan")
        b_procs = max((s["procs"] for s in sampled), default=0)
        print(f"start-up, median of {args.runs}: bare chromium page loaded and exited {bare:.0f} ms "
              f"(spread {min(b['ms'] for b in browsers):.0f}-"
              f"{max(b['ms'] for b in browsers):.0f} ms)")
        figures = {}
        for p in PATHS:
            runs = clients[p]
            shown = median([c["shown_ms"] for c in runs])
            ready = median([c["imready_ms"] for c in runs if c["imready_ms"] is not None])
            ratio = shown / bare
            figures[p] = (median([c["rss"] for c in runs]) / MB,
                          median([c["pss"] for c in runs]) / MB, max(c["procs"] for c in runs))
            print(f"  {p:>8} path: home window shown {shown:.0f} ms (ImReady log line "
                  f"{ready:.0f} ms, spread {min(c['shown_ms'] for c in runs):.0f}-"
                  f"{max(c['shown_ms'] for c in runs):.0f} ms), ratio to chromium {ratio:.2f} "
                  f"(target <= {TIME_TARGET}: {verdict(ratio <= TIME_TARGET)})")
        print(f"memory, client peak within {args.settle:g} s after the window is shown (median), "
              f"against bare chromium while it runs (median of {len(sampled)}):")
        print(f"  {'':>8}  {'RSS MB':>8}  {'PSS MB':>8}  {'procs':>5}  {'RSS/chr':>7}  {'PSS/chr':>7}")
        for p in PATHS:
            rss, pss, procs = figures[p]
            print(f"  {p:>8}  {rss:>8.1f}  {pss:>8.1f}  {procs:>5}  {rss / b_rss:>7.2f}  "
                  f"{pss / b_pss:>7.2f}")
        print(f"  {'chromium':>8}  {b_rss:>8.1f}  {b_pss:>8.1f}  {b_procs:>5}")
        soft_pss = figures["software"][1]
        print(f"  software path PSS {soft_pss:.1f} MB against the target for machines without a "
              f"graphics processor, < {MEMORY_TARGET_MB} MB: {verdict(soft_pss < MEMORY_TARGET_MB)}; "
              f"software/opengl PSS {soft_pss / figures['opengl'][1]:.2f}")
        for p in PATHS:
            print_breakdown(f"client ({p})", clients[p])
        print_breakdown("chromium", sampled)
        return 0
    finally:
        if server is not None:
            server.terminate()
            server.wait()
        if args.keep:
            print(f"work directory kept: {work}")
        else:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
