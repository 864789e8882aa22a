"""Drives the real pellora.exe under Wine from outside its process, as a user or the
platform would: window messages to its windows, its menus' commands, its tray icon's
callback message, answers to its dialogs, and the settings it reads. Everything goes
through pctl.exe (tests/support/tools/pctl.cpp); nothing reaches into the process.

The Wine session (virtual display, prefix, persistent wineserver) comes from the caller:
`make test` runs ctest inside scripts/wine-session.
"""
import json
import os
import shutil
import subprocess
import tempfile
import time
import sys
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import resource_ids  # noqa: E402

WINE = os.environ.get("PELLORA_WINE", "/usr/lib/wine/wine64")
EXE = os.environ["PELLORA_EXE"]
PCTL = os.environ["PELLORA_PCTL"]
FEED_SERVER = os.environ["PELLORA_FEED_SERVER"]

# Command ids of the program's menus, from its resource header.
_ids = resource_ids.read()
IDM_EXIT, IDM_ADD_RSS, IDM_MOD_RSS, IDM_DEL_RSS, IDM_REFRESH = (
    _ids[name] for name in ("IDM_EXIT", "IDM_ADD_RSS", "IDM_MOD_RSS", "IDM_DEL_RSS", "IDM_REFRESH"))
IDOK, IDCANCEL, IDYES, IDNO = 1, 2, 6, 7
VK_RETURN, VK_ESCAPE, VK_LEFT = 13, 27, 37


def wait_for(condition, timeout=20.0, step=0.2, what="condition"):
    end = time.time() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.time() > end:
            raise AssertionError(f"timed out after {timeout}s waiting for {what}")
        time.sleep(step)


def shows(label, text):
    """Whether a tree label shows `text`: whole, or cut to fit with "..." at its end."""
    return label == text or (label.endswith("...") and len(label) > 3 and text.startswith(label[:-3]))


def ctl(*args, check=False):
    # Output goes through a file, not a pipe: a Wine helper process started meanwhile (the
    # desktop, the taskbar) inherits the handles and would hold a pipe open for ever.
    with tempfile.TemporaryFile() as out:
        result = subprocess.run([WINE, PCTL, *map(str, args)], stdout=out, stderr=subprocess.DEVNULL, timeout=60)
        out.seek(0)
        text = out.read().decode("utf-8", errors="replace").replace("\r", "")
    if check and result.returncode != 0:
        raise AssertionError(f"pctl {' '.join(map(str, args))} failed ({result.returncode})")
    return result.returncode, text


class FeedServer:
    """demo/feed_server.py on a free port, stopped with the test."""

    def __init__(self, interval=0):
        self.dir = tempfile.mkdtemp(prefix="pellora-feeds-")
        port_file = os.path.join(self.dir, "port")
        self.proc = subprocess.Popen(["python3", FEED_SERVER, "--port-file", port_file, "--interval", str(interval)],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for(lambda: os.path.exists(port_file) and open(port_file).read().strip(), 10, 0.05, "feed server")
        self.port = int(open(port_file).read())

    def url(self, path):
        return f"http://127.0.0.1:{self.port}/{path}"

    def control(self, request):
        with urllib.request.urlopen(self.url("control/" + request), timeout=10) as answer:
            return json.loads(answer.read())

    def stop(self):
        self.proc.kill()
        self.proc.wait()
        shutil.rmtree(self.dir, ignore_errors=True)


def write_ini(path, sections):
    """A UTF-16 profile file (what the program itself creates) from {section: {key: value}}."""
    lines = []
    for section, values in sections.items():
        lines.append(f"[{section}]")
        lines += [f"{k}={v}" for k, v in values.items()]
    with open(path, "wb") as f:
        f.write(b"\xff\xfe" + "\r\n".join(lines + [""]).encode("utf-16-le"))


def read_ini(path):
    """{section: {key: value}} of a profile file in UTF-16 (with its mark) or ANSI."""
    raw = open(path, "rb").read()
    text = raw[2:].decode("utf-16-le") if raw[:2] == b"\xff\xfe" else raw.decode("latin-1")
    sections, current = {}, None
    for line in text.splitlines():
        line = line.strip()
        if line.startswith("[") and line.endswith("]"):
            current = sections.setdefault(line[1:-1], {})
        elif "=" in line and current is not None:
            key, value = line.split("=", 1)
            current[key.strip()] = value.strip()
    return sections


class Pellora:
    """One pellora.exe in a folder of its own (its .ini file lives beside it)."""

    def __init__(self, folder=None):
        self.dir = folder or tempfile.mkdtemp(prefix="pellora-bb-")
        shutil.copy(EXE, os.path.join(self.dir, "pellora.exe"))
        self.ini = os.path.join(self.dir, "pellora.ini")
        self.proc = None

    def start(self, lay_out=True):
        self.proc = subprocess.Popen([WINE, os.path.join(self.dir, "pellora.exe")], cwd=self.dir,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for(lambda: ctl("wait", 1)[0] == 0, 30, 0.1, "the main window")
        if lay_out:
            self.lay_out()

    def lay_out(self):
        """Shows the main window once through the tray icon and hides it again, as a user
        would: its tree then has a size, so labels are fitted to a real width (a tree that
        was never shown fits them to nothing)."""
        ctl("tray-click", check=True)
        wait_for(lambda: ctl("visible", "win.PlainFrame", "pellora")[0] == 0, 10, 0.1, "the main window")
        ctl("hide", check=True)
        wait_for(lambda: ctl("visible", "win.PlainFrame", "pellora")[0] != 0, 10, 0.1, "the main window to hide")

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def exit(self, timeout=15):
        ctl("command", IDM_EXIT)
        self.proc.wait(timeout)

    def kill(self):
        if self.running():
            ctl("command", IDM_EXIT)
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()

    def tree(self):
        """[(depth, flags, label)], flags 'b' bold, 'e' expanded, 's' selected."""
        rc, out = ctl("tree")
        rows = []
        for line in out.splitlines():
            depth, flags, label = line.split(" ", 2)
            rows.append((int(depth), flags, label))
        return rows

    def items(self):
        return [r for r in self.tree() if r[0] == 1]

    def channels(self):
        return [r for r in self.tree() if r[0] == 0]

    def popups(self):
        return int(ctl("count", "pellora.Popup")[1].strip() or 0)

    def visible(self, cls):
        return ctl("visible", cls)[0] == 0
