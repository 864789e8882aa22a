"""Black-box test of the polite fetch with the real pellora.exe: an unchanged feed is asked
conditionally and answered 304 with its items kept and its next change still raising a
popup; a gzip-only feed reads; the answer's charset is used; a 429 with Retry-After is not
asked again. One ctest entry."""
import gzip
import http.server
import os
import sys
import threading
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pellora_driver import IDM_REFRESH, Pellora, ctl, wait_for, write_ini  # noqa: E402


def rss(title, items):
    body = "".join(f"<item><title>{t}</title><link>{link}</link></item>" for t, link in items)
    return f'<?xml version="1.0" encoding="utf-8"?><rss><channel><title>{title}</title>{body}</channel></rss>'


class Polite(http.server.BaseHTTPRequestHandler):
    lock = threading.Lock()
    asked = {}        # path -> [If-None-Match of each request]
    version = 1
    items = [("first", "http://cond.example/1")]

    def log_message(self, *args):
        pass

    def answer(self, status, body=b"", headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        with Polite.lock:
            Polite.asked.setdefault(self.path, []).append(self.headers.get("If-None-Match", ""))
            etag = f'"v{Polite.version}"'
            items = list(Polite.items)
        if self.path == "/cond.xml":
            if self.headers.get("If-None-Match") == etag:
                return self.answer(304, headers=[("ETag", etag)])
            return self.answer(200, rss("Conditional", items).encode(), [("ETag", etag), ("Content-Type", "text/xml")])
        if self.path == "/gzip.xml":
            if "gzip" not in self.headers.get("Accept-Encoding", ""):
                return self.answer(406)
            body = gzip.compress(rss("Compressed", [("squeezed", "http://gz.example/1")]).encode())
            return self.answer(200, body, [("Content-Encoding", "gzip"), ("Content-Type", "text/xml")])
        if self.path == "/charset.xml":
            body = "<rss><channel><title>Header charset</title><item><title>It\u2019s \u20ac5</title>" \
                   "<link>http://cs.example/1</link></item></channel></rss>"
            return self.answer(200, body.encode("cp1252"), [("Content-Type", "text/xml; charset=windows-1252")])
        if self.path == "/busy.xml":
            return self.answer(429, b"<html>slow down</html>", [("Retry-After", "3600")])
        return self.answer(404)


class PoliteFetch(unittest.TestCase):
    def setUp(self):
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Polite)
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.app = Pellora()
        self.addCleanup(self.cleanup)

    def cleanup(self):
        self.app.kill()
        self.server.shutdown()

    def asked(self, path):
        with Polite.lock:
            return list(Polite.asked.get(path, []))

    def refresh(self):
        """One more refresh; asked again while a run still going ignores the command."""
        before = len(self.asked("/cond.xml"))

        def asked_again():
            if len(self.asked("/cond.xml")) > before:
                return True
            ctl("command", IDM_REFRESH, check=True)
            return False
        wait_for(asked_again, 30, 1.0, "a refresh")

    def test_unchanged_feeds_are_asked_conditionally_compressed_and_throttled_ones_wait(self):
        port = self.server.server_address[1]
        sections = {"CONFIG": {"RSS_TIMER": "3600", "UPDATE_SERVER": "127.0.0.1:9"},
                    "WINDOW": {"MAIN_CX": "600", "MAIN_CY": "600"}}
        for i, name in enumerate(["busy", "cond", "gzip", "charset"]):
            sections[f"CONFIG\\p000000{i}"] = {"URL": f"http://127.0.0.1:{port}/{name}.xml", "NOTI": "1"}
        write_ini(self.app.ini, sections)
        # RSS_TIMER is an hour: a refresh at start (the tick count may already be past it)
        # and the ones asked for here are all there are.
        self.app.start()
        ctl("command", IDM_REFRESH, check=True)
        wait_for(lambda: len(self.app.items()) == 3, 40, 0.3, "an item of each readable feed")
        items = {label for _, _, label in self.app.items()}
        self.assertEqual(items, {"first", "squeezed", "It’s €5"})

        self.refresh()
        self.refresh()
        wait_for(lambda: len(self.asked("/charset.xml")) == len(self.asked("/cond.xml")), 10, 0.2, "the run's end")
        cond = self.asked("/cond.xml")
        self.assertEqual(cond[0], "", "the first request after start asks for the whole feed")
        self.assertEqual(cond[1:], ['"v1"'] * (len(cond) - 1), "every later one is conditional")
        self.assertGreaterEqual(len(cond), 3)
        self.assertEqual(self.asked("/busy.xml"), [""], "asked once, then left alone as Retry-After asks")
        self.assertEqual({label for _, _, label in self.app.items()}, items, "a 304 keeps the items")
        self.assertEqual(self.app.popups(), 0)

        with Polite.lock:
            Polite.version = 2
            Polite.items = [("second", "http://cond.example/2")] + Polite.items
        self.refresh()
        wait_for(lambda: any(label == "second" for _, _, label in self.app.items()), 20, 0.2, "the new item")
        wait_for(lambda: self.app.popups() == 1, 10, 0.2, "a popup for the change after the 304s")
