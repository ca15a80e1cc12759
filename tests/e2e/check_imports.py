"""The exe may import only DLLs that Windows always loads from System32 (its KnownDLLs), so no
DLL planted beside it can ever be loaded in its place."""
import re
import subprocess
import sys

KNOWN_DLLS = {
    "advapi32.dll", "clbcatq.dll", "combase.dll", "comdlg32.dll", "coml2.dll", "difxapi.dll", "gdi32.dll",
    "gdiplus.dll", "imagehlp.dll", "imm32.dll", "kernel32.dll", "msctf.dll", "msvcrt.dll", "normaliz.dll",
    "nsi.dll", "ole32.dll", "oleaut32.dll", "psapi.dll", "rpcrt4.dll", "sechost.dll", "setupapi.dll",
    "shcore.dll", "shell32.dll", "shlwapi.dll", "user32.dll", "wldap32.dll", "wow64.dll", "ws2_32.dll",
}
# gdiplus is a KnownDLL only on some systems; the program loads it at run time, never by import.
KNOWN_DLLS.discard("gdiplus.dll")

exe = sys.argv[1]
out = subprocess.run(["i686-w64-mingw32-objdump", "-p", exe], capture_output=True, text=True, check=True).stdout
imports = sorted({m.lower() for m in re.findall(r"DLL Name: (\S+)", out)})
# The data directory always lists the delay-import entry; only a non-empty one counts.
delayed = [m for m in re.findall(r"Entry d ([0-9a-f]{8}) ([0-9a-f]{8}) Delay Import", out) if m[1] != "00000000"]
bad = [d for d in imports if d not in KNOWN_DLLS]
print("imports:", ", ".join(imports))
if "file format pei-i386" not in out:
    print("FAIL: not a 32-bit x86 PE file")
    sys.exit(1)
if "Subsystem\t\t00000002" not in out:
    print("FAIL: not a GUI subsystem exe")
    sys.exit(1)
if bad or delayed:
    print("FAIL: imports outside the KnownDLLs:", ", ".join(bad) or "delay-load table")
    sys.exit(1)
print("ok: every import is a KnownDLL")
