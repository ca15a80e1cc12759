"""The frame every end-to-end test class shares: one Wine session per class, every program
ended after each test (also a failed one), and the probe that looks at the running program."""
import json
import unittest

from winenv import WIN_BUILD, WineSession

# The test build: its update service and links are the loopback services of the tests.
EXE = WIN_BUILD / "loopback" / "Quorvane.exe"
PROBE = WIN_BUILD / "qprobe.exe"
ARTEFACTS = WIN_BUILD / "e2e-artefacts"
SETTINGS_PARENT = r"HKCU\Software\Vantorel"
SETTINGS_KEY = SETTINGS_PARENT + r"\Quorvane"


class ProgramTest(unittest.TestCase):
    dpi = None  # a prefix of its own for another DPI
    # A Korean user sees the program's source texts, which the tests compare against.
    lang = "ko_KR.UTF-8"
    session = None

    @classmethod
    def setUpClass(cls):
        prefix = WIN_BUILD / (f"wineprefix-dpi{cls.dpi}" if cls.dpi else "wineprefix")
        cls.session = WineSession(prefix=prefix, dpi=cls.dpi, lang=cls.lang).__enter__()
        ARTEFACTS.mkdir(parents=True, exist_ok=True)
        # The first window of a fresh server starts the desktop; pay that once, here.
        cls.session.run(PROBE, "wait-gone", "0")

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    def setUp(self):
        # Every test starts from a fresh installation's settings.
        self.reg("delete", SETTINGS_PARENT, "/f")

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
