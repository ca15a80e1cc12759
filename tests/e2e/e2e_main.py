"""End-to-end tests: the real Quorvane.exe under Wine, driven as a user and a second copy would."""
import json
import time
import unittest

from program_test import ARTEFACTS, EXE, PROBE, ProgramTest

WM_USER = 0x400
WM_CLOSE = 0x10
WM_QUERYENDSESSION = 0x11
WM_HELP = 0x53
CMD_CLOSE = 104  # the tray menu's quit item
IDNO = 7


class MainWindowTests(ProgramTest):

    # --- helpers -------------------------------------------------------------------------

    def start_instance(self, *args, visible=True):
        p = self.session.start(EXE, *args)
        self.probe("wait-visible" if visible else "wait-window", 20000)
        return p

    def hide(self):
        self.probe("post", WM_CLOSE, 0)
        self.probe("wait-hidden", 5000)

    def second_copy(self, *args):
        """Runs a second start to its end; returns how long it took."""
        t = time.monotonic()
        p = self.session.start(EXE, *args)
        p.wait(timeout=30)
        return time.monotonic() - t

    def assert_running(self, p):
        self.assertIsNone(p.poll(), "the running copy ended")
        self.assertEqual(self.probe("wait-window", 0).returncode, 0)

    def assert_ends(self, p, timeout=10):
        p.wait(timeout=timeout)
        self.probe("wait-gone", 5000)

    def quit_instance(self, p):
        self.second_copy("/uninst")
        self.assert_ends(p)

    # --- tests ---------------------------------------------------------------------------

    def test_first_start_by_argument(self):
        for args, shown in [([], True), (["/inst"], True), (["other"], True), (["/START"], True),
                            (["/Start"], True), (["/start"], False), (["/start", "x"], False)]:
            with self.subTest(args=args):
                p = self.start_instance(*args, visible=False)
                if shown:
                    self.probe("wait-visible", 10000)
                else:
                    # Never shown at start: it stays hidden while the loop runs.
                    time.sleep(1.5)
                    self.assertFalse(self.dump()["form"]["visible"])
                self.assert_running(p)
                self.quit_instance(p)

    def test_second_start_by_argument(self):
        p = self.start_instance()
        pid = self.dump()["form"]["pid"]
        for args, shows in [(["/start"], False), (["/inst"], True), ([], True), (["other"], True),
                            (["/START"], True), (["/Start"], True), (["x", "/start"], True),
                            (["/start", "x"], False)]:
            with self.subTest(args=args):
                self.hide()
                self.second_copy(*args)
                if shows:
                    self.probe("wait-visible", 5000)
                else:
                    time.sleep(0.5)
                    self.assertFalse(self.dump()["form"]["visible"])
                d = self.dump()
                self.assertEqual(d["form"]["pid"], pid, "a second instance took over")
        self.assert_running(p)
        self.quit_instance(p)

    def test_uninst(self):
        # With no copy running it sends to no window and ends at once; compare with the time
        # any Wine process needs to start and end.
        baseline = min(self._timed(PROBE, "wait-gone", "0") for _ in range(2))
        took = min(self._timed(EXE, "/uninst") for _ in range(2))
        self.assertLess(took - baseline, 1.0, f"/uninst alone took {took:.2f}s, a bare start {baseline:.2f}s")
        p = self.start_instance()
        self.second_copy("/uninst")
        self.assertEqual(self.probe("wait-gone", 0).returncode, 0, "window still there after /uninst returned")
        self.assert_ends(p)

    def _timed(self, exe, *args):
        t = time.monotonic()
        r = self.session.run(exe, *args)
        self.assertEqual(r.returncode, 0)
        return time.monotonic() - t

    def test_close_hides_and_keeps_running(self):
        p = self.start_instance()
        self.hide()
        time.sleep(1.2)
        self.assert_running(p)
        d = self.dump()
        self.assertFalse(d["form"]["visible"])
        self.quit_instance(p)

    def test_quit_question(self):
        p = self.start_instance()
        self.probe("command", CMD_CLOSE)
        box = json.loads(self.probe("dialog", 10000).stdout)
        self.session.screenshot(ARTEFACTS / "quit-question.png")
        self.assertEqual(box["caption"], "Quorvane")
        self.assertEqual(box["text"], "정말 종료하시겠습니까?")
        self.assertEqual(box["default"], IDNO)
        self.assertTrue(box["yes"] and box["no"])
        # The topmost flag is the unit tests' to check: Wine 8 leaves an owned box unpinned.
        self.probe("answer", "no")
        time.sleep(1.0)
        self.assert_running(p)
        self.probe("command", CMD_CLOSE)
        self.probe("dialog", 10000)
        self.probe("answer", "yes")
        self.assert_ends(p)

    def test_window_messages(self):
        p = self.start_instance()
        self.assertEqual(self.probe("send", WM_HELP, 0).stdout.strip(), "0")
        self.hide()
        for wparam in (0, 3):
            self.assertEqual(self.probe("send", WM_USER, wparam).stdout.strip(), "0")
        time.sleep(0.5)
        self.assert_running(p)
        self.assertFalse(self.dump()["form"]["visible"], "wParam 0 or 3 changed the window")
        self.probe("send", WM_USER, 1)
        self.probe("wait-visible", 5000)
        self.probe("send", WM_USER, 2)
        self.assert_ends(p)

    def test_session_end(self):
        p = self.start_instance()
        self.assertEqual(self.probe("send", WM_QUERYENDSESSION, 0).stdout.strip(), "1")
        self.assert_ends(p)

    def test_header_buttons_switch_pages(self):
        p = self.start_instance()
        d = self.dump()
        self.session.screenshot(ARTEFACTS / "home.png")
        c = d["by_name"]
        self.assertEqual(d["form"]["client"][2:], [500, 450])
        self.assertFalse(d["form"]["maximizebox"])
        self.assertFalse(d["form"]["sizable"])
        self.assertTrue(d["form"]["minimizebox"])
        self.assertTrue(c["Card1"]["visible"])
        self.assertFalse(c["Card2"]["visible"])
        self.assertEqual(c["BtnHome"]["checked"], 1)
        self.assertEqual(c["EditInfo"]["text"], "버전: 1.9.5")
        self.probe("click", "BtnConfig")
        d = self.dump()["by_name"]
        self.session.screenshot(ARTEFACTS / "settings.png")
        self.assertTrue(d["Card2"]["visible"])
        self.assertFalse(d["Card1"]["visible"])
        self.assertEqual((d["BtnHome"]["checked"], d["BtnConfig"]["checked"]), (0, 1))
        self.probe("click", "BtnConfig")
        d = self.dump()["by_name"]
        self.assertTrue(d["Card2"]["visible"])
        self.assertEqual(d["BtnConfig"]["checked"], 1)
        self.probe("click", "BtnHome")
        d = self.dump()["by_name"]
        self.assertTrue(d["Card1"]["visible"])
        self.assertEqual((d["BtnHome"]["checked"], d["BtnConfig"]["checked"]), (1, 0))
        self.quit_instance(p)


if __name__ == "__main__":
    unittest.main()
