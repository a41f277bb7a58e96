import os
import subprocess
import sys
import tempfile
import unittest

TOOL = os.path.join(os.path.dirname(__file__), "..", "..", "tools", "publish-update",
                    "publish-update")


def run(*args):
    return subprocess.run([sys.executable, TOOL, *args], capture_output=True, text=True,
                          timeout=30)


class PublishUpdateTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.exe = os.path.join(self.dir.name, "Quillmoor.exe")
        with open(self.exe, "wb") as f:
            f.write(b"MZ" + bytes(range(256)) * 4)
        self.out = os.path.join(self.dir.name, "site")

    def tearDown(self):
        self.dir.cleanup()

    def endpoint(self, name):
        return os.path.join(self.out, "clientkv3", "portHatch", name)

    def test_writes_the_version_page_and_the_executable(self):
        result = run(self.exe, "1.0.0.9", self.out)
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(self.endpoint("qlm_Orbo.html"), "rb") as f:
            self.assertEqual(f.read(), b"1.0.0.9")
        with open(self.endpoint("qlm_Orbo.exe"), "rb") as f, open(self.exe, "rb") as g:
            self.assertEqual(f.read(), g.read())

    def test_republishing_replaces_both_and_leaves_no_temporary_files(self):
        self.assertEqual(run(self.exe, "1.0.0.9", self.out).returncode, 0)
        with open(self.exe, "ab") as f:
            f.write(b"more")
        self.assertEqual(run(self.exe, "1.0.1.0", self.out).returncode, 0)
        with open(self.endpoint("qlm_Orbo.html"), "rb") as f:
            self.assertEqual(f.read(), b"1.0.1.0")
        with open(self.endpoint("qlm_Orbo.exe"), "rb") as f:
            self.assertTrue(f.read().endswith(b"more"))
        self.assertEqual(sorted(os.listdir(os.path.dirname(self.endpoint("x")))),
                         ["qlm_Orbo.exe", "qlm_Orbo.html"])

    def test_rejects_versions_launchers_cannot_use(self):
        for bad in ["1.0.0", "0.9.0.0", "1.0.0.9\n", "v1.0.0.9", "1.0.0.9.1", ""]:
            result = run(self.exe, bad, self.out)
            self.assertEqual(result.returncode, 2, bad)
            self.assertFalse(os.path.exists(self.endpoint("qlm_Orbo.html")), bad)

    def test_rejects_a_file_that_is_not_an_executable(self):
        text = os.path.join(self.dir.name, "notes.txt")
        with open(text, "w") as f:
            f.write("hello")
        result = run(text, "1.0.0.9", self.out)
        self.assertEqual(result.returncode, 2)
        self.assertIn("not a Windows executable", result.stderr)
        self.assertFalse(os.path.exists(self.endpoint("qlm_Orbo.exe")))

    def test_missing_executable_is_reported(self):
        result = run(os.path.join(self.dir.name, "absent.exe"), "1.0.0.9", self.out)
        self.assertEqual(result.returncode, 2)
        self.assertIn("cannot read", result.stderr)


if __name__ == "__main__":
    unittest.main()
