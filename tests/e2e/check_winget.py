"""The winget manifests written by cmake/winget.cmake, checked offline against what the 1.6.0
schemas accept (required fields, patterns, lengths, enums, known keys) and against the setup they
describe: its hash, its exit codes, its Apps and Features entry.

    check_winget.py DIR SETUP"""
import hashlib
import os
import re
import sys

import yaml

ID = "Vantorel.Quorvane"
MANIFEST_VERSION = "1.6.0"
FILES = {"version": f"{ID}.yaml", "installer": f"{ID}.installer.yaml",
         "defaultLocale": f"{ID}.locale.en-US.yaml"}
# What the setup's exit codes mean (installer/Quorvane.nsi).
RETURN_CODES = {1: "cancelledByUser", 2: "contactSupport", 3: "installInProgress", 4: "downgrade",
                5: "invalidParameter"}


# Each rule returns what is wrong with a value, or None.
def text(lo=1, hi=None, pattern=None):
    def rule(v):
        if not isinstance(v, str):
            return f"{v!r} is not a string"
        if len(v) < lo or (hi and len(v) > hi):
            return f"{v!r} is {len(v)} characters, not {lo}..{hi or ''}"
        if pattern and not re.fullmatch(pattern, v):
            return f"{v!r} does not match {pattern}"
        return None
    return rule


def one_of(*values):
    return lambda v: None if v in values else f"{v!r} is not one of {', '.join(values)}"


def flag(v):
    return None if isinstance(v, bool) else f"{v!r} is not a boolean"


def code(v):
    if isinstance(v, bool) or not isinstance(v, int) or v == 0 or not -2**31 <= v <= 2**32 - 1:
        return f"{v!r} is not a non-zero installer exit code"
    return None


def items(rule, most, unique=True):
    def check(v):
        if not isinstance(v, list) or not v:
            return f"{v!r} is not a non-empty list"
        if len(v) > most:
            return f"{len(v)} items, at most {most}"
        if unique and len({yaml.safe_dump(x) for x in v}) != len(v):
            return "items repeat"
        return next((f"[{i}] {e}" for i, x in enumerate(v) if (e := rule(x))), None)
    return check


def mapping(rules, required=()):
    def check(v):
        if not isinstance(v, dict) or not v:
            return f"{v!r} is not a non-empty mapping"
        problems = [f"{k}: missing" for k in required if k not in v]
        problems += [f"{k}: not a known key" for k in v if k not in rules]
        problems += [f"{k}: {e}" for k, r in rules.items() if k in v and r and (e := r(v[k]))]
        return "; ".join(problems) or None
    return check


ANY = None  # known to the schema, not worth checking in detail here
NAME = r'[^.\s\\/:*?"<>|\x01-\x1f]{1,32}'
U16 = r"(0|[1-9][0-9]{0,3}|[1-5][0-9]{4}|6[0-4][0-9]{3}|65[0-4][0-9]{2}|655[0-2][0-9]|6553[0-5])"
LOCALE = text(1, 20, r"([a-zA-Z]{2,3}|[iI]-[a-zA-Z]+|[xX]-[a-zA-Z]{1,8})(-[a-zA-Z]{1,8})*")
URL = text(1, 2048, r"[Hh][Tt][Tt][Pp][Ss]?://.+")
SHA256 = text(64, 64, r"[A-Fa-f0-9]{64}")
TAG = text(1, 40)
ARCHITECTURES = ("x86", "x64", "arm", "arm64")
COMMON = {
    "PackageIdentifier": text(1, 128, rf"{NAME}(\.{NAME}){{1,7}}"),
    "PackageVersion": text(1, 128, r'[^\\/:*?"<>|\x01-\x1f]+'),
    "ManifestType": ANY,  # checked against the file below
    "ManifestVersion": text(1, 17, rf"{U16}(\.{U16}){{2}}"),
}
INSTALLER_TYPES = ("msix", "msi", "appx", "exe", "zip", "inno", "nullsoft", "wix", "burn", "pwa", "portable")
SWITCH = text(1, 512)
# What may be said of the installers, once for all of them or for each one.
INSTALLER_SHARED = {
    "InstallerLocale": LOCALE,
    "Platform": items(one_of("Windows.Desktop", "Windows.Universal"), 2),
    "MinimumOSVersion": text(1, 30, rf"{U16}(\.{U16}){{0,3}}"),
    "InstallerType": one_of(*INSTALLER_TYPES),
    "NestedInstallerType": one_of(*(t for t in INSTALLER_TYPES if t not in ("zip", "pwa"))),
    "NestedInstallerFiles": ANY,
    "Scope": one_of("user", "machine"),
    "InstallModes": items(one_of("interactive", "silent", "silentWithProgress"), 3),
    "InstallerSwitches": mapping({k: SWITCH for k in ("Silent", "SilentWithProgress", "Interactive",
                                                      "InstallLocation", "Log", "Upgrade")}
                                 | {"Custom": text(1, 2048)}),
    "InstallerSuccessCodes": items(code, 16),
    "ExpectedReturnCodes": items(mapping({
        "InstallerReturnCode": code,
        "ReturnResponse": one_of(
            "packageInUse", "packageInUseByApplication", "installInProgress", "fileInUse",
            "missingDependency", "diskFull", "insufficientMemory", "invalidParameter", "noNetwork",
            "contactSupport", "rebootRequiredToFinish", "rebootRequiredForInstall", "rebootInitiated",
            "cancelledByUser", "alreadyInstalled", "downgrade", "blockedByPolicy", "systemNotSupported",
            "custom"),
        "ReturnResponseUrl": URL}, ("InstallerReturnCode", "ReturnResponse")), 128, unique=False),
    "UpgradeBehavior": one_of("install", "uninstallPrevious", "deny"),
    "Commands": items(text(1, 40), 16),
    "Protocols": items(text(0, 2048), 64),
    "FileExtensions": items(text(1, 64, r'[^\\/:*?"<>|\x01-\x1f]+'), 512),
    "Dependencies": ANY,
    "PackageFamilyName": text(1, 255, r"[A-Za-z0-9][-.A-Za-z0-9]+_[A-Za-z0-9]{13}"),
    "ProductCode": text(1, 255),
    "Capabilities": items(text(1, 40), 1000),
    "RestrictedCapabilities": items(text(1, 40), 1000),
    "Markets": ANY,
    "InstallerAbortsTerminal": flag,
    "ReleaseDate": ANY,
    "InstallLocationRequired": flag,
    "RequireExplicitUpgrade": flag,
    "DisplayInstallWarnings": flag,
    "UnsupportedOSArchitectures": items(one_of(*ARCHITECTURES), 4),
    "UnsupportedArguments": items(one_of("log", "location"), 2),
    "AppsAndFeaturesEntries": items(mapping({
        "DisplayName": text(1, 256), "Publisher": text(1, 256), "DisplayVersion": text(1, 128),
        "ProductCode": text(1, 255), "UpgradeCode": text(1, 255),
        "InstallerType": one_of(*INSTALLER_TYPES)}), 128),
    "ElevationRequirement": one_of("elevationRequired", "elevationProhibited", "elevatesSelf"),
    "InstallationMetadata": ANY,
    "DownloadCommandProhibited": flag,
}
INSTALLER = mapping(INSTALLER_SHARED | {
    "Architecture": one_of(*ARCHITECTURES, "neutral"),
    "InstallerUrl": URL,
    "InstallerSha256": SHA256,
    "SignatureSha256": SHA256,
}, ("Architecture", "InstallerUrl", "InstallerSha256"))
# Per manifest type: its known top-level keys (with their rules) and the ones it needs.
SCHEMAS = {
    "version": (COMMON | {"DefaultLocale": LOCALE}, ("DefaultLocale",)),
    "installer": (COMMON | INSTALLER_SHARED | {"Channel": text(1, 16), "Installers": items(INSTALLER, 1024)},
                  ("Installers",)),
    "defaultLocale": (COMMON | {
        "PackageLocale": LOCALE, "Publisher": text(2, 256), "PublisherUrl": URL,
        "PublisherSupportUrl": URL, "PrivacyUrl": URL, "Author": text(2, 256), "PackageName": text(2, 256),
        "PackageUrl": URL, "License": text(3, 512), "LicenseUrl": URL, "Copyright": text(3, 512),
        "CopyrightUrl": URL, "ShortDescription": text(3, 256), "Description": text(3, 10000),
        "Moniker": TAG, "Tags": items(TAG, 16), "Agreements": ANY, "ReleaseNotes": text(1, 10000),
        "ReleaseNotesUrl": URL, "PurchaseUrl": URL, "InstallationNotes": text(1, 10000),
        "Documentations": ANY, "Icons": ANY},
        ("PackageLocale", "Publisher", "PackageName", "License", "ShortDescription")),
}


def load(directory, kind, failed):
    path = os.path.join(directory, FILES[kind])
    if not os.path.isfile(path):
        failed.append(f"{FILES[kind]}: missing")
        return None
    with open(path, "rb") as f:
        raw = f.read()
    if raw.startswith(b"\xef\xbb\xbf"):
        failed.append(f"{FILES[kind]}: starts with a byte order mark")
    header = f"# yaml-language-server: $schema=https://aka.ms/winget-manifest.{kind}.{MANIFEST_VERSION}.schema.json"
    try:
        if raw.decode("utf-8-sig").partition("\n")[0] != header:
            failed.append(f"{FILES[kind]}: first line is not {header!r}")
        return yaml.safe_load(raw)
    except (UnicodeDecodeError, yaml.YAMLError) as e:
        failed.append(f"{FILES[kind]}: {e}")
        return None


def main(directory, setup):
    failed = []
    stray = sorted(set(n for n in os.listdir(directory) if n.endswith(".yaml")) - set(FILES.values()))
    if stray:
        failed.append(f"stale or unknown manifests beside these: {stray}")
    docs = {kind: load(directory, kind, failed) for kind in FILES}
    if None in docs.values():
        print("FAIL:", "\n  ".join(failed))
        return 1

    for kind, doc in docs.items():
        rules, needed = SCHEMAS[kind]
        error = mapping(rules, ("PackageIdentifier", "PackageVersion", "ManifestType", "ManifestVersion")
                        + needed)(doc)
        if error:
            failed.append(f"{FILES[kind]}: {error}")

    def expect(what, got, want):
        if got != want:
            failed.append(f"{what}: {got!r}, expected {want!r}")

    def field(kind, *path):
        v = docs[kind]
        for step in path:
            try:
                v = v[step]
            except (KeyError, IndexError, TypeError):
                return None
        return v

    with open(setup, "rb") as f:
        sha = hashlib.sha256(f.read()).hexdigest().upper()
    version = field("version", "PackageVersion")
    installers = field("installer", "Installers") or []
    for kind in FILES:
        expect(f"{kind} ManifestType", field(kind, "ManifestType"), kind)
        expect(f"{kind} ManifestVersion", field(kind, "ManifestVersion"), MANIFEST_VERSION)
        expect(f"{kind} PackageIdentifier", field(kind, "PackageIdentifier"), ID)
        expect(f"{kind} PackageVersion", field(kind, "PackageVersion"), version)
    expect("DefaultLocale and the default locale's PackageLocale", field("version", "DefaultLocale"),
           field("defaultLocale", "PackageLocale"))
    for i, entry in enumerate(installers if isinstance(installers, list) else []):
        entry = entry if isinstance(entry, dict) else {}
        expect(f"Installers[{i}] InstallerType", entry.get("InstallerType", field("installer", "InstallerType")),
               "nullsoft")
        expect(f"Installers[{i}] Architecture", entry.get("Architecture"), "x86")
        expect(f"Installers[{i}] InstallerUrl is https", str(entry.get("InstallerUrl")).startswith("https://"),
               True)
        expect(f"Installers[{i}] InstallerSha256 (the setup's)", str(entry.get("InstallerSha256")).upper(), sha)
    expect("one installer", len(installers), 1)
    codes = field("installer", "ExpectedReturnCodes") or []
    expect("ExpectedReturnCodes", {c.get("InstallerReturnCode"): c.get("ReturnResponse") for c in codes
                                   if isinstance(c, dict)}, RETURN_CODES)
    expect("Apps and Features entry", field("installer", "AppsAndFeaturesEntries"),
           [{"DisplayName": "Quorvane", "Publisher": "Vantorel", "DisplayVersion": version, "ProductCode": "Quorvane"}])
    expect("InstallLocation switch", field("installer", "InstallerSwitches", "InstallLocation"), "/D=<INSTALLPATH>")
    if failed:
        print("FAIL:", "\n  ".join(failed))
        return 1
    print(f"ok: winget manifests of {ID} {version} in {directory}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
