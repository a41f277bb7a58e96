import http.client
import json
import os
import socket
import ssl
import subprocess
import sys
import tempfile
import time
import unittest

PORTAL = os.path.join(os.path.dirname(__file__), "..", "..", "tools", "demo-portal",
                      "demo_portal.py")
DEMO_CA = os.path.join(os.path.dirname(__file__), "..", "..", "tools", "tls", "demo-ca")


def free_ports(n):
    socks = [socket.socket() for _ in range(n)]
    for s in socks:
        s.bind(("127.0.0.1", 0))
    ports = [s.getsockname()[1] for s in socks]
    for s in socks:
        s.close()
    return ports


class PortalFixture(unittest.TestCase):
    """Starts the demo portal on free ports with one published version page."""
    version_delay = 0
    tls = False  # served with a certificate for localhost from a demo CA made for the test
    outage_kind = None  # the game site down this way from the start

    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.context = None
        extra = []
        if self.tls:
            folder = os.path.join(self.dir.name, "tls")
            subprocess.run([sys.executable, DEMO_CA, folder], check=True,
                           stdout=subprocess.DEVNULL)
            self.context = ssl.create_default_context(cafile=os.path.join(folder, "ca.pem"))
            extra = ["--tls-cert", os.path.join(folder, "localhost.pem")]
        self.ports = free_ports(4)
        self.log = os.path.join(self.dir.name, "log.jsonl")
        self.root = os.path.join(self.dir.name, "updates")
        os.makedirs(os.path.join(self.root, "clientkv3", "portHatch"))
        with open(os.path.join(self.root, "clientkv3", "portHatch", "qlm_Orbo.html"), "w") as f:
            f.write("1.0.0.9")
        ready = os.path.join(self.dir.name, "ready")
        self.outage_file = os.path.join(self.dir.name, "down")
        outage = []
        if self.outage_kind:
            open(self.outage_file, "w").close()
            outage = ["--game-outage", self.outage_kind, "--game-outage-file", self.outage_file]
            if self.outage_kind == "wrong-name":
                outage += ["--game-outage-cert", os.path.join(folder, "other-name.pem")]
        self.proc = subprocess.Popen(
            [sys.executable, PORTAL, "--ports", ",".join(map(str, self.ports)),
             "--log", self.log, "--update-root", self.root, "--ready-file", ready,
             "--max-seconds", "60", "--version-delay", str(self.version_delay), *extra]
            + outage,
            stdout=subprocess.DEVNULL)
        deadline = time.time() + 10
        while not os.path.exists(ready):
            self.assertLess(time.time(), deadline, "demo portal did not start")
            time.sleep(0.05)

    def tearDown(self):
        self.proc.terminate()
        try:
            self.proc.wait(5)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait(5)
        self.dir.cleanup()

    def get(self, site, path):
        port = self.ports[["update", "game", "pay", "portal"].index(site)]
        if self.context:
            conn = http.client.HTTPSConnection("localhost", port, timeout=5, context=self.context)
        else:
            conn = http.client.HTTPConnection("127.0.0.1", port, timeout=5)
        conn.request("GET", path, headers={"X-Probe": "1"})
        response = conn.getresponse()
        body = response.read()
        conn.close()
        return response.status, body.decode("utf-8", "replace")

    def entries(self):
        with open(self.log) as f:
            return [json.loads(line) for line in f]


class DemoPortalTest(PortalFixture):
    def test_login_page_leads_to_the_game_entry_address(self):
        status, body = self.get("game", "/client")
        self.assertEqual(status, 200)
        self.assertIn('action="/login.php"', body)
        self.assertIn('target="_blank"', body)
        self.assertIn("window.external.entergame()", body)
        status, body = self.get("game", "/login.php?user=moonwalker&pass=x")
        self.assertEqual(status, 200)
        self.assertIn("moonwalker", body)

    def test_each_site_serves_its_page_and_nothing_else(self):
        self.assertEqual(self.get("game", "/")[0], 200)
        self.assertEqual(self.get("pay", "/?gameid=223")[0], 200)
        self.assertEqual(self.get("pay", "/")[0], 404)
        self.assertEqual(self.get("portal", "/view-2.html")[0], 200)
        self.assertEqual(self.get("portal", "/client")[0], 404)

    def test_update_site_serves_the_published_folder_only(self):
        status, body = self.get("update", "/clientkv3/portHatch/qlm_Orbo.html?29913120")
        self.assertEqual((status, body), (200, "1.0.0.9"))
        self.assertEqual(self.get("update", "/clientkv3/portHatch/qlm_Orbo.exe")[0], 404)
        self.assertEqual(self.get("update", "/../../etc/passwd")[0], 404)

    def test_user_names_are_escaped_on_the_game_page(self):
        _, body = self.get("game", "/login.php?user=%3Cscript%3E")
        self.assertNotIn("<script>", body.split("<main>")[1])

    def test_requests_are_logged_with_site_path_and_headers(self):
        self.get("game", "/client")
        self.get("pay", "/?gameid=223")
        entries = self.entries()
        self.assertEqual([(e["site"], e["path"]) for e in entries],
                         [("game", "/client"), ("pay", "/?gameid=223")])
        self.assertEqual(entries[0]["headers"]["X-Probe"], "1")

    def test_each_entry_carries_its_arrival_and_answer_times(self):
        before = time.time()
        self.get("game", "/client")
        after = time.time()
        entry = self.entries()[0]
        self.assertLessEqual(before, entry["time"])
        self.assertLessEqual(entry["time"], entry["answered"])
        self.assertLessEqual(entry["answered"], after)


class TlsPortalTest(PortalFixture):
    tls = True

    def test_every_site_speaks_tls_and_the_login_page_links_over_https(self):
        status, body = self.get("game", "/client")
        self.assertEqual(status, 200)
        self.assertIn(f'href="https://localhost:{self.ports[1]}/"', body)
        self.assertEqual(self.get("update", "/clientkv3/portHatch/qlm_Orbo.html?1"),
                         (200, "1.0.0.9"))
        self.assertEqual(self.get("portal", "/view-2.html")[0], 200)
        plain = http.client.HTTPConnection("127.0.0.1", self.ports[2], timeout=5)
        self.addCleanup(plain.close)
        with self.assertRaises((http.client.HTTPException, OSError)):
            plain.request("GET", "/?gameid=223")
            plain.getresponse()
        self.assertEqual([(e["path"], e["tls"]) for e in self.entries()],
                         [("/client", True), ("/clientkv3/portHatch/qlm_Orbo.html?1", True),
                          ("/view-2.html", True)])


class DelayedVersionPageTest(PortalFixture):
    version_delay = 0.3

    def test_the_version_page_is_answered_after_the_delay(self):
        status, body = self.get("update", "/clientkv3/portHatch/qlm_Orbo.html?1")
        self.assertEqual((status, body), (200, "1.0.0.9"))
        entry = self.entries()[0]
        self.assertGreaterEqual(entry["answered"] - entry["time"], 0.3)

    def test_other_pages_are_answered_at_once(self):
        self.get("game", "/client")
        entry = self.entries()[0]
        self.assertLess(entry["answered"] - entry["time"], 0.3)


class GameOutageTest(PortalFixture):
    def test_each_kind_of_outage_lasts_while_its_file_exists(self):
        for kind, down in (("closed", "ConnectionRefusedError"),
                           ("no-answer", "RemoteDisconnected"), ("503", 503),
                           ("wrong-name", "SSLCertVerificationError")):
            with self.subTest(kind=kind):
                self.tearDown()
                self.outage_kind = kind
                self.tls = kind == "wrong-name"
                self.setUp()
                try:
                    got = self.get("game", "/client")[0]
                except (ConnectionError, ssl.SSLError, http.client.HTTPException) as e:
                    got = type(e).__name__
                self.assertEqual(got, down)
                self.assertEqual(self.get("update", "/clientkv3/portHatch/qlm_Orbo.html")[0],
                                 200, "only the game site is down")
                os.remove(self.outage_file)
                deadline = time.time() + 5
                while True:  # a closed port opens again within a poll
                    try:
                        self.assertEqual(self.get("game", "/client")[0], 200)
                        break
                    except ConnectionError:
                        self.assertLess(time.time(), deadline)
                        time.sleep(0.05)
                outages = [e.get("outage") for e in self.entries() if e["site"] == "game"]
                # No request gets past a closed port; a refused certificate's
                # connection has a line of its own.
                self.assertEqual(outages, [None] if kind == "closed" else [kind, None])

    def test_a_client_past_the_other_names_certificate_is_logged_as_such(self):
        self.tearDown()
        self.outage_kind, self.tls = "wrong-name", True
        self.setUp()
        self.context = ssl._create_unverified_context()
        self.assertEqual(self.get("game", "/client")[0], 200)
        deadline = time.time() + 5
        while len(game := [e for e in self.entries() if e["site"] == "game"]) < 2:
            self.assertLess(time.time(), deadline, "the connection's line was not written")
            time.sleep(0.05)
        request, connection = game
        self.assertEqual((request["path"], request["outage"]), ("/client", "wrong-name"))
        self.assertEqual((connection["handshake"], connection["requests"]), (True, 1))

if __name__ == "__main__":
    unittest.main()
