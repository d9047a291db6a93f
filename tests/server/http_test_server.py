#!/usr/bin/env python3
"""A loopback HTTP server for the request tests.

`start --state DIR` starts it in the background on a free port of 127.0.0.1 and writes the port to
DIR/port and its process id to DIR/pid; `stop --state DIR` ends that process. `serve` runs it in the
foreground.

Paths choose the answer:
  /echo...              200; the body is the request exactly as received: request line, header
                        lines, an empty line, then the request body
  http://HOST/...       (an absolute URI, as a proxy receives it) the same echo
  /status/N             status N with a short text body
  /redirect             302 to /echo?redirected=1
  /cookies              200 with two Set-Cookie headers
  /stall-headers?s=N    waits N seconds before answering
  /stall-body?s=N       sends the headers and part of the body, waits N seconds, sends the rest
"""

import argparse
import http.server
import os
import signal
import socketserver
import subprocess
import sys
import time
import urllib.parse


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, format, *args):  # keep test output quiet
        pass

    def _body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length > 0 else b""

    def _answer(self, status, body, headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def _echo(self, body):
        head = self.requestline + "\r\n"
        head += "".join(f"{name}: {value}\r\n" for name, value in self.headers.items())
        self._answer(200, head.encode("latin-1") + b"\r\n" + body,
                     [("Content-Type", "application/octet-stream")])

    def _handle(self):
        body = self._body()
        url = urllib.parse.urlsplit(self.path)
        seconds = float(urllib.parse.parse_qs(url.query).get("s", ["0"])[0])
        if self.path.startswith("http://") or url.path.startswith("/echo"):
            self._echo(body)
        elif url.path.startswith("/status/"):
            status = int(url.path.rsplit("/", 1)[1])
            self._answer(status, f"status {status} for {url.path}".encode())
        elif url.path == "/redirect":
            self._answer(302, b"moved", [("Location", "/echo?redirected=1")])
        elif url.path == "/cookies":
            self._answer(200, b"cookies set",
                         [("Set-Cookie", "s1=v1; Path=/"), ("Set-Cookie", "s2=v2; HttpOnly")])
        elif url.path == "/stall-headers":
            time.sleep(seconds)
            self._answer(200, b"late")
        elif url.path == "/stall-body":
            self.send_response(200)
            self.send_header("Content-Length", "10")
            self.end_headers()
            self.wfile.write(b"01234")
            self.wfile.flush()
            time.sleep(seconds)
            self.wfile.write(b"56789")
        else:
            self._answer(404, b"no such test path")

    do_GET = do_POST = do_PUT = do_HEAD = do_OPTIONS = do_DELETE = do_PATCH = _handle


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def serve(state):
    server = Server(("127.0.0.1", 0), Handler)
    if state:
        with open(os.path.join(state, "port.tmp"), "w") as f:
            f.write(str(server.server_address[1]))
        os.replace(os.path.join(state, "port.tmp"), os.path.join(state, "port"))
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    server.serve_forever()


def start(state):
    os.makedirs(state, exist_ok=True)
    stop(state)
    # The server gets none of our output streams: CTest waits until every holder closes them.
    with open(os.path.join(state, "server.log"), "ab") as log:
        process = subprocess.Popen([sys.executable, __file__, "serve", "--state", state],
                                   stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                   start_new_session=True)
    with open(os.path.join(state, "pid"), "w") as f:
        f.write(str(process.pid))
    for _ in range(100):
        if os.path.exists(os.path.join(state, "port")):
            return 0
        time.sleep(0.05)
    print("the test server did not start", file=sys.stderr)
    return 1


def stop(state):
    try:
        with open(os.path.join(state, "pid")) as f:
            os.kill(int(f.read()), signal.SIGTERM)
    except (OSError, ValueError):
        pass
    for name in ("pid", "port"):
        try:
            os.remove(os.path.join(state, name))
        except OSError:
            pass
    return 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("action", choices=["start", "stop", "serve"])
    parser.add_argument("--state", default="")
    args = parser.parse_args()
    if args.action == "serve":
        serve(args.state)
        return 0
    return start(args.state) if args.action == "start" else stop(args.state)


if __name__ == "__main__":
    sys.exit(main())
