#!/usr/bin/env python3
"""Writes the demo profile: a UTF-16 pellora.ini that subscribes to the demo feed server.

usage: make_profile.py PORT PATH
One channel (the Korean one) has notifications on and pins popups that mention a festival
("축제"); the others scroll through the ticker only. The refresh interval is the shortest
the program allows.
"""
import sys

port, path = sys.argv[1], sys.argv[2]
base = f"http://127.0.0.1:{port}"
lines = [
    "[CONFIG]", "RSS_TIMER=10", "RSS_TICKER=1", "INTERNAL=0", "",
    "[CONFIG\\1a2b3c4d]", f"URL={base}/korea.xml", "NOTI=1", "KEYWORD=축제", "TICKER=1", "EXPAND=1", "",
    "[CONFIG\\2b3c4d5e]", f"URL={base}/world.xml", "NOTI=0", "TICKER=1", "EXPAND=1", "",
    "[CONFIG\\3c4d5e6f]", f"URL={base}/blog.xml", "NOTI=0", "TICKER=1", "EXPAND=0", "",
    "[WINDOW]", "MAIN_CX=320", "MAIN_CY=420", "",
]
with open(path, "wb") as f:
    f.write(b"\xff\xfe" + "\r\n".join(lines).encode("utf-16-le"))
