"""Black-box tests: the real pellora.exe under Wine against a local feed server, driven
from outside its process (see pellora_driver.py). Each test starts its own server and
its own program folder; ctest runs one test per process."""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pellora_driver import (IDM_ADD_RSS, IDM_DEL_RSS, IDM_MOD_RSS, IDM_REFRESH, IDOK, IDYES, VK_ESCAPE,  # noqa: E402
                            VK_LEFT, VK_RETURN, WINE, FeedServer, Pellora, ctl, read_ini, shows, wait_for,
                            write_ini)

KOREA, WORLD = "1a2b3c4d", "2b3c4d5e"


class BlackBox(unittest.TestCase):
    def setUp(self):
        self.server = FeedServer()
        self.app = Pellora()
        self.addCleanup(self.cleanup)

    def cleanup(self):
        self.app.kill()
        self.server.stop()
        shutil.rmtree(self.app.dir, ignore_errors=True)

    def profile(self, **channel_extra):
        write_ini(self.app.ini, {
            "CONFIG": {"RSS_TIMER": "10", "INTERNAL": "1", "UPDATE_SERVER": "127.0.0.1:9"},
            "WINDOW": {"MAIN_CX": "480", "MAIN_CY": "500"},
            f"CONFIG\\{KOREA}": {"URL": self.server.url("korea.xml"), "NOTI": "1", **channel_extra},
            f"CONFIG\\{WORLD}": {"URL": self.server.url("world.xml")},
        })

    def first_refresh(self):
        wait_for(lambda: len(self.app.items()) == 12, 40, 0.3, "the first refresh to fill the tree")

    # -- the refresh road ------------------------------------------------------------

    def test_first_refresh_fills_the_tree_silently_while_the_tray_icon_animates(self):
        self.profile()
        # The run takes a few seconds, so a busy machine's slower probes still see both pictures.
        self.server.control("mode/korea/slow")
        self.server.control("mode/world/slow")
        self.app.start()
        frames = set()

        def filled():
            frames.add(ctl("tray-pixels")[1])
            return len(self.app.items()) == 12
        wait_for(filled, 40, 0.1, "the first refresh")
        frames.discard("00000000\n")  # no taskbar yet
        self.assertGreaterEqual(len(frames), 2, "the tray icon alternates its two pictures while fetching")
        time.sleep(1.5)
        still = {ctl("tray-pixels")[1] for _ in range(4) if time.sleep(0.35) is None}
        self.assertEqual(len(still), 1, "the animation stops when the run ends")
        self.assertEqual(self.app.popups(), 0, "the first load raises no popup")
        channels = self.app.channels()
        self.assertEqual([c[2] for c in channels], ["World News", "한국 뉴스 (EUC-KR)"])
        self.assertTrue(all("b" in item[1] for item in self.app.items()), "new items are bold")
        wait_for(lambda: self.app.visible("pellora.Ticker"), 10, 0.2, "the ticker after the run")

    def test_a_new_item_raises_exactly_one_popup_and_a_ticker_entry(self):
        self.profile()
        self.app.start()
        self.first_refresh()
        wait_for(lambda: self.app.visible("pellora.Ticker"), 10, 0.2, "the ticker")
        newest = self.server.control("add/korea")["items"]["korea"][0]
        ctl("command", IDM_REFRESH, check=True)
        wait_for(lambda: len(self.app.items()) == 13, 20, 0.2, "the new item")
        new_label = next(label for d, f, label in self.app.items() if label.endswith(f"#{newest}"))
        wait_for(lambda: self.app.popups() == 1, 10, 0.2, "one popup")
        self.assertFalse(self.app.visible("pellora.Ticker"), "the ticker gives way to the popup")
        # A right click closes the popup; nothing else was queued.
        ctl("popup-rclick", check=True)
        wait_for(lambda: self.app.popups() == 0, 10, 0.2, "the popup to close")
        time.sleep(1.5)
        self.assertEqual(self.app.popups(), 0, "exactly one popup")
        wait_for(lambda: self.app.visible("pellora.Ticker"), 10, 0.2, "the ticker back")
        # The ticker's newest entry is the new item: step back to it and click it.
        ctl("ticker", "wheel", 120, check=True)
        ctl("ticker", "click", 12, check=True)
        ctl("ticker", "rclick", check=True)
        self.assertEqual(wait_for(lambda: ctl("browser")[1].strip(), 10, 0.2, "the browser frame"), new_label)

    def test_opening_an_item_clears_its_bold_state(self):
        self.profile()
        self.app.start()
        self.first_refresh()
        label = self.app.items()[0][2]
        ctl("select", label, check=True)
        ctl("key", VK_RETURN, check=True)
        self.assertEqual(wait_for(lambda: ctl("browser")[1].strip(), 10, 0.2, "the browser frame"), label)
        row = next(r for r in self.app.items() if r[2] == label)
        self.assertNotIn("b", row[1])
        self.assertTrue(all("b" in r[1] for r in self.app.items() if r[2] != label))

    def test_escape_hides_the_main_window_shown_by_the_tray_icon(self):
        self.profile()
        self.app.start(lay_out=False)
        self.assertNotEqual(ctl("visible", "win.PlainFrame", "pellora")[0], 0, "hidden at start")
        ctl("tray-click", check=True)
        wait_for(lambda: ctl("visible", "win.PlainFrame", "pellora")[0] == 0, 10, 0.1, "the main window")
        ctl("key", VK_ESCAPE, check=True)
        wait_for(lambda: ctl("visible", "win.PlainFrame", "pellora")[0] != 0, 10, 0.1, "the main window to hide")
        self.assertTrue(self.app.running())

    # -- channels through the dialogs --------------------------------------------------

    def edit_channels(self):
        """Adds, modifies and deletes a channel through the menus and dialogs."""
        added = self.server.url("blog.xml")
        ctl("command", IDM_ADD_RSS, check=True)
        ctl("dialog", "RSS 주소 등록", added, "ok", check=True)
        wait_for(lambda: any(shows(c[2], added) for c in self.app.channels()), 10, 0.2, "the added channel")
        yield "added", added
        ctl("select", next(c[2] for c in self.app.channels() if shows(c[2], added)).rstrip("."), check=True)
        moved = added + "?v=2"
        ctl("command", IDM_MOD_RSS, check=True)
        ctl("dialog", "RSS 주소 수정", moved, "ok", check=True)
        wait_for(lambda: any(shows(c[2], moved) for c in self.app.channels()), 10, 0.2, "the modified channel")
        yield "modified", moved
        ctl("select", next(c[2] for c in self.app.channels() if shows(c[2], moved)).rstrip("."), check=True)
        ctl("command", IDM_DEL_RSS, check=True)
        ctl("msgbox", "삭제", IDOK, check=True)
        wait_for(lambda: not any(shows(c[2], moved) for c in self.app.channels()), 10, 0.2, "the deleted channel")
        yield "deleted", moved

    def test_channel_edits_persist_in_the_ini_file(self):
        self.profile()
        self.app.start()
        ids = None
        for step, url in self.edit_channels():
            sections = read_ini(self.app.ini)
            ours = {s: v for s, v in sections.items() if s.startswith("CONFIG\\") and s[7:] not in (KOREA, WORLD)}
            if step == "deleted":
                self.assertEqual(ours, {})
                continue
            self.assertEqual(len(ours), 1, ours)
            (section, values), = ours.items()
            self.assertEqual(values["URL"], url)
            ids = ids or section
            self.assertEqual(section, ids, "a modify keeps the channel's id")

    def reg_query(self):
        with tempfile.TemporaryFile() as out:
            subprocess.run([WINE, "reg", "query", r"HKCU\Software\pellora\CONFIG", "/s"], stdout=out,
                           stderr=subprocess.DEVNULL, timeout=60)
            out.seek(0)
            return out.read().decode("utf-8", errors="replace").replace("\r", "")

    def test_channel_edits_persist_in_the_registry_after_the_first_start_question(self):
        subprocess.run([WINE, "reg", "delete", r"HKCU\Software\pellora", "/f"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        self.addCleanup(lambda: subprocess.run([WINE, "reg", "delete", r"HKCU\Software\pellora", "/f"],
                                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60))
        self.app.proc = subprocess.Popen([WINE, os.path.join(self.app.dir, "pellora.exe")], cwd=self.app.dir,
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        ctl("msgbox", "레지스트리", IDYES, check=True)  # the first-start question: keep the registry
        wait_for(lambda: ctl("wait", 1)[0] == 0, 30, 0.2, "the main window")
        self.app.lay_out()
        self.assertFalse(os.path.exists(self.app.ini), "answering Yes creates no .ini file")
        for step, url in self.edit_channels():
            listing = self.reg_query()
            if step == "deleted":
                self.assertNotIn(url, listing)
            else:
                self.assertIn(f"URL    REG_SZ    {url}", listing)
        self.app.exit()
        # The next start asks nothing.
        self.app.start()
        time.sleep(1)
        self.assertNotEqual(ctl("msgbox", "레지스트리", IDYES)[0], 0, "no second question")

    # -- the end and the next start -----------------------------------------------------

    def test_exit_removes_the_tray_icon_and_ends_the_process(self):
        self.profile()
        self.app.start()
        # The notification area's pixels with the icon in it (steady once the first run ended).
        self.first_refresh()
        time.sleep(1)
        rc, with_icon = ctl("tray-pixels")
        self.assertEqual(rc, 0, "the taskbar shows the notification area")
        self.app.exit()
        self.assertFalse(self.app.running())
        # Without the icon the area looks different, or the empty taskbar is gone altogether.
        wait_for(lambda: ctl("tray-pixels")[1] != with_icon, 10, 0.2, "the tray icon to go")

    def test_a_restart_shows_the_channels_again_with_their_expanded_state(self):
        self.profile()
        self.app.start()
        self.first_refresh()
        ctl("select", "World News", check=True)
        ctl("key", VK_LEFT, check=True)  # collapse it
        # (The program rewrites the file as it stores; a read may catch it half written.)
        wait_for(lambda: read_ini(self.app.ini).get(f"CONFIG\\{WORLD}", {}).get("EXPAND") == "0", 10, 0.2,
                 "EXPAND=0")
        self.app.exit()
        self.app.start()
        wait_for(lambda: len(self.app.channels()) == 2 and len(self.app.items()) == 12, 40, 0.3, "the channels")
        flags = {label: f for d, f, label in self.app.channels()}
        self.assertNotIn("e", flags["World News"])
        self.assertIn("e", flags["한국 뉴스 (EUC-KR)"])


if __name__ == "__main__":
    unittest.main()
