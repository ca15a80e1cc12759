"""End to end: the setup program and its uninstaller under Wine, in a fresh prefix of their own,
and the icon every shipped exe carries."""
import datetime
import json
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
ART = WIN_BUILD / "art"
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


def version_strings(block):
    """The StringFileInfo values of a raw version resource, as {name: value}."""
    values = {}

    def walk(offset, end, depth):
        while offset < end:
            length, value_len, kind = struct.unpack_from("<HHH", block, offset)
            if length == 0:
                return
            key_end = block.index(b"\0\0", offset + 6)
            while (key_end - offset) % 2:
                key_end = block.index(b"\0\0", key_end + 1)
            key = block[offset + 6:key_end].decode("utf-16-le")
            child = (key_end + 2 + 3) & ~3
            if depth == 2 and kind == 1:
                values[key] = block[child:child + 2 * value_len].decode("utf-16-le").rstrip("\0")
            elif depth < 2 and (depth or key == "StringFileInfo"):
                walk(child, offset + length, depth + 1)
            offset = (offset + length + 3) & ~3

    walk(0x5C, len(block), 0)  # after VS_VERSION_INFO's header and its fixed part
    return values


def built_exes():
    """The test build's exe and setup, and the shipped ones where they are another build."""
    shipped = [SHIPPED / "Quorvane.exe", SHIPPED / f"QuorvaneSetup-{VERSION}.exe"] if SHIPPED != WIN_BUILD else []
    return [LOOPBACK_EXE, SETUP] + [p for p in shipped if p.exists()]


class ShippedResources(unittest.TestCase):

    def test_version_blocks_name_each_file(self):
        # The build's year: this year, or last year for a build made before New Year.
        this_year = datetime.date.today().year
        for exe in built_exes() + [p.parent / "Uninstall.exe" for p in built_exes() if p.name.startswith("QuorvaneSetup")]:
            with self.subTest(exe=str(exe.relative_to(SOURCE / "build"))):
                block = subprocess.run(["wrestool", "-x", "--raw", "-t", "16", str(exe)], capture_output=True,
                                       check=True, timeout=60).stdout
                fixed = block.find(b"\xbd\x04\xef\xfe")  # VS_FIXEDFILEINFO
                self.assertGreaterEqual(fixed, 0)
                self.assertEqual(struct.unpack_from("<II", block, fixed + 8), (0x10009, 0x50000))  # 1.9.5.0
                strings = version_strings(block)
                description, original = {
                    "Quorvane.exe": ("Quorvane", "Quorvane.exe"),
                    "Uninstall.exe": ("Quorvane Uninstaller", "Uninstall.exe"),
                }.get(exe.name, ("Quorvane Setup", exe.name))
                self.assertIn(strings.pop("LegalCopyright", None), [f"© {y} Vantorel" for y in (this_year, this_year - 1)])
                self.assertEqual({k: strings.get(k) for k in ("CompanyName", "ProductName", "FileDescription",
                                                              "OriginalFilename", "FileVersion")},
                                 {"CompanyName": "Vantorel", "ProductName": "Quorvane", "FileDescription": description,
                                  "OriginalFilename": original, "FileVersion": "1.9.5.0"})

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
    # Folders of the tests' own besides the default one; every test starts without them.
    OTHER_DIRS = [r"C:\Other", r"C:\Tools", r"C:\Shared", r"C:\Stale"]
    START_MENU = r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Quorvane.lnk"
    DESKTOP = r"C:\users\Public\Desktop\Quorvane.lnk"

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
        for folder in [PROGRAM_FILES + r"\Vantorel"] + self.OTHER_DIRS:
            shutil.rmtree(self.unix(folder), ignore_errors=True)
        for link in (self.START_MENU, self.DESKTOP):
            self.unix(link).unlink(missing_ok=True)
        self.session.run("reg", "delete", UNINSTALL_KEY, "/reg:32", "/f")
        self.session.env.pop("QUORVANE_SETUP_TASK_EXISTS", None)

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

    def user_key(self):
        """The program's settings and identifier as reg.exe exports them, byte for byte."""
        export = self.unix(r"C:\user-key.reg")
        for _ in range(3):  # reg.exe now and then fails to start while Wine is busy
            export.unlink(missing_ok=True)
            r = self.session.run("reg", "export", USER_KEY, r"C:\user-key.reg", "/y")
            if r.returncode == 0 and export.exists():
                return export.read_bytes()
            time.sleep(1)
        self.fail(f"reg export failed: {r.stdout} {r.stderr[-500:]}")

    def processes(self, needle):
        """{pid: command line} of the prefix's Windows processes whose command line has NEEDLE."""
        found = {}
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                env = pathlib.Path(f"/proc/{pid}/environ").read_bytes().split(b"\0")
                cmd = pathlib.Path(f"/proc/{pid}/cmdline").read_bytes().replace(b"\0", b" ").decode("utf-8", "replace")
            except OSError:
                continue
            # A program the test started by its Unix path shows that path: in Windows' form here.
            drive_c = f"{self.prefix}/drive_c/"
            if cmd.startswith(drive_c) and ".exe" in cmd:
                exe, rest = cmd[len(drive_c):].split(".exe", 1)
                cmd = "C:\\" + exe.replace("/", "\\") + ".exe" + rest
            if f"WINEPREFIX={self.prefix}".encode() in env and needle.lower() in cmd.lower():
                found[int(pid)] = cmd.strip()
        return found

    def programs(self):
        return {pid: cmd for pid, cmd in self.processes(r"\Quorvane.exe").items() if "qprobe" not in cmd}

    def wait_for_programs(self, expected, before=(), timeout=20):
        """Waits until exactly the command lines EXPECTED run, none of them with a pid of BEFORE."""
        def match():
            now = self.programs()
            return now if sorted(now.values()) == sorted(expected) and not now.keys() & set(before) else None
        found = wait_until(match, timeout)
        self.assertIsNotNone(found, f"running: {self.programs()}, expected {expected}, not {dict(before)}")
        return found

    def install(self, *args, task=None, timeout=120):
        """Runs the setup; TASK tells it whether the logon task exists (Wine's never shows one)."""
        if task is not None:
            self.session.env["QUORVANE_SETUP_TASK_EXISTS"] = "1" if task else "0"
        return self.session.run(SETUP, *args, timeout=timeout)

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

    def key(self, name):
        subprocess.run(["xdotool", "key", name], env=self.session.env, check=True, timeout=30)

    def start_wizard(self, *args, lang=None):
        env = self.session.env
        if lang:
            self.session.env = dict(env, LANG=lang, LC_ALL=lang)
        try:
            return self.session.start(SETUP, *args)
        finally:
            self.session.env = env

    def probe(self, *args):
        return self.session.run(PROBE, *[str(a) for a in args]).returncode

    def message_screenshot(self, name, unlike=None):
        """Waits for a message box, keeps the settled screen, and returns the box's text."""
        r = self.session.run(PROBE, "wait-message", "30000")
        self.assertEqual(r.returncode, 0, f"no message box for {name}")
        self.settled_screenshot(name, unlike=unlike)
        return json.loads(r.stdout)

    def assert_nothing_installed(self):
        self.assertEqual(self.uninstall_entry(), {})
        self.assertFalse(self.unix(INSTALL_DIR).exists())
        self.assertFalse(self.unix(self.START_MENU).exists())
        self.assertEqual(self.programs(), {})

    # -- the straight paths ------------------------------------------------------------------

    def test_install_upgrade_over_the_running_copy_and_uninstall(self):
        exe = self.unix(INSTALL_DIR + r"\Quorvane.exe")
        uninstaller = self.unix(INSTALL_DIR + r"\Uninstall.exe")
        start_menu = self.unix(self.START_MENU)
        desktop = self.unix(self.DESKTOP)

        # Silent install into a fresh Windows: registered, and running hidden in the tray.
        r = self.install("/S")
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertEqual(exe.read_bytes(), LOOPBACK_EXE.read_bytes())
        self.assertEqual(uninstaller.read_bytes(), (WIN_BUILD / "loopback" / "Uninstall.exe").read_bytes())
        self.assertIn((INSTALL_DIR + r"\Quorvane.exe").encode("ascii"), start_menu.read_bytes())  # its target
        self.assertFalse(desktop.exists(), "a desktop shortcut nobody asked for")
        on_disk_kb = -(-(exe.stat().st_size + uninstaller.stat().st_size) // 1024)
        self.assertEqual(self.uninstall_entry(), {
            "DisplayName": ("REG_SZ", "Quorvane"),
            "DisplayVersion": ("REG_SZ", VERSION),
            "Publisher": ("REG_SZ", "Vantorel"),
            "DisplayIcon": ("REG_SZ", INSTALL_DIR + r"\Quorvane.exe,0"),
            "InstallLocation": ("REG_SZ", INSTALL_DIR),
            "UninstallString": ("REG_SZ", f'"{INSTALL_DIR}\\Uninstall.exe"'),
            "QuietUninstallString": ("REG_SZ", f'"{INSTALL_DIR}\\Uninstall.exe" /S'),
            "HelpLink": ("REG_SZ", "https://127.0.0.1:47381/"),  # the test build's link host
            "URLInfoAbout": ("REG_SZ", "https://127.0.0.1:47381/"),
            "NoModify": ("REG_DWORD", "0x1"),
            "NoRepair": ("REG_DWORD", "0x1"),
            "EstimatedSize": ("REG_DWORD", hex(on_disk_kb)),
        })
        first = self.wait_for_programs([f"{INSTALL_DIR}\\Quorvane.exe /inststart"])
        self.assertEqual(self.probe("wait-tray", 20000), 0)
        self.assertEqual(self.probe("wait-hidden", 0), 0, "the window on the deploying user's desktop")

        # Again, over the running copy, whose logon task exists: ended, replaced and started anew
        # the same way, once; the program's own key untouched.
        self.session.run("reg", "add", USER_KEY + r"\Quorvane", "/v", "cleanontray", "/t", "REG_DWORD", "/d", "1", "/f")
        user_before = self.user_key()
        self.assertIn("VelUID".encode("utf-16-le"), user_before)
        r = self.install("/S", task=True)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.wait_for_programs([f"{INSTALL_DIR}\\Quorvane.exe /inststart"], before=first)
        self.assertEqual(self.probe("wait-tray", 20000), 0)
        self.assertEqual(self.uninstall_entry()["DisplayVersion"], ("REG_SZ", VERSION))
        self.assertEqual(self.user_key(), user_before)

        # The user's settings and the installation identifier outlive the uninstall.
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
        self.assertEqual(self.user_key(), user_before)

    def test_setup_pages_in_the_users_language_and_english_otherwise(self):
        desktop = self.screen()
        welcomes = []
        for lang, shot in (("ko_KR.UTF-8", "setup-ko"), ("de_DE.UTF-8", "setup-en")):
            with self.subTest(lang=lang):
                self.start_wizard(lang=lang)
                welcome = self.settled_screenshot(f"{shot}-welcome.png", unlike=desktop)
                welcomes.append(welcome)
                # Next: the components page, where the desktop shortcut is offered.
                self.key("Return")
                self.settled_screenshot(f"{shot}-components.png", unlike=welcome)
                self.session.restart_programs()
                self.session.run(PROBE, "wait-gone", "0")  # the desktop again, as it was
        self.assertNotEqual(welcomes[0], welcomes[1], "the same page for a Korean and a German user")
        self.assertFalse(self.unix(INSTALL_DIR).exists(), "the pages alone installed something")

    # -- upgrades keep what the user chose ---------------------------------------------------

    def test_upgrade_brings_the_program_back_as_it_was(self):
        r = self.install("/S", task=False)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        exe = f"{INSTALL_DIR}\\Quorvane.exe"
        self.wait_for_programs([f"{exe} /inststart"])
        self.assertEqual(self.probe("wait-tray", 20000), 0)  # its window exists: /uninst reaches it
        cases = [
            # (how it ran before: None, "/start" or "" (with its window), the task existed, how it runs after)
            ("/start", True, "/inststart"),
            ("/start", False, "/start"),
            ("", True, "/inst"),
            ("", False, ""),
            (None, True, None),
            (None, False, None),
        ]
        for before, task, after in cases:
            with self.subTest(before=before, task=task):
                self.session.run(self.unix(exe), "/uninst")  # Wine would take a path with blanks for a document
                self.assertEqual(self.probe("wait-gone", 10000), 0)
                self.assertTrue(wait_until(lambda: not self.programs(), 10))
                running = {}
                if before is not None:
                    self.session.start(self.unix(exe), *([before] if before else []))
                    running = self.wait_for_programs([f"{exe} {before}".strip()])
                    self.assertEqual(self.probe("wait-tray", 20000), 0)
                r = self.install("/S", task=task)
                self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
                if after is None:
                    time.sleep(2)  # what the setup would have started has shown up by now
                    self.assertEqual(self.programs(), {})
                    continue
                self.wait_for_programs([f"{exe} {after}".strip()], before=running)
                self.assertEqual(self.probe("wait-tray", 20000), 0)
                self.assertEqual(self.probe("wait-hidden" if before else "wait-visible", 10000), 0)

    def test_failed_upgrade_brings_back_the_copy_that_ran_and_its_task(self):
        r = self.install("/S", task=False)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        exe = self.unix(INSTALL_DIR + r"\Quorvane.exe")
        first = self.wait_for_programs([f"{INSTALL_DIR}\\Quorvane.exe /inststart"])
        self.assertEqual(self.probe("wait-tray", 20000), 0)
        with exe.open("ab") as f:
            f.write(b"the old exe")  # a PE runs with bytes after its image; tells old from new
        old_exe, entry, user = exe.read_bytes(), self.uninstall_entry(), self.user_key()
        # Another program holds the exe open: the setup cannot replace it.
        holder = self.session.start(PROBE, "hold", INSTALL_DIR + r"\Quorvane.exe", "120000")
        self.assertTrue(wait_until(lambda: (holder.output_file.seek(0), b"held" in holder.output_file.read())[1], 20))

        r = self.install("/S", task=True)
        self.assertEqual(r.returncode, 2, r.stdout + r.stderr)
        # The old copy runs again, from the old exe, and registers its task again.
        self.wait_for_programs([f"{INSTALL_DIR}\\Quorvane.exe /inststart"], before=first)
        self.assertEqual(self.probe("wait-tray", 20000), 0)
        self.assertEqual(exe.read_bytes(), old_exe)
        self.assertEqual(self.uninstall_entry(), entry)
        self.assertEqual(self.user_key(), user)

    # -- what deployment tools and people do -------------------------------------------------

    def test_unusable_folders_are_refused_with_exit_code_5(self):
        self.assertFalse((self.prefix / "dosdevices" / "q:").exists(), "Q: must be unmapped here")
        folders = [
            r"Q:\nope",                       # no such drive
            r"relative\dir",
            r"1:\Apps",                        # no drive letter
            r"\Apps\Quorvane",                # no drive
            r"C:",                            # no folder
            "C:\\",                           # a drive's root
            r"C:\windows\notepad.exe",        # a file
            r"C:\windows\notepad.exe\sub",    # below a file
            r"\\server\share\q",              # network; nothing is looked up
            r"//server/share/q",
            r"C:\in<valid",
        ]
        for folder in folders:
            with self.subTest(folder=folder):
                r = self.install("/S", f"/D={folder}")
                self.assertEqual(r.returncode, 5, r.stdout + r.stderr)
                self.assert_nothing_installed()
        # NSIS knows only an upper-case /D=; a lower-case one is meant the same way.
        r = self.install("/S", r"/d=Q:\nope")
        self.assertEqual(r.returncode, 5, r.stdout + r.stderr)
        self.assert_nothing_installed()
        # The wizard says why, in the user's language, then ends the same way.
        desktop = self.screen()
        wizard = self.start_wizard(r"/D=Q:\nope")
        self.assertEqual(self.message_screenshot("setup-ko-unusable-folder.png", unlike=desktop),
                         "“Q:\\nope”에는 Quorvane을(를) 설치할 수 없습니다. 해당 드라이브가 없습니다.")
        self.key("Return")
        self.assertEqual(wizard.wait(30), 5)
        self.assert_nothing_installed()

    def test_folder_given_with_d_holds_others_files(self):
        shared = self.unix(r"C:\Shared")
        shared.mkdir()
        (shared / "other.bin").write_bytes(b"\0" * (1 << 20))
        r = self.install("/S", "/D=C:\\Shared\\.\\", task=False)  # written loosely on purpose
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        entry = self.uninstall_entry()
        self.assertEqual(entry["InstallLocation"], ("REG_SZ", r"C:\Shared"))
        ours = sum((shared / name).stat().st_size for name in ("Quorvane.exe", "Uninstall.exe"))
        self.assertEqual(entry["EstimatedSize"], ("REG_DWORD", hex(-(-ours // 1024))))
        self.wait_for_programs([r"C:\Shared\Quorvane.exe /inststart"])
        r = self.session.run(r"C:\Shared\Uninstall.exe", "/S", r"_?=C:\Shared", timeout=120)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertEqual(sorted(p.name for p in shared.iterdir()), ["Uninstall.exe", "other.bin"])
        self.assertEqual(self.uninstall_entry(), {})

    def test_moving_to_another_folder_leaves_one_install(self):
        r = self.install("/S", task=False)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        first = self.wait_for_programs([f"{INSTALL_DIR}\\Quorvane.exe /inststart"])
        self.assertEqual(self.probe("wait-tray", 20000), 0)
        old_uninstaller = self.unix(INSTALL_DIR + r"\Uninstall.exe").read_bytes()
        # As if "Desktop shortcut" had been ticked.
        shutil.copy(self.unix(self.START_MENU), self.unix(self.DESKTOP))

        new_dir = r"C:\Other\Quorvane Dir"  # passed quoted, "/D=...", as PowerShell passes it
        r = self.install("/S", f"/D={new_dir}", task=False)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertFalse(self.unix(PROGRAM_FILES + r"\Vantorel").exists(), "the earlier install is still there")
        entry = self.uninstall_entry()
        self.assertEqual(entry["InstallLocation"], ("REG_SZ", new_dir))
        self.assertEqual(entry["UninstallString"], ("REG_SZ", f'"{new_dir}\\Uninstall.exe"'))
        for link in (self.START_MENU, self.DESKTOP):
            target = self.unix(link).read_bytes()
            self.assertIn(f"{new_dir}\\Quorvane.exe".encode(), target, link)
            self.assertNotIn(b"Vantorel", target, link)
        moved = self.wait_for_programs([f"{new_dir}\\Quorvane.exe /start"], before=first)  # hidden, as it was

        # An uninstaller left behind in a folder that is no longer the install (copied here as an
        # older setup would have left it) removes its own files only.
        stale = self.unix(r"C:\Stale\Quorvane")
        stale.mkdir(parents=True)
        (stale / "Uninstall.exe").write_bytes(old_uninstaller)
        (stale / "Quorvane.exe").write_bytes(LOOPBACK_EXE.read_bytes())
        user = self.user_key()
        r = self.session.run(r"C:\Stale\Quorvane\Uninstall.exe", "/S", r"_?=C:\Stale\Quorvane", timeout=120)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertFalse((stale / "Quorvane.exe").exists())
        self.assertEqual(self.uninstall_entry(), entry)
        for link in (self.START_MENU, self.DESKTOP):
            self.assertTrue(self.unix(link).exists(), link)
        self.assertEqual(self.programs(), moved)
        self.assertEqual(self.user_key(), user)

    def test_a_short_name_of_the_folder_is_the_same_install(self):
        r = self.install("/S", task=False)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        first = self.wait_for_programs([f"{INSTALL_DIR}\\Quorvane.exe /inststart"])
        self.assertEqual(self.probe("wait-tray", 20000), 0)
        entry = self.uninstall_entry()
        short = json.loads(self.session.run(PROBE, "short", INSTALL_DIR).stdout)
        self.assertNotEqual(short.lower(), INSTALL_DIR.lower())
        r = self.install("/S", f"/D={short}", task=False)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        # Not taken for a move away from itself: everything is still there, under its long name.
        self.assertEqual(self.unix(INSTALL_DIR + r"\Quorvane.exe").read_bytes(), LOOPBACK_EXE.read_bytes())
        self.assertTrue(self.unix(INSTALL_DIR + r"\Uninstall.exe").is_file())
        self.assertEqual(self.uninstall_entry(), entry)
        self.wait_for_programs([f"{INSTALL_DIR}\\Quorvane.exe /start"], before=first)

    def test_one_setup_at_a_time(self):
        # A folder without blanks: Wine quotes an argument that has them, and NSIS finds _?= only
        # unquoted.
        folder = r"C:\Other\Quorvane"
        r = self.install("/S", f"/D={folder}", task=False)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        running = self.wait_for_programs([f"{folder}\\Quorvane.exe /inststart"])
        entry, exe = self.uninstall_entry(), self.unix(folder + r"\Quorvane.exe").read_bytes()
        desktop = self.screen()
        wizard = self.start_wizard()
        welcome = self.settled_screenshot("setup-ko-first.png", unlike=desktop)
        # A second setup, silent or not, and the uninstaller: each ends with 3 and touches nothing.
        r = self.install("/S")
        self.assertEqual(r.returncode, 3, r.stdout + r.stderr)
        r = self.session.run(folder + r"\Uninstall.exe", "/S", f"_?={folder}", timeout=120)
        self.assertEqual(r.returncode, 3, r.stdout + r.stderr)
        second = self.start_wizard()
        self.assertIn("Quorvane", self.message_screenshot("setup-ko-another-setup.png", unlike=welcome))
        self.key("Return")
        self.assertEqual(second.wait(30), 3)
        self.assertIsNone(wizard.poll(), "the first setup ended too")
        self.assertEqual(self.uninstall_entry(), entry)
        self.assertEqual(self.unix(folder + r"\Quorvane.exe").read_bytes(), exe)
        self.assertEqual(self.programs(), running)

    def test_no_silent_downgrade(self):
        newer = self.build_setup("2.0.0")
        r = self.session.run(newer, "/S", timeout=120)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        running = self.wait_for_programs([f"{INSTALL_DIR}\\Quorvane.exe /inststart"])
        entry = self.uninstall_entry()
        self.assertEqual(entry["DisplayVersion"], ("REG_SZ", "2.0.0"))
        exe = self.unix(INSTALL_DIR + r"\Quorvane.exe").read_bytes()

        r = self.install("/S")
        self.assertEqual(r.returncode, 4, r.stdout + r.stderr)
        self.assertEqual(self.uninstall_entry(), entry)
        self.assertEqual(self.programs(), running, "a refused setup touched the running copy")
        # The wizard asks; No (the default) refuses the same way.
        desktop = self.screen()
        wizard = self.start_wizard()
        self.assertIn("2.0.0", self.message_screenshot("setup-ko-downgrade.png", unlike=desktop))
        self.key("Return")
        self.assertEqual(wizard.wait(30), 4)
        self.assertEqual(self.uninstall_entry(), entry)
        self.assertEqual(self.unix(INSTALL_DIR + r"\Quorvane.exe").read_bytes(), exe)

        r = self.install("/S", "/ALLOWDOWNGRADE", task=False)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertEqual(self.uninstall_entry()["DisplayVersion"], ("REG_SZ", VERSION))

    def build_setup(self, version):
        """A setup of the test build from the same script that says it is VERSION."""
        out = WIN_BUILD / "e2e-setups" / f"QuorvaneSetup-{version}.exe"
        out.parent.mkdir(exist_ok=True)
        subprocess.run(["makensis", "-V2", "-INPUTCHARSET", "UTF8", f"-DTARGET={'amd64' if WIN64 else 'x86'}-unicode",
                        "-DTEST_SEAMS", f"-DVERSION={version}.0", f"-DDISPLAY_VERSION={version}", "-DYEAR=2026",
                        f"-DICON={ART / 'Quorvane.ico'}", f"-DWIZARD={ART / 'wizard.bmp'}", f"-DEXE={LOOPBACK_EXE}",
                        f"-DUNINSTALLER={WIN_BUILD / 'loopback' / 'Uninstall.exe'}", "-DHOMEPAGE=https://127.0.0.1:47381/",
                        f"-DOUTFILE={out}", str(SOURCE / "installer" / "Quorvane.nsi")],
                       check=True, capture_output=True, timeout=300)
        return out

    # -- the wizard's last pages -------------------------------------------------------------

    def test_wizard_aborted_and_finish_pages(self):
        # The box is found by an ASCII part of its text: Wine's command line loses the Korean.
        for lang, name, run, part in (("ko_KR.UTF-8", "ko", "Quorvane 실행하기(&R)", "(&R)"),
                                      ("en_US.UTF-8", "en", "&Run Quorvane", "&Run")):
            with self.subTest(lang=lang):
                self.session.restart_programs()
                self.without_quorvane()
                # A folder that cannot be written: a folder where the exe goes.
                blocker = self.unix(INSTALL_DIR + r"\Quorvane.exe")
                blocker.mkdir(parents=True)
                desktop = self.screen()
                wizard = self.start_wizard(lang=lang)
                page = self.settled_screenshot(f"setup-{name}-welcome.png", unlike=desktop)
                self.key("Return")  # to the components
                page = self.settled_screenshot(f"setup-{name}-components.png", unlike=page)
                self.key("Return")  # Install
                self.assertIn(INSTALL_DIR, self.message_screenshot(f"setup-{name}-cannot-write.png", unlike=page))
                page = self.screen()
                self.key("Escape")  # Cancel, not Retry
                page = self.settled_screenshot(f"setup-{name}-aborted.png", unlike=page)
                self.key("Return")  # Cancel, which closes it now
                self.assertEqual(wizard.wait(30), 2)
                self.assertEqual(self.uninstall_entry(), {})
                self.assertEqual(self.programs(), {})
                blocker.rmdir()

                # Installed: "Run Quorvane" is ticked, and nothing runs before Finish.
                wizard = self.start_wizard(lang=lang)
                page = self.settled_screenshot(f"setup-{name}-welcome-2.png", unlike=page)
                self.key("Return")
                page = self.settled_screenshot(f"setup-{name}-components-2.png", unlike=page)
                self.key("Return")
                box = self.session.run(PROBE, "wait-text", part, "30000")
                self.assertEqual(box.returncode, 0, "no Run Quorvane box")
                self.assertEqual(json.loads(box.stdout), {"text": run, "checked": True})
                self.settled_screenshot(f"setup-{name}-finish.png", unlike=page)
                self.assertTrue(self.uninstall_entry())
                self.assertEqual(self.programs(), {})
                self.key("Return")  # Finish
                self.assertEqual(wizard.wait(30), 0)
                self.wait_for_programs([f"{INSTALL_DIR}\\Quorvane.exe /inst"])
                self.assertEqual(self.probe("wait-visible", 20000), 0)
                self.session.restart_programs()
                self.session.run(PROBE, "wait-gone", "0")  # the desktop again, as it was

        # An upgrade through the wizard brings back the copy it ended, as it was (here in the tray,
        # with its logon task), after Finish and without a box to untick.
        exe = INSTALL_DIR + r"\Quorvane.exe"
        self.session.start(self.unix(exe), "/start")
        running = self.wait_for_programs([f"{exe} /start"])
        self.assertEqual(self.probe("wait-tray", 20000), 0)
        self.session.env["QUORVANE_SETUP_TASK_EXISTS"] = "1"
        wizard = self.start_wizard(lang="en_US.UTF-8")
        self.assertEqual(self.probe("wait-text", "Welcome", 30000), 0)
        self.key("Return")
        self.assertEqual(self.probe("wait-text", "Choose Components", 30000), 0)
        self.key("Return")
        self.assertEqual(self.probe("wait-text", "Completing", 60000), 0)
        self.settled_screenshot("setup-en-finish-upgrade.png")
        self.assertNotEqual(self.probe("wait-text", "&Run", 0), 0, "a box that could leave the program ended")
        self.assertEqual(self.programs(), {})
        self.key("Return")
        self.assertEqual(wizard.wait(30), 0)
        self.wait_for_programs([f"{exe} /inststart"], before=running)
        self.assertEqual(self.probe("wait-tray", 20000), 0)
        self.assertEqual(self.probe("wait-hidden", 0), 0)

    def test_silent_setup_that_cannot_place_the_exe_fails_with_exit_code_2(self):
        blocker = self.unix(INSTALL_DIR + r"\Quorvane.exe")
        blocker.mkdir(parents=True)  # nothing can write a file where a folder is
        r = self.install("/S")
        self.assertEqual(r.returncode, 2)
        self.assertEqual(self.uninstall_entry(), {})
        self.assertEqual(self.programs(), {})


if __name__ == "__main__":
    unittest.main()
