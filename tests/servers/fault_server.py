#!/usr/bin/env python3
"""An HTTP server that misbehaves on demand, for the installer's transfer tests.

Files come from --root. The first path components choose the behaviour:

  /plain/<file>            honours Range as a publisher's server does (206, 416)
  /drop/<n>/<file>         honours Range, announces the full length, sends n body
                           bytes and closes the connection
  /norange/<file>          ignores Range: 200 with the whole body
  /nolength/<file>         honours Range, sends no Content-Length, closes after the body
  /status/<code>/<file>    answers <code> with the file as body
  /stall/<n>/<s>/<file>    honours Range, sends n body bytes, waits s seconds,
                           then sends the rest

Every request's line and headers are appended to --log, one block per request:
"=== <path>" then the request line and header lines as received, then a blank line.
"""
import argparse
import os
import socket
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    root = "."
    log_path = None
    log_lock = threading.Lock()

    def log_message(self, fmt, *args):  # keep stderr quiet
        pass

    def record(self):
        lines = [self.requestline] + [f"{k}: {v}" for k, v in self.headers.items()]
        with self.log_lock, open(self.log_path, "a", encoding="latin-1") as log:
            log.write("=== " + self.path + "\n" + "\n".join(lines) + "\n\n")

    def body_of(self, relative):
        path = os.path.normpath(os.path.join(self.root, relative))
        if not path.startswith(os.path.abspath(self.root) + os.sep) or not os.path.isfile(path):
            return None
        with open(path, "rb") as f:
            return f.read()

    def range_start(self):
        value = self.headers.get("Range", "")
        if value.startswith("bytes=") and value.endswith("-"):
            try:
                return int(value[6:-1])
            except ValueError:
                return None
        return None

    def send(self, status, body, length=True, close=False, extra=()):
        self.send_response(status)
        for k, v in extra:
            self.send_header(k, v)
        if length:
            self.send_header("Content-Length", str(len(body)))
        if close or not length:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()

    def ranged(self, data):
        """Status, body and extra headers for a request that honours Range."""
        start = self.range_start()
        if start is None:
            return 200, data, ()
        if start >= len(data):
            return 416, b"", (("Content-Range", f"bytes */{len(data)}"),)
        return 206, data[start:], (("Content-Range", f"bytes {start}-{len(data) - 1}/{len(data)}"),)

    def do_GET(self):
        self.record()
        parts = self.path.lstrip("/").split("/")
        mode = parts[0]
        try:
            if mode == "plain":
                self.serve_ranged(parts[1:])
            elif mode == "drop":
                self.serve_ranged(parts[2:], first=int(parts[1]), drop=True)
            elif mode == "stall":
                self.serve_ranged(parts[3:], first=int(parts[1]), pause=float(parts[2]))
            elif mode == "norange":
                data = self.need("/".join(parts[1:]))
                if data is not None:
                    self.send(200, data)
                    self.wfile.write(data)
            elif mode == "nolength":
                data = self.need("/".join(parts[1:]))
                if data is not None:
                    status, body, extra = self.ranged(data)
                    self.send(status, body, length=False, extra=extra)
                    self.wfile.write(body)
            elif mode == "status":
                data = self.body_of("/".join(parts[2:]))
                data = b"" if data is None else data
                self.send(int(parts[1]), data)
                self.wfile.write(data)
            else:
                self.send(404, b"no such behaviour\n")
                self.wfile.write(b"no such behaviour\n")
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True

    def need(self, relative):
        data = self.body_of(relative)
        if data is None:
            self.send(404, b"not found\n")
            self.wfile.write(b"not found\n")
        return data

    def serve_ranged(self, parts, first=None, drop=False, pause=0.0):
        data = self.need("/".join(parts))
        if data is None:
            return
        status, body, extra = self.ranged(data)
        self.send(status, body, close=drop, extra=extra)
        if first is None:
            self.wfile.write(body)
            return
        self.wfile.write(body[:first])
        self.wfile.flush()
        if drop:
            # Cut the connection without finishing the body.
            self.connection.shutdown(socket.SHUT_RDWR)
            self.close_connection = True
            return
        time.sleep(pause)
        self.wfile.write(body[first:])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--root", required=True)
    parser.add_argument("--log", required=True)
    args = parser.parse_args()
    Handler.root = os.path.abspath(args.root)
    Handler.log_path = args.log
    server = ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    server.daemon_threads = True
    print(f"fault server on 127.0.0.1:{args.port}", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
