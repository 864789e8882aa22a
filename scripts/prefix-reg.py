#!/usr/bin/env python3
"""Writes the UTF-16LE registry file (with byte-order mark) that sets up a Wine prefix:
- Hangul renders: Tahoma and the dialog fonts link to NanumGothic, "굴림" is replaced by it;
- every program runs in one virtual desktop with a taskbar, so the notification area is
  real (without one, each Shell_NotifyIconW call waits about two seconds for a tray);
- the screen's DPI (Wine's LogPixels) is the second argument, 96 when absent."""
import sys

# Wine looks up the links of a bold face under "<family> Bold": both names get both files.
LINKS = ("NanumGothic.ttf,NanumGothic", "NanumGothicBold.ttf,NanumGothic")


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
    lines.append(f'"{face}"={multi_sz(*LINKS)}')
    lines.append(f'"{face} Bold"={multi_sz(*LINKS)}')

def logfont(face, height=-11, weight=700):
    """A LOGFONTW as the registry's window metrics hold it (92 bytes)."""
    import struct
    raw = struct.pack("<lllll8B", height, 0, 0, 0, weight, 0, 0, 0, 1, 0, 0, 0, 0)
    raw += face.encode("utf-16-le").ljust(64, b"\0")
    return "hex:" + ",".join(f"{b:02x}" for b in raw)


lines += [
    "",
    # Captions are drawn with the Hangul font itself (its Latin letters match the rest).
    r"[HKEY_CURRENT_USER\Control Panel\Desktop\WindowMetrics]",
    f'"CaptionFont"={logfont("NanumGothic")}',
    f'"SmCaptionFont"={logfont("NanumGothic")}',
    "",
    r"[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]",
    '"굴림"="NanumGothic"',
    '"Gulim"="NanumGothic"',
    "",
    r"[HKEY_CURRENT_USER\Software\Wine\Explorer]",
    '"Desktop"="Default"',
    "",
    r"[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]",
    f'"Default"="{sys.argv[1] if len(sys.argv) > 1 else "1280x1024"}"',
    "",
]
dpi = int(sys.argv[2]) if len(sys.argv) > 2 else 96
lines += [
    r"[HKEY_CURRENT_USER\Control Panel\Desktop]",
    f'"LogPixels"=dword:{dpi:08x}',
    "",
    r"[HKEY_CURRENT_CONFIG\Software\Fonts]",
    f'"LogPixels"=dword:{dpi:08x}',
    "",
]
sys.stdout.buffer.write(b"\xff\xfe" + "\r\n".join(lines).encode("utf-16-le"))
