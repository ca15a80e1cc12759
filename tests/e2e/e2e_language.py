"""End-to-end: the program speaks the user's language, taken from the user's locale."""
import json
import re
import unittest

from e2e_update import OFFER, answer
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
        self.assertEqual([k for k in n if n[k]["rtl"]], [])
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


class ArabicUser(ProgramTest):
    lang = "ar_EG.UTF-8"

    def test_texts_read_right_to_left_where_they_stand(self):
        self.session.start(EXE)
        self.probe("wait-visible", 20000)
        c = self.dump()
        self.session.screenshot(ARTEFACTS / "arabic.png")
        n = c["by_name"]
        self.assertEqual(n["BtnClean"]["text"], "تنظيف الذاكرة")
        texts = ["BtnHome", "BtnClean", "LblTitle", "LblPhys", "LblPhysStatus", "GroupBox1", "ChkAutoStart"]
        others = ["PnlMain", "ProgressBar", "EditInfo", "EditMinute"]
        self.assertEqual({k: n[k]["rtl"] for k in texts + others}, {k: k in texts for k in texts + others})
        self.probe("command", CMD_CLOSE)
        box = json.loads(self.probe("dialog", 10000).stdout)
        self.session.screenshot(ARTEFACTS / "arabic-quit.png")
        self.assertEqual(box["text"], "هل أنت متأكد أنك تريد الخروج؟")
        self.probe("answer", "no")

    def test_prompt_strip_reads_right_to_left(self):
        # The prompt has no Arabic of its own: its message and buttons are English.
        self.service.reset(answer(update=OFFER, style="hold", text="ذكرني لاحقًا (%)"))
        self.session.start(EXE)
        d = json.loads(self.probe("prompt", 20000).stdout)
        n = {c["name"]: c for c in d["controls"] if c}
        self.session.screenshot(ARTEFACTS / "arabic-prompt.png")
        self.assertEqual({k: n[k]["rtl"] for k in ("Message", "Yes", "No", "CheckBox")},
                         {"Message": False, "Yes": False, "No": False, "CheckBox": True})
        self.probe("prompt-click", "No")


if __name__ == "__main__":
    unittest.main()
