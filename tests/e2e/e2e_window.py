"""End-to-end tests of the window's composition at two DPI settings and of its life in the tray."""
import re
import time
import unittest

from program_test import ARTEFACTS, EXE, ProgramTest
from winenv import SOURCE

CMD_OPEN = 101  # the tray menu's open item
WM_CLOSE = 0x10

ENTRY = re.compile(r'LayoutEntry\{L"(\w+)", K::(\w+), (?:L"(\w+)"|nullptr), \{(\d+), (\d+), (\d+), (\d+)\}')


def layout_table():
    """The layout as the program's own table states it, as absolute rectangles in the client area."""
    entries = {}
    for m in ENTRY.finditer((SOURCE / "app" / "layout.cpp").read_text(encoding="utf-8")):
        name, kind, parent = m.group(1), m.group(2), m.group(3)
        entries[name] = (kind, parent, [int(v) for v in m.groups()[3:]])
    table = {}
    for name, (kind, parent, rect) in entries.items():
        x, y = rect[0], rect[1]
        p = parent
        while p:
            x += entries[p][2][0]
            y += entries[p][2][1]
            p = entries[p][1]
        table[name] = (kind, [x, y, rect[2], rect[3]])
    return table


def scaled(rect, factor):
    """Edges scaled as positions, the way a DPI-aware window places them."""
    l, t = round(rect[0] * factor + 1e-9), round(rect[1] * factor + 1e-9)
    r, b = round((rect[0] + rect[2]) * factor + 1e-9), round((rect[1] + rect[3]) * factor + 1e-9)
    return [l, t, r - l, b - t]


class WindowSession(ProgramTest):

    def show_page(self, button):
        self.probe("click", button)
        return self.dump()

    def check_layout(self, factor, shot_prefix):
        self.session.start(EXE)
        self.probe("wait-visible", 20000)
        time.sleep(0.5)
        home = self.dump()
        self.session.screenshot(ARTEFACTS / f"{shot_prefix}-home.png")
        settings = self.show_page("BtnConfig")
        self.session.screenshot(ARTEFACTS / f"{shot_prefix}-settings.png")
        self.assertEqual(home["form"]["client"][2:], scaled([0, 0, 500, 450], factor)[2:])
        table = layout_table()
        self.assertGreater(len(table), 30)
        for name, (kind, rect) in table.items():
            with self.subTest(control=name):
                shown = home if name in home["by_name"] else settings
                self.assertIn(name, shown["by_name"])
                self.assertEqual(shown["by_name"][name]["rect"], scaled(rect, factor))
        # The anchors of the window's structure, independent of the table.
        c = home["by_name"]
        self.assertEqual(c["PnlHead"]["rect"], scaled([0, 2, 500, 50], factor))
        self.assertEqual(c["PnlMain"]["rect"], scaled([0, 52, 500, 398], factor))
        self.assertEqual(c["BtnClean"]["rect"], scaled([168, 52 + 298, 164, 68], factor))
        self.assertEqual(settings["by_name"]["EditInfo"]["rect"], scaled([15, 52 + 368, 170, 21], factor))
        self.assertFalse(c["Indicator"]["visible"])
        for name in ("GroupBox1", "ChkUsagePhys", "EditMinute", "ChkCleanOnTray", "EditInfo"):
            self.assertTrue(settings["by_name"][name]["visible"], name)
            self.assertFalse(home["by_name"][name]["visible"], name)
        self.assertEqual(c["LblTitle"]["text"], "Quorvane")
        self.assertEqual(settings["by_name"]["EditUsagePhys"]["count"], 7)
        self.assertEqual(settings["by_name"]["EditUsagePhys"]["selection"], 6)  # a fresh installation's "90"


class WindowAt96Dpi(WindowSession):
    def test_layout_matches_the_table(self):
        self.check_layout(1.0, "dpi96")

    def test_window_can_be_minimized_not_resized(self):
        self.session.start(EXE)
        self.probe("wait-visible", 20000)
        form = self.dump()["form"]
        self.assertFalse(form["maximizebox"])
        self.assertFalse(form["sizable"])
        self.assertTrue(form["minimizebox"])

    def test_start_in_tray_then_open(self):
        self.session.start(EXE, "/start")
        self.probe("wait-window", 20000)
        self.probe("wait-tray", 15000)
        time.sleep(1.0)
        self.assertFalse(self.dump()["form"]["visible"], "/start showed the window")
        self.session.screenshot(ARTEFACTS / "tray-only.png")
        # The tray menu's open item brings the window up in front.
        self.probe("command", CMD_OPEN)
        self.probe("wait-visible", 5000)
        self.assertTrue(self.dump()["form"]["foreground"])
        # Hidden again, a second start without switch does the same.
        self.probe("post", WM_CLOSE, 0)
        self.probe("wait-hidden", 5000)
        self.session.run(EXE)
        self.probe("wait-visible", 5000)
        form = self.dump()["form"]
        self.assertTrue(form["foreground"])
        self.assertEqual(self.probe("tray").stdout.strip(), "1", "the tray icon went away")

    def test_tray_menu_and_shell_restart(self):
        self.session.start(EXE, "/start")
        self.probe("wait-tray", 20000)
        self.probe("tray-click", "right")
        self.probe("menu", 5000)
        self.session.screenshot(ARTEFACTS / "tray-menu.png")
        # Its first item opens the window.
        self.probe("menu-key", "down")
        self.probe("menu-key", "enter")
        self.probe("wait-visible", 5000)
        # A restarted shell has lost every icon; ours comes back when it announces itself.
        self.probe("tray-delete")
        self.assertEqual(self.probe("tray").stdout.strip(), "0")
        self.probe("taskbar-created")
        self.probe("wait-tray", 5000)


class WindowAt144Dpi(WindowSession):
    dpi = 144

    def test_layout_scales_by_one_and_a_half(self):
        self.check_layout(1.5, "dpi144")


if __name__ == "__main__":
    unittest.main()
