"""Runs the cross-built Windows-side tests under Wine, in the shared test prefix."""
import sys

from winenv import WIN_BUILD, WineSession

with WineSession() as session:
    result = session.run(WIN_BUILD / "win_tests.exe", timeout=600)
    sys.stdout.write(result.stdout)
    sys.stdout.write(result.stderr)
sys.exit(result.returncode)
