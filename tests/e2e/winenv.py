"""A private Wine prefix on a private X display, for running the program and its probes.

Used by the end-to-end tests, the Windows-side test runner and scripts/run. Everything this
starts (Xvfb, wineserver and the Wine processes) is ended when the session closes, also when a
test fails.
"""
import os
import pathlib
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SOURCE = pathlib.Path(os.environ.get("QUORVANE_SOURCE", pathlib.Path(__file__).resolve().parents[2]))


def _runs_32bit_wine():
    try:
        return subprocess.run(["/usr/lib/wine/wine", "--version"], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=60).returncode == 0
    except OSError:
        return False


# The cross build whose programs run here (see scripts/wine-build.sh).
WIN_BUILD = pathlib.Path(os.environ.get("QUORVANE_WIN_BUILD") or
                         SOURCE / "build" / ("win" if _runs_32bit_wine() else "win64"))
READY_MARK = ".quorvane-ready"


def _pe_is_64bit(exe):
    try:
        data = pathlib.Path(exe).read_bytes()[:4096]
        pe = int.from_bytes(data[0x3C:0x40], "little")
        return int.from_bytes(data[pe + 4:pe + 6], "little") == 0x8664
    except (OSError, ValueError):
        return False


# The cross build under test is 32-bit where the machine runs 32-bit programs, else 64-bit;
# each needs its own Wine loader (Debian's `wine` script always prefers the 32-bit one).
WIN64 = _pe_is_64bit(WIN_BUILD / "qprobe.exe")
WINE = "/usr/lib/wine/wine64" if WIN64 else "wine"

# Fonts that carry Korean, Japanese, Chinese and Arabic text for Wine's own faces.
FONT_LINKS = "NotoSansCJK-Regular.ttc,Noto Sans CJK KR\\0NotoSansArabic-Regular.ttf,Noto Sans Arabic"
LINKED_FACES = ["Tahoma", "Tahoma Bold", "Microsoft Sans Serif", "MS Shell Dlg", "MS Shell Dlg 2", "Segoe UI"]


def base_env(prefix, display=None):
    env = dict(os.environ)
    env.update(WINEPREFIX=str(prefix), WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
               WINEARCH="win64" if WIN64 else "win32")
    if WIN64:
        env["WINELOADER"] = WINE
    if display:
        env["DISPLAY"] = display
    return env


def _reg_add(env, key, name, value, kind="REG_SZ"):
    subprocess.run([WINE, "reg", "add", key, "/v", name, "/t", kind, "/d", value, "/f"], env=env,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False, timeout=120)


def prepare_prefix(prefix, env):
    """Makes the prefix once: virtual desktop as the default desktop, fonts for every script."""
    prefix = pathlib.Path(prefix)
    if (prefix / READY_MARK).exists():
        return
    prefix.mkdir(parents=True, exist_ok=True)
    subprocess.run([WINE, "wineboot", "-i"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   check=True, timeout=300)
    _reg_add(env, r"HKCU\Software\Wine\Explorer", "Desktop", "Default")
    _reg_add(env, r"HKCU\Software\Wine\Explorer\Desktops", "Default", "1024x768")
    for face in LINKED_FACES:
        _reg_add(env, r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink", face,
                 FONT_LINKS, "REG_MULTI_SZ")
    # Wine draws its caption buttons with Marlett; Debian ships it outside the prefix.
    fonts = prefix / "drive_c" / "windows" / "Fonts"
    for name in ("marlett.ttf", "tahoma.ttf", "tahomabd.ttf"):
        src = pathlib.Path("/usr/share/wine/fonts") / name
        if src.exists() and fonts.exists():
            shutil.copy(src, fonts / name)
    subprocess.run(["wineserver", "-w"], env=env, timeout=120, check=False)
    (prefix / READY_MARK).write_text("ok\n")


def _free_display():
    for n in range(90, 200):
        if not os.path.exists(f"/tmp/.X11-unix/X{n}") and not os.path.exists(f"/tmp/.X{n}-lock"):
            return f":{n}"
    raise RuntimeError("no free X display")


class WineSession:
    """Xvfb plus a prepared prefix; closing it kills every Wine process of the prefix."""

    def __init__(self, prefix=None, dpi=None, width=1280, height=800, lang=None):
        self.prefix = pathlib.Path(prefix or WIN_BUILD / "wineprefix")
        self.dpi = dpi
        self.lang = lang
        self.size = (width, height)
        self.xvfb = None
        self.env = None
        self.procs = []

    def __enter__(self):
        display = _free_display()
        self.xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", f"{self.size[0]}x{self.size[1]}x24",
                                      "-nolisten", "tcp"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + 10
        while not os.path.exists(f"/tmp/.X11-unix/X{display[1:]}"):
            if time.time() > deadline or self.xvfb.poll() is not None:
                raise RuntimeError("Xvfb did not start")
            time.sleep(0.05)
        self.env = base_env(self.prefix, display)
        if self.lang:
            # Wine takes the user's locale, and with it the program's language, from these.
            self.env.update(LANG=self.lang, LC_ALL=self.lang)
        try:
            prepare_prefix(self.prefix, self.env)
            if self.dpi:
                _reg_add(self.env, r"HKCU\Control Panel\Desktop", "LogPixels", str(self.dpi), "REG_DWORD")
            self._start_server()
        except BaseException:
            self.close()
            raise
        return self

    def _start_server(self):
        # A persistent server: a process that starts while an idle server is shutting itself
        # down can hang, which made tests flaky.
        subprocess.run(["wineserver", "-p"], env=self.env, check=False, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def start(self, exe, *args):
        # Output goes to files, never pipes: Wine's own services started by this process
        # inherit its handles and would hold a pipe open long after the process ended.
        out = tempfile.TemporaryFile()
        p = subprocess.Popen([WINE, str(exe), *args], env=self.env, stdout=out, stderr=subprocess.STDOUT,
                             start_new_session=True)
        p.output_file = out
        self.procs.append(p)
        return p

    def run(self, exe, *args, timeout=60):
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            p = subprocess.Popen([WINE, str(exe), *args], env=self.env, stdout=out, stderr=err)
            try:
                code = p.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()
                raise
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(p.args, code, out.read().decode("utf-8", "replace"),
                                               err.read().decode("utf-8", "replace"))

    def screenshot(self, path):
        subprocess.run(["import", "-display", self.env["DISPLAY"], "-window", "root", str(path)],
                       check=False, timeout=60, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def kill_programs(self):
        """Ends every Windows process of the prefix (the desktop too) and waits for it."""
        subprocess.run(["wineserver", "-k"], env=self.env, check=False, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, check=False, timeout=60)
        for p in self.procs:
            try:
                p.wait(timeout=10)
            except subprocess.TimeoutExpired:
                os.killpg(p.pid, signal.SIGKILL)
                p.wait()
            p.output_file.close()
        self.procs.clear()

    def restart_programs(self):
        """Ends every Windows process and starts a fresh persistent server for the next test."""
        self.kill_programs()
        self._start_server()

    def close(self):
        if self.env:
            try:
                self.kill_programs()
            except Exception:
                pass
        if self.xvfb:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
            self.xvfb = None

    def __exit__(self, *exc):
        self.close()
        return False


if __name__ == "__main__":
    # python3 winenv.py prepare PREFIX: make a prefix ahead of time.
    if len(sys.argv) == 3 and sys.argv[1] == "prepare":
        with WineSession(prefix=sys.argv[2]):
            pass
    else:
        sys.exit("usage: winenv.py prepare PREFIX")
