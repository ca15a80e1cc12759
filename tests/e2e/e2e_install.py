"""End to end: the setup program and its uninstaller under Wine, in a fresh prefix of their own,
and the icon every shipped exe carries."""
import math
import os
import pathlib
import shutil
import struct
import subprocess
import time
import unittest

from program_test import ARTEFACTS, PROBE
from winenv import SOURCE, WIN64, WIN_BUILD, WineSession

VERSION = "1.9.5"
LOOPBACK_EXE = WIN_BUILD / "loopback" / "Quorvane.exe"
SETUP = WIN_BUILD / "loopback" / f"QuorvaneSetup-{VERSION}.exe"  # installs the test build
SHIPPED = SOURCE / "build" / "win"
ICON_SIZES = [16, 20, 24, 32, 40, 48, 64, 256]

# The 32-bit Program Files folder, as Windows names it in the prefix.
PROGRAM_FILES = r"C:\Program Files (x86)" if WIN64 else r"C:\Program Files"
INSTALL_DIR = PROGRAM_FILES + r"\Vantorel\Quorvane"
UNINSTALL_PARENT = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
UNINSTALL_KEY = UNINSTALL_PARENT + r"\Quorvane"
USER_KEY = r"HKCU\Software\Vantorel"


def icon_group(exe, name=None):
    """The first icon group of EXE (or the one called NAME) as [(size, is_png, image bytes)]."""
    args = ["wrestool", "-x", "-t", "14"] + (["-n", str(name)] if name else [])
    data = subprocess.run(args + [str(exe)], capture_output=True, check=True, timeout=60).stdout
    _, _, count = struct.unpack_from("<HHH", data)
    images = []
    for i in range(count):
        w, _, _, _, _, _, length, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        image = data[offset:offset + length]
        images.append((w or 256, image.startswith(b"\x89PNG"), image))
    return images


def first_icon_group_name(exe):
    listing = subprocess.run(["wrestool", "-l", str(exe)], capture_output=True, text=True, check=True).stdout
    return next(line.split("--name=")[1].split()[0] for line in listing.splitlines() if "type=group_icon" in line)


def wait_until(predicate, timeout=30.0):
    """Polls PREDICATE until it holds or the deadline passes; returns its last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(0.1)


def built_exes():
    """The test build's exe and setup, and the shipped ones where they are another build."""
    shipped = [SHIPPED / "Quorvane.exe", SHIPPED / f"QuorvaneSetup-{VERSION}.exe"] if SHIPPED != WIN_BUILD else []
    return [LOOPBACK_EXE, SETUP] + [p for p in shipped if p.exists()]


class ShippedResources(unittest.TestCase):

    def test_setup_version_block_names_version_and_publisher(self):
        for setup in (p for p in built_exes() if p.name.startswith("QuorvaneSetup")):
            with self.subTest(setup=str(setup.relative_to(SOURCE / "build"))):
                block = subprocess.run(["wrestool", "-x", "--raw", "-t", "16", str(setup)], capture_output=True,
                                       check=True, timeout=60).stdout
                fixed = block.find(b"\xbd\x04\xef\xfe")  # VS_FIXEDFILEINFO
                self.assertGreaterEqual(fixed, 0)
                self.assertEqual(struct.unpack_from("<II", block, fixed + 8), (0x10009, 0x50000))  # 1.9.5.0
                for text in ("Vantorel", "1.9.5.0", "Quorvane"):
                    self.assertIn(text.encode("utf-16-le"), block)

    # Every size Windows asks for, drawn for that size: a scaled-down picture would blur edges
    # into half-transparent pixels, which the drawing has only at its rounded corners.
    def test_every_exe_carries_the_icon_at_every_size(self):
        for exe in built_exes():
            with self.subTest(exe=str(exe.relative_to(SOURCE / "build"))):
                if exe.name == "Quorvane.exe":
                    self.assertEqual(first_icon_group_name(exe), "1")  # what Explorer shows
                images = icon_group(exe)
                self.assertEqual(sorted(size for size, _, _ in images), ICON_SIZES)
                for size, is_png, image in images:
                    self.assertEqual(is_png, size == 256, f"{size} px")
                    if is_png:
                        continue
                    header = struct.unpack_from("<IiiHH", image)
                    self.assertEqual(header[1:], (size, 2 * size, 1, 32), f"{size} px")
                    alpha = image[40 + 3:40 + 4 * size * size:4]
                    partial = sum(1 for a in alpha if 0 < a < 255)
                    # Only the four rounded corners of the larger sizes, at most a corner radius square each.
                    self.assertLessEqual(partial, 0 if size < 32 else 4 * math.ceil(size / 32) ** 2, f"{size} px")
                    self.assertGreater(alpha.count(255), size * size // 3, f"{size} px")


class SetupUnderWine(unittest.TestCase):
    session = None

    @classmethod
    def setUpClass(cls):
        cls.prefix = WIN_BUILD / "wineprefix-install"
        shutil.rmtree(cls.prefix, ignore_errors=True)  # a Windows that never saw Quorvane
        cls.session = WineSession(prefix=cls.prefix, lang="ko_KR.UTF-8").__enter__()
        # Wine would copy every shortcut the setup makes into this machine's own menus.
        cls.session.env["WINEDLLOVERRIDES"] += ";winemenubuilder.exe=d"
        ARTEFACTS.mkdir(parents=True, exist_ok=True)
        cls.session.run(PROBE, "wait-gone", "0")  # starts the desktop once, here

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    def setUp(self):
        self.without_quorvane()

    def tearDown(self):
        self.session.restart_programs()
        self.without_quorvane()

    def without_quorvane(self):
        """Every test starts, and leaves, a Windows without Quorvane, whatever a failure left."""
        shutil.rmtree(self.unix(PROGRAM_FILES + r"\Vantorel"), ignore_errors=True)
        self.session.run("reg", "delete", UNINSTALL_KEY, "/reg:32", "/f")

    # -- the prefix seen from here ----------------------------------------------------------

    def unix(self, windows_path):
        drive, rest = windows_path.split(":", 1)
        assert drive.upper() == "C"
        return self.prefix / "drive_c" / rest.strip("\\").replace("\\", "/")

    def reg_values(self, key, *flags):
        """Values of KEY as {name: (type, data)}; {} when the key is missing."""
        out = self.session.run("reg", "query", key, *flags).stdout
        values = {}
        for line in out.splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) >= 2 and parts[1].startswith("REG_"):
                values[parts[0]] = (parts[1], parts[2] if len(parts) > 2 else "")
        return values

    def uninstall_entry(self):
        return self.reg_values(UNINSTALL_KEY, "/reg:32")

    def processes(self, needle):
        """{pid: command line} of the prefix's Windows processes whose command line has NEEDLE."""
        found = {}
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                env = pathlib.Path(f"/proc/{pid}/environ").read_bytes().split(b"\0")
                cmd = pathlib.Path(f"/proc/{pid}/cmdline").read_bytes().replace(b"\0", b" ").decode("utf-8", "replace")
            except OSError:
                continue
            if f"WINEPREFIX={self.prefix}".encode() in env and needle.lower() in cmd.lower():
                found[int(pid)] = cmd.strip()
        return found

    def programs(self):
        return self.processes(r"\Quorvane.exe")

    def screen(self):
        return subprocess.run(["import", "-display", self.session.env["DISPLAY"], "-window", "root", "-depth", "8",
                               "rgb:-"], capture_output=True, timeout=60).stdout

    def settled_screenshot(self, name, unlike=None):
        """Waits for the screen to stop changing (three equal frames, unlike UNLIKE), then keeps it."""
        frames = []

        def settled():
            frames[:] = frames[-2:] + [self.screen()]
            return len(frames) == 3 and frames[0] == frames[1] == frames[2] != unlike

        self.assertTrue(wait_until(settled, 20), f"the screen did not settle for {name}")
        self.session.screenshot(ARTEFACTS / name)
        return frames[-1]

    # -- the tests ---------------------------------------------------------------------------

    def test_silent_setup_that_cannot_place_the_exe_fails_with_exit_code_2(self):
        blocker = self.unix(INSTALL_DIR + r"\Quorvane.exe")
        blocker.mkdir(parents=True)  # nothing can write a file where a folder is
        r = self.session.run(SETUP, "/S", timeout=120)
        self.assertEqual(r.returncode, 2)
        self.assertEqual(self.uninstall_entry(), {})
        self.assertEqual(self.programs(), {})

    def test_install_upgrade_over_the_running_copy_and_uninstall(self):
        exe = self.unix(INSTALL_DIR + r"\Quorvane.exe")
        uninstaller = self.unix(INSTALL_DIR + r"\Uninstall.exe")
        start_menu = self.unix(r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Quorvane.lnk")
        desktop = self.unix(r"C:\users\Public\Desktop\Quorvane.lnk")

        # Silent install into a fresh Windows.
        r = self.session.run(SETUP, "/S", timeout=120)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertEqual(exe.read_bytes(), LOOPBACK_EXE.read_bytes())
        self.assertTrue(uninstaller.is_file())
        self.assertIn((INSTALL_DIR + r"\Quorvane.exe").encode("ascii"), start_menu.read_bytes())  # its target
        self.assertFalse(desktop.exists(), "a desktop shortcut nobody asked for")
        entry = self.uninstall_entry()
        size_kb = entry.pop("EstimatedSize", ("", "0"))
        self.assertEqual(entry, {
            "DisplayName": ("REG_SZ", "Quorvane"),
            "DisplayVersion": ("REG_SZ", VERSION),
            "Publisher": ("REG_SZ", "Vantorel"),
            "DisplayIcon": ("REG_SZ", INSTALL_DIR + r"\Quorvane.exe,0"),
            "InstallLocation": ("REG_SZ", INSTALL_DIR),
            "UninstallString": ("REG_SZ", f'"{INSTALL_DIR}\\Uninstall.exe"'),
            "QuietUninstallString": ("REG_SZ", f'"{INSTALL_DIR}\\Uninstall.exe" /S'),
            "NoModify": ("REG_DWORD", "0x1"),
            "NoRepair": ("REG_DWORD", "0x1"),
        })
        on_disk_kb = (exe.stat().st_size + uninstaller.stat().st_size) // 1024
        self.assertEqual(size_kb[0], "REG_DWORD")
        self.assertAlmostEqual(int(size_kb[1], 16), on_disk_kb, delta=8)
        # The setup ran "Quorvane.exe /inst": the program with its window.
        self.assertEqual(self.probe("wait-visible", 20000), 0)
        first = wait_until(self.programs)
        self.assertEqual(list(first.values()), [f"{INSTALL_DIR}\\Quorvane.exe /inst"])
        self.settled_screenshot("install-window.png")

        # Again, over the running copy: it is ended, replaced and started anew, once.
        r = self.session.run(SETUP, "/S", timeout=120)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertEqual(self.probe("wait-visible", 20000), 0)
        now = wait_until(lambda: (lambda p: p if len(p) == 1 and not p.keys() & first.keys() else None)(self.programs()))
        self.assertIsNotNone(now, f"running after the upgrade: {self.programs()}, before: {first}")
        self.assertEqual(self.uninstall_entry()["DisplayVersion"], ("REG_SZ", VERSION))

        # The user's settings and the installation identifier outlive the uninstall.
        self.session.run("reg", "add", USER_KEY + r"\Quorvane", "/v", "cleanontray", "/t", "REG_DWORD", "/d", "1", "/f")
        user_before = self.session.run("reg", "query", USER_KEY, "/s").stdout
        self.assertIn("VelUID", user_before)
        self.assertIn("cleanontray", user_before)

        r = self.session.run(uninstaller, "/S", timeout=120)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        # The uninstaller hands over to a copy of itself in the temporary folder and returns.
        self.assertTrue(wait_until(lambda: not self.processes(r"\Au_.exe") and not self.uninstall_entry(), 60),
                        "the uninstaller did not finish")
        self.assertEqual(self.programs(), {})
        self.assertEqual(self.probe("wait-gone", 0), 0)
        for path in (exe, uninstaller, start_menu, desktop, exe.parent, exe.parent.parent):
            self.assertFalse(path.exists(), path)
        self.assertNotIn(r"\Quorvane", self.session.run("reg", "query", UNINSTALL_PARENT, "/reg:32", "/s").stdout)
        self.assertEqual(self.session.run("reg", "query", USER_KEY, "/s").stdout, user_before)

    def test_setup_pages_in_the_users_language_and_english_otherwise(self):
        desktop = self.screen()
        welcomes = []
        for lang, shot in (("ko_KR.UTF-8", "setup-ko"), ("de_DE.UTF-8", "setup-en")):
            with self.subTest(lang=lang):
                env = self.session.env
                self.session.env = dict(env, LANG=lang, LC_ALL=lang)
                try:
                    self.session.start(SETUP)
                finally:
                    self.session.env = env
                welcome = self.settled_screenshot(f"{shot}-welcome.png", unlike=desktop)
                welcomes.append(welcome)
                # Next: the components page, where the desktop shortcut is offered.
                subprocess.run(["xdotool", "key", "Return"], env=self.session.env, check=True, timeout=30)
                self.settled_screenshot(f"{shot}-components.png", unlike=welcome)
                self.session.restart_programs()
                self.session.run(PROBE, "wait-gone", "0")  # the desktop again, as it was
        self.assertNotEqual(welcomes[0], welcomes[1], "the same page for a Korean and a German user")
        self.assertFalse(self.unix(INSTALL_DIR).exists(), "the pages alone installed something")

    def probe(self, *args):
        return self.session.run(PROBE, *[str(a) for a in args]).returncode


if __name__ == "__main__":
    unittest.main()
