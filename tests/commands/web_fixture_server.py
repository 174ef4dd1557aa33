#!/usr/bin/python3
"""Serves a folder over HTTP (or HTTPS) on a loopback address for the
shortcut-icon tests.

Usage: web_fixture_server.py ROOT BIND PORT LOG [CERT KEY]
Prints "PORT <n>" once listening. Appends "<path> <user-agent> <host>" to LOG
for every request before answering. Besides the files under ROOT:
  /hang/...         never answers
  /r/N/PATH         redirects N times, then to /PATH
  /to?URL           redirects to URL (percent-encoded), whatever its scheme
  /gz/PATH          the file PATH, sent gzip-encoded
  /status/N/PATH    the file PATH with status N
  /endless/...      a page sent in chunks that never ends
  /bomb/...         a gzip-encoded page that inflates to 256 MiB
A file FILE.type beside FILE holds the Content-Type to send with it. A missing
file is a 404 with an HTML body.
"""
import gzip
import http.server
import os
import ssl
import sys
import time
import urllib.parse
import zlib

root, bind, port, log = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
tls = sys.argv[5:7]


def bomb():
    if not hasattr(bomb, "data"):
        z = zlib.compressobj(9, zlib.DEFLATED, 31)
        parts = [z.compress(b"<html><head><title>x</title>")]
        block = b" " * (1 << 20)
        parts += [z.compress(block) for _ in range(256)]
        parts.append(z.flush())
        bomb.data = b"".join(parts)
    return bomb.data


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def send(self, status, body, headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        with open(log, "a") as f:
            f.write("%s %s %s\n" % (self.path, self.headers.get("User-Agent", ""), self.headers.get("Host", "")))
        split = urllib.parse.urlsplit(self.path)
        path = urllib.parse.unquote(split.path)
        parts = path.split("/", 3)
        if path.startswith("/hang/"):
            time.sleep(60)
            return
        if path == "/to":
            return self.send(302, b"", [("Location", urllib.parse.unquote(split.query))])
        if len(parts) == 4 and parts[1] == "r":
            n = int(parts[2])
            target = "/r/%d/%s" % (n - 1, parts[3]) if n > 1 else "/" + parts[3]
            return self.send(302, b"", [("Location", target)])
        if path.startswith("/endless/"):
            self.send_response(200)
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            chunk = b" " * 65536
            frame = b"%x\r\n%s\r\n" % (len(chunk), chunk)
            self.wfile.write(b"c\r\n<html><head>\r\n")
            if "huge" in path:
                self.wfile.write(b"%x\r\n" % (1 << 40))
                frame = chunk
            deadline = time.time() + 60
            try:
                while time.time() < deadline:
                    self.wfile.write(frame)
            except OSError:
                pass
            self.close_connection = True
            return
        if path.startswith("/bomb/"):
            return self.send(200, bomb(), [("Content-Encoding", "gzip")])
        status, headers = 200, []
        if len(parts) == 4 and parts[1] == "status":
            status, path = int(parts[2]), "/" + parts[3]
        elif len(parts) >= 3 and parts[1] == "gz":
            path = "/" + path.split("/", 2)[2]
            headers = [("Content-Encoding", "gzip")]
        file = os.path.join(root, path.lstrip("/"))
        if not os.path.isfile(file):
            return self.send(404, b"<html><head><title>Not found</title></head></html>")
        with open(file, "rb") as f:
            body = f.read()
        if headers:
            body = gzip.compress(body)
        if os.path.isfile(file + ".type"):
            with open(file + ".type") as f:
                headers.append(("Content-Type", f.read().strip()))
        self.send(status, body, headers)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True


server = Server((bind, port), Handler)
if tls:
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(tls[0], tls[1])
    server.socket = context.wrap_socket(server.socket, server_side=True)
print("PORT %d" % server.server_address[1], flush=True)
server.serve_forever()
