#!/usr/bin/env python3
"""The bundled local demo servers the launcher talks to by default.

Four sites on 127.0.0.1, each on its own port (the launcher's compiled-in
default hosts, https://localhost:18701 to :18704):
  update  18701  static files of an update folder (see tools/publish-update)
  game    18702  "/client" login page, "/" home page, "/login.php" game page
  pay     18703  "/?gameid=223" top-up page
  portal  18704  "/view-2.html" customer-service page

    demo_portal.py [--update-root DIR] [--log FILE.jsonl] [--ready-file FILE]
                   [--max-seconds N] [--ports U,G,P,S] [--version-delay S]
                   [--tls-cert FILE.pem]
                   [--game-outage closed|no-answer|503|wrong-name --game-outage-file FILE]
                   [--game-outage-cert FILE.pem]

While the outage file exists, the game site is down in the way named: its
port closed (nothing listens), or every request read and the connection
closed without an answer, or every page answered with 503, or (with
--tls-cert) the certificate of --game-outage-cert shown instead of the
site's own, such as one for another name. Tests create and remove the file
to take the site down and bring it back.

With --tls-cert (a certificate for DNS:localhost and its private key, such as
localhost.pem of tools/tls/demo-ca) every site speaks TLS only, as
https://localhost:PORT; without it plain HTTP on 127.0.0.1:PORT.

Every request is logged (site, method, path with query, headers, whether it
came over TLS) to the log file, one JSON object per line, so end-to-end tests can see what arrived.
Each line also carries wall-clock Unix times in seconds: "time", when the
request arrived, and "answered", when its answer was handed to the
connection; the line is written just before the answer goes out, so whoever
holds an answer finds its line. Benchmarks time the launcher from "answered".
A request made during an outage says so ("outage": its kind; in a wrong-name
outage, one that went past the other name's certificate). Every connection
shown that certificate also gets a line of its own, {"connection": "outage
certificate", "handshake": whether the client finished it, "requests": how
many it carried}, so a client that drops it without a request is seen.
"""
import argparse
import html
import json
import os
import posixpath
import signal
import ssl
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

STYLE = """
body { margin:0; font-family: Georgia, 'DejaVu Serif', serif; color:#f3e6c4;
       background: radial-gradient(circle at 30% 20%, #24406b, #0b1630 70%); }
main { max-width: 560px; margin: 24px auto; padding: 18px 24px; border: 2px solid #c9a24a;
       border-radius: 10px; background: rgba(8,16,38,.78); }
h1 { color:#e8c36a; font-size: 22px; margin: 0 0 12px; }
label { display:block; margin: 8px 0 2px; }
input { width: 95%; padding: 5px; border: 1px solid #c9a24a; background:#f3e6c4; color:#14233f; }
button, .button { margin-top: 12px; padding: 6px 18px; border: 1px solid #c9a24a;
       background: #1d4f7c; color: #f3e6c4; cursor: pointer; text-decoration: none; }
a { color: #e8c36a; }
"""


def page(title, body):
    return f"""<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>{html.escape(title)}</title>
<style>{STYLE}</style></head><body><main>{body}</main></body></html>"""


def client_page(origins):
    home = f"{origins['game']}/"
    return page("Quillmoor - Sign in", f"""
<h1>Sign in to Quillmoor</h1>
<form action="/login.php" method="get">
  <label for="user">Account</label><input id="user" name="user" value="moonwalker">
  <label for="pass">Password</label><input id="pass" name="pass" type="password" value="secret">
  <button type="submit">Enter the moor</button>
</form>
<p><a href="/login.php?user=guest">Play as a guest</a> &middot;
   <a href="{home}" target="_blank">Game news (new window)</a> &middot;
   <a href="#" onclick="window.open('{home}'); return false;">Open the home page</a></p>
<p><button type="button" onclick="window.external.entergame()">Enter through the launcher</button></p>
<p id="launcher"></p>
<script>
  try {{
    if (window.external && window.external.ismc) {{
      window.external.getGsName('moonwalker');
      window.external.getNewMsg();
      document.getElementById('launcher').textContent = 'Running inside the Quillmoor launcher.';
    }}
  }} catch (e) {{}}
</script>""")


def game_page(query):
    user = urllib.parse.parse_qs(query).get("user", ["traveller"])[0]
    return page("Quillmoor", f"""
<h1>Welcome to the moor, {html.escape(user)}</h1>
<p>The lanterns are lit and the quills are sharp. Your adventure begins here.</p>
<p>Press F5 to refresh this page, F9 to hide the game window.</p>""")


class SiteHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "QuillmoorDemo/1.0"
    requests = 0  # on this connection

    def log_message(self, fmt, *args):  # quiet; requests go to the JSON log
        pass

    def record(self, answered=None):
        if self.recorded:
            return
        self.recorded = True
        entry = {"site": self.server.site, "method": self.command, "path": self.path,
                 "headers": {k: v for k, v in self.headers.items()}, "time": self.arrived,
                 "tls": isinstance(self.connection, ssl.SSLSocket)}
        if getattr(self, "outage", None):
            entry["outage"] = self.outage
        if answered is not None:
            entry["answered"] = answered
        self.server.log(entry)

    def send_body(self, status, body, content_type="text/html; charset=utf-8", rate=0):
        """Sends the whole body; at `rate` bytes a second when it is not 0."""
        data = body.encode("utf-8") if isinstance(body, str) else body
        self.record(answered=time.time())
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        if self.command == "HEAD":
            return
        if not rate:
            self.wfile.write(data)
            return
        step = max(1, int(rate / 10))
        for at in range(0, len(data), step):
            self.wfile.write(data[at:at + step])
            self.wfile.flush()
            time.sleep(0.1)

    def do_HEAD(self):
        self.do_GET()

    def do_GET(self):
        # One handler serves every request of a kept-alive connection.
        self.arrived, self.recorded, self.outage = time.time(), False, None
        self.requests += 1
        if self.server.outage_tls and self.connection.context is self.server.outage_tls:
            self.outage = "wrong-name"  # a client that went past the other name's certificate
        outage = self.server.outage if self.server.site == "game" else None
        if outage in ("no-answer", "503") and os.path.exists(self.server.outage_file):
            self.outage = outage
            if outage == "no-answer":
                self.record()
                self.close_connection = True
                return
            self.send_body(503, page("Unavailable", "<h1>The moor is closed for now</h1>"))
            return
        url = urllib.parse.urlsplit(self.path)
        handler = getattr(self, "site_" + self.server.site)
        try:
            handler(url)
        finally:
            self.record()  # a request that got no answer is logged all the same

    def site_game(self, url):
        if url.path == "/client":
            self.send_body(200, client_page(self.server.origins))
        elif url.path == "/login.php":
            self.send_body(200, game_page(url.query))
        elif url.path == "/":
            self.send_body(200, page("Quillmoor", "<h1>Quillmoor</h1><p>News from the moor.</p>"))
        else:
            self.send_body(404, page("Not found", "<h1>Not found</h1>"))

    def site_pay(self, url):
        if url.path == "/" and "gameid=223" in url.query:
            self.send_body(200, page("Top up", "<h1>Top up your Quillmoor account</h1>"))
        else:
            self.send_body(404, page("Not found", "<h1>Not found</h1>"))

    def site_portal(self, url):
        if url.path == "/view-2.html":
            self.send_body(200, page("Support", "<h1>Customer service</h1><p>We are here.</p>"))
        else:
            self.send_body(404, page("Not found", "<h1>Not found</h1>"))

    def site_update(self, url):
        if url.path.endswith(".html") and self.server.version_delay > 0:
            time.sleep(self.server.version_delay)
        root = self.server.update_root
        rel = posixpath.normpath(urllib.parse.unquote(url.path)).lstrip("/")
        full = os.path.realpath(os.path.join(root or "/nonexistent", rel))
        if not root or not full.startswith(os.path.realpath(root) + os.sep) \
                or not os.path.isfile(full):
            self.send_body(404, page("Not found", "<h1>Not found</h1>"))
            return
        with open(full, "rb") as f:
            data = f.read()
        binary = full.endswith(".exe") or full.endswith(".sig")
        kind = "application/octet-stream" if binary else "text/html"
        rate = self.server.update_rate if full.endswith(".exe") else 0
        self.send_body(200, data, kind, rate)


class SiteServer(ThreadingHTTPServer):
    daemon_threads = True
    tls = None  # an ssl.SSLContext for a site that speaks TLS
    outage_tls = None  # the one it speaks instead while its outage file exists
    outage_file = None

    def log(self, entry):
        with self.log_lock:
            if self.log_file:
                self.log_file.write(json.dumps(entry) + "\n")
                self.log_file.flush()

    def finish_request(self, request, client_address):
        """The TLS handshake in the connection's own thread, so a client that stalls
        in it holds up nobody else. A connection shown the outage's certificate is
        logged on its own line with the requests it carried, so a client that drops
        it after the handshake is seen too."""
        if self.tls is None:
            return super().finish_request(request, client_address)
        request.settimeout(10)
        tls = self.tls
        if self.outage_tls and os.path.exists(self.outage_file):
            tls = self.outage_tls
        connection = {"site": self.site, "connection": "outage certificate", "time": time.time(),
                      "tls": True, "outage": "wrong-name", "handshake": False, "requests": 0}
        try:
            secure = tls.wrap_socket(request, server_side=True)
        except OSError:  # the client refused the certificate, or gave up
            if tls is self.outage_tls:
                self.log(connection)
            return None
        secure.settimeout(None)
        try:
            handler = self.RequestHandlerClass(secure, client_address, self)
        finally:
            secure.close()
        if tls is self.outage_tls:
            self.log(dict(connection, handshake=True, requests=handler.requests))
        return None


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--update-root", default=None)
    parser.add_argument("--log", default=None)
    parser.add_argument("--ready-file", default=None)
    parser.add_argument("--max-seconds", type=float, default=0)
    parser.add_argument("--ports", default="18701,18702,18703,18704")
    parser.add_argument("--update-rate", type=int, default=0,
                        help="bytes a second the update site sends executables at "
                             "(lets a tour photograph the download); 0: at once")
    parser.add_argument("--version-delay", type=float, default=0,
                        help="seconds the update site waits before answering the version "
                             "page (lets a tour photograph the update splash)")
    parser.add_argument("--tls-cert", default=None,
                        help="PEM file with a certificate for localhost and its private key: "
                             "every site speaks TLS")
    parser.add_argument("--game-outage", choices=("closed", "no-answer", "503", "wrong-name"),
                        default=None, help="how the game site is down while --game-outage-file "
                                           "exists")
    parser.add_argument("--game-outage-file", default=None)
    parser.add_argument("--game-outage-cert", default=None,
                        help="the PEM certificate and key the game site shows instead of its "
                             "own during a wrong-name outage")
    args = parser.parse_args(argv)
    if bool(args.game_outage) != bool(args.game_outage_file):
        parser.error("--game-outage and --game-outage-file go together")
    if args.game_outage == "wrong-name" and not (args.tls_cert and args.game_outage_cert):
        parser.error("--game-outage wrong-name needs --tls-cert and --game-outage-cert")

    ports = [int(p) for p in args.ports.split(",")]
    names = ["update", "game", "pay", "portal"]
    def server_context(option, pem):
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        try:
            context.load_cert_chain(pem)
        except (OSError, ssl.SSLError) as e:
            parser.error(f"{option} {pem!r}: {e}")
        return context

    tls = server_context("--tls-cert", args.tls_cert) if args.tls_cert else None
    outage_tls = None
    if args.game_outage == "wrong-name":
        outage_tls = server_context("--game-outage-cert", args.game_outage_cert)
    base = "https://localhost" if tls else "http://127.0.0.1"
    origins = {n: f"{base}:{p}" for n, p in zip(names, ports)}
    log_file = open(args.log, "a", encoding="utf-8") if args.log else None
    log_lock = threading.Lock()

    def start_site(name, port):
        server = SiteServer(("127.0.0.1", port), SiteHandler)
        server.tls = tls
        server.site, server.origins, server.update_root = name, origins, args.update_root
        server.log_file, server.log_lock = log_file, log_lock
        server.version_delay = args.version_delay
        server.update_rate = args.update_rate
        server.outage, server.outage_file = args.game_outage, args.game_outage_file
        if name == "game":
            server.outage_tls = outage_tls
        threading.Thread(target=server.serve_forever, daemon=True).start()
        return server

    def closed_now(name):
        return (name == "game" and args.game_outage == "closed"
                and os.path.exists(args.game_outage_file))

    servers = {name: None if closed_now(name) else start_site(name, port)
               for name, port in zip(names, ports)}

    stop = threading.Event()

    def follow_closed_outage():
        """Closes the game site's port while the outage file exists."""
        port = ports[names.index("game")]
        while not stop.wait(0.05):
            down = closed_now("game")
            if down and servers["game"]:
                servers["game"].shutdown()
                servers["game"].server_close()
                servers["game"] = None
            elif not down and not servers["game"]:
                servers["game"] = start_site("game", port)

    if args.game_outage == "closed":
        threading.Thread(target=follow_closed_outage, daemon=True).start()

    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    if args.ready_file:
        with open(args.ready_file + ".tmp", "w") as f:
            f.write("ready\n")
        os.replace(args.ready_file + ".tmp", args.ready_file)
    print("READY " + " ".join(f"{n}={o}" for n, o in origins.items()), flush=True)
    stop.wait(args.max_seconds if args.max_seconds > 0 else None)
    stop.set()
    for server in list(servers.values()):
        if server:
            server.shutdown()
            server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
