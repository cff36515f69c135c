#!/usr/bin/env python3
"""The benchmark's page server stays quiet: it answers the browser's icon
request with an empty response and prints nothing when clients vanish
mid-request (reset before the answer, or gone while a large file streams).

    bench/test_quiet_server.py [path of bench/run]

Exits 0 when every check holds; prints what it saw otherwise.
"""
import importlib.machinery
import importlib.util
import io
import os
import socket
import struct
import sys
import tempfile
import threading
import time
import urllib.error
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))


def load_bench(path):
    loader = importlib.machinery.SourceFileLoader("bench_run", path)
    spec = importlib.util.spec_from_loader("bench_run", loader)
    module = importlib.util.module_from_spec(spec)
    loader.exec_module(module)
    return module


def fetch(port, path):
    try:
        with urllib.request.urlopen("http://127.0.0.1:%d%s" % (port, path), timeout=5) as answer:
            return answer.status, answer.read()
    except urllib.error.HTTPError as error:
        return error.code, error.read()


def reset_after_request(port, path):
    """Sends a request and resets the connection at once, as a browser that
    is killed mid-load does."""
    sock = socket.create_connection(("127.0.0.1", port), timeout=5)
    sock.sendall(("GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n" % path).encode())
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    sock.close()


def leave_during_download(port, path):
    """Reads the start of a large answer, then goes away."""
    sock = socket.create_connection(("127.0.0.1", port), timeout=5)
    sock.sendall(("GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n" % path).encode())
    sock.recv(4096)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    sock.close()


def wait_for_handlers(baseline, timeout=10.0):
    end = time.time() + timeout
    while threading.active_count() > baseline and time.time() < end:
        time.sleep(0.05)


def main():
    bench = load_bench(sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "run"))
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        with open(os.path.join(folder, "index.html"), "w") as f:
            f.write("<html><body>page</body></html>")
        with open(os.path.join(folder, "large.bin"), "wb") as f:
            f.write(b"x" * (16 << 20))

        captured = io.StringIO()
        stderr, sys.stderr = sys.stderr, captured
        try:
            threads = threading.active_count()
            server = bench.serve(folder)
            port = server.server_address[1]

            status, body = fetch(port, "/index.html")
            if status != 200 or b"page" not in body:
                failures.append("page: %s %r" % (status, body[:80]))
            status, body = fetch(port, "/favicon.ico")
            if status not in (204, 404) or body:
                failures.append("favicon: status %s with %d bytes of body" % (status, len(body)))

            dropped = 0
            for _ in range(10):
                reset_after_request(port, "/favicon.ico")
                reset_after_request(port, "/missing.html")
                dropped += 2
            for _ in range(3):
                leave_during_download(port, "/large.bin")
                dropped += 1
            wait_for_handlers(threads + 1)
            server.shutdown()
            server.server_close()
            wait_for_handlers(threads)
        finally:
            sys.stderr = stderr

    if "Traceback" in captured.getvalue():
        failures.append("tracebacks on stderr:\n" + captured.getvalue()[:3000])
    for failure in failures:
        print("FAIL: " + failure)
    if not failures:
        print("PASS: icon answered empty, page served, %d dropped clients left no traceback" % dropped)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
