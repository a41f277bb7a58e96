"""The static checks of the Windows programs, on small programs linked here
with MinGW: check-binary.sh's import rule, and check-delay-slots.py against
delay-load import libraries made by dlltool alone (whose slots a 32-bit link
leaves at 0) and by cmake/make_delay_import_library.py."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
TRIPLES = {"i386": "i686-w64-mingw32", "x86-64": "x86_64-w64-mingw32"}

# Calls a delay-loaded function the way the launcher's code does, through its
# dllimport slot only.
SHELL_CALL = r"""
#include <windows.h>
#include <shlobj.h>
int WINAPI WinMain(HINSTANCE a, HINSTANCE b, LPSTR c, int d)
{
    LPITEMIDLIST folder = 0;
    return SHGetSpecialFolderLocation(NULL, CSIDL_DESKTOPDIRECTORY, &folder) == S_OK ? 0 : 1;
}
"""
VERSION_CALL = r"""
#include <windows.h>
int WINAPI WinMain(HINSTANCE a, HINSTANCE b, LPSTR c, int d)
{
    DWORD handle = 0;
    return (int)GetFileVersionInfoSizeW(L"kernel32.dll", &handle);
}
"""


@unittest.skipUnless(shutil.which("i686-w64-mingw32-gcc") and shutil.which("x86_64-w64-mingw32-gcc"),
                     "MinGW is not installed")
class BinaryChecks(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="qm-binary-checks-")
        self.addCleanup(shutil.rmtree, self.dir)

    def tool(self, machine, name):
        return "%s-%s" % (TRIPLES[machine], name)

    def program(self, machine, source, name, *libraries):
        path = os.path.join(self.dir, name + ".c")
        with open(path, "w") as out:
            out.write(source)
        exe = os.path.join(self.dir, name + ".exe")
        # Sections of their own and --gc-sections, as the launcher is linked.
        subprocess.run([self.tool(machine, "gcc"), "-Os", "-mwindows", "-ffunction-sections",
                        "-Wl,--gc-sections", "-o", exe, path, *libraries], check=True)
        return exe

    def delay_library(self, machine, dll, dlltool_only=False):
        import_lib = "/usr/%s/lib/lib%s.a" % (TRIPLES[machine], dll)
        out = os.path.join(self.dir, "lib%s_delay_%s%s.a" % (dll, machine,
                                                           "_dlltool" if dlltool_only else ""))
        if dlltool_only:
            # What dlltool makes of the DLL's functions on its own.
            definition = os.path.join(self.dir, dll + ".def")
            with open(definition, "w") as text:
                text.write("LIBRARY %s.dll\nEXPORTS\nSHGetSpecialFolderLocation@12\n" % dll)
            subprocess.run([self.tool(machine, "dlltool"), "--kill-at", "--input-def", definition,
                            "--dllname", dll + ".dll", "--output-delaylib", out], check=True)
        else:
            subprocess.run([sys.executable, os.path.join(ROOT, "cmake", "make_delay_import_library.py"),
                            "--nm", self.tool(machine, "nm"), "--dlltool",
                            self.tool(machine, "dlltool"), "--ar", self.tool(machine, "ar"),
                            "--machine", machine, import_lib, dll + ".dll", out], check=True)
        return out

    def check_slots(self, exe):
        return subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "check-delay-slots.py"), exe],
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              universal_newlines=True)

    def check_binary(self, exe, machine):
        return subprocess.run(["bash", os.path.join(ROOT, "scripts", "check-binary.sh"), exe, machine],
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              universal_newlines=True)

    def test_slots_of_the_generated_libraries_point_at_their_stubs(self):
        for machine in TRIPLES:
            with self.subTest(machine=machine):
                exe = self.program(machine, SHELL_CALL, "shell_" + machine.replace("-", ""),
                                   self.delay_library(machine, "shell32"), "-ldelayimp")
                result = self.check_slots(exe)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertIn("shell32.dll: 1 delay-loaded functions", result.stdout)

    def test_slot_left_at_zero_by_dlltools_own_library_is_refused(self):
        exe = self.program("i386", SHELL_CALL, "shell_dlltool",
                           self.delay_library("i386", "shell32", dlltool_only=True), "-ldelayimp")
        result = self.check_slots(exe)
        self.assertEqual(result.returncode, 1)
        self.assertIn("shell32.dll!SHGetSpecialFolderLocation", result.stderr)
        self.assertIn("is 0", result.stderr)

    def test_program_without_delay_loading_is_refused(self):
        result = self.check_slots(self.program("x86-64", VERSION_CALL, "plain", "-lversion"))
        self.assertEqual(result.returncode, 1)
        self.assertIn("no delay-loaded DLL", result.stderr)

    def test_static_import_of_a_dll_that_is_no_known_dll_is_refused(self):
        for machine in TRIPLES:
            with self.subTest(machine=machine):
                static = self.program(machine, VERSION_CALL, "static_" + machine.replace("-", ""),
                                      "-lversion")
                result = self.check_binary(static, machine)
                self.assertEqual(result.returncode, 1)
                self.assertRegex(result.stderr, r"(?i)imports version\.dll at start")
                delayed = self.program(machine, VERSION_CALL, "delayed_" + machine.replace("-", ""),
                                       self.delay_library(machine, "version"), "-ldelayimp")
                result = self.check_binary(delayed, machine)
                self.assertEqual(result.returncode, 0, result.stderr)


if __name__ == "__main__":
    unittest.main()
