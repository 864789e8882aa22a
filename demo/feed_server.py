#!/usr/bin/env python3
"""The demo's feed server: serves sample RSS channels on 127.0.0.1 and keeps them alive.

Every few seconds a new item appears in some channels (the oldest drops out), so pellora's
tree, ticker and popups have something to show. The same server runs the black-box and
soak tests, where channels can also rotate quickly, turn malformed, drop the connection
or answer slowly (see CHANNELS and the /control endpoints).

usage: feed_server.py [--port N] [--port-file F] [--interval S] [--seed N] [--control-port N]

With --control-port the server connects to that port on 127.0.0.1, reports "PORT <port>"
there, and ends as soon as that connection closes: a test that starts it from Wine (where
it has no handle on the process) cannot leave it running.
"""
import argparse
import http.server
import json
import random
import os
import socket
import socketserver
import threading
import time
from email.utils import formatdate
from xml.sax.saxutils import escape

KOREAN = [
    ("오늘의 날씨: 전국 맑고 포근", "날씨"),
    ("서울 지하철 새 노선 개통", "사회"),
    ("국내 연구진, 차세대 배터리 개발", "과학"),
    ("프로야구 개막전 매진 행렬", "스포츠"),
    ("겨울 축제, 주말 방문객 몰려", "문화"),
    ("환율 하락에 수출 기업 긴장", "경제"),
    ("도서관 야간 개방 시범 운영", "사회"),
    ("한강 공원 산책로 새 단장", "생활"),
    ("인공지능 번역기 성능 비교", "IT"),
    ("전통 시장 온라인 장보기 확대", "경제"),
]
ENGLISH = [
    ("Compiler release adds faster builds", "Software"),
    ("New telescope images of a distant galaxy", "Science"),
    ("City council approves bike lanes", "Local"),
    ("Open data portal reaches a million downloads", "Tech"),
    ("Marathon record falls in cold weather", "Sports"),
    ("Museum opens a hall of old computers", "Culture"),
    ("Rail strike ends after talks", "Business"),
    ("Recipe: apple pie with a crisp crust", "Food"),
]


class Channel:
    def __init__(self, name, title, encoding, pool, grows, start=6, style="plain"):
        self.name, self.title, self.encoding, self.pool = name, title, encoding, pool
        self.grows, self.style = grows, style
        self.items = []
        self.serial = 0
        self.mode = "ok"  # ok | malformed | drop | slow | empty | notfound
        for _ in range(start):
            self.add()

    def add(self):
        text, category = self.pool[self.serial % len(self.pool)]
        self.serial += 1
        self.items.insert(0, {"n": self.serial, "title": f"{text} #{self.serial}", "category": category,
                              "date": formatdate(usegmt=True)})
        del self.items[20:]

    def document(self, host):
        out = [f'<?xml version="1.0" encoding="{self.encoding}"?>\n']
        out.append('<rss version="2.0">\n<channel>\n')
        out.append(f"<title>{escape(self.title)}</title>\n<link>http://{host}/</link>\n")
        out.append("<description>pellora demo channel</description>\n")
        for it in self.items:
            link = f"http://{host}/{self.name}/article/{it['n']}"
            title = escape(it["title"])
            if self.style == "cdata":
                title = f"<![CDATA[{it['title']}]]>"
            elif self.style == "entities":
                title = escape(it["title"]).replace("'", "&#39;").replace("#", "&#35;")
            out.append("<item>\n")
            out.append(f"  <title>{title}</title>\n  <link>{escape(link)}</link>\n")
            out.append(f"  <category>{escape(it['category'])}</category>\n")
            out.append(f"  <pubDate>{it['date']}</pubDate>\n")
            out.append(f"  <description><![CDATA[<p>{escape(it['title'])}</p>]]></description>\n")
            out.append("</item>\n")
        out.append("</channel>\n</rss>\n")
        return "".join(out).encode(self.encoding)


def make_channels():
    return {
        "korea": Channel("korea", "한국 뉴스 (EUC-KR)", "euc-kr", KOREAN, grows=True),
        "world": Channel("world", "World News", "utf-8", ENGLISH, grows=True, style="entities"),
        "blog": Channel("blog", "개발 블로그 & Notes", "utf-8", list(reversed(KOREAN + ENGLISH)), grows=False,
                        style="cdata"),
    }


class State:
    def __init__(self, interval, seed):
        self.lock = threading.Lock()
        self.channels = make_channels()
        self.interval = interval
        self.requests = {}
        self.random = random.Random(seed)

    def tick(self):
        with self.lock:
            for ch in self.channels.values():
                if ch.grows:
                    ch.add()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "pellora-demo/1"

    def log_message(self, fmt, *args):  # quiet unless asked
        if self.server.verbose:
            super().log_message(fmt, *args)

    def send_body(self, status, body, ctype="text/xml"):
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        state = self.server.state
        path = self.path.split("?")[0].strip("/")
        parts = path.split("/")
        with state.lock:
            state.requests[parts[0]] = state.requests.get(parts[0], 0) + 1
        if parts[0] == "control":
            return self.control(parts[1:])
        name = parts[0][:-4] if parts[0].endswith(".xml") else None
        with state.lock:
            channel = state.channels.get(name) if name else None
            if channel is None:
                return self.send_body(404, b"<html><body>not found</body></html>", "text/html")
            mode = channel.mode
            body = channel.document(self.headers.get("Host", "127.0.0.1"))
        if mode == "notfound":
            return self.send_body(404, b"<html><body>gone</body></html>", "text/html")
        if mode == "empty":
            return self.send_body(200, b"")
        if mode == "malformed":
            return self.send_body(200, body[: len(body) // 2] + b"<</item>")
        if mode == "drop":
            self.send_response(200)
            self.send_header("Content-Type", "text/xml")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body[: len(body) // 3])
            self.wfile.flush()
            self.close_connection = True
            return
        if mode == "slow":
            time.sleep(2)
        self.send_body(200, body)

    def control(self, parts):
        """Test hooks: /control/add/<ch>, /control/mode/<ch>/<mode>, /control/rotate/<ch>/<n>, /control/stats."""
        state = self.server.state
        with state.lock:
            if parts[:1] == ["add"] and parts[1] in state.channels:
                state.channels[parts[1]].add()
            elif parts[:1] == ["mode"] and parts[1] in state.channels:
                state.channels[parts[1]].mode = parts[2]
            elif parts[:1] == ["rotate"] and parts[1] in state.channels:
                for _ in range(int(parts[2])):
                    state.channels[parts[1]].add()
            elif parts[:1] != ["stats"]:
                return self.send_body(400, b"bad control request", "text/plain")
            stats = {"requests": state.requests,
                     "items": {k: [i["n"] for i in v.items] for k, v in state.channels.items()}}
        self.send_body(200, json.dumps(stats).encode(), "application/json")


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--port-file")
    ap.add_argument("--interval", type=float, default=8.0, help="seconds between new items (0: never)")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--verbose", action="store_true")
    ap.add_argument("--control-port", type=int)
    args = ap.parse_args()
    server = Server(("127.0.0.1", args.port), Handler)
    server.state = State(args.interval, args.seed)
    server.verbose = args.verbose
    port = server.server_address[1]
    if args.port_file:
        with open(args.port_file, "w") as f:
            f.write(str(port))
    print(f"feed server on http://127.0.0.1:{port}/", flush=True)
    if args.control_port:
        control = socket.create_connection(("127.0.0.1", args.control_port), timeout=20)
        control.sendall(f"PORT {port}\n".encode())

        def lifeline():
            control.settimeout(None)
            try:
                while control.recv(1024):
                    pass
            finally:
                os._exit(0)
        threading.Thread(target=lifeline, daemon=True).start()
    if args.interval > 0:
        def grow():
            while True:
                time.sleep(args.interval)
                server.state.tick()
        threading.Thread(target=grow, daemon=True).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
