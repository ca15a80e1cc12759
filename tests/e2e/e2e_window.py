"""End-to-end tests of the window's composition at two DPI settings and of its life in the tray."""
import time
import unittest

from program_test import ARTEFACTS, EXE, ProgramTest

CMD_OPEN = 101  # the tray menu's open item
WM_CLOSE = 0x10

PANEL, LABEL, BUTTON = "QuorvanePanel", "Static", "Button"
LIST, FIELD, PROGRESS = "ComboBox", "Edit", "msctls_progress32"

# The window as its description lays it out: name, window class, parent, and left, top, width
# and height in pixels at 96 DPI, relative to the parent's client area (None: the control's own
# size, which the description leaves open). Written here, not read from the program, so that a
# wrong number in the program's layout fails.
LAYOUT = [
    ("PnlHead", PANEL, None, 0, 2, 500, 50),  # below the two-pixel accent line
    ("PnlLogo", PANEL, "PnlHead", 380, 0, 120, 50),
    ("SVGIconImage1", PANEL, "PnlLogo", 0, 0, 112, 50),
    ("BtnHead", PANEL, "PnlHead", 10, 10, 360, 30),
    ("BtnHome", BUTTON, "BtnHead", 10, 0, 70, 30),
    ("BtnConfig", BUTTON, "BtnHead", 80, 0, 70, 30),
    ("BtnDonate", BUTTON, "BtnHead", 150, 0, 70, 30),
    ("PnlMain", PANEL, None, 0, 52, 500, 398),
    ("Card1", PANEL, "PnlMain", 0, 0, 500, 398),
    ("Card2", PANEL, "PnlMain", 0, 0, 500, 398),
    ("LblTitle", LABEL, "Card1", 8, 40, 484, 81),
    ("ProgressBar", PROGRESS, "Card1", 56, 192, 393, 25),
    ("LblPhys", LABEL, "Card1", 56, 223, 70, 13),
    ("LblPhysStatus", LABEL, "Card1", 132, 223, 317, 13),
    ("LblVirtual", LABEL, "Card1", 56, 242, 70, 13),
    ("LblVirtualStatus", LABEL, "Card1", 134, 242, 120, 13),
    ("LblWorking", LABEL, "Card1", 263, 242, 70, 13),
    ("LblWorkingStatus", LABEL, "Card1", 341, 242, 108, 13),
    ("BtnClean", BUTTON, "Card1", 168, 298, 164, 68),
    ("Indicator", PANEL, "Card1", 233, 316, None, None),
    ("GroupBox1", PANEL, "Card2", 15, 14, 474, 155),
    ("ChkUsagePhys", BUTTON, "GroupBox1", 17, 32, 328, 17),
    ("EditUsagePhys", LIST, "GroupBox1", 372, 31, 81, 21),
    ("ChkUsagePage", BUTTON, "GroupBox1", 17, 62, 328, 17),
    ("EditUsagePage", LIST, "GroupBox1", 372, 62, 81, 21),
    ("ChkUsageWork", BUTTON, "GroupBox1", 17, 92, 328, 17),
    ("EditUsageWork", LIST, "GroupBox1", 372, 89, 81, 21),
    ("ChkMinute", BUTTON, "GroupBox1", 17, 122, 328, 17),
    ("EditMinute", LIST, "GroupBox1", 372, 116, 81, 21),
    ("GroupBox3", PANEL, "Card2", 15, 192, 474, 73),
    ("ChkAutoStart", BUTTON, "GroupBox3", 17, 32, 208, 17),
    ("ChkCleanOnTray", BUTTON, "GroupBox3", 245, 32, 208, 17),
    ("EditInfo", FIELD, "Card2", 15, 368, 170, 21),
]


def layout_table():
    """The layout above as absolute rectangles in the client area: {name: (class, rect)}."""
    rows = {row[0]: row for row in LAYOUT}
    table = {}
    for name, cls, parent, x, y, w, h in LAYOUT:
        while parent:
            x, y, parent = x + rows[parent][3], y + rows[parent][4], rows[parent][2]
        table[name] = (cls, [x, y, w, h])
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
        # Every named window is one of the described components, and every component is there.
        self.assertEqual(sorted(home["by_name"]), sorted(name for name, *_ in LAYOUT))
        for name, (cls, rect) in layout_table().items():
            with self.subTest(control=name):
                shown = home if name in home["by_name"] else settings
                self.assertIn(name, shown["by_name"])
                self.assertEqual(shown["by_name"][name]["class"], cls)
                if rect[2] is None:
                    self.assertEqual(shown["by_name"][name]["rect"][:2], scaled(rect[:2] + [0, 0], factor)[:2])
                else:
                    self.assertEqual(shown["by_name"][name]["rect"], scaled(rect, factor))
        # The structure's anchors once more, as absolute positions.
        c = home["by_name"]
        self.assertEqual(c["PnlHead"]["rect"], scaled([0, 2, 500, 50], factor))
        self.assertEqual(c["PnlMain"]["rect"], scaled([0, 52, 500, 398], factor))
        self.assertEqual(c["BtnClean"]["rect"], scaled([168, 52 + 298, 164, 68], factor))
        self.assertEqual(settings["by_name"]["EditInfo"]["rect"], scaled([15, 52 + 368, 170, 21], factor))
        self.assertFalse(c["Indicator"]["visible"])
        # The indicator, at a size of its own, sits over the middle of the clean button.
        il, it, iw, ih = c["Indicator"]["rect"]
        bl, bt, bw, bh = c["BtnClean"]["rect"]
        self.assertTrue(il <= bl + bw // 2 <= il + iw and it <= bt + bh // 2 <= it + ih, c["Indicator"]["rect"])
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
