"""The build signs what ships when given a certificate: a throwaway self-signed one is made here,
a cross build in its own folder signs Quorvane.exe, the uninstaller (before the setup packs it) and
the setup, and each signature is verified against that certificate. The password never shows in
the build's commands, and the ordinary build stays unsigned.

    python3 tests/e2e/check_signing.py SOURCE_DIR SIGNED_BUILD_DIR UNSIGNED_EXE
"""
import os
import pathlib
import subprocess
import sys

source, build, unsigned = (pathlib.Path(a) for a in sys.argv[1:4])
build.mkdir(parents=True, exist_ok=True)
cert, key, pfx = build / "test-cert.pem", build / "test-key.pem", build / "test-cert.pfx"
password = "throwaway-" + os.urandom(8).hex()
subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert, "-days",
                "2", "-subj", "/CN=Vantorel test signing", "-addext", "extendedKeyUsage=codeSigning"],
               check=True, capture_output=True)
env = dict(os.environ, QUORVANE_SIGN_PASSWORD=password, PASSFILE_FOR_OPENSSL=password)
subprocess.run(["openssl", "pkcs12", "-export", "-inkey", key, "-in", cert, "-out", pfx, "-name", "Vantorel",
                "-passout", "env:PASSFILE_FOR_OPENSSL"], check=True, capture_output=True, env=env)

if not (build / "build.ninja").exists():
    subprocess.run(["cmake", "-S", source, "-B", build, "-G", "Ninja", f"-DCMAKE_TOOLCHAIN_FILE={source}/cmake/mingw-i686.cmake",
                    "-DCMAKE_BUILD_TYPE=MinSizeRel", f"-DQUORVANE_SIGN_PFX={pfx}"], check=True, capture_output=True)
# Signed afresh with this run's certificate.
for old in ("Quorvane.exe", "QuorvaneSetup-1.9.5.exe", "Uninstall.exe"):
    (build / old).unlink(missing_ok=True)
built = subprocess.run(["cmake", "--build", build, "--target", "Quorvane", "QuorvaneSetup", "--", "-v"],
                       capture_output=True, text=True, env=env)
log = built.stdout + built.stderr
if built.returncode != 0:
    print(log[-4000:])
    sys.exit("FAIL: the signed build failed")
failed = []
if password in log:
    failed.append("the password shows in the build's commands")
for name in ("Quorvane.exe", "Uninstall.exe", "QuorvaneSetup-1.9.5.exe"):
    r = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in", build / name], capture_output=True, text=True)
    ok = r.returncode == 0 and "Signature verification: ok" in r.stdout
    print(f"{name}: {'signed, verified' if ok else 'NOT VERIFIED'}")
    if not ok:
        failed.append(f"{name}: {r.stdout[-300:]}{r.stderr[-300:]}")
r = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in", unsigned], capture_output=True, text=True)
if r.returncode == 0:
    failed.append("the ordinary build's exe is signed")
if failed:
    print("FAIL:", *failed, sep="\n  ")
    sys.exit(1)
print("ok: Quorvane.exe, its uninstaller and setup are signed; the ordinary build is not")
