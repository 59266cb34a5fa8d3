"""The kit checker's Windows build under Wine against its native build on
one faulty kit: the same JSON findings and the same exit status. Both run
from here; the native one from KAP_NATIVE_DIR (default build/native)."""
import json
import os
import subprocess

import wineharness
from kapfixtures import LANGUAGES, sample_kit

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
NATIVE = os.environ.get("KAP_NATIVE_DIR", os.path.join(ROOT, "build", "native"))
LONG_NAME = "l" * 150 + ".hdi"


def faulty_kit():
    kit = {folder: files for folder, files in sample_kit().items()
           if not folder.startswith("Magyar/") and folder != "Cesky/ACAD2005"}
    kit["Cesky"] = {"ACAD2005": "a file where a folder should be\n"}
    del kit["Polski/ACAD2006"]["kapvl.drc"]
    del kit["Russkii/ACAD2000"]["kapvl.hlp"]
    kit["English/ACAD2005"]["kap.hif"] = "[Kap]\nheidiversion=8,3,0,0\n"
    kit["English/ACAD2004"]["kap.hif"] = "[Kap]\nheidiversion=\n"
    kit["Francais/ACAD2006"]["kapvl.drc"] = ""
    kit["Francais/ACAD2007"]["KAP.HIF"] = kit["Francais/ACAD2007"]["kap.hif"]
    kit["Espanol/ACAD2000i"]["kap.hif"] = "[Kap]\nversion=7,0,0,0\n"
    kit["Deutsch/ACAD2004"].update({"old.hdi": "old driver\n", "x.hdi_old": "older driver\n"})
    kit["Japanese/ACAD2002"]["a.drc"] = None
    kit["Japanese/ACAD2004"][LONG_NAME] = kit["Japanese/ACAD2004"].pop("kapvl.hdi")
    return kit


EXPECTED = sorted([
    ("error", "folder-not-a-folder", "Cesky", "ACAD2005", ""),
    ("warning", "several-matches", "Deutsch", "ACAD2004", "kapvl.hdi"),
    ("warning", "several-matches", "Deutsch", "ACAD2004", "old.hdi"),
    ("warning", "short-name-match", "Deutsch", "ACAD2004", "x.hdi_old"),
    ("error", "level-zero", "English", "ACAD2004", "kap.hif"),
    ("error", "minor-mismatch", "English", "ACAD2005", "kap.hif"),
    ("error", "file-empty", "Francais", "ACAD2006", "kapvl.drc"),
    ("error", "names-differ-in-case", "Francais", "ACAD2007", "KAP.HIF"),
    ("warning", "level-differs", "English", "ACAD2005", "kap.hif"),
    ("error", "level-missing", "Espanol", "ACAD2000i", "kap.hif"),
    ("warning", "read-only", "Italiano", "ACAD2007", "kapvl.cnt"),
    ("error", "folder-named-like-file", "Japanese", "ACAD2002", "a.drc"),
    ("warning", "path-long", "Japanese", "ACAD2004", LONG_NAME),
    ("error", "folder-missing", "Magyar", None, ""),
    ("error", "file-missing", "Polski", "ACAD2006", "*.drc"),
    ("warning", "optional-file-missing", "Russkii", "ACAD2000", "*.hlp"),
])


def read_only(drive):
    os.chmod(os.path.join(drive, "kit", "Italiano", "ACAD2007", "kapvl.cnt"), 0o444)


def both_builds_agree(work, drive):
    wineharness.give_to_test_user(drive)
    status, windows, err = wineharness.run_console(work, "kapkit.exe",
                                                   ["check", "K:\\kit", "--json"])
    native = subprocess.run([os.path.join(NATIVE, "kapkit"), "check",
                             os.path.join(drive, "kit"), "--json"],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
    problems = []
    if (status, native.returncode) != (1, 1):
        problems.append(f"exit status {status} under Wine, {native.returncode} natively, "
                        f"expected 1: {err.strip()} {native.stderr.decode().strip()}")
    try:
        found = json.loads(windows)
        same = json.loads(native.stdout)
    except ValueError as e:
        return problems + [f"not JSON ({e}):\n{windows}"]
    if found != same:
        problems.append("the builds differ:\n  Wine:   " + json.dumps(found, sort_keys=True) +
                        "\n  native: " + json.dumps(same, sort_keys=True))
    got = sorted((f["severity"], f["code"], f["language"], f["release"], f["file"])
                 for f in found["findings"])
    if got != EXPECTED:
        problems.append(f"findings {got}\n  expected {EXPECTED}")
    if sorted(found["matrix"]) != sorted(LANGUAGES):
        problems.append(f"matrix rows {sorted(found['matrix'])}")
    return problems


SCENARIOS = [
    dict(name="the Windows and native builds find the same faults", kit=faulty_kit(),
         before=[read_only], run=both_builds_agree),
]
