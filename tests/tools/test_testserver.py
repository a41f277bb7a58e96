"""Tests for tools/testserver/testserver.py: each test runs the real server as a subprocess."""

import http.client
import json
import os
import select
import signal
import socket
import ssl
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.parse

from cryptography import x509
from cryptography.hazmat.primitives.asymmetric import padding

HERE = os.path.dirname(os.path.abspath(__file__))
SERVER = os.path.normpath(os.path.join(HERE, "..", "..", "tools", "testserver", "testserver.py"))
DEMO_CA = os.path.normpath(os.path.join(HERE, "..", "..", "tools", "tls", "demo-ca"))
TIMEOUT = 5.0        # upper bound for any wait that should succeed
STALL_PROBE = 0.5    # client timeout used to detect a stall


def expected(n, offset=0):
    """Generated body content: byte i is i*7 mod 251."""
    return bytes(i * 7 % 251 for i in range(offset, offset + n))


ROUTES = {
    "/update.txt": {"body": "1.0.0.9\n"},
    "/s300": {"status": 300, "body": "choices"},
    "/s404": {"status": 404, "body": "missing"},
    "/s500": {"status": 500, "body": "boom"},
    "/empty": {},
    "/gen": {"size": 100000, "chunk": 1000},
    "/manifest": {"body_file": "files/manifest.json"},
    "/custom": {"body": "x", "headers": {"Content-Type": "text/x-custom", "X-Extra": "42"}},
    "/noclen": {"size": 5000, "content_length": False},
    "/slow": {"size": 40, "chunk": 10, "delay": 0.1},
    "/stall-head-forever": {"stall_before_headers": -1},
    "/stall-head-short": {"body": "late", "stall_before_headers": 0.3},
    "/stall-body-forever": {"size": 1000, "stall_after": 300, "stall_seconds": -1},
    "/stall-body-short": {"size": 1000, "stall_after": 300, "stall_seconds": 0.3},
    "/drop": {"size": 1000, "drop_after": 400},
    "/redirect": {"status": 302, "location": "/update.txt"},
}


class Response:
    def __init__(self, status, headers, body):
        self.status, self.headers, self.body = status, headers, body


def read_response(f, head=False):
    """Read one response from a socket file; without Content-Length read until close."""
    status_line = f.readline()
    parts = status_line.decode("latin-1").split(" ", 2)
    if len(parts) < 2 or not parts[0].startswith("HTTP/1."):
        raise AssertionError(f"bad status line {status_line!r}")
    headers = {}
    while True:
        line = f.readline()
        if line in (b"\r\n", b"\n", b""):
            break
        name, _, value = line.decode("latin-1").partition(":")
        headers[name.strip().lower()] = value.strip()
    if head:
        body = b""
    elif "content-length" in headers:
        body = f.read(int(headers["content-length"]))
    else:
        body = f.read()
    return Response(int(parts[1]), headers, body)


class ServerTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.addCleanup(self.tmp.cleanup)
        base = self.tmp.name
        self.root = os.path.join(base, "root")
        os.makedirs(os.path.join(self.root, "sub"))
        self.write(os.path.join(self.root, "hello.txt"), b"hello world\n")
        self.write(os.path.join(self.root, "sub", "data.bin"), bytes(range(256)) * 3)
        self.secret = os.path.join(base, "secret.txt")
        self.write(self.secret, b"TOP-SECRET")
        os.makedirs(os.path.join(base, "files"))
        self.write(os.path.join(base, "files", "manifest.json"), b'{"version": "1.0.0.9"}')
        self.routes_file = os.path.join(base, "routes.json")
        self.write(self.routes_file, json.dumps(ROUTES).encode())
        self.port_file = os.path.join(base, "port")
        self.log_file = os.path.join(base, "log.jsonl")
        self.procs = []
        self.port = self.start_server("--root", self.root, "--routes", self.routes_file,
                                      "--port-file", self.port_file, "--log", self.log_file)

    def tearDown(self):
        for proc in self.procs:
            self.stop(proc)

    # -- helpers -------------------------------------------------------------

    @staticmethod
    def write(path, data):
        with open(path, "wb") as f:
            f.write(data)

    def start_server(self, *args):
        stderr = open(os.path.join(self.tmp.name, f"stderr{len(self.procs)}"), "wb")
        self.addCleanup(stderr.close)
        proc = subprocess.Popen([sys.executable, SERVER, "--port", "0", *args],
                                stdout=subprocess.PIPE, stderr=stderr)
        self.procs.append(proc)
        ready, _, _ = select.select([proc.stdout], [], [], TIMEOUT)
        self.assertTrue(ready, "server did not print its port in time")
        line = proc.stdout.readline().decode()
        self.assertRegex(line, r"^PORT [1-9][0-9]*\n$")
        return int(line.split()[1])

    @staticmethod
    def stop(proc, sig=signal.SIGTERM):
        if proc.poll() is None:
            proc.send_signal(sig)
            try:
                proc.wait(TIMEOUT)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait(TIMEOUT)
        proc.stdout.close()
        return proc.returncode

    def conn(self, timeout=TIMEOUT):
        c = http.client.HTTPConnection("127.0.0.1", self.port, timeout=timeout)
        self.addCleanup(c.close)
        return c

    def request(self, path, method="GET", headers=None, body=None):
        c = self.conn()
        c.request(method, path, body=body, headers=headers or {})
        r = c.getresponse()
        return Response(r.status, r.headers, r.read())

    def raw(self, timeout=TIMEOUT):
        s = socket.create_connection(("127.0.0.1", self.port), timeout=timeout)
        self.addCleanup(s.close)
        f = s.makefile("rb")
        self.addCleanup(f.close)
        return s, f

    @staticmethod
    def send(sock, path, method="GET", extra=""):
        sock.sendall(f"{method} {path} HTTP/1.1\r\nHost: test\r\n{extra}\r\n".encode("latin-1"))

    def add_route(self, path, **fields):
        r = self.request("/__route", "POST", {"Content-Type": "application/json"},
                         json.dumps({"path": path, **fields}))
        self.assertEqual(r.status, 200, r.body)

    def log(self):
        r = self.request("/__log")
        self.assertEqual(r.status, 200)
        return json.loads(r.body)

    # -- start-up and shutdown ------------------------------------------------

    def test_port_file_matches_printed_port(self):
        with open(self.port_file) as f:
            self.assertEqual(f.read(), str(self.port))
        self.assertEqual(sorted(os.listdir(os.path.dirname(self.port_file))),
                         sorted(["root", "secret.txt", "files", "routes.json", "port",
                                 "log.jsonl", "stderr0"]))

    def test_sigterm_stops_server_with_request_stalled_forever(self):
        s, f = self.raw()
        self.send(s, "/stall-body-forever")
        self.assertEqual(read_response(f, head=True).status, 200)
        self.assertEqual(f.read(300), expected(300))
        start = time.monotonic()
        self.assertEqual(self.stop(self.procs[0]), 0)
        self.assertLess(time.monotonic() - start, 3)
        self.assertEqual(f.read(), b"")  # the stalled connection was closed

    def test_sigint_stops_server_cleanly(self):
        self.assertEqual(self.stop(self.procs[0], signal.SIGINT), 0)

    def test_shutdown_endpoint_answers_then_exits_cleanly(self):
        s, f = self.raw()
        self.send(s, "/stall-body-forever")
        self.assertEqual(read_response(f, head=True).status, 200)
        start = time.monotonic()
        r = self.request("/__shutdown", "POST")
        self.assertEqual((r.status, r.body), (200, b"bye\n"))
        self.assertEqual(self.procs[0].wait(TIMEOUT), 0)
        self.assertLess(time.monotonic() - start, 3)
        self.assertEqual(f.read(), expected(300))  # the stalled response was cut off
        with self.assertRaises(OSError):
            socket.create_connection(("127.0.0.1", self.port), timeout=TIMEOUT).close()

    def test_shutdown_needs_post_and_is_not_logged(self):
        self.assertEqual(self.request("/__shutdown").status, 405)
        self.assertIsNone(self.procs[0].poll())
        self.assertEqual(self.log(), [])

    def test_max_seconds_stops_the_server_by_itself(self):
        start = time.monotonic()
        port = self.start_server("--max-seconds", "0.5")
        self.assertEqual(self.procs[-1].wait(TIMEOUT), 0)
        self.assertGreaterEqual(time.monotonic() - start, 0.45)
        with self.assertRaises(OSError):
            socket.create_connection(("127.0.0.1", port), timeout=TIMEOUT).close()

    def test_max_seconds_must_be_positive(self):
        for value in ("0", "-3", "soon"):
            with self.subTest(value=value):
                r = subprocess.run([sys.executable, SERVER, "--max-seconds", value],
                                   capture_output=True, timeout=TIMEOUT)
                self.assertEqual(r.returncode, 2)
                self.assertEqual(r.stdout, b"")

    def test_sigterm_still_stops_a_server_with_max_seconds(self):
        self.start_server("--max-seconds", "60")
        start = time.monotonic()
        self.assertEqual(self.stop(self.procs[-1]), 0)
        self.assertLess(time.monotonic() - start, 3)

    def test_bad_routes_file_is_refused(self):
        bad = os.path.join(self.tmp.name, "bad.json")
        self.write(bad, b'{"/x": {"stauts": 200}}')
        r = subprocess.run([sys.executable, SERVER, "--routes", bad], capture_output=True,
                           timeout=TIMEOUT)
        self.assertEqual(r.returncode, 2)
        self.assertIn(b"stauts", r.stderr)
        self.assertEqual(r.stdout, b"")

    def test_non_loopback_host_is_refused(self):
        r = subprocess.run([sys.executable, SERVER, "--host", "0.0.0.0"], capture_output=True,
                           timeout=TIMEOUT)
        self.assertEqual(r.returncode, 2)
        self.assertEqual(r.stdout, b"")

    # -- static files -----------------------------------------------------------

    def test_static_files(self):
        r = self.request("/hello.txt?v=3")
        self.assertEqual((r.status, r.body), (200, b"hello world\n"))
        self.assertEqual(r.headers["Content-Length"], "12")
        self.assertEqual(r.headers["Content-Type"], "text/plain")
        r = self.request("/sub/data.bin")
        self.assertEqual((r.status, r.body), (200, bytes(range(256)) * 3))
        self.assertEqual(r.headers["Content-Type"], "application/octet-stream")

    def test_static_missing_file_and_directories_are_404(self):
        for path in ("/nope.txt", "/sub", "/sub/", "/"):
            with self.subTest(path=path):
                self.assertEqual(self.request(path).status, 404)

    def test_path_traversal_is_rejected(self):
        escapes = ["/../secret.txt", "/sub/../../secret.txt", "/%2e%2e/secret.txt",
                   "/sub/%2E%2E%2F%2E%2E%2Fsecret.txt", "/%2F" + urllib.parse.quote(self.secret)]
        s, f = self.raw()
        for path in escapes:
            with self.subTest(path=path):
                self.send(s, path)
                r = read_response(f)
                self.assertEqual(r.status, 404)
                self.assertNotIn(b"SECRET", r.body)
        # ".." that stays inside the root is fine
        self.send(s, "/sub/../hello.txt")
        self.assertEqual(read_response(f).body, b"hello world\n")

    # -- routes -------------------------------------------------------------------

    def test_update_page_route_ignores_query(self):
        r = self.request("/update.txt?lang=en&t=1")
        self.assertEqual((r.status, r.body), (200, b"1.0.0.9\n"))
        self.assertEqual(r.headers["Content-Length"], "8")

    def test_status_codes(self):
        for path, status, body in (("/s300", 300, b"choices"), ("/s404", 404, b"missing"),
                                   ("/s500", 500, b"boom")):
            with self.subTest(path=path):
                r = self.request(path)
                self.assertEqual((r.status, r.body), (status, body))

    def test_route_body_file_relative_to_routes_file(self):
        r = self.request("/manifest")
        self.assertEqual((r.status, r.body), (200, b'{"version": "1.0.0.9"}'))
        self.assertEqual(r.headers["Content-Type"], "application/json")

    def test_route_extra_headers_override_defaults(self):
        r = self.request("/custom")
        self.assertEqual(r.headers["Content-Type"], "text/x-custom")
        self.assertEqual(r.headers["X-Extra"], "42")
        self.assertEqual(r.body, b"x")

    def test_runtime_route_add_replace_and_errors(self):
        self.assertEqual(self.request("/new").status, 404)
        self.add_route("/new", status=201, body="first")
        r = self.request("/new?q=1")
        self.assertEqual((r.status, r.body), (201, b"first"))
        self.add_route("/new", body="second")
        r = self.request("/new")
        self.assertEqual((r.status, r.body), (200, b"second"))
        self.add_route("/update.txt", body="2.0.0.0\n")  # run-time routes win over file routes
        self.assertEqual(self.request("/update.txt").body, b"2.0.0.0\n")
        for bad in ('{"path": "/x", "bodyy": "a"}', '{"path": "/x", "size": "10"}',
                    '{"body": "no path"}', '{"path": "/x", "body": "a", "size": 3}', "not json"):
            with self.subTest(bad=bad):
                self.assertEqual(self.request("/__route", "POST", body=bad).status, 400)
        self.assertEqual(self.request("/x").status, 404)
        self.assertEqual(self.request("/__route").status, 405)

    def test_reset_clears_runtime_routes_and_log(self):
        self.add_route("/tmp-route", body="t")
        self.assertEqual(self.request("/tmp-route").status, 200)
        self.assertEqual(len(self.log()), 1)
        self.assertEqual(self.request("/__reset", "POST").status, 200)
        self.assertEqual(self.log(), [])
        self.assertEqual(self.request("/tmp-route").status, 404)
        self.assertEqual(self.request("/update.txt").body, b"1.0.0.9\n")  # file routes stay

    def test_generated_body_size_and_content(self):
        r = self.request("/gen")
        self.assertEqual(r.status, 200)
        self.assertEqual(r.headers["Content-Length"], "100000")
        self.assertEqual(r.headers["Content-Type"], "application/octet-stream")
        self.assertEqual(r.body, expected(100000))
        for chunk in (1, 7, 250, 251, 65536):
            with self.subTest(chunk=chunk):
                self.add_route("/g", size=1000, chunk=chunk)
                self.assertEqual(self.request("/g").body, expected(1000))

    def test_empty_body_has_content_length_zero_and_keeps_connection(self):
        s, f = self.raw()
        self.send(s, "/empty")
        r = read_response(f)
        self.assertEqual((r.status, r.headers.get("content-length"), r.body), (200, "0", b""))
        self.send(s, "/update.txt")
        self.assertEqual(read_response(f).body, b"1.0.0.9\n")

    def test_missing_content_length_body_ends_at_close(self):
        s, f = self.raw()
        self.send(s, "/noclen")
        r = read_response(f)  # reads until the server closes
        self.assertNotIn("content-length", r.headers)
        self.assertEqual(r.headers.get("connection"), "close")
        self.assertEqual(r.body, expected(5000))
        r = self.request("/noclen")  # http.client reads to close as well
        self.assertIsNone(r.headers["Content-Length"])
        self.assertEqual(r.body, expected(5000))

    def test_endless_body_goes_on_without_a_length(self):
        self.add_route("/endless", endless=True, chunk=4096)
        s, f = self.raw()
        self.send(s, "/endless")
        r = read_response(f, head=True)
        self.assertEqual(r.status, 200)
        self.assertNotIn("content-length", r.headers)
        self.assertEqual(r.headers.get("connection"), "close")
        # Far more than any test route sends, and still going.
        self.assertEqual(f.read(3 << 20), expected(3 << 20))
        r = self.request("/__route", "POST", {"Content-Type": "application/json"},
                         json.dumps({"path": "/x", "endless": True, "size": 5}))
        self.assertEqual(r.status, 400)

    def test_keep_alive_two_requests_on_one_connection(self):
        s, f = self.raw()
        self.send(s, "/update.txt")
        self.assertEqual(read_response(f).body, b"1.0.0.9\n")
        self.send(s, "/hello.txt")
        self.assertEqual(read_response(f).body, b"hello world\n")
        c = self.conn()
        c.request("GET", "/gen")
        self.assertEqual(c.getresponse().read(), expected(100000))
        sock = c.sock
        self.assertIsNotNone(sock)
        c.request("GET", "/update.txt")
        self.assertEqual(c.getresponse().read(), b"1.0.0.9\n")
        self.assertIs(c.sock, sock)

    def test_head_has_length_but_no_body(self):
        s, f = self.raw()
        self.send(s, "/gen", "HEAD")
        r = read_response(f, head=True)
        self.assertEqual((r.status, r.headers["content-length"]), (200, "100000"))
        self.send(s, "/hello.txt", "HEAD")
        r = read_response(f, head=True)  # fails if body bytes of /gen were sent
        self.assertEqual((r.status, r.headers["content-length"]), (200, "12"))
        self.send(s, "/update.txt")
        self.assertEqual(read_response(f).body, b"1.0.0.9\n")
        self.assertEqual([e["method"] for e in self.log()], ["HEAD", "HEAD", "GET"])

    def test_slow_body_takes_the_delays(self):
        start = time.monotonic()
        r = self.request("/slow")  # 4 chunks, 3 delays of 0.1 s
        elapsed = time.monotonic() - start
        self.assertEqual(r.body, expected(40))
        self.assertGreaterEqual(elapsed, 0.28)
        self.assertLess(elapsed, 3)

    def test_rate_paces_the_body_from_its_start(self):
        # 200 kB at 1 MB/s in 64 KiB writes: the last write waits until 0.13 s.
        self.add_route("/paced", size=200000, rate=1000000)
        start = time.monotonic()
        r = self.request("/paced")
        self.assertEqual(len(r.body), 200000)
        self.assertGreaterEqual(time.monotonic() - start, 0.13)
        r = self.request("/__route", "POST", {"Content-Type": "application/json"},
                         json.dumps({"path": "/bad", "size": 1, "rate": 0}))
        self.assertEqual(r.status, 400)

    def test_stall_before_headers_forever(self):
        s, _ = self.raw(timeout=STALL_PROBE)
        self.send(s, "/stall-head-forever")
        with self.assertRaises(socket.timeout):
            s.recv(1)
        self.assertEqual(self.log()[0]["path"], "/stall-head-forever")

    def test_stall_before_headers_timed(self):
        start = time.monotonic()
        r = self.request("/stall-head-short")
        self.assertEqual(r.body, b"late")
        self.assertGreaterEqual(time.monotonic() - start, 0.28)

    def test_stall_after_bytes_forever_sends_exact_prefix(self):
        s, f = self.raw(timeout=STALL_PROBE)
        self.send(s, "/stall-body-forever")
        self.assertEqual(read_response(f, head=True).headers["content-length"], "1000")
        self.assertEqual(f.read(300), expected(300))
        with self.assertRaises(socket.timeout):
            f.read(1)

    def test_stall_right_after_headers(self):
        self.add_route("/head-only", size=10, stall_after=0)
        s, f = self.raw(timeout=STALL_PROBE)
        self.send(s, "/head-only")
        self.assertEqual(read_response(f, head=True).headers["content-length"], "10")
        with self.assertRaises(socket.timeout):
            f.read(1)

    def test_delays_stay_between_whole_chunks_when_a_stall_splits_one(self):
        # 30 bytes in chunks of 10; the stall mark at byte 5 must not shift the chunk
        # boundaries, so the delay still comes at bytes 10 and 20.
        self.add_route("/split", size=30, chunk=10, delay=0.2, stall_after=5, stall_seconds=0)
        start = time.monotonic()
        r = self.request("/split")
        self.assertEqual(r.body, expected(30))
        self.assertGreaterEqual(time.monotonic() - start, 0.38)

    def test_stall_after_bytes_timed(self):
        start = time.monotonic()
        r = self.request("/stall-body-short")
        self.assertEqual(r.body, expected(1000))
        self.assertGreaterEqual(time.monotonic() - start, 0.28)

    def test_drop_mid_body(self):
        c = self.conn()
        c.request("GET", "/drop")
        r = c.getresponse()
        self.assertEqual(r.headers["Content-Length"], "1000")
        with self.assertRaises(http.client.IncompleteRead) as cm:
            r.read()
        self.assertEqual(cm.exception.partial, expected(400))
        self.assertEqual(cm.exception.expected, 600)

    def test_tls_for_handshakes_and_plain_http_on_the_same_port(self):
        with tempfile.TemporaryDirectory() as tls:
            subprocess.run([sys.executable, DEMO_CA, tls], check=True, stdout=subprocess.DEVNULL)
            port = self.start_server("--routes", self.routes_file,
                                     "--tls-cert", os.path.join(tls, "localhost.pem"))
            trusting = ssl.create_default_context(cafile=os.path.join(tls, "ca.pem"))
            c = http.client.HTTPSConnection("localhost", port, timeout=TIMEOUT, context=trusting)
            self.addCleanup(c.close)
            c.request("GET", "/update.txt")
            self.assertEqual(c.getresponse().read(), b"1.0.0.9\n")
            plain = http.client.HTTPConnection("127.0.0.1", port, timeout=TIMEOUT)
            self.addCleanup(plain.close)
            plain.request("GET", "/update.txt")
            self.assertEqual(plain.getresponse().read(), b"1.0.0.9\n")
            # A client that does not trust the demo CA sends no request, and says so.
            doubting = ssl.create_default_context()
            with self.assertRaises(ssl.SSLCertVerificationError):
                socket_ = socket.create_connection(("localhost", port), timeout=TIMEOUT)
                self.addCleanup(socket_.close)
                doubting.wrap_socket(socket_, server_hostname="localhost")
            log, deadline = [], time.monotonic() + TIMEOUT
            while len(log) < 3 and time.monotonic() < deadline:  # noted as the connection ends
                plain.request("GET", "/__log")
                log = json.loads(plain.getresponse().read())
            self.assertEqual([(e.get("path"), e["tls"]) for e in log],
                             [("/update.txt", True), ("/update.txt", False), (None, "no request")])

    def test_demo_cas_made_at_once_leave_one_consistent_set(self):
        # Two prefixes are prepared at the same time: the certificates must all
        # come from the CA that ends up in ca.pem, or checks fail by the wrong code.
        with tempfile.TemporaryDirectory() as tls:
            runs = [subprocess.Popen([sys.executable, DEMO_CA, tls], stdout=subprocess.PIPE)
                    for _ in range(3)]
            said = [r.communicate(timeout=60)[0] for r in runs]
            self.assertEqual([r.returncode for r in runs], [0, 0, 0])
            self.assertEqual(sum(1 for s in said if b"made" in s), 1, said)
            with open(os.path.join(tls, "ca.pem"), "rb") as f:
                ca = x509.load_pem_x509_certificate(f.read())
            for name, trusted in (("localhost.pem", True), ("other-name.pem", True),
                                  ("expired.pem", True), ("unknown-ca.pem", False)):
                with open(os.path.join(tls, name), "rb") as f:  # its certificate, then its key
                    issued = x509.load_pem_x509_certificate(f.read())
                self.assertEqual(issued.issuer == ca.subject, trusted, name)
                if trusted:
                    ca.public_key().verify(issued.signature, issued.tbs_certificate_bytes,
                                           padding.PKCS1v15(), issued.signature_hash_algorithm)

    def test_redirect_location(self):
        r = self.request("/redirect")
        self.assertEqual(r.status, 302)
        self.assertEqual(r.headers["Location"], "/update.txt")

    # -- request log --------------------------------------------------------------

    def test_log_records_method_path_query_and_headers(self):
        self.request("/update.txt?a=1&b=two", headers={"X-Test-Header": "quill"})
        self.request("/s404?z=9", "POST", body=b"payload")
        s, f = self.raw()
        self.send(s, "/dup", extra="X-Dup: a\r\nx-dup: b\r\n")
        self.assertEqual(read_response(f).status, 404)
        log = self.log()
        self.assertEqual([(e["method"], e["path"]) for e in log],
                         [("GET", "/update.txt?a=1&b=two"), ("POST", "/s404?z=9"), ("GET", "/dup")])
        self.assertEqual(log[0]["headers"]["X-Test-Header"], "quill")
        self.assertEqual(log[1]["headers"]["Content-Length"], "7")
        self.assertEqual(log[2]["headers"]["X-Dup"], "a, b")
        self.assertEqual(log[2]["headers"]["Host"], "test")
        # the log file holds the same entries, one JSON object per line
        with open(self.log_file, encoding="utf-8") as fh:
            self.assertEqual([json.loads(line) for line in fh], log)


if __name__ == "__main__":
    unittest.main()
