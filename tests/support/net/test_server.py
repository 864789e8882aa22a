#!/usr/bin/env python3
"""A test server for the network tests, started by the test process itself.

usage: test_server.py --control-port N [--tls [--test-ca]]

Listens on 127.0.0.1 (a free port), plain HTTP or HTTPS with a self-signed certificate
made at start with openssl (--test-ca: one for "localhost" only, issued by a test CA whose
certificate is the first event, ca: pem), then connects to the test's control port on
127.0.0.1 and writes "PORT <n>". Every event is reported on that connection as one line of a flat JSON
object whose values are all hexadecimal UTF-8 (so the test needs no JSON parser):
  event=request: method, target, content_type, body_length, and for multipart bodies
    boundary, defects (comma separated), parts (count), and per part i: part<i>_content_type,
    part<i>_disposition, part<i>_name, part<i>_filename, part<i>_payload (the bytes)
  event=tls_error: reason (the TLS library's, or the exception's type name)
  event=no_request: stage (handshake or request), when a connection stayed silent
Every request is answered with 200 and "ok" (a target starting with "/feed": a small RSS
document). The server exits when the control
connection closes (the test ended, however it ended) or after a safety time limit.
"""
import argparse
import email.parser
import email.policy
import json
import os
import shutil
import socket
import ssl
import subprocess
import sys
import tempfile
import threading

FEED = b'<rss><channel><title>over TLS</title></channel></rss>'
LIFETIME_LIMIT = 300.0
SILENCE_TIMEOUT = 2.0


def make_certificate(folder):
    cert = os.path.join(folder, "cert.pem")
    key = os.path.join(folder, "key.pem")
    subprocess.run(
        ["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
         "-keyout", key, "-out", cert, "-subj", "/CN=localhost",
         "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1"],
        check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return cert, key


def make_ca_certificate(folder):
    """A test CA, and a certificate it issued for "localhost" alone: (cert, key, CA PEM)."""
    def run(*arguments):
        subprocess.run(["openssl", *arguments], check=True, cwd=folder,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    run("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-keyout", "ca.key", "-out", "ca.pem",
        "-subj", "/CN=pellora test CA", "-addext", "basicConstraints=critical,CA:TRUE")
    run("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "key.pem", "-out", "leaf.csr", "-subj", "/CN=localhost")
    with open(os.path.join(folder, "leaf.ext"), "w") as ext:
        ext.write("subjectAltName=DNS:localhost\nextendedKeyUsage=serverAuth\n")
    run("x509", "-req", "-in", "leaf.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial", "-days", "2",
        "-out", "cert.pem", "-extfile", "leaf.ext")
    with open(os.path.join(folder, "ca.pem")) as ca:
        return os.path.join(folder, "cert.pem"), os.path.join(folder, "key.pem"), ca.read()


def parse_multipart(content_type, body):
    """Parses the body with the standard library's MIME parser; the boundary is taken
    from the request's own Content-Type text, whatever separates it from the type."""
    marker = content_type.find("boundary=")
    if marker < 0:
        return None, [], ["no boundary"]
    boundary = content_type[marker + len("boundary="):].split(";")[0].split(",")[0].strip()
    raw = b"Content-Type: multipart/form-data; boundary=" + boundary.encode() + b"\r\n\r\n" + body
    message = email.parser.BytesParser(policy=email.policy.HTTP).parsebytes(raw)
    defects = [type(d).__name__ for d in message.defects]
    parts = []
    if message.is_multipart():
        for part in message.iter_parts():
            defects += [type(d).__name__ for d in part.defects]
            parts.append({
                "content_type": part.get("Content-Type", ""),
                "disposition": part.get("Content-Disposition", ""),
                "name": part.get_param("name", header="content-disposition") or "",
                "filename": part.get_filename() or "",
                "payload": part.get_payload(decode=True) or b"",
            })
    else:
        defects.append("not multipart")
    return boundary, parts, defects


def read_request(conn):
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = conn.recv(65536)
        if not chunk:
            return None
        data += chunk
    head, _, body = data.partition(b"\r\n\r\n")
    lines = head.decode("latin-1").split("\r\n")
    headers = {}
    for line in lines[1:]:
        name, _, value = line.partition(":")
        headers[name.strip().lower()] = value.strip()
    length = int(headers.get("content-length", "0") or 0)
    while len(body) < length:
        chunk = conn.recv(65536)
        if not chunk:
            break
        body += chunk
    return lines[0], headers, body


class Server:
    def __init__(self, control, tls_context):
        self.control = control
        self.tls_context = tls_context
        self.lock = threading.Lock()
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(16)

    def report(self, event):
        flat = {}
        for key, value in event.items():
            if key == "parts":
                flat["parts"] = str(len(value))
                for index, part in enumerate(value):
                    for name, text in part.items():
                        flat["part%d_%s" % (index, name)] = text
            elif key == "defects":
                flat["defects"] = ",".join(value)
            else:
                flat[key] = value
        encoded = {key: (value if isinstance(value, bytes) else str(value).encode()).hex()
                   for key, value in flat.items()}
        line = (json.dumps(encoded) + "\n").encode()
        with self.lock:
            try:
                self.control.sendall(line)
            except OSError:
                os._exit(0)

    def serve(self):
        while True:
            conn, _ = self.listener.accept()
            threading.Thread(target=self.handle, args=(conn,), daemon=True).start()

    def handle(self, conn):
        try:
            # A client that turns the certificate down may keep the connection open without
            # a word: Wine completes the handshake, checks the certificate afterwards and then
            # sends nothing. Waiting is bounded, and silence is reported.
            conn.settimeout(SILENCE_TIMEOUT)
            if self.tls_context is not None:
                try:
                    conn = self.tls_context.wrap_socket(conn, server_side=True)
                except socket.timeout:
                    self.report({"event": "no_request", "stage": "handshake"})
                    return
                except (ssl.SSLError, OSError) as error:
                    self.report({"event": "tls_error",
                                 "reason": getattr(error, "reason", None) or type(error).__name__})
                    return
            try:
                request = read_request(conn)
            except socket.timeout:
                request = None
            if request is None:
                self.report({"event": "no_request", "stage": "request"})
                return
            line, headers, body = request
            method, _, rest = line.partition(" ")
            event = {"event": "request", "method": method, "target": rest.rsplit(" ", 1)[0],
                     "content_type": headers.get("content-type", ""), "body_length": len(body)}
            if event["content_type"].lower().startswith("multipart/"):
                boundary, parts, defects = parse_multipart(event["content_type"], body)
                event.update(boundary=boundary, parts=parts, defects=defects)
            self.report(event)
            body = FEED if event["target"].startswith("/feed") else b"ok"
            conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: %d\r\n"
                         b"Connection: close\r\n\r\n%s" % (len(body), body))
        except OSError:
            pass
        finally:
            conn.close()


def main():
    arguments = argparse.ArgumentParser()
    arguments.add_argument("--control-port", type=int, required=True)
    arguments.add_argument("--tls", action="store_true")
    arguments.add_argument("--test-ca", action="store_true")
    options = arguments.parse_args()

    folder = tempfile.mkdtemp(prefix="pellora-test-server-")
    try:
        tls_context = None
        ca_pem = None
        if options.tls:
            if options.test_ca:
                cert, key, ca_pem = make_ca_certificate(folder)
            else:
                cert, key = make_certificate(folder)
            tls_context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            tls_context.load_cert_chain(cert, key)
    finally:
        shutil.rmtree(folder, ignore_errors=True)

    control = socket.create_connection(("127.0.0.1", options.control_port), timeout=10)
    control.settimeout(None)
    server = Server(control, tls_context)
    control.sendall(b"PORT %d\n" % server.listener.getsockname()[1])
    if ca_pem is not None:
        server.report({"event": "ca", "pem": ca_pem})

    # From here on nothing may hold the test's output open once the test has ended.
    null = os.open(os.devnull, os.O_RDWR)
    for fd in (0, 1, 2):
        os.dup2(null, fd)

    threading.Thread(target=server.serve, daemon=True).start()
    threading.Timer(LIFETIME_LIMIT, lambda: os._exit(0)).start()
    while True:
        try:
            if not control.recv(4096):
                break
        except OSError:
            break
    os._exit(0)


if __name__ == "__main__":
    sys.exit(main())
