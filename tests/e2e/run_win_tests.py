"""Runs the cross-built Windows-side tests under Wine, in the shared test prefix."""
import sys

from http_service import TestService
from program_test import ARTEFACTS, windows_path
from winenv import WIN_BUILD, WineSession

ARTEFACTS.mkdir(parents=True, exist_ok=True)

with TestService() as service, WineSession() as session:
    session.env["QUORVANE_TEST_HTTP"] = service.url
    session.env["QUORVANE_TEST_HTTP_CLOSED"] = service.closed_url
    session.env["QUORVANE_TEST_ARTEFACTS"] = windows_path(ARTEFACTS)
    result = session.run(WIN_BUILD / "win_tests.exe", timeout=600)
    sys.stdout.write(result.stdout)
    sys.stdout.write(result.stderr)
sys.exit(result.returncode)
