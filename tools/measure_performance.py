#!/usr/bin/env python3
"""Measures accessurl side by side with its yardsticks, in one run, on this machine.

  start-up      launch to visible window: accessurl.exe against bare_window.exe (the same window
                with nothing in it, same compiler and flags), both under the same Wine and Xvfb
  answer to URL the IP-echo server's answer to the URL in the edit box, through the real worker
                and window (bench/discovery_latency), for the Windows and the Linux build
  size          accessurl.exe as shipped (stripped) and the DLLs it imports
  peak memory   resident set high-water mark of each build's process with its window open

Needs root: it runs in network and mount namespaces of its own, so no request leaves the machine
(the IP-echo host is mapped to 127.0.0.1). Build first:
  cmake --build --preset windows && cmake --build --preset linux
Usage: tools/measure_performance.py [--runs N]
"""

import argparse
import http.server
import os
import re
import shutil
import signal
import socketserver
import statistics
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WINDOWS = os.path.join(ROOT, "build", "windows")
LINUX = os.path.join(ROOT, "build", "linux")
WINE_RUN = os.path.join(ROOT, "cmake", "wine-run.sh")


def run(*command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, **kwargs)


class EchoServer:
    """Answers GET /ip with an address and notes the wall-clock time right after sending it."""

    def __init__(self, port):
        self.sent_at = []
        echo = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"
            # One segment for the whole answer, sent at once: as a real service answers, and
            # without the client's delayed acknowledgement of a second small segment.
            disable_nagle_algorithm = True
            wbufsize = 4096

            def log_message(self, *args):
                pass

            def do_GET(self):
                body = b"203.0.113.7"
                self.send_response(200)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)
                self.wfile.flush()
                echo.sent_at.append(time.time())

        class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
            daemon_threads = True
            allow_reuse_address = True

        self.server = Server(("127.0.0.1", port), Handler)
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def close(self):
        self.server.shutdown()
        self.server.server_close()


def launch(command, env=None):
    return subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, start_new_session=True, env=env)


def end(process):
    if process.poll() is None:
        os.killpg(process.pid, signal.SIGKILL)
    process.wait()


def visible_window(window_class):
    return run("xdotool", "search", "--onlyvisible", "--class", window_class).stdout.split()


def time_to_window(command, window_class):
    started = time.monotonic()
    process = launch(command)
    while not visible_window(window_class):
        if time.monotonic() - started > 60:
            end(process)
            raise RuntimeError(f"no window from {command}")
        time.sleep(0.002)
    elapsed = time.monotonic() - started
    end(process)
    time.sleep(0.2)
    return elapsed


def peak_memory_kib(command, window_class, process_name):
    """VmHWM of the process that runs `process_name` (its first argument names it; a launcher
    that only passes it on does not count), once its window shows."""
    process = launch(command)
    try:
        deadline = time.monotonic() + 60
        while not visible_window(window_class) and time.monotonic() < deadline:
            time.sleep(0.05)
        time.sleep(1.0)  # let the discovery finish
        for pid in os.listdir("/proc"):
            if not pid.isdigit():
                continue
            try:
                with open(f"/proc/{pid}/cmdline", "rb") as f:
                    first = f.read().split(b"\0")[0].decode(errors="replace")
                if not first.lower().endswith(process_name.lower()):
                    continue
                with open(f"/proc/{pid}/status") as f:
                    match = re.search(r"VmHWM:\s+(\d+) kB", f.read())
                if match:
                    return int(match.group(1))
            except OSError:
                continue
        return None
    finally:
        end(process)


def answer_to_url_ms(command, port, runs):
    server = EchoServer(port)
    env = dict(os.environ, ACCESSURL_ECHO_URL=f"http://127.0.0.1:{port}/ip")
    delays = []
    try:
        for _ in range(runs):
            process = launch(command, env)
            out, _ = process.communicate(timeout=60)
            shown_at = int(out.decode().split()[-1]) / 1e6
            delays.append((shown_at - server.sent_at[-1]) * 1000)
    finally:
        server.close()
    return statistics.median(delays)


def imported_dlls(path):
    dump = run("x86_64-w64-mingw32-objdump", "-p", path).stdout
    return sorted(set(re.findall(r"DLL Name: (\S+)", dump)))


def measure(runs):
    results = {}
    accessurl_exe = os.path.join(WINDOWS, "accessurl.exe")
    bare_exe = os.path.join(WINDOWS, "bench", "bare_window.exe")
    linux_program = os.path.join(LINUX, "accessurl")

    # Warm the Wine prefix so that no run pays for its creation.
    time_to_window([WINE_RUN, bare_exe], "bare_window")

    bare, full = [], []
    for _ in range(runs):
        bare.append(time_to_window([WINE_RUN, bare_exe], "bare_window"))
        full.append(time_to_window([WINE_RUN, accessurl_exe], "accessurl"))
    results["start-up, bare window (ms)"] = statistics.median(bare) * 1000
    results["start-up, accessurl.exe (ms)"] = statistics.median(full) * 1000
    results["start-up ratio"] = statistics.median(full) / statistics.median(bare)
    if os.path.exists(linux_program):
        linux = [time_to_window([linux_program], "accessurl") for _ in range(runs)]
        results["start-up, Linux accessurl (ms)"] = statistics.median(linux) * 1000

    results["answer to URL, Windows build (ms)"] = answer_to_url_ms(
        [WINE_RUN, os.path.join(WINDOWS, "bench", "discovery_latency.exe")], 8081, runs)
    linux_latency = os.path.join(LINUX, "bench", "discovery_latency")
    if os.path.exists(linux_latency):
        results["answer to URL, Linux build (ms)"] = answer_to_url_ms([linux_latency], 8082, runs)

    results["accessurl.exe size (bytes, stripped)"] = os.path.getsize(accessurl_exe)
    results["accessurl.exe imports"] = ", ".join(imported_dlls(accessurl_exe))
    if os.path.exists(linux_program):
        stripped = os.path.join(tempfile.gettempdir(), "accessurl-stripped")
        run("strip", "-o", stripped, linux_program)
        results["Linux accessurl size (bytes, stripped)"] = os.path.getsize(stripped)
        os.remove(stripped)

    results["peak memory, accessurl.exe under Wine (KiB)"] = peak_memory_kib(
        [WINE_RUN, accessurl_exe], "accessurl", "accessurl.exe")
    results["peak memory, bare_window.exe under Wine (KiB)"] = peak_memory_kib(
        [WINE_RUN, bare_exe], "bare_window", "bare_window.exe")
    if os.path.exists(linux_program):
        results["peak memory, Linux accessurl (KiB)"] = peak_memory_kib(
            [linux_program], "accessurl", "accessurl")
    return results


def inside(args):
    work = tempfile.mkdtemp(prefix="accessurl-measure-")
    os.environ["WINEPREFIX"] = os.path.join(work, "wine")
    run("ip", "link", "set", "lo", "up", check=True)
    hosts = os.path.join(work, "hosts")
    with open(hosts, "w") as f:
        f.write("127.0.0.1 localhost\n127.0.0.1 ifconfig.me\n")
    run("mount", "--bind", hosts, "/etc/hosts", check=True)
    display_file = os.path.join(work, "display")
    with open(display_file, "w") as out:
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1920x1080x24", "-noreset",
                                 "-nolisten", "tcp"], stdout=out, stderr=subprocess.DEVNULL)
    while not open(display_file).read().strip():
        time.sleep(0.05)
    os.environ["DISPLAY"] = ":" + open(display_file).read().strip()
    server = EchoServer(80)  # accessurl's own discovery gets a quick local answer
    try:
        for name, value in measure(args.runs).items():
            print(f"{name:48} {value:.2f}" if isinstance(value, float) else f"{name:48} {value}")
    finally:
        server.close()
        run("wineserver", "-k")
        xvfb.terminate()
        xvfb.wait()
        shutil.rmtree(work, ignore_errors=True)
    return 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=10)
    args = parser.parse_args()
    if os.environ.get("ACCESSURL_MEASURE_INSIDE") == "1":
        return inside(args)
    if os.geteuid() != 0:
        print("needs root, to measure inside network and mount namespaces of its own")
        return 1
    env = dict(os.environ, ACCESSURL_MEASURE_INSIDE="1")
    return subprocess.run(["unshare", "--net", "--mount", "--fork", sys.executable,
                           os.path.abspath(__file__), *sys.argv[1:]], env=env).returncode


if __name__ == "__main__":
    sys.exit(main())
