"""The conformance table of tests/win32 under Wine: the Windows calls that
the installer and kapdeploy bet on, each pinned to its result and error
code, once as the ordinary user the other tables run as and, where the
tests run as root, once as root (which writes read-only files)."""
import os
import re
import shutil
import subprocess

import wineharness
import wineprefix

SUMMARY = re.compile(r"^(\d+) of (\d+) rows as expected \(Wine, (\w+)\)$", re.M)


def judged(account, status, out, err):
    """The problems of one run of the table: its failed rows, and a run
    that ends otherwise than with every row as expected."""
    problems = [line for line in out.splitlines() if line.startswith("FAIL ")]
    summary = SUMMARY.search(out)
    if not summary or summary.group(1) != summary.group(2) or summary.group(2) == "0" \
            or summary.group(3) != account or status != 0:
        problems.append(f"exit status {status}, output:\n{out}{err}")
    return problems


def as_test_user(work, drive):
    os.makedirs(os.path.join(drive, "win32"))
    wineharness.give_to_test_user(drive)
    return judged("user", *wineharness.run_console(work, "conformance.exe", ["user", "K:\\win32"]))


def as_root(work, drive):
    """Wine as root needs a prefix of root's own: a copy of the lane's,
    without the pointer to the lane's server."""
    prefix = os.path.join(work, "rootprefix")
    wineprefix.copy(os.path.join(work, "prefix"), prefix)
    os.chown(prefix, 0, 0)
    if os.path.exists(os.path.join(prefix, "wineserver")):
        os.remove(os.path.join(prefix, "wineserver"))
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", DISPLAY="",
               WINEDLLOVERRIDES="mscoree,mshtml=")
    cmd = ["wine", os.path.join(work, "bin", "conformance.exe"), "root", "K:\\win32"]
    os.makedirs(os.path.join(drive, "win32"))
    try:
        _, ended = wineharness.captured(cmd, env=env)
        status, out, err = ended(120)
    finally:
        subprocess.run(["wineserver", "-k"], env=env, check=False)
        shutil.rmtree(prefix, ignore_errors=True)
    return judged("root", status, out, err)


SCENARIOS = [dict(name="conformance table as the ordinary user", run=as_test_user)]
if os.getuid() == 0:
    SCENARIOS.append(dict(name="conformance table as root", run=as_root))
