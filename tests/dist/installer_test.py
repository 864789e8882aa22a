"""The installer from outside, under Wine: `make-dist` builds it from the x64 build, it
installs silently into the user's local programs folder with its shortcut, its entry in
the installed-programs list and the optional run-at-logon value; the installed exe starts
and shows its tray icon (the notification area changes when the uninstaller ends it); the
silent uninstaller removes everything again."""
import os
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "blackbox"))
from pellora_driver import WINE, ctl, wait_for  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\pellora"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"


def wine(*args, timeout=120):
    with tempfile.TemporaryFile() as out:
        result = subprocess.run([WINE, *args], stdout=out, stderr=subprocess.DEVNULL, timeout=timeout)
        out.seek(0)
        return result.returncode, out.read().decode("utf-8", errors="replace").replace("\r", "").strip()


def unix_path(windows_path):
    return wine("winepath.exe", "-u", windows_path)[1]


def folder(variable):
    return wine("cmd.exe", "/c", f"echo %{variable}%")[1]


def reg_value(key, name):
    rc, text = wine("reg.exe", "query", key, "/v", name)
    return text.split()[-1] if rc == 0 else None


class Installer(unittest.TestCase):
    def test_silent_install_start_and_uninstall(self):
        out = tempfile.mkdtemp(prefix="pellora-dist-")
        subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "make-dist"), "--only", "setup", "--out", out],
                       check=True, stdout=subprocess.DEVNULL)
        [setup] = [f for f in os.listdir(out) if f.endswith("-setup.exe")]
        version = setup[len("pellora-"):-len("-setup.exe")]

        rc, _ = wine(os.path.join(out, setup), "/S", "/AUTOSTART")
        self.assertEqual(rc, 0)
        install = unix_path(folder("LOCALAPPDATA") + r"\Programs\pellora")
        shortcut = unix_path(folder("APPDATA") + r"\Microsoft\Windows\Start Menu\Programs\pellora.lnk")
        for name in ("pellora.exe", "uninstall.exe", "README.txt", "LICENSE.txt"):
            self.assertTrue(os.path.exists(os.path.join(install, name)), name)
        self.assertTrue(os.path.exists(shortcut))
        self.assertEqual(reg_value(UNINSTALL_KEY, "DisplayVersion"), version)
        self.assertIn("pellora.exe", reg_value(RUN_KEY, "pellora") or "")

        # Portable settings beside the installed exe keep the first-start question away.
        with open(os.path.join(install, "pellora.ini"), "wb") as ini:
            ini.write(b"\xff\xfe")
        proc = subprocess.Popen([WINE, os.path.join(install, "pellora.exe")], cwd=install,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            wait_for(lambda: ctl("wait", 1)[0] == 0, 30, 0.1, "the installed pellora's main window")
            # The notification area with the icon in it; it looks different once the icon is
            # gone (or the taskbar with it). The taskbar may still be coming up: wait for it.
            wait_for(lambda: ctl("tray-pixels")[0] == 0, 30, 0.2, "the taskbar's notification area")
            time.sleep(1)
            with_icon = ctl("tray-pixels")[1]

            # The uninstaller ends the running program itself, then removes everything.
            rc, _ = wine(os.path.join(install, "uninstall.exe"), "/S", "/REMOVESETTINGS")
            self.assertEqual(rc, 0)
            wait_for(lambda: not os.path.exists(install), 60, 0.5, "the install folder to go")
            proc.wait(15)
            wait_for(lambda: ctl("tray-pixels")[1] != with_icon, 10, 0.2, "the tray icon to go")
        finally:
            if proc.poll() is None:
                proc.kill()
        self.assertFalse(os.path.exists(shortcut))
        self.assertIsNone(reg_value(UNINSTALL_KEY, "DisplayVersion"))
        self.assertIsNone(reg_value(RUN_KEY, "pellora"))


if __name__ == "__main__":
    unittest.main()
