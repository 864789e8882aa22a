"""Black-box test of the polite fetch with the real pellora.exe and this test's own server.
One ctest entry."""
import gzip
import http.server
import os
import sys
import threading
import unittest
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pellora_driver import IDM_REFRESH, Pellora, ctl, wait_for, write_ini  # noqa: E402


def rss(title, *items):
    body = "".join(f"<item><title>{t}</title><link>http://{t}.example/</link></item>" for t in items)
    return f"<rss><channel><title>{title}</title>{body}</channel></rss>".encode()


def raw_deflate(data):
    squeeze = zlib.compressobj(wbits=-15)
    return squeeze.compress(data) + squeeze.flush()


class Server(http.server.BaseHTTPRequestHandler):
    lock = threading.Lock()
    asked = {}  # path -> the If-None-Match of each request
    cond = [b'"v1"', rss("Conditional", "first")]

    def log_message(self, *args):
        pass

    def do_GET(self):
        with Server.lock:
            Server.asked.setdefault(self.path, []).append(self.headers.get("If-None-Match", ""))
            etag, doc = Server.cond
        status, headers, body = 200, {}, doc
        if self.path == "/cond":
            headers["ETag"] = etag.decode()
            if self.headers.get("If-None-Match") == headers["ETag"]:
                status, body = 304, b""
        elif self.path == "/gzip":  # a server that sends compressed answers only
            status, body = (200, gzip.compress(rss("Gzip", "squeezed"))) if "gzip" in self.headers.get(
                "Accept-Encoding", "") else (406, b"")
            headers["Content-Encoding"] = "gzip"
        elif self.path == "/deflate":
            headers["Content-Encoding"], body = "deflate", raw_deflate(rss("Deflate", "flat"))
        elif self.path == "/charset":  # undeclared windows-1252: not UTF-8, so CP949 without the header
            headers["Content-Type"], body = "text/xml; charset=windows-1252", rss("Charset", "caf\u00e9").decode().encode("cp1252")
        elif self.path == "/busy":
            status, headers["Retry-After"], body = 429, "3600", b"<html>slow down</html>"
        elif self.path == "/lying":  # gzip named, plain text sent: no document, no crash
            headers["Content-Encoding"], body = "gzip", rss("Lying", "never")
        elif self.path == "/unconditional304":
            status, body = 304, b""
        elif self.path == "/bigetag":  # not kept: the next request asks in full again
            headers["ETag"], body = '"' + "e" * 100000 + '"', rss("Big ETag", "big")
        elif self.path == "/broken":  # validators of a document that cannot be read are not kept
            headers["ETag"], body = '"b"', b"<rss><channel><item>"
        self.send_response(status)
        for name, value in headers.items():
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


class PoliteFetch(unittest.TestCase):
    PATHS = ["busy", "cond", "gzip", "deflate", "lying", "unconditional304", "bigetag", "broken", "charset"]

    def setUp(self):
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Server)
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.app = Pellora()
        self.addCleanup(lambda: (self.app.kill(), self.server.shutdown()))

    def asked(self, path):
        with Server.lock:
            return list(Server.asked.get("/" + path, []))

    def refresh(self):
        """One more run (a command that arrives while a run is going is ignored)."""
        before = len(self.asked("cond"))
        wait_for(lambda: len(self.asked("cond")) > before or ctl("command", IDM_REFRESH, check=True) and False,
                 30, 1.0, "a refresh")
        wait_for(lambda: len(self.asked("charset")) == len(self.asked("cond")), 10, 0.2, "the end of the run")

    def test_unchanged_feeds_are_asked_conditionally_compressed_and_throttled_ones_wait(self):
        port = self.server.server_address[1]
        sections = {"CONFIG": {"RSS_TIMER": "3600", "UPDATE_SERVER": "127.0.0.1:9"}}
        for i, path in enumerate(self.PATHS):
            sections[f"CONFIG\\p000000{i}"] = {"URL": f"http://127.0.0.1:{port}/{path}", "NOTI": "1"}
        write_ini(self.app.ini, sections)
        self.app.start()  # RSS_TIMER is an hour: the runs are the one at start and those asked for
        for _ in range(3):
            self.refresh()
        items = {label for _, _, label in self.app.items()}
        self.assertEqual(items, {"first", "squeezed", "flat", "big", "caf\u00e9"})
        cond = self.asked("cond")
        self.assertEqual(cond, [""] + ['"v1"'] * (len(cond) - 1), "asked in full once, then conditionally")
        self.assertEqual(self.asked("bigetag") + self.asked("broken"), [""] * 2 * len(cond))
        self.assertEqual(self.asked("busy"), [""], "asked once, then left alone as Retry-After asks")
        self.assertEqual(self.app.popups(), 0)

        with Server.lock:
            Server.cond = [b'"v2"', rss("Conditional", "second", "first")]
        self.refresh()
        wait_for(lambda: self.app.popups() == 1, 10, 0.2, "a popup for the change after the 304s")
        self.assertIn("second", {label for _, _, label in self.app.items()})
