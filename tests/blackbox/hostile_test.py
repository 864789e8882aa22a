"""Black-box test of what hostile servers send: the real pellora.exe under Wine against a
server of this test's own that trickles, floods and serves a document built to make a
reader's memory grow with the square of its length. One ctest entry."""
import http.server
import os
import sys
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pellora_driver import IDM_REFRESH, Pellora, ctl, wait_for, write_ini  # noqa: E402

FLOOD = 20000


def rss(title, items):
    body = "".join(f"<item><title>{t}</title><link>{link}</link></item>" for t, link in items)
    return f'<?xml version="1.0" encoding="utf-8"?><rss><channel><title>{title}</title>{body}</channel></rss>'.encode()


class Hostile(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    ordinary = ["first"]

    def log_message(self, *args):
        pass

    def send_document(self, data):
        self.send_response(200)
        self.send_header("Content-Type", "text/xml")
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(data)

    def do_GET(self):
        if self.path == "/trickle.xml":
            # The answer's head one byte every second, for longer than any test runs.
            head = b"HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\n" + b"X-Slow: " + b"x" * 400 + b"\r\n\r\n"
            for byte in head:
                if self.server.stopping:
                    return
                self.wfile.write(bytes([byte]))
                self.wfile.flush()
                time.sleep(1)
        elif self.path == "/square.xml":
            self.send_document(b'<rss><channel><item x="' + b"/>" * 16000)
        elif self.path == "/flood.xml":
            self.send_document(rss("flood", [(f"f{i}", f"http://flood.example/{i}") for i in range(FLOOD)]))
        else:
            self.send_document(rss("ordinary", [(t, f"http://ordinary.example/{t}") for t in Hostile.ordinary]))


class HostileServers(unittest.TestCase):
    def setUp(self):
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Hostile)
        self.server.daemon_threads = True
        self.server.stopping = False
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.app = Pellora()
        self.addCleanup(self.cleanup)

    def cleanup(self):
        self.server.stopping = True
        self.app.kill()
        self.server.shutdown()

    def url(self, path):
        return f"http://127.0.0.1:{self.server.server_address[1]}/{path}"

    def count(self):
        """The tree's entries; None while the window is busy (inserting the flood holds it
        for seconds under Wine) and does not answer within pctl's 5 s."""
        rc, out = ctl("tree-count")
        return int(out) if rc == 0 else None

    def memory_mb(self, field):
        """VmHWM (the peak) or VmRSS of the process, read from outside: Wine answers the
        memory questions of another process with zeros."""
        with open(f"/proc/{self.app.proc.pid}/status") as status:
            for line in status:
                if line.startswith(field + ":"):
                    return int(line.split()[1]) / 1024
        self.fail(f"no {field} for the process")

    def test_trickle_square_and_flood_ahead_of_an_ordinary_channel(self):
        write_ini(self.app.ini, {
            "CONFIG": {"RSS_TIMER": "10", "UPDATE_SERVER": "127.0.0.1:9"},
            "CONFIG\\a0000001": {"URL": self.url("trickle.xml")},
            "CONFIG\\a0000002": {"URL": self.url("square.xml")},
            "CONFIG\\a0000003": {"URL": self.url("flood.xml")},
            "CONFIG\\a0000004": {"URL": self.url("ordinary.xml")},
        })
        self.app.start()
        # Four channels, the flood and the ordinary item.
        wait_for(lambda: self.count() == 4 + FLOOD + 1, 170, 1.0, "the channels behind the trickle")
        peak = self.memory_mb("VmHWM")  # the most the process ever held
        print(f"peak resident memory {peak:.0f} MB, now {self.memory_mb('VmRSS'):.0f} MB", file=sys.stderr)
        self.assertLess(peak, 120, "memory stays bounded (a square-law parse of that document alone takes about 250 MB)")

        # The next refresh comes as usual (the stalled address is not asked again while its
        # download is still held) and brings the ordinary channel's new item.
        Hostile.ordinary.append("second")
        ctl("command", IDM_REFRESH)
        wait_for(lambda: self.count() == 4 + FLOOD + 2, 60, 1.0, "the ordinary channel's next item")
        self.assertLess(self.memory_mb("VmHWM"), 120)
