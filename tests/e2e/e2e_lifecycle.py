"""End to end: the program ends promptly and cleanly when told to while work is in progress:
`/uninst` or a logoff during a clean run, a logoff during an update request. No crash report,
and the settings stay as they were."""
import glob
import time
import unittest

from program_test import EXE, PROBE, SETTINGS_KEY, ProgramTest

WM_QUERYENDSESSION = 0x11
WM_ENDSESSION = 0x16


class LifecycleTest(ProgramTest):

    def reports(self):
        return glob.glob(str(self.session.prefix / "drive_c/users/*/AppData/Local/Vantorel/Quorvane/crashes/*.dmp"))

    def start_with_settings(self):
        self.reg("add", SETTINGS_KEY, "/v", "cleanontray", "/t", "REG_DWORD", "/d", "1", "/f")
        self.reg("add", SETTINGS_KEY, "/v", "limit_minute", "/t", "REG_DWORD", "/d", "5", "/f")
        self.settings = self.reg("query", SETTINGS_KEY)
        p = self.session.start(EXE)
        self.probe("wait-visible", 20000)
        return p

    def logoff(self):
        self.assertEqual(self.probe("send", WM_QUERYENDSESSION, 0).stdout.strip(), "1")
        self.probe("post", WM_ENDSESSION, 1, check=False)  # the window may be gone already

    def assert_ended_cleanly(self, p, since):
        p.wait(timeout=10)
        self.assertLess(time.monotonic() - since, 1.0 + self.allowance, "took too long to end")
        self.probe("wait-gone", 2000)
        self.assertEqual(self.reports(), [])
        self.assertEqual(self.reg("query", SETTINGS_KEY), self.settings)

    # Wine's own start-up and message round trips, on a loaded machine.
    allowance = 1.0

    def test_logoff_during_an_update_request(self):
        self.service.reset(delay=8)
        p = self.start_with_settings()
        self.assertTrue(self.service.wait_requests(1, 20), "no update request")
        since = time.monotonic()
        self.logoff()
        self.assert_ended_cleanly(p, since)

    def test_logoff_during_a_clean_run(self):
        p = self.start_with_settings()
        self.probe("click", "BtnClean")
        since = time.monotonic()
        self.logoff()
        self.assert_ended_cleanly(p, since)

    def test_uninst_during_a_clean_run(self):
        p = self.start_with_settings()
        self.probe("click", "BtnClean")
        second = self.session.start(EXE, "/uninst")
        since = time.monotonic()
        second.wait(timeout=30)
        # The second copy returns once the first has quit; both within the time it takes to start.
        self.assert_ended_cleanly(p, since)


class HungCopyTest(ProgramTest):
    """A running copy that hangs (it holds the instance mutex and a window of the main class and
    never handles a message) takes no later start, and no uninstaller, down with it."""
    update_service = False

    def test_a_second_start_and_uninst_end_within_ten_seconds(self):
        hung = self.session.start(PROBE, "hang", "120000")
        self.probe("wait-window", 10000)
        for args, expect_code in (((), 0), (("/uninst",), 2)):
            with self.subTest(args=args):
                since = time.monotonic()
                r = self.session.run(EXE, *args, timeout=30)
                self.assertLess(time.monotonic() - since, 10, "waited on the hung copy")
                self.assertEqual(r.returncode, expect_code)
        self.assertIsNone(hung.poll(), "the hung copy is left as it was")


if __name__ == "__main__":
    unittest.main()
