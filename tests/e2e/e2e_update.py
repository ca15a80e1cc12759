"""End to end: the start-up check against the loopback update service, the update prompt with
its notice strip, and the notice bar, in the user's language. Every address handed to the
shell lands in the probe's log instead of a browser."""
import json
import struct
import subprocess
import time
import unittest

from http_service import LoopbackProxy
from program_test import ARTEFACTS, EXE, ProgramTest

IDYES = 6
OFFER = "https://127.0.0.1:47381/Quorvane-2.0.exe"
NOTICE = "https://127.0.0.1:47381/notice"
MORE = "http://127.0.0.1:47381/more"

KO_MESSAGE = "\r\r".join(["업데이트 정보가 있습니다.", "안정적으로 사용하기 위해 업데이트를 하시길 권장합니다.",
                          "다운로드 받으시겠습니까?"])
EN_MESSAGE = "\r\r".join(["This program has been updated.",
                          "It is recommended to download and execute new for stable use.",
                          "Do you want to download it?"])


def answer(update="", notify="", **info):
    """The service's answer, as compact JSON with non-ASCII text escaped as the service does."""
    members = {k: info.get(k, "") for k in ("style", "text", "flag", "url")}
    return json.dumps({"update": update, "notify": notify, "info": members}, separators=(",", ":")).encode()


class UpdateTest(ProgramTest):

    def start(self, body, *args):
        self.service.reset(body)
        return self.session.start(EXE, *args)

    def prompt(self, timeout=20000):
        d = json.loads(self.probe("prompt", timeout).stdout)
        d["by_name"] = {c["name"]: c for c in d["controls"] if c}
        return d

    def wait_prompt_gone(self):
        deadline = time.monotonic() + 5
        while self.probe("prompt", 0, check=False).returncode == 0:
            self.assertLess(time.monotonic(), deadline, "the prompt stayed open")
            time.sleep(0.1)

    def wait_bar(self):
        deadline = time.monotonic() + 20
        while True:
            d = self.dump()
            if "StatusBar" in d["by_name"]:
                return d
            self.assertLess(time.monotonic(), deadline, "no notice bar")
            time.sleep(0.2)

    def hint(self, origin, rect):
        """Rests the pointer on a control (client rect relative to origin); its tooltip's text."""
        x, y = origin[0] + rect[0] + rect[2] // 2, origin[1] + rect[1] + rect[3] // 2
        for dx in range(0, 12, 3):  # a hand's small moves, so the control sees the pointer
            subprocess.run(["xdotool", "mousemove", str(x + dx), str(y)], env=self.session.env, check=True)
            time.sleep(0.1)
        return json.loads(self.probe("tooltip", 5000).stdout)

    def wait_opened(self, count):
        deadline = time.monotonic() + 10
        while len(self.opened()) < count and time.monotonic() < deadline:
            time.sleep(0.1)
        return self.opened()

    def assert_running(self, p):
        self.assertIsNone(p.poll(), "the program ended")
        self.assertFalse(self.dump()["form"]["text"] == "", "no main window")


class KoreanUser(UpdateTest):

    def test_prompt_asks_in_korean_and_esc_declines(self):
        p = self.start(answer(update=OFFER))
        d = self.prompt()
        self.session.screenshot(ARTEFACTS / "update-prompt-ko.png")
        n = d["by_name"]
        self.assertEqual(d["caption"], "Quorvane")
        self.assertEqual(n["Message"]["text"], KO_MESSAGE)
        self.assertEqual((n["Yes"]["text"], n["No"]["text"]), ("예", "아니오"))
        self.assertEqual(d["default"], IDYES)
        self.assertIn("Image", n)  # the warning icon
        self.assertFalse({"Shape", "CheckBox", "Label"} & n.keys(), "a strip without a style")
        self.assertFalse(d["topmost"])
        self.probe("prompt-key", "esc")
        self.wait_prompt_gone()
        time.sleep(1)
        self.assertEqual(self.opened(), [])
        self.assert_running(p)
        # One check, with its four headers first and in order.
        [req] = self.service.requests()
        self.assertEqual((req["method"], req["path"], req["query"]), ("GET", "/api.init.php", ""))
        head = req["headers"][:4]
        self.assertEqual([k for k, _ in head], ["User-Version", "User-Language", "User-Debug", "User-Union"])
        self.assertEqual([v for _, v in head[:3]], ["1.9.5.0", "ko", "false"])
        self.assertRegex(head[3][1], r"^[0-7][0-9A-F]{7}\d{6}[0-9A-F]{4}\d{6}[0-7][0-9A-F]{7}$")
        self.assertIn(("User-Agent", "Mozilla/5.0 (Windows NT 10.0; Win64; x64)"), req["headers"])

    def test_yes_hands_exactly_the_offer_to_the_shell_and_quits(self):
        p = self.start(answer(update=OFFER))
        self.prompt()
        self.probe("prompt-click", "Yes")
        p.wait(timeout=15)
        self.probe("wait-gone", 5000)
        self.assertEqual(self.wait_opened(1), [OFFER])

    def test_hold_box_sends_the_hold_request_only_when_ticked(self):
        for ticked in (True, False):
            with self.subTest(ticked=ticked):
                self.setUp()
                self.start(answer(update=OFFER, style="hold", text="다음에 다시 묻기"))
                d = self.prompt()
                n = d["by_name"]
                self.assertEqual(n["CheckBox"]["text"], "다음에 다시 묻기")
                # The strip: a separator across the prompt and the box, placed from the outer edge.
                height = d["window"][3]
                self.assertEqual(n["Shape"]["rect"], [0, height - 66, d["window"][2], 1])
                self.assertEqual(n["CheckBox"]["rect"][:2], [10, height - 56])
                if ticked:
                    self.probe("prompt-click", "CheckBox")
                    self.session.screenshot(ARTEFACTS / "update-prompt-hold.png")
                self.probe("prompt-click", "No")
                self.wait_prompt_gone()
                requests = self.service.wait_requests(2, 10 if ticked else 3)
                holds = [r for r in requests if ("User-Command", "hold") in r["headers"]]
                if ticked:
                    self.assertEqual(len(holds), 1)
                    self.assertEqual(holds[0]["headers"][:2], [("User-Version", "1.9.5.0"), ("User-Command", "hold")])
                    self.assertEqual(holds[0]["path"], "/api.init.php")
                else:
                    self.assertEqual(holds, [])
                self.assertEqual(self.opened(), [])
                self.session.restart_programs()

    def test_note_link_opens_its_address(self):
        self.start(answer(update=OFFER, style="note", text="자세히 보기", url=MORE))
        d = self.prompt()
        link = d["by_name"]["Label"]
        self.assertEqual(link["text"], "자세히 보기")
        self.assertEqual(link["rect"][:2], [10, d["window"][3] - 56])
        self.assertNotIn("CheckBox", d["by_name"])
        self.session.screenshot(ARTEFACTS / "update-prompt-note.png")
        self.assertEqual(self.hint(d["origin"], link["rect"]), MORE)
        self.probe("prompt-click", "Label")
        self.assertEqual(self.wait_opened(1), [MORE])
        self.probe("prompt", 0)  # the prompt stays
        self.probe("prompt-close")
        self.wait_prompt_gone()
        time.sleep(1)
        self.assertEqual(self.opened(), [MORE])

    def test_other_styles_add_only_the_separator(self):
        heights = {}
        for style in ("", "Hold", "other"):
            with self.subTest(style=style):
                self.start(answer(update=OFFER, style=style, text="x"))
                d = self.prompt()
                heights[style] = d["window"][3]
                self.assertEqual("Shape" in d["by_name"], style != "")
                self.assertFalse({"CheckBox", "Label"} & d["by_name"].keys())
                self.session.restart_programs()
        self.assertEqual(heights["Hold"] - heights[""], 30)
        self.assertEqual(heights["other"], heights["Hold"])

    def test_stay_on_top(self):
        for flag, args, topmost, own in [("x stayontop y", [], True, False), ("StayOnTop", [], False, False),
                                         ("stayontop", ["/start"], True, True)]:
            with self.subTest(flag=flag, args=args):
                self.start(answer(update=OFFER, flag=flag), *args)
                d = self.prompt()
                self.assertEqual(d["topmost"], topmost)
                # Started hidden in the tray, the prompt is a window of its own on the taskbar (its
                # small icon is checked by the Windows-side test: Wine answers another process's
                # WM_GETICON with nothing).
                self.assertEqual(d["owned"], not own)
                if own:
                    self.session.screenshot(ARTEFACTS / "update-prompt-tray.png")
                self.session.restart_programs()

    def test_unsafe_addresses_never_reach_the_shell(self):
        cases = [
            answer(update="file:///C:/windows/system32/cmd.exe", notify="cmd.exe"),
            answer(update="cmd.exe /c calc", notify="file:///C:/windows/win.ini"),
            # A quote would end the browser's "%1" and pass the rest as arguments of its own.
            answer(update='https://127.0.0.1:47381/x" --evil-switch "y', notify='https://127.0.0.1:47381/n" --evil "z'),
            # A malformed escape in the info object: no prompt, no bar, and the check still ends.
            answer(update=OFFER, notify=NOTICE).replace(b'"text":""', b'"text":"\\uZZ"'),
        ]
        for body in cases:
            with self.subTest(body=body):
                p = self.start(body)
                self.service.wait_requests(1, 20)
                time.sleep(2)  # the answer is handled by now
                self.assertNotEqual(self.probe("prompt", 0, check=False).returncode, 0, "a prompt for a non-web offer")
                self.assertNotIn("StatusBar", self.dump()["by_name"])
                self.assert_running(p)
                self.session.restart_programs()
        # A note link that is no web address, or smuggles arguments, opens nothing.
        for url in ("file:///C:/windows/system32/cmd.exe", 'https://127.0.0.1:47381/x" --evil-switch "y'):
            with self.subTest(url=url):
                self.start(answer(update=OFFER, style="note", text="x", url=url))
                self.prompt()
                self.probe("prompt-click", "Label")
                time.sleep(2)
                self.probe("prompt-key", "esc")
                self.wait_prompt_gone()
                self.assertEqual(self.opened(), [])
                self.session.restart_programs()


class EnglishUser(UpdateTest):
    lang = "en_US.UTF-8"

    def test_prompt_in_english_and_the_close_box_declines(self):
        p = self.start(answer(update=OFFER))
        d = self.prompt()
        n = d["by_name"]
        self.assertEqual(n["Message"]["text"], EN_MESSAGE)
        self.assertEqual((n["Yes"]["text"], n["No"]["text"]), ("Yes", "No"))
        self.probe("prompt-close")
        self.wait_prompt_gone()
        time.sleep(1)
        self.assertEqual(self.opened(), [])
        self.assert_running(p)

    def test_notice_bar_grows_the_window_once_and_opens_its_address(self):
        self.start(answer(notify=NOTICE))
        self.probe("wait-visible", 20000)
        d = self.wait_bar()
        self.session.screenshot(ARTEFACTS / "update-notice-bar.png")
        bar = d["by_name"]["StatusBar"]
        self.assertEqual(d["form"]["client"], [0, 0, 500, 450 + 28])
        self.assertEqual(bar["rect"], [0, 450, 500, 28])
        self.assertEqual(bar["text"], "Update available")
        self.assertEqual(self.hint(d["form"]["origin"], bar["rect"]), NOTICE)
        self.probe("click", "StatusBar")
        self.assertEqual(self.wait_opened(1), [NOTICE])
        # Everything else keeps its place.
        self.assertEqual(d["by_name"]["BtnClean"]["rect"], self.dump()["by_name"]["BtnClean"]["rect"])


class BehindTheUsersProxy(UpdateTest):
    """The proxy a user set in Internet Options, stored as Internet Options stores it, carries
    the check; the service sees the same request as without it."""
    lang = "en_US.UTF-8"
    INTERNET = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings"

    def set_proxy(self, address):
        self.addCleanup(self.clear_proxy)
        self.reg("add", self.INTERNET, "/v", "ProxyEnable", "/t", "REG_DWORD", "/d", "1", "/f")
        self.reg("add", self.INTERNET, "/v", "ProxyServer", "/t", "REG_SZ", "/d", address, "/f")
        # The connection record: version 0x46, a change counter, flags direct|proxy, the server,
        # no bypass list, no script address.
        server = address.encode()
        record = struct.pack("<IIII", 0x46, 1, 3, len(server)) + server + struct.pack("<II", 0, 0) + bytes(32)
        self.reg("add", self.INTERNET + r"\Connections", "/v", "DefaultConnectionSettings", "/t", "REG_BINARY",
                 "/d", record.hex(), "/f")

    def clear_proxy(self):
        self.reg("delete", self.INTERNET, "/v", "ProxyEnable", "/f")
        self.reg("delete", self.INTERNET, "/v", "ProxyServer", "/f")
        self.reg("delete", self.INTERNET + r"\Connections", "/v", "DefaultConnectionSettings", "/f")

    def test_the_check_goes_through_the_proxy_and_its_answer_is_shown(self):
        # Without a proxy first: the request as the service receives it.
        self.start(answer(notify=NOTICE))
        self.probe("wait-visible", 20000)
        self.wait_bar()
        [direct] = self.service.requests()
        self.session.restart_programs()

        with LoopbackProxy() as proxy:
            self.set_proxy(proxy.address)
            self.start(answer(notify=NOTICE))
            self.probe("wait-visible", 20000)
            d = self.wait_bar()  # the answer the proxy relayed, shown
            self.session.screenshot(ARTEFACTS / "update-through-proxy.png")
            self.assertEqual(d["by_name"]["StatusBar"]["text"], "Update available")
            [seen] = proxy.requests()
            self.assertEqual((seen["method"], seen["target"]), ("GET", "http://127.0.0.1:47380/api.init.php"))
            [relayed] = self.service.requests()
            # The same request, header for header, as without the proxy.
            self.assertEqual((relayed["method"], relayed["path"], relayed["query"]),
                             (direct["method"], direct["path"], direct["query"]))
            self.assertEqual(relayed["headers"], direct["headers"])


class FrenchUser(UpdateTest):
    lang = "fr_FR.UTF-8"

    def test_prompt_captions_in_french(self):
        p = self.start(answer(update=OFFER))
        d = self.prompt()
        n = d["by_name"]
        self.assertTrue(n["Message"]["text"].startswith("Ce programme a été mis à jour.\r\r"))
        self.assertEqual((n["Yes"]["text"], n["No"]["text"]), ("Oui", "Non"))
        self.session.screenshot(ARTEFACTS / "update-prompt-fr.png")
        self.probe("prompt-click", "No")
        self.wait_prompt_gone()
        time.sleep(1)
        self.assertEqual(self.opened(), [])
        self.assert_running(p)


class PromptAt144Dpi(UpdateTest):
    dpi = 144

    def test_strip_scales_with_the_prompt(self):
        self.start(answer(update=OFFER, style="hold", text="x"))
        d = self.prompt()
        self.session.screenshot(ARTEFACTS / "update-prompt-144.png")
        n = d["by_name"]
        height = d["window"][3]
        self.assertEqual(n["Shape"]["rect"], [0, height - 99, d["window"][2], 1])
        self.assertEqual(n["CheckBox"]["rect"][:2], [15, height - 84])


class ServiceDown(UpdateTest):
    update_service = False

    def tray_hint(self):
        """The tray icon's hint, as the shell shows it under the resting pointer."""
        bar = json.loads(self.probe("taskbar").stdout)
        x, y = bar[0] + bar[2] - 11, bar[1] + bar[3] // 2
        for dx in range(0, 8, 2):
            subprocess.run(["xdotool", "mousemove", str(x - dx), str(y)], env=self.session.env, check=True)
            time.sleep(0.1)
        hint = json.loads(self.probe("tooltip-any", 5000).stdout)
        subprocess.run(["xdotool", "mousemove", "5", "5"], env=self.session.env, check=True)
        time.sleep(1)
        return hint

    def test_the_program_works_on_through_six_failed_attempts(self):
        p = self.session.start(EXE)
        self.probe("wait-visible", 20000)
        self.probe("wait-tray", 10000)
        started = time.monotonic()
        before = self.dump()
        self.assertEqual(self.tray_hint(), "Quorvane")  # the check is still trying
        # Six refused attempts with their ten-second pauses, then the check ends quietly and
        # the hint gets the version.
        time.sleep(max(0.0, 62 - (time.monotonic() - started)))
        self.assertEqual(self.tray_hint(), "Quorvane 1.9.5")
        self.assert_running(p)
        self.assertNotEqual(self.probe("prompt", 0, check=False).returncode, 0)
        after = self.dump()
        self.assertNotIn("StatusBar", after["by_name"])
        self.assertEqual(after["form"]["client"], before["form"]["client"])
        self.assertEqual(self.opened(), [])


if __name__ == "__main__":
    unittest.main()
