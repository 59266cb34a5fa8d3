"""The kit checker's Windows build under Wine against its native build on
one faulty kit: the same JSON findings, matrix marks, host outcomes and
exit status. Both run from here; the native one from KAP_NATIVE_DIR
(default build/native)."""
import json
import os
import subprocess

import wineharness
from kapfixtures import LANGUAGES, sample_kit

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
NATIVE = os.environ.get("KAP_NATIVE_DIR", os.path.join(ROOT, "build", "native"))
LONG_NAME = "l" * 150 + ".hdi"
HOSTS = ["--host", "8.1.0.0"]


def without_executable_flag(image):
    """The file header's executable-image flag cleared: what only a faulty
    linker makes, and what Wine still loads."""
    image = bytearray(image)
    image[0x56] &= ~0x02
    return bytes(image)


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
    kit["Espanol/ACAD2000i"]["kap.hif"] = "[Kap]\r\nheidiversion 7,0,0,0\r\n"
    kit["Deutsch/ACAD2004"].update({"old.hdi": "old driver\n", "x.hdi_old": "older driver\n"})
    kit["Japanese/ACAD2002"]["a.drc"] = None
    kit["Japanese/ACAD2004"][LONG_NAME] = kit["Japanese/ACAD2004"].pop("kapvl.hdi")
    kit["ChineseS/ACAD2005"]["._kapvl.hdi"] = b"\0\5\x16\7Mac OS X resource fork"
    kit["ChineseT/ACAD2004"]["kap.hif"] = "[Kap]\nheidiversion=8.0.2.1\n"
    kit["Italiano/ACAD2006"]["old.hlp"] = None
    kit["Italiano/ACAD2005"]["kapvl.hdi"] = without_executable_flag(
        kit["Italiano/ACAD2005"]["kapvl.hdi"])
    return kit


EXPECTED = sorted([
    ("error", "folder-not-a-folder", "Cesky", "ACAD2005", ""),
    ("error", "not-loadable", "ChineseS", "ACAD2005", "._kapvl.hdi"),
    ("warning", "several-matches", "ChineseS", "ACAD2005", "._kapvl.hdi"),
    ("warning", "several-matches", "ChineseS", "ACAD2005", "kapvl.hdi"),
    ("warning", "level-loosely-written", "ChineseT", "ACAD2004", "kap.hif"),
    ("warning", "several-matches", "Deutsch", "ACAD2004", "kapvl.hdi"),
    ("warning", "several-matches", "Deutsch", "ACAD2004", "old.hdi"),
    ("warning", "spare-not-loadable", "Deutsch", "ACAD2004", "old.hdi"),
    ("warning", "short-name-match", "Deutsch", "ACAD2004", "x.hdi_old"),
    ("error", "level-zero", "English", "ACAD2004", "kap.hif"),
    ("error", "level-of-no-release", "English", "ACAD2005", "kap.hif"),
    ("error", "file-empty", "Francais", "ACAD2006", "kapvl.drc"),
    ("error", "names-differ-in-case", "Francais", "ACAD2007", "KAP.HIF"),
    ("warning", "level-differs", "English", "ACAD2005", "kap.hif"),
    ("error", "level-missing", "Espanol", "ACAD2000i", "kap.hif"),
    ("error", "not-loadable", "Italiano", "ACAD2005", "kapvl.hdi"),
    ("warning", "folder-named-like-file", "Italiano", "ACAD2006", "old.hlp"),
    ("error", "folder-named-like-file", "Japanese", "ACAD2002", "a.drc"),
    ("warning", "path-long", "Japanese", "ACAD2004", LONG_NAME),
    ("error", "folder-missing", "Magyar", None, ""),
    ("error", "file-missing", "Polski", "ACAD2006", "*.drc"),
    ("warning", "file-missing", "Russkii", "ACAD2000", "*.hlp"),
])
RELEASES = ["ACAD2000", "ACAD2000i", "ACAD2002", "ACAD2004", "ACAD2005", "ACAD2006", "ACAD2007"]
FROM_2004 = {"Cesky", "Magyar", "Polski"}  # offered only for ACAD2004 and later


def expected_marks():
    """Each folder's worst finding above: a language's own finding marks its
    every release; a folder not offered is marked so."""
    marks = {}
    for language in LANGUAGES:
        row = []
        for i, release in enumerate(RELEASES):
            if language in FROM_2004 and i < 3:
                row.append("not offered")
                continue
            here = {severity for severity, _, lang, rel, _ in EXPECTED
                    if lang == language and rel in (release, None)}
            row.append("error" if "error" in here else "warning" if here else "ok")
        marks[language] = row
    return marks


def read_only(drive):
    """A kit on a CD: read-only files are no finding."""
    os.chmod(os.path.join(drive, "kit", "Italiano", "ACAD2007", "kapvl.cnt"), 0o444)


def both_builds_agree(work, drive):
    wineharness.give_to_test_user(drive)
    status, windows, err = wineharness.run_console(work, "kapkit.exe",
                                                   ["check", "K:\\kit", "--json", *HOSTS])
    native = subprocess.run([os.path.join(NATIVE, "kapkit"), "check",
                             os.path.join(drive, "kit"), "--json", *HOSTS],
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
    if found["matrix"] != expected_marks():
        problems.append(f"matrix {found['matrix']}\n  expected {expected_marks()}")
    nearest = [f["reason"] for f in found["findings"] if f["language"] == "Espanol"]
    if not nearest or 'the nearest is "heidiversion 7,0,0,0":' not in nearest[0]:
        problems.append(f"the nearest line not quoted as read: {nearest}")
    on_2005 = found["hosts"][0]["languages"] if found.get("hosts") else {}
    if (on_2005.get("English"), on_2005.get("Cesky"), on_2005.get("ChineseS")) != (
            "refused", "fails", "installs"):
        problems.append(f"on the ACAD2005 host: {on_2005}")
    return problems


SCENARIOS = [
    dict(name="the Windows and native builds find the same faults", kit=faulty_kit(),
         before=[read_only], run=both_builds_agree),
]
