#!/usr/bin/env python3
"""Writes a UTF-16LE registry file (with byte-order mark) that makes Wine render Hangul:
Tahoma and the dialog fonts link to NanumGothic, and "굴림" is replaced by NanumGothic."""
import sys

LINK = "NanumGothic.ttf,NanumGothic"


def multi_sz(*items):
    data = "".join(i + "\0" for i in items) + "\0"
    raw = data.encode("utf-16-le")
    return "hex(7):" + ",".join(f"{b:02x}" for b in raw)


lines = [
    "Windows Registry Editor Version 5.00",
    "",
    r"[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]",
]
for face in ("Tahoma", "MS Shell Dlg", "MS Shell Dlg 2", "Microsoft Sans Serif", "MS Sans Serif"):
    lines.append(f'"{face}"={multi_sz(LINK)}')
lines += [
    "",
    r"[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]",
    '"굴림"="NanumGothic"',
    '"Gulim"="NanumGothic"',
    "",
]
sys.stdout.buffer.write(b"\xff\xfe" + "\r\n".join(lines).encode("utf-16-le"))
