"""End to end: a crash leaves a report a debugger can read. The crashing program is a child
copy of the Windows-side tests (the shipped program has no way to crash on purpose)."""
import glob
import os
import subprocess
import tempfile
import unittest

from program_test import ProgramTest
from winenv import WIN_BUILD, WINE


class CrashReportTest(ProgramTest):

    def run_wine(self, args, env, stdin=b""):
        # Files, not pipes: Wine's helpers inherit the handles and would hold a pipe open.
        with tempfile.TemporaryFile() as inp, tempfile.TemporaryFile() as out:
            inp.write(stdin)
            inp.seek(0)
            code = subprocess.run([WINE, *args], env=env, stdin=inp, stdout=out, stderr=subprocess.STDOUT,
                                  timeout=120).returncode
            out.seek(0)
            return code, out.read().decode("utf-8", "replace")

    def reports(self):
        return glob.glob(str(self.session.prefix / "drive_c/users/*/AppData/Local/Vantorel/Quorvane/crashes/*.dmp"))

    def test_a_debugger_lists_the_crashing_threads_frames(self):
        for old in self.reports():
            os.unlink(old)
        env = dict(self.session.env, QUORVANE_CRASH_CHILD="access")
        code, _ = self.run_wine([str(WIN_BUILD / "win_tests.exe"), "--gtest_filter=CrashChild.Crashes"], env)
        self.assertEqual(code, 0xC0000005 & 0xFF)  # the access violation, as far as Unix keeps it
        [report] = self.reports()
        _, out = self.run_wine(["winedbg", report], self.session.env, b"bt\nquit\n")
        self.assertIn("Backtrace:", out)
        self.assertRegex(out, r"=>0 0x[0-9a-f]+ in win_tests")
        os.unlink(report)


if __name__ == "__main__":
    unittest.main()
