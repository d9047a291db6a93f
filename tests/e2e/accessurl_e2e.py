#!/usr/bin/env python3
"""End-to-end tests of the shipped program, driven as a user would drive it.

The test makes its own network and mount namespaces (so it needs root): loopback only, and a
private hosts file that maps the IP-echo host to 127.0.0.1. Inside, it starts a scripted echo
server on 127.0.0.1:80, a virtual display and, for the Windows program, a private Wine prefix,
runs the program, presses keys with xdotool and reads the clipboard with xclip. Where namespaces
cannot be made it reports a skip (exit code 77) with the reason.

Usage: accessurl_e2e.py --program PROGRAM [--launcher LAUNCHER] --artifacts DIR [--only NAME]
LAUNCHER runs PROGRAM (cmake/wine-run.sh for the Windows build); without it PROGRAM runs itself
(the Linux build).
"""

import argparse
import http.server
import os
import shutil
import signal
import socket
import socketserver
import struct
import subprocess
import sys
import tempfile
import threading
import time
import traceback

SKIP = 77
ECHO_HOST = "ifconfig.me"
PLACEHOLDER = "获取中..."
FAILURE_TEXT = "获取公网地址失败"
NOTHING_COPIED = "(nothing copied yet)"
DEFAULT_HEADERS = {
    "Accept": "*/*",
    "Referer": "http://ifconfig.me/ip",
    "Accept-Language": "zh-cn",
    "User-Agent": "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)",
}


# ---------------------------------------------------------------------------------------------
# The scripted IP-echo server


class EchoServer:
    """Answers every request with the scripted `answer`; records each request."""

    def __init__(self, status=200, body=b"", stall_seconds=0.0):
        self.status = status
        self.body = body
        self.stall_seconds = stall_seconds
        self.requests = []
        self.released = threading.Event()  # ends any stall when the case is over
        echo = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *args):
                pass

            def do_GET(self):
                echo.requests.append((self.requestline, list(self.headers.items())))
                if echo.stall_seconds and echo.released.wait(echo.stall_seconds):
                    return
                self.send_response(echo.status)
                self.send_header("Content-Type", "text/plain; charset=utf-8")
                self.send_header("Content-Length", str(len(echo.body)))
                self.end_headers()
                self.wfile.write(echo.body)

        class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
            daemon_threads = True
            allow_reuse_address = True

        self.server = Server(("127.0.0.1", 80), Handler)
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.released.set()
        self.server.shutdown()
        self.server.server_close()


class NoServer:
    """Nothing listens on port 80: the connection is refused."""

    requests = []

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        pass


# ---------------------------------------------------------------------------------------------
# Driving the program


def run(*command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, **kwargs)


def wait_for(predicate, timeout, interval=0.1):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(interval)
    return predicate()


class Program:
    def __init__(self, launcher, program):
        command = [launcher, program] if launcher else [program]
        self.process = subprocess.Popen(command, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                        start_new_session=True)
        self.focus = "edit"
        self.window = wait_for(self._find_window, 60, 0.25)
        if not self.window:
            raise AssertionError("the program's window did not appear")

    def _find_window(self):
        found = run("xdotool", "search", "--onlyvisible", "--class", "accessurl").stdout.split()
        return found[0] if found else None

    def keys(self, *keys):
        run("xdotool", "windowfocus", "--sync", self.window)
        run("xdotool", "key", "--clearmodifiers", "--delay", "60", *keys)
        time.sleep(0.3)

    def type_text(self, text):
        run("xdotool", "windowfocus", "--sync", self.window)
        run("xdotool", "type", "--delay", "30", text)
        time.sleep(0.3)

    def copy(self):
        """Presses the Copy button from the keyboard: focus to the button, then space."""
        self.focus_button()
        self.keys("space")

    def focus_button(self):
        if self.focus == "edit":
            self.tab()

    def focus_edit(self):
        if self.focus == "button":
            self.tab()

    def tab(self):
        # Tab moves the focus between the edit box, which has it at start, and the button.
        self.keys("Tab")
        self.focus = "button" if self.focus == "edit" else "edit"

    def shown_text(self):
        """What the box shows, read through Copy; None when the copy did not happen, so that a
        clipboard left over from before is never taken for the answer."""
        set_clipboard(NOTHING_COPIED)
        self.copy()
        shown = clipboard()
        return None if shown == NOTHING_COPIED else shown

    def wait_until_resolved(self, timeout=30):
        def resolved():
            shown = self.shown_text()
            return shown if shown not in (None, PLACEHOLDER) else None
        return wait_for(resolved, timeout, 0.5)

    def exit_code(self, timeout):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def kill(self):
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait()


def clipboard():
    return run("xclip", "-o", "-selection", "clipboard").stdout


def set_clipboard(text):
    subprocess.run(["xclip", "-i", "-selection", "clipboard"], input=text.encode("utf-8"),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_for(lambda: clipboard() == text, 2)


# ---------------------------------------------------------------------------------------------
# The cases


def expect(condition, message):
    if not condition:
        raise AssertionError(message)


def url_for(address):
    return f"http://{address}:9600/static/web/index.html"


def check_request(server):
    expect(len(server.requests) == 1, f"one request expected, got {len(server.requests)}")
    request_line, headers = server.requests[0]
    expect(request_line == "GET /ip HTTP/1.1", f"request line {request_line!r}")
    for name, value in DEFAULT_HEADERS.items():
        got = [v for k, v in headers if k.lower() == name.lower()]
        expect(got == [value], f"header {name}: {got!r}")


def resolves_to(body, expected, status=200):
    def case(ctx):
        with EchoServer(status=status, body=body) as server:
            program = ctx.start()
            shown = program.wait_until_resolved()
            expect(shown == expected, f"shown {shown!r}, expected {expected!r}")
            check_request(server)
    return case


def refused_connection(ctx):
    with NoServer():
        program = ctx.start()
        shown = program.wait_until_resolved()
        expect(shown == FAILURE_TEXT, f"shown {shown!r}")


def copy_while_stalled(ctx):
    with EchoServer(body=b"203.0.113.7", stall_seconds=60):
        program = ctx.start()
        expect(program.shown_text() == PLACEHOLDER, "the placeholder is copied while waiting")


def copy_copies_typed_text(ctx):
    with EchoServer(body=b"203.0.113.7"):
        program = ctx.start()
        program.wait_until_resolved()
        program.focus_edit()
        program.keys("End", "shift+Home", "BackSpace")
        program.type_text("typed by hand")
        expect(program.shown_text() == "typed by hand", f"copied {clipboard()!r}")


def enter_copies_nothing(ctx):
    with EchoServer(body=b"203.0.113.7"):
        program = ctx.start()
        program.wait_until_resolved()
        set_clipboard("sentinel")
        program.focus_button()
        program.keys("Return")
        expect(clipboard() == "sentinel", f"Enter on the button copied {clipboard()!r}")
        program.keys("space")  # still on the button: this copies
        expect(clipboard() == url_for("203.0.113.7"), "Enter moved the focus off the button")
        set_clipboard("sentinel")
        program.focus_edit()
        program.keys("Return")
        expect(clipboard() == "sentinel", f"Enter in the edit box copied {clipboard()!r}")
        program.keys("space")  # still in the edit box: this types a space
        expect(clipboard() == "sentinel", "Enter moved the focus off the edit box")


def escape_exits_with_zero(ctx):
    with EchoServer(body=b"203.0.113.7"):
        program = ctx.start()
        program.wait_until_resolved()
        ctx.screenshot("accessurl-window.png")
        program.keys("Escape")
        code = program.exit_code(10)
        expect(code == 0, f"exit code {code!r}")


def expect_escape_ends_at_once(program):
    """Esc closes the window and the process ends with 0 within 2 s, whatever the worker does."""
    started = time.monotonic()
    program.keys("Escape")
    code = program.exit_code(10)
    elapsed = time.monotonic() - started
    expect(code == 0, f"exit code {code!r}")
    expect(elapsed < 2.0, f"the process took {elapsed:.2f} s to end")


def close_during_stalled_request(ctx):
    with EchoServer(body=b"203.0.113.7", stall_seconds=60) as server:
        program = ctx.start()
        wait_for(lambda: server.requests, 20)
        expect(server.requests, "the request did not arrive")
        expect_escape_ends_at_once(program)


CASES = [
    ("plain_address", resolves_to(b"203.0.113.7", url_for("203.0.113.7"))),
    ("trailing_line_feed", resolves_to(b"203.0.113.7\n", url_for("203.0.113.7"))),
    ("ipv6_address", resolves_to(b"2001:db8::1\n", url_for("[2001:db8::1]"))),
    ("html_error_page", resolves_to(b"<html><body>Internal error</body></html>", FAILURE_TEXT,
                                    status=500)),
    ("refused_connection", refused_connection),
    ("copy_while_stalled", copy_while_stalled),
    ("copy_copies_typed_text", copy_copies_typed_text),
    ("enter_copies_nothing", enter_copies_nothing),
    ("escape_exits_with_zero", escape_exits_with_zero),
    ("close_during_stalled_request", close_during_stalled_request),
]


# ---------------------------------------------------------------------------------------------
# Hostile IP-echo servers: each behaviour must end in the expected text, with a process that
# neither crashes nor hangs beyond the request's time-outs.


class RawServer:
    """Accepts connections on 127.0.0.1:80 and hands each to `behave(connection, request)`, after
    reading the request head. Ends any waiting behaviour when the case is over."""

    def __init__(self, behave):
        self.behave = behave
        self.requests = []
        self.released = threading.Event()
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", 80))
        self.listener.listen(8)
        self.thread = threading.Thread(target=self._accept, daemon=True)

    def _accept(self):
        while not self.released.is_set():
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return
            threading.Thread(target=self._serve, args=(connection,), daemon=True).start()

    def _serve(self, connection):
        with connection:
            head = b""
            while b"\r\n\r\n" not in head:
                chunk = connection.recv(4096)
                if not chunk:
                    return
                head += chunk
            self.requests.append(head)
            try:
                self.behave(self, connection)
            except OSError:
                pass  # the client went away: that is its right

    def wait(self, seconds):
        """Sleeps, but returns at once when the case is over; True when it was."""
        return self.released.wait(seconds)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.released.set()
        # Closing alone would not wake the thread blocked in accept(), which keeps the port bound.
        try:
            self.listener.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self.listener.close()
        self.thread.join(5)


def answer(connection, status, body, headers=()):
    head = f"HTTP/1.1 {status}\r\nContent-Length: {len(body)}\r\n"
    head += "".join(f"{name}: {value}\r\n" for name, value in headers)
    connection.sendall(head.encode() + b"\r\n" + body)


def one_byte_per_second(server, connection):
    body = b"203.0.113.7"
    connection.sendall(f"HTTP/1.1 200 OK\r\nContent-Length: {len(body)}\r\n\r\n".encode())
    for byte in body:
        if server.wait(1.0):
            return
        connection.sendall(bytes([byte]))


def reset_mid_body(server, connection):
    connection.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 11\r\n\r\n203.0.")
    # A zero linger time makes close() send a reset instead of an orderly end.
    connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))


def fifty_megabytes(server, connection):
    chunk = b"203.0.113.7 " * 87382  # about 1 MiB
    size = len(chunk) * 50
    connection.sendall(f"HTTP/1.1 200 OK\r\nContent-Length: {size}\r\n\r\n".encode())
    for _ in range(50):
        connection.sendall(chunk)


def redirect_loop(server, connection):
    answer(connection, "302 Found", b"again", [("Location", "/ip")])


def never_answers(server, connection):
    server.wait(600)


def close_before_status_line(server, connection):
    pass  # the connection closes as soon as the request has been read


def hostile(behave, expected, timeout=40):
    def case(ctx):
        with RawServer(behave) as server:
            program = ctx.start()
            shown = program.wait_until_resolved(timeout)
            expect(shown == expected, f"shown {shown!r}, expected {expected!r}")
            expect(server.requests, "no request arrived")
            expect(program.exit_code(0) is None, "the program ended by itself")
    return case


def silent_server(ctx):
    """Under Wine there is no time-out while waiting for the status line: the request never ends,
    and what counts is that closing the window still ends the process at once. Elsewhere the
    receive time-out ends it with the failure text."""
    with RawServer(never_answers) as server:
        program = ctx.start()
        wait_for(lambda: server.requests, 20)
        expect(server.requests, "the request did not arrive")
        if ctx.under_wine:
            expect(program.shown_text() == PLACEHOLDER, "the placeholder stays while waiting")
        else:
            shown = program.wait_until_resolved(40)
            expect(shown == FAILURE_TEXT, f"shown {shown!r}")
        expect_escape_ends_at_once(program)


HOSTILE_CASES = [
    ("hostile_one_byte_per_second", hostile(one_byte_per_second, url_for("203.0.113.7"))),
    ("hostile_reset_mid_body", hostile(reset_mid_body, FAILURE_TEXT)),
    ("hostile_fifty_megabytes", hostile(fifty_megabytes, FAILURE_TEXT, timeout=120)),
    ("hostile_invalid_utf8", resolves_to(b"203.0.113.7\xff\xfejunk", url_for("203.0.113.7"))),
    ("hostile_zero_byte_in_address", resolves_to(b"203.0\x00.113.7", FAILURE_TEXT)),
    ("hostile_redirect_loop", hostile(redirect_loop, FAILURE_TEXT)),
    ("hostile_no_content", resolves_to(b"", FAILURE_TEXT, status=204)),
    ("hostile_silent_server", silent_server),
    ("hostile_close_before_status_line", hostile(close_before_status_line, FAILURE_TEXT)),
]

CASES += HOSTILE_CASES


# ---------------------------------------------------------------------------------------------
# The isolated environment


class Context:
    def __init__(self, args):
        self.args = args
        self.programs = []

    @property
    def under_wine(self):
        return bool(self.args.launcher)

    def start(self):
        program = Program(self.args.launcher, self.args.program)
        self.programs.append(program)
        return program

    def screenshot(self, name):
        os.makedirs(self.args.artifacts, exist_ok=True)
        run("import", "-window", "root", os.path.join(self.args.artifacts, name))

    def end_programs(self):
        for program in self.programs:
            program.kill()
        self.programs.clear()


def start_display(work):
    display_file = os.path.join(work, "display")
    # -noreset: between two cases no client may be connected, and a server that resets then
    # drops the connection of the next program that arrives during the reset.
    with open(display_file, "w") as out:
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1920x1080x24",
                                 "-nolisten", "tcp", "-noreset"], stdout=out,
                                stderr=subprocess.DEVNULL)
    number = wait_for(lambda: open(display_file).read().strip(), 10)
    if not number:
        raise RuntimeError("Xvfb did not start")
    os.environ["DISPLAY"] = ":" + number
    return xvfb


def make_private_network(work):
    run("ip", "link", "set", "lo", "up", check=True)
    hosts = os.path.join(work, "hosts")
    with open(hosts, "w") as f:
        f.write(f"127.0.0.1 localhost\n127.0.0.1 {ECHO_HOST}\n")
    run("mount", "--bind", hosts, "/etc/hosts", check=True)


def run_inside(args):
    work = tempfile.mkdtemp(prefix="accessurl-e2e-")
    if args.launcher:
        os.environ["WINEPREFIX"] = os.path.join(work, "wine")
    xvfb = None
    passed, failed = 0, 0
    try:
        make_private_network(work)
        xvfb = start_display(work)
        for name, case in CASES:
            if args.only and name != args.only:
                continue
            ctx = Context(args)
            try:
                case(ctx)
                passed += 1
                print(f"PASS {name}", flush=True)
            except Exception as error:  # a failed case must not stop the others
                failed += 1
                print(f"FAIL {name}: {error}", flush=True)
                if not isinstance(error, AssertionError):
                    traceback.print_exc()
                ctx.screenshot(f"failed-{name}.png")
            finally:
                ctx.end_programs()
    finally:
        if args.launcher:
            run("wineserver", "-k")
        if xvfb:
            xvfb.terminate()
            xvfb.wait()
        shutil.rmtree(work, ignore_errors=True)
    print(f"e2e: {passed} passed, {failed} failed", flush=True)
    return 0 if failed == 0 else 1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--launcher", default="")
    parser.add_argument("--artifacts", required=True)
    parser.add_argument("--only", default="")
    args = parser.parse_args()
    args.program = os.path.abspath(args.program)
    args.launcher = os.path.abspath(args.launcher) if args.launcher else ""
    args.artifacts = os.path.abspath(args.artifacts)

    if os.environ.get("ACCESSURL_E2E_INSIDE") == "1":
        return run_inside(args)

    if os.geteuid() != 0:
        print("SKIP: the end-to-end tests need root to make network and mount namespaces")
        return SKIP
    probe = run("unshare", "--net", "--mount", "true")
    if probe.returncode != 0:
        print(f"SKIP: cannot make network and mount namespaces here: {probe.stderr.strip()}")
        return SKIP
    env = dict(os.environ, ACCESSURL_E2E_INSIDE="1")
    return subprocess.run(["unshare", "--net", "--mount", "--fork", sys.executable,
                           os.path.abspath(__file__), *sys.argv[1:]], env=env).returncode


if __name__ == "__main__":
    sys.exit(main())
