#!/usr/bin/env python3
"""Scriptable local HTTP server for tests (Python 3 standard library only).

Serves routes (from a JSON file or added at run time) and static files, and
can misbehave on purpose: slow bodies, stalls, dropped connections, missing
Content-Length. Records every request so tests can check what arrived.
With a certificate it also speaks TLS to clients that open with a handshake.
Usage is described in README.md next to this file.
"""

import argparse
import ipaddress
import json
import mimetypes
import os
import signal
import socket
import socketserver
import ssl
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

CONTROL_PATHS = ("/__route", "/__reset", "/__log", "/__shutdown")

# Allowed route fields and their JSON types (bool is rejected where a number is expected).
NUMBER = (int, float)
ROUTE_FIELDS = {
    "status": int, "body": str, "body_file": str, "size": int,
    "content_length": bool, "headers": dict, "chunk": int, "delay": NUMBER,
    "stall_before_headers": NUMBER, "stall_after": int, "stall_seconds": NUMBER,
    "drop_after": int, "location": str, "rate": NUMBER, "endless": bool,
}

# An endless body is a generated one that ends only when the client hangs up.
ENDLESS = 1 << 62

# Built-in extension table only, so Content-Type does not depend on /etc/mime.types.
MIME = mimetypes.MimeTypes()

# A client that starts TLS but does not finish its handshake is dropped after this long.
TLS_HANDSHAKE_SECONDS = 10

# Generated bodies: byte i is i*7 mod 251, which repeats every 251 bytes.
PATTERN = bytes(i * 7 % 251 for i in range(251))


def generated(offset, n):
    """Bytes offset..offset+n of the generated body."""
    start = offset % 251
    return (PATTERN * ((start + n) // 251 + 1))[start:start + n]


def check_route(fields, base_dir):
    """Validate a route object; return a copy with body_file made absolute."""
    if not isinstance(fields, dict):
        raise ValueError("route must be a JSON object")
    for key, value in fields.items():
        if key not in ROUTE_FIELDS:
            raise ValueError(f"unknown route field {key!r}")
        wanted = ROUTE_FIELDS[key]
        if (isinstance(value, bool) and wanted is not bool) or not isinstance(value, wanted):
            raise ValueError(f"route field {key!r} has the wrong type")
    if sum(k in fields for k in ("body", "body_file", "size", "endless")) > 1:
        raise ValueError("use only one of body, body_file, size, endless")
    if fields.get("endless") and fields.get("content_length"):
        raise ValueError("an endless body has no Content-Length")
    for key in ("size", "stall_after", "drop_after"):
        if fields.get(key, 0) < 0:
            raise ValueError(f"{key} must not be negative")
    if fields.get("delay", 0) < 0:
        raise ValueError("delay must not be negative")
    if "rate" in fields and fields["rate"] <= 0:
        raise ValueError("rate must be positive")
    if fields.get("chunk", 1) < 1:
        raise ValueError("chunk must be at least 1")
    route = dict(fields)
    if "body_file" in route:
        route["body_file"] = os.path.join(base_dir, route["body_file"])
    return route


def load_routes(path):
    with open(path, encoding="utf-8") as f:
        data = json.load(f)
    if not isinstance(data, dict):
        raise ValueError("routes file must hold a JSON object")
    base = os.path.dirname(os.path.abspath(path))
    return {p: check_route(fields, base) for p, fields in data.items()}


def header_dict(message):
    """All request headers; repeated names (any case) are joined with ", "."""
    out, names = {}, {}
    for name, value in message.items():
        key = names.setdefault(name.lower(), name)
        out[key] = out[key] + ", " + value if key in out else value
    return out


class State:
    """Routes and request log shared by all handler threads."""

    def __init__(self, file_routes, log_path):
        self.lock = threading.Lock()
        self.file_routes = file_routes
        self.routes = {}
        self.log = []
        self.log_file = open(log_path, "a", encoding="utf-8") if log_path else None

    def find(self, path):
        with self.lock:
            return self.routes[path] if path in self.routes else self.file_routes.get(path)

    def add(self, path, route):
        with self.lock:
            self.routes[path] = route

    def record(self, method, path, headers, tls):
        entry = {"method": method, "path": path, "headers": header_dict(headers), "tls": tls}
        with self.lock:
            self.log.append(entry)
            if self.log_file:
                self.log_file.write(json.dumps(entry) + "\n")
                self.log_file.flush()

    def record_tls_without_request(self, reason):
        """A client that began TLS and sent no request: it refused the certificate."""
        entry = {"tls": "no request", "reason": reason}
        with self.lock:
            self.log.append(entry)
            if self.log_file:
                self.log_file.write(json.dumps(entry) + "\n")
                self.log_file.flush()

    def snapshot(self):
        with self.lock:
            return list(self.log)

    def reset(self):
        with self.lock:
            self.routes.clear()
            self.log.clear()

    def close(self):
        if self.log_file:
            self.log_file.close()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "testserver/1"

    def log_message(self, *args):
        pass  # the request log is available through /__log and --log

    def do_GET(self):
        try:
            self.dispatch()
        except OSError:  # the client went away
            self.close_connection = True

    do_HEAD = do_POST = do_PUT = do_DELETE = do_PATCH = do_OPTIONS = do_GET

    requests = 0  # requests read on this connection

    def dispatch(self):
        self.requests += 1
        body = self.read_request_body()
        path = self.path.split("?", 1)[0]
        if path in CONTROL_PATHS:
            return self.control(path, body)
        self.server.state.record(self.command, self.path, self.headers,
                                 isinstance(self.connection, ssl.SSLSocket))
        route = self.server.state.find(path)
        if route is None:
            return self.serve_static(path)
        return self.serve_route(route)

    def read_request_body(self):
        if "Transfer-Encoding" in self.headers:
            self.close_connection = True  # chunked uploads are not parsed; never reuse
            return b""
        try:
            length = int(self.headers.get("Content-Length") or 0)
        except ValueError:
            length = 0
            self.close_connection = True
        return self.rfile.read(length) if length > 0 else b""

    # -- control endpoints -------------------------------------------------

    def control(self, path, body):
        state = self.server.state
        if path == "/__log" and self.command in ("GET", "HEAD"):
            return self.simple(200, json.dumps(state.snapshot()), "application/json")
        if self.command != "POST" or path == "/__log":
            return self.simple(405, "method not allowed\n")
        if path == "/__reset":
            state.reset()
            return self.simple(200, "ok\n")
        if path == "/__shutdown":
            # Answer first, then stop the way SIGTERM does: the main thread owns the shutdown.
            self.close_connection = True
            self.simple(200, "bye\n")
            os.kill(os.getpid(), signal.SIGTERM)
            return None
        try:
            fields = json.loads(body.decode("utf-8"))
            if not isinstance(fields, dict):
                raise ValueError("route must be a JSON object")
            route_path = fields.pop("path", None)
            if not isinstance(route_path, str) or not route_path.startswith("/") or "?" in route_path:
                raise ValueError("path must be a string starting with / and without a query")
            state.add(route_path, check_route(fields, os.getcwd()))
        except ValueError as e:  # includes JSON and UTF-8 decoding errors
            return self.simple(400, f"bad route: {e}\n")
        return self.simple(200, "ok\n")

    # -- responses ---------------------------------------------------------

    def simple(self, status, text, ctype="text/plain; charset=utf-8"):
        data = text.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(data)

    def serve_static(self, path):
        root = self.server.root
        try:
            rel = urllib.parse.unquote(path, errors="strict").lstrip("/")
            full = os.path.realpath(os.path.join(root, rel)) if root else None
            inside = full is not None and os.path.commonpath([root, full]) == root
        except ValueError:  # NUL bytes, bad encoding
            inside = False
        if not inside or not os.path.isfile(full):
            return self.simple(404, "not found\n")
        return self.serve_route({"body_file": full})

    def pause(self, seconds):
        """Sleep (negative = until the server stops). False if the server is stopping."""
        stop = self.server.stop_event
        if seconds < 0:
            stop.wait()
            return False
        return not stop.wait(seconds)

    def hang_up(self):
        """Close the connection now, whatever the headers promised."""
        self.close_connection = True
        try:
            self.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass

    def serve_route(self, route):
        stall = route.get("stall_before_headers", 0)
        if stall and not self.pause(stall):
            return self.hang_up()
        if "body_file" in route:
            try:
                length = os.path.getsize(route["body_file"])
                source = open(route["body_file"], "rb")
            except OSError as e:
                return self.simple(500, f"cannot read body_file: {e}\n")
            ctype = MIME.guess_type(route["body_file"])[0] or "application/octet-stream"
        elif "size" in route:
            length, source, ctype = route["size"], None, "application/octet-stream"
        elif route.get("endless"):
            length, source, ctype = ENDLESS, None, "application/octet-stream"
        else:
            source = route.get("body", "").encode("utf-8")
            length, ctype = len(source), "text/plain; charset=utf-8"

        headers = {"content-type": ("Content-Type", ctype)}
        if "location" in route:
            headers["location"] = ("Location", route["location"])
        if route.get("content_length", not route.get("endless")):
            headers["content-length"] = ("Content-Length", str(length))
        else:
            headers["connection"] = ("Connection", "close")  # body ends when we close
            self.close_connection = True
        for name, value in route.get("headers", {}).items():
            headers[name.lower()] = (name, str(value))

        try:
            self.send_response(route.get("status", 200))
            for name, value in headers.values():
                self.send_header(name, value)
            self.end_headers()
            if self.command != "HEAD":
                self.send_body(route, length, source)
        finally:
            if hasattr(source, "close"):
                source.close()

    def send_body(self, route, length, source):
        chunk = route.get("chunk", 65536)
        delay = route.get("delay", 0)
        stall_at = route.get("stall_after")
        drop_at = route.get("drop_after")
        rate = route.get("rate")
        started = time.monotonic()
        sent = 0
        while True:
            # Stall/drop marks are checked before each write so they hit the exact byte.
            if stall_at is not None and sent >= stall_at:
                stall_at = None
                if not self.pause(route.get("stall_seconds", -1)):
                    return self.hang_up()
            if drop_at is not None and sent >= drop_at:
                return self.hang_up()
            if sent >= length:
                return
            # Writes end at multiples of chunk, so the delay falls between whole chunks.
            n = min(chunk - sent % chunk, length - sent)
            for mark in (stall_at, drop_at):
                if mark is not None:
                    n = min(n, mark - sent)
            if source is None:
                data = generated(sent, n)
            elif isinstance(source, bytes):
                data = source[sent:sent + n]
            else:
                data = source.read(n)
                if not data:  # file shrank after its size was sent
                    return self.hang_up()
            if delay and sent and sent % chunk == 0 and not self.pause(delay):
                return self.hang_up()
            if rate:
                # Paced against the start, so the rate holds however long each write took.
                due = started + sent / rate - time.monotonic()
                if due > 0 and not self.pause(due):
                    return self.hang_up()
            self.wfile.write(data)
            sent += len(data)


class Server(ThreadingHTTPServer):
    daemon_threads = True
    tls = None  # an ssl.SSLContext when the server has a certificate

    def server_bind(self):
        # Skip HTTPServer's reverse DNS lookup of the host name; it can be slow.
        socketserver.TCPServer.server_bind(self)
        self.server_name, self.server_port = self.server_address[:2]

    def finish_request(self, request, client_address):
        """In the connection's own thread: a connection that opens with a TLS handshake
        gets TLS, any other plain HTTP, so the control endpoints stay reachable whatever
        certificate the server shows. A TLS connection that ends without a request (the
        client refused the certificate during the handshake or right after it) is noted in
        the log as such, without a path."""
        if self.tls is None:
            return super().finish_request(request, client_address)
        request.settimeout(TLS_HANDSHAKE_SECONDS)
        try:
            first = request.recv(1, socket.MSG_PEEK)
        except OSError:
            return None
        if first != b"\x16":  # not a TLS record of the handshake type
            request.settimeout(None)
            return super().finish_request(request, client_address)
        try:
            secure = self.tls.wrap_socket(request, server_side=True)
        except OSError as e:  # ssl.SSLError is one
            self.state.record_tls_without_request(str(e))
            return None
        secure.settimeout(None)
        try:
            handler = self.RequestHandlerClass(secure, client_address, self)
            if not handler.requests:
                self.state.record_tls_without_request("closed after the handshake")
        finally:
            secure.close()
        return None


class Server6(Server):
    address_family = socket.AF_INET6


def main(argv=None):
    parser = argparse.ArgumentParser(description="Scriptable local HTTP server for tests.")
    parser.add_argument("--host", default="127.0.0.1", help="loopback address to bind")
    parser.add_argument("--port", type=int, default=0, help="port, 0 = any free port")
    parser.add_argument("--port-file", help="write the port number to this file when ready")
    parser.add_argument("--root", help="serve static files from this directory")
    parser.add_argument("--routes", help="JSON file mapping paths to routes")
    parser.add_argument("--log", help="append each request as a JSON line to this file")
    parser.add_argument("--tls-cert",
                        help="PEM file with the server's certificate (chain) and private key: "
                             "TLS for connections that open with a handshake")
    parser.add_argument("--max-seconds", type=float,
                        help="stop by itself after this many seconds (a safety net for callers "
                             "that cannot signal it)")
    args = parser.parse_args(argv)

    host = "127.0.0.1" if args.host == "localhost" else args.host
    try:
        address = ipaddress.ip_address(host)
    except ValueError:
        parser.error(f"--host must be a loopback IP address, not {args.host!r}")
    if not address.is_loopback:
        parser.error(f"--host must be a loopback address, not {args.host!r}")
    if args.max_seconds is not None and args.max_seconds <= 0:
        parser.error("--max-seconds must be positive")
    if args.root and not os.path.isdir(args.root):
        parser.error(f"--root {args.root!r} is not a directory")
    try:
        file_routes = load_routes(args.routes) if args.routes else {}
    except (OSError, ValueError) as e:
        parser.error(f"--routes {args.routes!r}: {e}")
    tls = None
    if args.tls_cert:
        tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        try:
            tls.load_cert_chain(args.tls_cert)
        except (OSError, ssl.SSLError) as e:
            parser.error(f"--tls-cert {args.tls_cert!r}: {e}")

    # Block the stop signals in every thread; the main thread collects them with sigwait.
    stop_signals = {signal.SIGTERM, signal.SIGINT}
    signal.pthread_sigmask(signal.SIG_BLOCK, stop_signals)

    server_class = Server6 if address.version == 6 else Server
    server = server_class((host, args.port), Handler)
    server.state = State(file_routes, args.log)
    server.tls = tls
    server.root = os.path.realpath(args.root) if args.root else None
    server.stop_event = threading.Event()
    threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.05},
                     daemon=True).start()

    port = server.server_address[1]
    if args.port_file:
        tmp = f"{args.port_file}.tmp{os.getpid()}"
        with open(tmp, "w", encoding="ascii") as f:
            f.write(str(port))
        os.replace(tmp, args.port_file)
    print(f"PORT {port}", flush=True)

    if args.max_seconds is None:
        signal.sigwait(stop_signals)
    elif signal.sigtimedwait(stop_signals, args.max_seconds) is None:
        print(f"testserver: --max-seconds {args.max_seconds:g} reached, stopping",
              file=sys.stderr, flush=True)
    server.stop_event.set()  # releases stalled handlers
    server.shutdown()
    server.server_close()
    server.state.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
