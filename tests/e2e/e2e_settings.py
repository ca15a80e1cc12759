"""End-to-end tests of the settings page: every change reaches the registry at once and comes
back at the next start; a broken value does not stop the program."""
import json
import re
import unittest

from program_test import ARTEFACTS, EXE, PROBE, SETTINGS_KEY, SETTINGS_PARENT, ProgramTest


class SettingsPage(ProgramTest):
    def start(self):
        self.session.start(EXE)
        self.probe("wait-visible", 20000)
        self.probe("click", "BtnConfig")
        return self.dump()["by_name"]

    def quit(self):
        self.session.run(EXE, "/uninst")
        self.probe("wait-gone", 10000)

    def stored(self):
        """The settings key's values as {name: int}; None when the key does not exist."""
        if "\\Quorvane" not in self.reg("query", SETTINGS_PARENT):
            return None
        out = self.reg("query", SETTINGS_KEY)
        return {m[0]: int(m[1], 16) for m in re.findall(r"^\s+(\w+)\s+REG_DWORD\s+0x([0-9a-fA-F]+)", out, re.M)}

    def test_changes_are_stored_at_once_and_loaded_at_the_next_start(self):
        c = self.start()
        # A fresh installation: four greyed lists on "90", "90", "90", "30", nothing checked, an
        # empty key.
        for check, lst, index in [("ChkUsagePhys", "EditUsagePhys", 6), ("ChkUsagePage", "EditUsagePage", 6),
                                  ("ChkUsageWork", "EditUsageWork", 6), ("ChkMinute", "EditMinute", 3)]:
            self.assertEqual(c[check]["checked"], 0, check)
            self.assertFalse(c[lst]["enabled"], lst)
            self.assertEqual(c[lst]["selection"], index, lst)
        self.assertEqual(c["ChkCleanOnTray"]["checked"], 0)
        self.assertEqual(self.stored(), {})

        self.probe("click", "ChkUsagePhys")
        self.probe("select", "EditUsagePhys", 2)
        self.probe("select", "EditMinute", 0)
        self.probe("click", "ChkCleanOnTray")
        self.assertEqual(self.stored(), {"enabled_usage_phys": 1, "limit_usage_phys": 2, "limit_minute": 0,
                                         "cleanontray": 1})

        self.quit()
        c = self.start()
        self.assertEqual(c["ChkUsagePhys"]["checked"], 1)
        self.assertTrue(c["EditUsagePhys"]["enabled"])
        self.assertEqual(c["EditUsagePhys"]["selection"], 2)
        self.assertEqual(c["ChkMinute"]["checked"], 0)
        self.assertFalse(c["EditMinute"]["enabled"])
        self.assertEqual(c["EditMinute"]["selection"], 0)
        self.assertEqual(c["ChkCleanOnTray"]["checked"], 1)

    def test_run_on_start_is_refused_where_others_can_change_the_program(self):
        # Wine gives the user's own account full control of every folder, as a Downloads folder
        # is on Windows: no elevated logon task from here. Ticking the box says so, in the
        # user's language, and leaves it unticked; the stored settings are untouched.
        c = self.start()
        self.assertEqual(c["ChkAutoStart"]["checked"], 0)
        # The click returns once its handler has, and the handler waits on the message.
        clicker = self.session.start(PROBE, "click", "ChkAutoStart")
        box = json.loads(self.probe("dialog", 10000).stdout)
        self.session.screenshot(ARTEFACTS / "run-on-start-refused.png")
        self.assertEqual(box["caption"], "Quorvane")
        self.assertEqual(box["text"], "다른 프로그램이 이 폴더를 바꿀 수 있어 부팅시 실행을 켤 수 없습니다. "
                                      "Quorvane을 Program Files에 설치한 뒤 다시 시도하세요.")
        self.probe("answer", "ok")
        clicker.wait(timeout=10)
        self.assertEqual(self.dump()["by_name"]["ChkAutoStart"]["checked"], 0)
        self.assertEqual(self.stored(), {})
        # Started with /inst from here: refused without a word, and it starts as usual.
        self.quit()
        self.session.start(EXE, "/inst")
        self.probe("wait-visible", 20000)
        self.assertNotEqual(self.probe("dialog", 1500, check=False).returncode, 0, "a message at /inst")

    def test_a_broken_value_reads_as_its_default(self):
        self.reg("add", SETTINGS_KEY, "/v", "limit_usage_phys", "/t", "REG_SZ", "/d", "eighty", "/f")
        self.reg("add", SETTINGS_KEY, "/v", "enabled_usage_page", "/t", "REG_DWORD", "/d", "2", "/f")
        c = self.start()
        self.assertEqual(c["EditUsagePhys"]["selection"], 6)
        self.assertEqual(c["ChkUsagePage"]["checked"], 1, "a Boolean stored as 2 is true")
        self.assertIn("eighty", self.reg("query", SETTINGS_KEY, "/v", "limit_usage_phys"),
                      "a value the program cannot read is left as it is")


if __name__ == "__main__":
    unittest.main()
