"""Black-box test of the feed formats and encodings the real pellora.exe reads: Atom,
RSS 1.0, RSS 0.91 with a document type declaration, Latin-1, windows-1252, and undeclared
UTF-8 and CP949, each served as bytes by this test's own server. One ctest entry."""
import http.server
import os
import sys
import threading
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pellora_driver import Pellora, wait_for, write_ini  # noqa: E402

FEEDS = {
    "atom.xml": ('<?xml version="1.0" encoding="utf-8"?><feed xmlns="http://www.w3.org/2005/Atom">'
                 '<title type="html">Atom &amp;lt;b&amp;gt;Log&amp;lt;/b&amp;gt;</title>'
                 '<link rel="self" href="http://atom.example/feed"/>'
                 '<entry><title>Caf&#xE9; &#x2014; first</title><link rel="edit" href="http://atom.example/edit/1"/>'
                 '<link href="http://atom.example/1"/></entry></feed>').encode("utf-8"),
    "rdf.xml": ('<rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#" xmlns="http://purl.org/rss/1.0/">'
                '<channel><title>RDF Channel</title></channel>'
                '<item><title>RDF item &mdash; one</title><link>http://rdf.example/1</link></item></rdf:RDF>').encode(),
    "old.xml": ('<?xml version="1.0" encoding="ISO-8859-1"?>\n<!DOCTYPE rss PUBLIC "-//Netscape Communications//DTD '
                'RSS 0.91//EN" "http://my.netscape.com/publish/formats/rss-0.91.dtd">\n<rss version="0.91"><channel>'
                '<title>Old Latin</title><item><title>Cr\u00e8me br\u00fbl\u00e9e</title><link>http://old.example/1</link>'
                '</item></channel></rss>').encode("latin-1"),
    "cp1252.xml": ('<?xml version="1.0" encoding="windows-1252"?><rss><channel><title>Quotes</title><item>'
                   '<title>It\u2019s \u20ac5</title><link>http://w.example/1</link></item></channel></rss>').encode("cp1252"),
    "utf8.xml": ('<rss><channel><title>\ud55c\uae00 UTF-8</title><item><title>\ubc14\ub2e4</title>'
                 '<link>http://u.example/1</link></item></channel></rss>').encode("utf-8"),
    "cp949.xml": ('<rss><channel><title>\ud55c\uae00 CP949</title><item><title>\ud558\ub298</title>'
                  '<link>http://k.example/1</link></item></channel></rss>').encode("cp949"),
}


class Formats(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        data = FEEDS.get(self.path.lstrip("/"), b"")
        self.send_response(200 if data else 404)
        self.send_header("Content-Type", "text/xml")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)


class FeedFormats(unittest.TestCase):
    def setUp(self):
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Formats)
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.app = Pellora()
        self.addCleanup(self.cleanup)

    def cleanup(self):
        self.app.kill()
        self.server.shutdown()

    def test_every_format_and_encoding_reads_into_the_tree(self):
        port = self.server.server_address[1]
        sections = {"CONFIG": {"RSS_TIMER": "10", "UPDATE_SERVER": "127.0.0.1:9"},
                    "WINDOW": {"MAIN_CX": "600", "MAIN_CY": "600"}}
        for i, name in enumerate(FEEDS):
            sections[f"CONFIG\\f000000{i}"] = {"URL": f"http://127.0.0.1:{port}/{name}"}
        write_ini(self.app.ini, sections)
        self.app.start()
        wait_for(lambda: len(self.app.items()) == len(FEEDS), 40, 0.3, "an item of every feed")
        channels = {label for _, _, label in self.app.channels()}
        items = {label for _, _, label in self.app.items()}
        self.assertEqual(channels, {"Atom Log", "RDF Channel", "Old Latin", "Quotes", "한글 UTF-8", "한글 CP949"})
        self.assertEqual(items, {"Café — first", "RDF item — one", "Crème brûlée", "It’s €5", "바다", "하늘"})
