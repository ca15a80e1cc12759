"""End-to-end: the program speaks the user's language, taken from the user's locale."""
import json
import re
import unittest

from program_test import ARTEFACTS, EXE, ProgramTest

CMD_CLOSE = 104


class EnglishUser(ProgramTest):
    lang = "en_US.UTF-8"

    def test_captions_texts_and_question_are_english(self):
        self.session.start(EXE)
        self.probe("wait-visible", 20000)
        status = json.loads(self.probe("status").stdout)
        c = self.dump()
        self.session.screenshot(ARTEFACTS / "english.png")
        self.assertEqual(c["form"]["text"], "Quorvane")
        n = c["by_name"]
        expected = {"BtnHome": "Home", "BtnConfig": "Config", "BtnDonate": "Donate", "BtnClean": "Clean memory",
                    "LblPhys": "Physical", "LblVirtual": "Virtual", "LblWorking": "워킹 셋",  # no English line
                    "EditInfo": "ver: 1.9.5", "GroupBox1": "Memory", "ChkAutoStart": "Run on system start"}
        self.assertEqual({k: n[k]["text"] for k in expected}, expected)
        self.assertRegex(status["phys"], r"^[\d,]+ MB / [\d,]+ MB \(Usage: \d+\.\d\d%\)$")
        self.probe("command", CMD_CLOSE)
        box = json.loads(self.probe("dialog", 10000).stdout)
        self.assertEqual(box["text"], "Are you sure you want to quit?")
        self.probe("answer", "no")


class JapaneseUser(ProgramTest):
    lang = "ja_JP.UTF-8"

    def test_window_caption_stays_english_for_other_languages(self):
        self.session.start(EXE)
        self.probe("wait-visible", 20000)
        c = self.dump()
        self.session.screenshot(ARTEFACTS / "japanese.png")
        self.assertEqual(c["form"]["text"], "Quorvane")
        self.assertEqual(c["by_name"]["BtnClean"]["text"], "メモリをクリーン")
        self.assertTrue(re.match(r"バージョン: 1\.9\.5$", c["by_name"]["EditInfo"]["text"]))


if __name__ == "__main__":
    unittest.main()
