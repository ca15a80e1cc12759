"""End-to-end tests of the status tick and the clean run: the real exe under Wine against the
figures Windows gives at the same moment."""
import json
import re
import time
import unittest

from program_test import ARTEFACTS, EXE, ProgramTest
MIB = 1048576
IDLE = {"text": "정리하기", "enabled": True}
RUNNING = {"text": "정리중 ...", "enabled": False}


def mib(byte_count):
    return round(byte_count / MIB)  # Python rounds halves to even, as the program does


class StatusAndClean(ProgramTest):

    def out(self, *args):
        return self.probe(*args).stdout

    def start(self, *args):
        self.session.start(EXE, *args)
        self.probe("wait-window", 20000)

    def status(self):
        return json.loads(self.out("status"))

    def number(self, text, st):
        return float(text.replace(st["thousand"], "").replace(st["decimal"], "."))

    def check_lines(self, st):
        """Every figure lies between the two readings taken around the labels."""
        t, d = re.escape(st["thousand"]), re.escape(st["decimal"])
        whole, frac = rf"\d{{1,3}}(?:{t}\d{{3}})*", rf"\d{{1,3}}(?:{t}\d{{3}})*{d}\d\d"
        m = re.fullmatch(rf"({whole}) MB / ({whole}) MB \(({frac})% 사용중\)", st["phys"])
        self.assertIsNotNone(m, st["phys"])
        used, total, pct = (self.number(g, st) for g in m.groups())
        readings = [st["before"], st["after"]]
        used_range = sorted(mib(r["totalPhys"] - r["availPhys"]) for r in readings)
        self.assertEqual(total, mib(st["before"]["totalPhys"]))
        self.assertTrue(used_range[0] - 1 <= used <= used_range[1] + 1, (used, used_range))
        pcts = sorted((r["totalPhys"] - r["availPhys"]) * 100 / r["totalPhys"] for r in readings)
        self.assertTrue(pcts[0] - 0.02 <= pct <= pcts[1] + 0.02, (pct, pcts))
        self.assertTrue(abs(st["bar"] - round(pct)) <= 1, (st["bar"], pct))
        m = re.fullmatch(rf"({whole}) MB \(({frac})%\)", st["page"])
        self.assertIsNotNone(m, st["page"])
        page_used = self.number(m.group(1), st)
        page_range = sorted(mib(r["totalPage"] - r["availPage"]) for r in readings)
        self.assertTrue(page_range[0] - 1 <= page_used <= page_range[1] + 1, (page_used, page_range))
        # Wine reports no file-cache figures: the line shows zeros, never stale values.
        self.assertRegex(st["work"], rf"^{whole} MB \({frac}%\)$")
        return used

    def test_status_lines_match_the_system_and_refresh(self):
        self.start()
        self.probe("wait-visible", 10000)
        first = self.status()
        self.check_lines(first)
        self.session.screenshot(ARTEFACTS / "status.png")
        # Take 400 MiB away from the system: within about a second the line follows.
        ballast = bytearray(b"\x01") * (400 * MIB)
        try:
            deadline = time.monotonic() + 5
            while True:
                st = self.status()
                if st["phys"] != first["phys"] and self.check_lines(st) >= self.check_lines(first) + 300:
                    break
                self.assertLess(time.monotonic(), deadline, f"status line did not follow: {st['phys']}")
                time.sleep(0.2)
        finally:
            del ballast

    def test_clean_button_shows_the_running_state_then_idle(self):
        self.start()
        self.probe("wait-visible", 10000)
        # A purge under Wine takes a millisecond; the probe watches without sending messages, and
        # a few attempts make sure a scheduling accident cannot hide the running state.
        for _ in range(5):
            states = json.loads(self.out("watch", "BtnClean", 1000))
            self.assertEqual(states[0], IDLE)
            self.assertEqual(states[-1], IDLE, "the run did not return to idle")
            if RUNNING in states:
                break
        else:
            self.fail(f"the running state was never shown: {states}")

    def test_tray_click_cleans_with_one_notification(self):
        self.start("/start")
        self.probe("wait-tray", 15000)
        self.probe("click", "ChkCleanOnTray")
        self.probe("tray-click", "left")
        counts = []
        deadline = time.monotonic() + 8
        while time.monotonic() < deadline and (not counts or counts[-1] == 0 or len(counts) < 20):
            counts.append(int(self.out("balloons")))
            time.sleep(0.1)
        self.session.screenshot(ARTEFACTS / "notification.png")
        self.assertEqual(max(counts), 1, counts)
        self.assertEqual(counts[-1], 1)
        dump = json.loads(self.out("dump"))
        self.assertFalse(dump["form"]["visible"], "a cleaning tray click also showed the window")


if __name__ == "__main__":
    unittest.main()
