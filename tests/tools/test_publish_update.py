import importlib.machinery
import importlib.util
import os
import stat
import struct
import subprocess
import sys
import tempfile
import unittest
from unittest import mock

from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.hazmat.primitives.asymmetric.utils import encode_dss_signature

HERE = os.path.dirname(os.path.abspath(__file__))
TOOL = os.path.join(HERE, "..", "..", "tools", "publish-update", "publish-update")
KEYS = os.path.join(HERE, "..", "keys")
TEST_KEY = os.path.join(KEYS, "update-test.pem")
TEST_PUB = os.path.join(KEYS, "update-test.pub.pem")
SPARE_PUB = os.path.join(KEYS, "update-test-spare.pub.pem")


def load_tool():
    loader = importlib.machinery.SourceFileLoader("publish_update", TOOL)
    module = importlib.util.module_from_spec(importlib.util.spec_from_loader(loader.name, loader))
    loader.exec_module(module)
    return module


def run(*args):
    return subprocess.run([sys.executable, TOOL, *args], capture_output=True, text=True,
                          timeout=30)


def fake_exe(version):
    """An executable's first bytes and a version resource's fixed information."""
    a, b, c, d = (int(x) for x in version.split("."))
    key = "VS_VERSION_INFO\0".encode("utf-16-le")
    fixed = struct.pack("<IIII", 0xFEEF04BD, 0x00010000, (a << 16) | b, (c << 16) | d)
    block = struct.pack("<HHH", 6 + len(key) + 2 + 52, 52, 0) + key + bytes(2) + fixed
    # The signature alone elsewhere (as code may hold it) is no version.
    return b"MZ" + struct.pack("<I", 0xFEEF04BD) + bytes(range(256)) * 4 + block + bytes(40)


def public_key(path):
    with open(path, "rb") as f:
        return serialization.load_pem_public_key(f.read())


class PublishUpdateTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.exe = os.path.join(self.dir.name, "Quillmoor.exe")
        self.write_exe("1.0.0.9")
        self.out = os.path.join(self.dir.name, "site")

    def tearDown(self):
        self.dir.cleanup()

    def write_exe(self, version, extra=b""):
        with open(self.exe, "wb") as f:
            f.write(fake_exe(version) + extra)

    def endpoint(self, name):
        return os.path.join(self.out, "clientkv3", "portHatch", name)

    def read(self, name):
        with open(self.endpoint(name), "rb") as f:
            return f.read()

    def publish(self, version="1.0.0.9", *extra):
        return run("--key", TEST_KEY, *extra, self.exe, version, self.out)

    def test_publishes_a_signature_that_the_launchers_key_verifies(self):
        result = self.publish("1.0.0.9", "--trusted", SPARE_PUB, "--trusted", TEST_PUB)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(self.read("qlm_Orbo.html"), b"1.0.0.9")
        with open(self.exe, "rb") as g:
            exe = g.read()
        self.assertEqual(self.read("qlm_Orbo.exe"), exe)
        raw = self.read("qlm_Orbo.exe.sig")
        self.assertEqual(len(raw), 64)
        der = encode_dss_signature(int.from_bytes(raw[:32], "big"), int.from_bytes(raw[32:], "big"))
        public_key(TEST_PUB).verify(der, b"quillmoor-update-v1\n1.0.0.9\n" + exe,
                                    ec.ECDSA(hashes.SHA256()))

    def test_republishing_replaces_everything_and_leaves_no_temporary_files(self):
        self.assertEqual(self.publish().returncode, 0)
        first = self.read("qlm_Orbo.exe.sig")
        self.write_exe("1.0.1.0", b"more")
        self.assertEqual(self.publish("1.0.1.0").returncode, 0)
        self.assertEqual(self.read("qlm_Orbo.html"), b"1.0.1.0")
        self.assertTrue(self.read("qlm_Orbo.exe").endswith(b"more"))
        self.assertNotEqual(self.read("qlm_Orbo.exe.sig"), first)
        self.assertEqual(sorted(os.listdir(os.path.dirname(self.endpoint("x")))),
                         ["qlm_Orbo.exe", "qlm_Orbo.exe.sig", "qlm_Orbo.html"])

    def test_refusals_publish_nothing(self):
        text = os.path.join(self.dir.name, "notes.txt")
        with open(text, "w") as f:
            f.write("hello")
        p384 = os.path.join(self.dir.name, "p384.pem")
        with open(p384, "wb") as f:
            f.write(ec.generate_private_key(ec.SECP384R1()).private_bytes(
                serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                serialization.NoEncryption()))
        cases = [
            ("versions launchers cannot use", ["--key", TEST_KEY, self.exe, "1.0.0", self.out],
             "not a version"),
            ("version starting with 0", ["--key", TEST_KEY, self.exe, "0.9.0.0", self.out],
             "not a version"),
            ("version with a line end", ["--key", TEST_KEY, self.exe, "1.0.0.9\n", self.out],
             "not a version"),
            ("not an executable", ["--key", TEST_KEY, text, "1.0.0.9", self.out],
             "not a Windows executable"),
            ("missing executable", ["--key", TEST_KEY, text + ".exe", "1.0.0.9", self.out],
             "cannot read"),
            ("a public key to sign with", ["--key", TEST_PUB, self.exe, "1.0.0.9", self.out],
             "not an unencrypted PEM private key"),
            ("a version its resource does not carry",
             ["--key", TEST_KEY, self.exe, "1.0.0.10", self.out], "carries 1.0.0.9, not 1.0.0.10"),
            ("a key of another curve", ["--key", p384, self.exe, "1.0.0.9", self.out],
             "not a P-256 key"),
            ("a key no launcher trusts",
             ["--key", TEST_KEY, "--trusted", SPARE_PUB, self.exe, "1.0.0.9", self.out],
             "none of the trusted keys"),
        ]
        for name, args, message in cases:
            with self.subTest(name):
                result = run(*args)
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertIn(message, result.stderr)
                self.assertFalse(os.path.exists(self.out), "nothing is written")

    def test_the_version_page_is_written_last(self):
        tool = load_tool()
        order = []
        with mock.patch.object(tool, "replace_atomically",
                               lambda target, data: order.append(os.path.basename(target))):
            tool.main(["--key", TEST_KEY, self.exe, "1.0.0.9", self.out])
        self.assertEqual(order, ["qlm_Orbo.exe.sig", "qlm_Orbo.exe", "qlm_Orbo.html"])

    def test_short_r_and_s_are_left_padded_to_32_bytes(self):
        tool = load_tool()
        for r, s in [(1, 2), (0xAB << 240, 0xCD), ((1 << 256) - 1, 0x7F << 248)]:
            raw = tool.raw_signature(encode_dss_signature(r, s))
            self.assertEqual(len(raw), 64)
            self.assertEqual(raw[:32], r.to_bytes(32, "big"))
            self.assertEqual(raw[32:], s.to_bytes(32, "big"))

    def test_keygen_makes_an_owner_only_private_key_and_never_overwrites(self):
        folder = os.path.join(self.dir.name, "keys")
        self.assertEqual(run("keygen", folder).returncode, 0)
        mode = stat.S_IMODE(os.stat(os.path.join(folder, "update.pem")).st_mode)
        self.assertEqual(mode, 0o600)
        result = run("--key", os.path.join(folder, "update.pem"), "--trusted",
                     os.path.join(folder, "update.pub.pem"), self.exe, "1.0.0.9", self.out)
        self.assertEqual(result.returncode, 0, result.stderr)
        again = run("keygen", folder)
        self.assertEqual(again.returncode, 2)
        self.assertIn("never overwritten", again.stderr)


if __name__ == "__main__":
    unittest.main()
