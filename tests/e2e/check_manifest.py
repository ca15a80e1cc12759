"""The manifest embedded in the shipped exe, read back from its resources: administrator rights,
common controls 6, the supported systems, and DPI awareness that every Windows 10 understands
(per-monitor v2 where known, per-monitor before 1703, "true/pm" before 10)."""
import subprocess
import sys
import xml.etree.ElementTree as ET

ASM1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM3 = "{urn:schemas-microsoft-com:asm.v3}"
WS2005 = "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}"
WS2016 = "{http://schemas.microsoft.com/SMI/2016/WindowsSettings}"
COMPAT = "{urn:schemas-microsoft-com:compatibility.v1}"
SYSTEMS = {  # Vista, 7, 8, 8.1, 10
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
}


def manifest(exe):
    data = subprocess.run(["wrestool", "-x", "--raw", "--type=24", "--name=1", exe], capture_output=True,
                          check=True).stdout
    if not data:
        raise SystemExit("FAIL: no manifest resource (type 24, name 1)")
    return ET.fromstring(data)


def main(exe):
    root = manifest(exe)
    failed = []

    def expect(what, got, want):
        if got != want:
            failed.append(f"{what}: {got!r}, expected {want!r}")

    level = root.find(f"{ASM3}trustInfo/{ASM3}security/{ASM3}requestedPrivileges/{ASM3}requestedExecutionLevel")
    expect("execution level", level is not None and (level.get("level"), level.get("uiAccess")),
           ("requireAdministrator", "false"))
    controls = [a.get("version") for a in root.iter(f"{ASM1}assemblyIdentity")
                if a.get("name") == "Microsoft.Windows.Common-Controls"]
    expect("common controls", controls, ["6.0.0.0"])
    expect("supported systems", {s.get("Id") for s in root.iter(f"{COMPAT}supportedOS")}, SYSTEMS)
    settings = root.find(f"{ASM3}application/{ASM3}windowsSettings")
    aware = settings.find(f"{WS2005}dpiAware") if settings is not None else None
    awareness = settings.find(f"{WS2016}dpiAwareness") if settings is not None else None
    expect("dpiAware", aware is not None and aware.text.strip(), "true/pm")
    # Windows takes the first entry it knows: V2 from 1703 on, per-monitor before it.
    expect("dpiAwareness", awareness is not None and [v.strip() for v in awareness.text.split(",")],
           ["PerMonitorV2", "PerMonitor"])
    if failed:
        print("FAIL:", "; ".join(failed))
        return 1
    print("ok: manifest of", exe)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
