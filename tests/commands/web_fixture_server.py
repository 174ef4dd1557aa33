#!/usr/bin/python3
"""Serves a folder over HTTP on a loopback address for the shortcut-icon tests.

Usage: web_fixture_server.py ROOT BIND PORT LOG
Prints "PORT <n>" once listening. Appends "<path> <user-agent>" to LOG for
every request before answering. /hang/... never answers; /r/N/PATH redirects
N times to /PATH.
"""
import http.server
import os
import sys
import time
import urllib.parse

root, bind, port, log = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_GET(self):
        with open(log, "a") as f:
            f.write("%s %s\n" % (self.path, self.headers.get("User-Agent", "")))
        path = urllib.parse.unquote(urllib.parse.urlsplit(self.path).path)
        if path.startswith("/hang/"):
            time.sleep(60)
            return
        parts = path.split("/", 3)
        if len(parts) == 4 and parts[1] == "r":
            n = int(parts[2])
            target = "/r/%d/%s" % (n - 1, parts[3]) if n > 1 else "/" + parts[3]
            self.send_response(302)
            self.send_header("Location", target)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        file = os.path.join(root, path.lstrip("/"))
        if not os.path.isfile(file):
            self.send_error(404)
            return
        with open(file, "rb") as f:
            body = f.read()
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True


server = Server((bind, port), Handler)
print("PORT %d" % server.server_address[1], flush=True)
server.serve_forever()
