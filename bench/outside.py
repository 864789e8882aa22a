#!/usr/bin/env python3
"""pellora measured from outside under Wine, beside a bare Win32 window program built the
same way (bench/win/BareWindow.cpp), each pellora.exe given in the same run:

  cpu      CPU of the process plus the wineserver (utime + stime from /proc) over --seconds:
           the bare window, also with a 40 ms timer, also moving a bar one pixel at each tick
           (through its own DC), also moved from a thread that sleeps between ticks (the
           cheapest wake under Wine); pellora scrolling 100 ticker entries;
           pellora with the ticker hidden ("RSS_TICKER"=0). Percent of one core; then the
           goal's two differences beside the sleeping thread's, the floor of anything that
           moves every 40 ms under Wine.
  freeze   a first refresh of 50 channels x 200 new items from a local server into an empty
           tree: the longest the window kept a ping waiting, and the time from the refresh
           command to the last row in the tree.
  memory   private memory of the process (Private_Clean + Private_Dirty of
           /proc/<pid>/smaps_rollup: Wine answers another process's memory questions with
           zeros) with 50 channels x 100 items, beside the bare window's, and its anonymous
           part (without the pages of mapped files, which Windows does not count as private
           bytes); --by-mapping also lists the difference by mapped file; --split also measures
           one item a channel, which parts what the items cost from what they do not.
  startup  median time until the window answers (pellora: main frame with its tray icon),
           warm, 9 runs each.
  floor    what Wine charges before any feed is read: the bare window's private memory with
           each thing a tray reader cannot do without added on its own (the common controls,
           one worker thread started and ended, Korean text in regular and bold, a WinINet
           session), then all of them; measured like `memory`.

usage (after make win64):
  scripts/wine-session python3 bench/outside.py [cpu|freeze|memory|startup|floor|all] [--seconds N] [EXE...]
EXE defaults to build/win64/src/app/pellora.exe; give an older build first to set them
side by side.
"""
import argparse
import http.server
import os
import re
import shutil
import socketserver
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build", "win64")
WINE = "/usr/lib/wine/wine64"
BARE = os.path.join(BUILD, "bench", "win", "bare_window.exe")
PROBE = os.path.join(BUILD, "bench", "win", "outside_probe.exe")
PCTL = os.path.join(BUILD, "tests", "pctl.exe")
CLK_TCK = os.sysconf("SC_CLK_TCK")
sys.path.insert(0, os.path.join(ROOT, "scripts"))
import resource_ids  # noqa: E402

IDS = resource_ids.read()


class Feeds(socketserver.ThreadingMixIn, http.server.HTTPServer):
    """/c<channel>/<items>.xml: a feed of that many items, the same at every request."""
    daemon_threads = True
    first_request = None

    def __init__(self):
        super().__init__(("127.0.0.1", 0), Handler)
        threading.Thread(target=self.serve_forever, daemon=True).start()

    def url(self, channel, items):
        return f"http://127.0.0.1:{self.server_address[1]}/c{channel}/{items}.xml"


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        m = re.match(r"/c(\d+)/(\d+)\.xml$", self.path)
        if not m:
            self.send_error(404)
            return
        if self.server.first_request is None:
            self.server.first_request = time.time()
        c, n = int(m.group(1)), int(m.group(2))
        items = "".join(
            f"<item><title>채널 {c} 기사 {i}: 오늘의 소식 news item {i}</title>"
            f"<link>http://news.example/{c}/{i}</link><description>본문 {i}</description></item>\n"
            for i in range(n))
        body = (f'<?xml version="1.0" encoding="UTF-8"?>\n<rss version="2.0"><channel><title>채널 {c}</title>'
                f"<link>http://news.example/{c}/</link>\n{items}</channel></rss>\n").encode("utf-8")
        self.send_response(200)
        self.send_header("Content-Type", "application/rss+xml")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def write_ini(path, sections):
    lines = []
    for section, values in sections.items():
        lines.append(f"[{section}]")
        lines += [f"{k}={v}" for k, v in values.items()]
    with open(path, "wb") as f:
        f.write(b"\xff\xfe" + "\r\n".join(lines + [""]).encode("utf-16-le"))


def profile(feeds, channels, items, ticker=1, noti=0):
    sections = {"CONFIG": {"RSS_TIMER": "86400", "RSS_TICKER": str(ticker), "INTERNAL": "0",
                           "UPDATE_SERVER": "127.0.0.1:9"}}
    for c in range(channels):
        sections[f"CONFIG\\{0x10000000 + c:08x}"] = {"URL": feeds.url(c, items), "NOTI": str(noti), "TICKER": "1",
                                                       "EXPAND": "1"}
    return sections


def run(*args, timeout=120):
    with tempfile.TemporaryFile() as out:
        rc = subprocess.run([WINE, *args], stdout=out, stderr=subprocess.DEVNULL, timeout=timeout).returncode
        out.seek(0)
        return rc, out.read().decode("utf-8", "replace").strip()


def wait_for(condition, timeout, what):
    end = time.time() + timeout
    while not condition():
        if time.time() > end:
            raise SystemExit(f"outside.py: timed out waiting for {what}")
        time.sleep(0.2)


def wineserver_pid():
    prefix = os.environ.get("WINEPREFIX", "")
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            if not open(f"/proc/{pid}/comm").read().startswith("wineserver"):
                continue
            env = open(f"/proc/{pid}/environ", "rb").read().split(b"\0")
        except OSError:
            continue
        if f"WINEPREFIX={prefix}".encode() in env:
            return int(pid)
    raise SystemExit("outside.py: no wineserver of this prefix (run inside scripts/wine-session)")


def cpu_ticks(pid):
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


def cpu_percent(pid, seconds):
    server = wineserver_pid()
    a, s = cpu_ticks(pid), cpu_ticks(server)
    time.sleep(seconds)
    da, ds = cpu_ticks(pid) - a, cpu_ticks(server) - s
    return 100.0 * da / CLK_TCK / seconds, 100.0 * ds / CLK_TCK / seconds


class Program:
    def __init__(self, exe, sections=None, args=()):
        self.dir = tempfile.mkdtemp(prefix="pellora-outside-")
        self.exe = os.path.join(self.dir, os.path.basename(exe))
        shutil.copy(exe, self.exe)
        if sections is not None:
            write_ini(os.path.join(self.dir, "pellora.ini"), sections)
        self.proc = subprocess.Popen([WINE, self.exe, *args], cwd=self.dir, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)

    def pid(self):
        if self.proc.poll() is not None:
            raise SystemExit(f"outside.py: {self.exe} ended ({self.proc.returncode})")
        return self.proc.pid

    def stop(self, pellora=True):
        if pellora:
            run(PCTL, "command", str(IDS["IDM_EXIT"]))
        else:
            self.proc.terminate()
        try:
            self.proc.wait(15)
        except subprocess.TimeoutExpired:
            self.proc.kill()
        shutil.rmtree(self.dir, ignore_errors=True)


def private_mb(pid):
    """Private resident MB, and the anonymous part of all resident memory: what the process
    wrote to memory of its own, without the pages of mapped files (fonts, DLLs, the image)."""
    total = anonymous = 0
    for line in open(f"/proc/{pid}/smaps_rollup"):
        if line.startswith(("Private_Clean:", "Private_Dirty:")):
            total += int(line.split()[1])
        elif line.startswith("Anonymous:"):
            anonymous += int(line.split()[1])
    return total / 1024, anonymous / 1024


def private_kb_by_mapping(pid):
    """Private kB of each mapped file (by name), anonymous memory as "[anon]"."""
    kb, name = {}, None
    for line in open(f"/proc/{pid}/smaps"):
        fields = line.split()
        if re.match(r"[0-9a-f]+-[0-9a-f]+$", fields[0]):
            name = os.path.basename(fields[5]) if len(fields) > 5 else "[anon]"
        elif fields[0] in ("Private_Clean:", "Private_Dirty:"):
            kb[name] = kb.get(name, 0) + int(fields[1])
    return kb


def print_mapping_difference(kb, base):
    rows = sorted(((kb.get(n, 0) - base.get(n, 0), n) for n in set(kb) | set(base)), reverse=True)
    for diff, name in rows:
        if abs(diff) >= 100:
            print(f"      {name:32} {diff:+7} kB")


def refresh():
    run(PCTL, "command", str(IDS["IDM_REFRESH"]))


def pellora_up():
    return run(PCTL, "wait", "1")[0] == 0


def tree_rows():
    rc, out = run(PCTL, "tree-count")
    return int(out) if rc == 0 and out.isdigit() else -1


def measure_cpu(exes, seconds):
    feeds = Feeds()
    rows = []
    for state, words in (("bare window", []), ("bare window, 40 ms timer", ["timer"]),
                         ("... drawing a bar", ["timer", "draw"]),
                         ("... a sleeping thread drawing", ["sleeper", "draw"])):
        bare = Program(BARE, args=words)
        pid = bare.pid()
        time.sleep(3)
        rows.append((state, "", *cpu_percent(pid, seconds)))
        bare.stop(pellora=False)
    for exe in exes:
        for state, ticker in (("ticker scrolling 100 entries", 1), ("ticker hidden", 0)):
            app = Program(exe, profile(feeds, 1, 100, ticker=ticker))
            wait_for(pellora_up, 30, "pellora")
            refresh()
            wait_for(lambda: tree_rows() == 101, 60, "the first refresh")
            if ticker:
                wait_for(lambda: run(PCTL, "visible", "pellora.Ticker")[0] == 0, 30, "the ticker")
            time.sleep(3)
            rows.append((state, exe, *cpu_percent(app.pid(), seconds)))
            app.stop()
    print(f"CPU over {seconds} s, percent of one core (process + its wineserver):")
    for state, exe, own, server in rows:
        print(f"  {state:30} {own:6.2f} + {server:6.2f} = {own + server:6.2f}   {exe}")
    # The goal beside what anything that moves every 40 ms costs under Wine.
    total = [own + server for _, _, own, server in rows]
    print(f"  the cheapest way to move a bar: {total[3] - total[0]:+.2f} above the bare window")
    for i, exe in enumerate(exes):
        print(f"  scrolling: {total[4 + 2 * i] - total[5 + 2 * i]:+.2f} above the hidden ticker (goal < 0.5); "
              f"hidden: {total[5 + 2 * i] - total[0]:+.2f} from the bare window (goal within 0.2)   {exe}")


def measure_freeze(exes):
    print("refresh of 50 channels x 200 new items into an empty tree:")
    for exe in exes:
        feeds = Feeds()
        app = Program(exe, profile(feeds, 50, 200, ticker=1))
        wait_for(pellora_up, 30, "pellora")
        rc, out = run(PROBE, "answer", "60", str(50 * 201), timeout=90)
        fields = dict(kv.split("=") for kv in out.split())
        took = float(fields["last_row"]) - float(fields["asked"]) if rc == 0 else float("nan")
        print(f"  longest wait {float(fields['longest_wait_ms']):7.1f} ms, waits over 50 ms "
              f"{fields['waits_over_50ms']:>4}, refresh {took:5.2f} s   {exe}")
        app.stop()
        feeds.shutdown()


def settled_pellora(exe, feeds, items):
    """pellora with 50 channels of `items` items each, refreshed and settled (the thread pool
    lets its idle threads go about 5 s after their last work)."""
    app = Program(exe, profile(feeds, 50, items, ticker=1))
    wait_for(pellora_up, 30, "pellora")
    refresh()
    wait_for(lambda: tree_rows() == 50 * (items + 1), 120, "the refresh")
    time.sleep(8)
    return app


def measure_memory(exes, by_mapping=False, split=False):
    feeds = Feeds()
    bare = Program(BARE)
    pid = bare.pid()
    time.sleep(3)
    base, base_anon = private_mb(pid)
    base_kb = private_kb_by_mapping(pid)
    bare.stop(pellora=False)
    print("private memory with 50 channels x 100 items (MB; in brackets its anonymous part):")
    print(f"  bare window {base:7.2f}  [{base_anon:.2f}]")
    for exe in exes:
        app = settled_pellora(exe, feeds, 100)
        mb, anon = private_mb(app.pid())
        print(f"  pellora     {mb:7.2f}  ({mb - base:+.2f} above the bare window)  "
              f"[{anon:.2f}, {anon - base_anon:+.2f}]   {exe}")
        if by_mapping:
            print_mapping_difference(private_kb_by_mapping(app.pid()), base_kb)
        app.stop()
        if split:
            # One item a channel: what does not depend on the items, and the price of each
            # of the other 4,950.
            app = settled_pellora(exe, feeds, 1)
            one, one_anon = private_mb(app.pid())
            app.stop()
            print(f"    with 1 item a channel {one:7.2f} ({one - base:+.2f}) [{one_anon:.2f}, {one_anon - base_anon:+.2f}]; "
                  f"each other item {(mb - one) * 2**20 / 4950:.0f} bytes [{(anon - one_anon) * 2**20 / 4950:.0f}]")


def measure_floor():
    print("the bare window's private memory with what a tray reader needs (MB; anonymous part in brackets):")
    base = None
    everything = ["comctl32", "thread", "hangul", "wininet"]
    for words in ([], *([word] for word in everything), everything):
        bare = Program(BARE, args=words)
        pid = bare.pid()
        time.sleep(3)
        mb, anon = private_mb(pid)
        bare.stop(pellora=False)
        base = base or (mb, anon)
        print(f"  {' + '.join(['bare window', *words]):52} {mb:6.2f} ({mb - base[0]:+.2f})  "
              f"[{anon:.2f}, {anon - base[1]:+.2f}]")


def measure_startup(exes):
    feeds = Feeds()
    print("start-up until the window answers, warm, median of 9 (ms):")
    folder = tempfile.mkdtemp(prefix="pellora-outside-")
    bare = os.path.relpath(BARE)
    run(PROBE, "launch", "2", bare)
    rc, out = run(PROBE, "launch", "9", bare)
    print(f"  bare window {out}")
    for i, exe in enumerate(exes):
        sub = os.path.join(folder, str(i))
        os.makedirs(sub)
        copy = os.path.join(sub, "pellora.exe")
        shutil.copy(exe, copy)
        write_ini(os.path.join(sub, "pellora.ini"), profile(feeds, 3, 20))
        run(PROBE, "launch", "2", copy)
        rc, out = run(PROBE, "launch", "9", copy)
        print(f"  pellora     {out}   {exe}")
    shutil.rmtree(folder, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("what", nargs="?", default="all", choices=["cpu", "freeze", "memory", "startup", "floor", "all"])
    parser.add_argument("exes", nargs="*")
    parser.add_argument("--seconds", type=float, default=40)
    parser.add_argument("--by-mapping", action="store_true",
                        help="memory: also where the difference lies, by mapped file (100 kB or more)")
    parser.add_argument("--split", action="store_true",
                        help="memory: also with one item a channel, for the cost that does not depend on the items")
    args = parser.parse_intermixed_args()
    exes = [os.path.abspath(e) for e in args.exes] or [os.path.join(BUILD, "src", "app", "pellora.exe")]
    if args.what in ("cpu", "all"):
        measure_cpu(exes, args.seconds)
    if args.what in ("freeze", "all"):
        measure_freeze(exes)
    if args.what in ("memory", "all"):
        measure_memory(exes, args.by_mapping, args.split)
    if args.what in ("startup", "all"):
        measure_startup(exes)
    if args.what in ("floor", "all"):
        measure_floor()


if __name__ == "__main__":
    sys.exit(main())
