"""The frame every end-to-end test class shares: one Wine session per class, every program
ended after each test (also a failed one), and the probe that looks at the running program."""
import json
import unittest

from http_service import UpdateService
from winenv import WIN_BUILD, WineSession

# The test build: its update service and links are the loopback services of the tests.
EXE = WIN_BUILD / "loopback" / "Quorvane.exe"
PROBE = WIN_BUILD / "qprobe.exe"
ARTEFACTS = WIN_BUILD / "e2e-artefacts"
SETTINGS_PARENT = r"HKCU\Software\Vantorel"
SETTINGS_KEY = SETTINGS_PARENT + r"\Quorvane"


def windows_path(path):
    """The path as a Windows program under Wine sees it."""
    return "Z:" + str(path).replace("/", "\\")


class ProgramTest(unittest.TestCase):
    dpi = None  # a prefix of its own for another DPI
    # A Korean user sees the program's source texts, which the tests compare against.
    lang = "ko_KR.UTF-8"
    session = None
    # The test build asks this loopback service; False leaves its port closed (no service).
    update_service = True
    service = None

    @classmethod
    def setUpClass(cls):
        prefix = WIN_BUILD / (f"wineprefix-dpi{cls.dpi}" if cls.dpi else "wineprefix")
        cls.opened_log = WIN_BUILD / f"opened-{prefix.name}.txt"
        if cls.update_service:
            cls.service = UpdateService().__enter__()
        try:
            cls.session = WineSession(prefix=prefix, dpi=cls.dpi, lang=cls.lang).__enter__()
        except BaseException:
            cls._stop_service()
            raise
        ARTEFACTS.mkdir(parents=True, exist_ok=True)
        # The shell's "open" of a web address reaches the probe, which writes it down, instead
        # of a browser: links and downloads are seen, and nothing leaves the machine.
        command = f'"{windows_path(PROBE)}" record-open "{windows_path(cls.opened_log)}" "%1"'
        for scheme in ("http", "https"):
            cls.session.run("reg", "add", rf"HKCR\{scheme}\shell\open\command", "/ve", "/d", command, "/f")
        # The first window of a fresh server starts the desktop; pay that once, here.
        cls.session.run(PROBE, "wait-gone", "0")

    @classmethod
    def _stop_service(cls):
        if cls.service:
            cls.service.__exit__(None, None, None)
            cls.service = None

    @classmethod
    def tearDownClass(cls):
        cls.session.close()
        cls._stop_service()

    def setUp(self):
        # Every test starts from a fresh installation's settings.
        self.reg("delete", SETTINGS_PARENT, "/f")
        if self.service:
            self.service.reset()
        self.opened_log.unlink(missing_ok=True)

    def opened(self):
        """The addresses handed to the shell so far."""
        try:
            return self.opened_log.read_text(encoding="utf-8").splitlines()
        except FileNotFoundError:
            return []

    def tearDown(self):
        self.session.restart_programs()

    def reg(self, *args):
        """Wine's reg tool on the test prefix; returns its output."""
        return self.session.run("reg", *args).stdout

    def probe(self, *args, check=True):
        r = self.session.run(PROBE, *[str(a) for a in args])
        if check:
            self.assertEqual(r.returncode, 0, f"qprobe {' '.join(map(str, args))}: {r.stdout}{r.stderr}")
        return r

    def dump(self):
        d = json.loads(self.probe("dump").stdout)
        d["by_name"] = {c["name"]: c for c in d["controls"] if c}
        return d
