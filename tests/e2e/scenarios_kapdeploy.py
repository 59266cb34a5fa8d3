"""kapdeploy.exe under Wine as a deployment tool runs it: through conwatch,
which reads the full exit code and sees any window the program makes. The
registry is set by dlgdriver, starting kapdeploy without arguments (exit 87,
no window). Every run must make no window at all."""
import hashlib
import os
import re
import shutil
import signal
import socket
import time

import wineharness
from kapfixtures import (HARDCOPY, RELEASE_LEVELS, driver_files, make_kit, registry_script,
                         sample_kit)

HOSTS = {"A": {"libs": {"hcreg8.dll": "8.1.0.0"}}, "B": {"libs": {"hcreg7.dll": "7.1.0.0"}},
         "C": {"libs": {"hcreg9.dll": "9.0.0.0"}}}
RELEASES = {"A": "ACAD2005", "B": "ACAD2002", "C": "ACAD2007"}
THREE = [("P1", "AutoCAD 2005", "A"), ("P2", "AutoCAD 2002", "B"), ("P3", "AutoCAD 2007", "C")]
BIG = 200 * 1024 * 1024
TEMP = (".kapnew", ".kapold", ".journal")


class Failed(Exception):
    pass


def expect(ok, message):
    if not ok:
        raise Failed(message)


def registry(work, products, extra=()):
    script = registry_script([(k, n, wineharness.winpath(work, os.path.join(
        wineharness.drive(work), loc))) for k, n, loc in products], extra)
    got = wineharness.run_driver(work, script, "kit", [], program="kapdeploy.exe")
    expect(got == ["exit 87"], f"setting the registry: {got}")


def deploy(work, *args, holds=(), code=None, cwd="kit", line=None, release=None,
           program="kapdeploy.exe"):
    """One run from cwd (the kit folder unless told), line (if given) ending
    its command line as it stands; no window, and the exit code if given."""
    status, out, err, windows, _ = wineharness.run_watched(work, cwd, program, args,
                                                           holds=holds, line=line,
                                                           release=release)
    expect(not windows, f"kapdeploy {' '.join(args)} made windows: {windows}")
    expect(code is None or status == code,
           f"kapdeploy {' '.join(args)}: exit {status}, expected {code}\n{out}{err}")
    return status, out, err


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def files(drive, host):
    """{"drv/name": digest} of the files in a host's two folders."""
    return {f"{sub}/{name}": digest(os.path.join(drive, host, sub, name))
            for sub in ("drv", "help") if os.path.isdir(os.path.join(drive, host, sub))
            for name in os.listdir(os.path.join(drive, host, sub))
            if os.path.isfile(os.path.join(drive, host, sub, name))}


def kit_files(drive, language, release, kit="kit"):
    """What files() gives once the kit's release folder is installed."""
    folder = os.path.join(drive, kit, language, release)
    wanted = {"hdi": "drv", "drc": "drv", "hlp": "help", "cnt": "help"}
    if release >= "ACAD2004":
        wanted["dll"] = "drv"
    return {f"{wanted[name[-3:]]}/{name}": digest(os.path.join(folder, name))
            for name in os.listdir(folder) if name[-3:] in wanted}


def temporary_files(drive):
    return sorted(os.path.join(d, n)[len(drive):] for d, _, names in os.walk(drive)
                  for n in names if n.endswith(TEMP))


def scenario(run):
    """A table row's run: Failed becomes the problem reported."""
    def judged(work, drive):
        try:
            run(work, drive)
        except Failed as e:
            return [str(e)]
        left = temporary_files(drive)
        return [f"temporary files left: {left}"] if left else []
    return judged


@scenario
def one_product(work, drive):
    registry(work, THREE[:1])
    args = ("--product", "autocad 2005", "--language", "english")
    _, out, _ = deploy(work, "remove", *args, code=0)
    expect(out.endswith(": nothing to remove: none of the kit's files is there\n"), out)
    _, out, _ = deploy(work, "install", *args, code=0)
    expect(out.endswith(": installed 5 files\n") and out.count("\n") == 1, out)
    expect(files(drive, "A") == kit_files(drive, "English", "ACAD2005"), "files differ from kit")
    _, out, _ = deploy(work, "install", *args, code=0)
    expect("already installed" in out, out)
    # As Intune and Configuration Manager read a detection: a line on
    # standard output only when installed, never a word on standard error.
    by_key = ("--product", "kaptest\\p1", "--language", "English")
    _, out, err = deploy(work, "detect", *by_key, code=0)
    expect(out == "Kap HDI driver installed (English) in 1 product\n" and err == "",
           repr((out, err)))
    _, out, _ = deploy(work, "remove", *args, code=0)
    expect(out.endswith(": removed 5 files\n") and files(drive, "A") == {}, out)
    _, out, err = deploy(work, "detect", *args, "--log", "K:\\detect.log", code=1)
    expect(out == "" and err == "", repr((out, err)))
    expect("not installed" in read_log(drive, "detect.log"), "detect's reason not in its log")


@scenario
def three_products(work, drive):
    registry(work, THREE)
    _, out, _ = deploy(work, "install", "--product", "all", "--language", "English", "--log",
                       "K:\\deploy.log", code=0)
    expect(out.count(": installed ") == 3, out)
    for host, release in RELEASES.items():
        expect(files(drive, host) == kit_files(drive, "English", release), f"{host} differs")
    _, out, _ = deploy(work, "detect", "--product", "all", "--language", "English", code=0)
    expect(out.count("\n") == 1, out)
    log = read_log(drive, "deploy.log")
    expect(log.count(": installed 5 files") + log.count(": installed 4 files") == 3 and
           log.endswith("exit code 0\n"), log)
    # A ticket's questions: which PC, which account, which kit, which files.
    who = f"kapdeploy 1.0.0.0 on {socket.gethostname().upper()[:15]} as {wineharness.TEST_USER}: "
    expect(who in log and "--log" in log and "\nkit K:\\kit (the current folder)\n" in
           re.sub(STAMP, "", log), log)
    for host, release in RELEASES.items():
        for name in kit_files(drive, "English", release):
            sub, file = name.split("/")
            copied = (f"copied K:\\kit\\English\\{release}\\{file} to "
                      f"K:\\{host}\\{sub}\\{file}\n")
            expect(copied in re.sub(STAMP, "", log), f"no line {copied!r}")
    expect(all(re.match(STAMP, line) for line in log.splitlines()), log)


# Each log line's start: the local time and its offset from UTC.
STAMP = r"(?m)^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d [+-]\d\d:\d\d "


def read_log(drive, name):
    with open(os.path.join(drive, name), encoding="latin-1") as f:
        return f.read()


def refused_kit():
    kit = sample_kit()
    kit["Cesky/ACAD2005"] = driver_files("8,1,0,1")
    return kit


def by_product(out):
    return {line.split(" [")[0]: line for line in out.splitlines()}


@scenario
def refusals(work, drive):
    registry(work, THREE)
    _, out, _ = deploy(work, "install", "--product", "all", "--language", "Cesky", code=1603)
    lines = by_product(out)
    expect(len(lines) == 3, out)
    first, second, third = (lines.get(name, "") for _, name, _ in THREE)
    expect(first.endswith("refused: The driver was built with a Driver Development Kit (DDK) "
                          "more recent than the one used for the targetted application.In "
                          "order to install the driver, you must either update your "
                          "application to the same DDK level or use a less recent driver. "
                          "Installation failed."), first)
    expect(second.endswith("refused: the installer does not offer Cesky for this release "
                           "(only for 2004 and later)"), second)
    expect(third.endswith("refused: The chosen application is corrupted. The setup will "
                          "close."), third)
    expect(all(files(drive, h) == {} for h in "ABC"), "something was written")


def old_set(drive, host="A"):
    for sub, name in (("drv", "kapvl.hdi"), ("drv", "kapvl.drc"), ("drv", "kapvl.dll"),
                      ("help", "kapvl.hlp")):
        with open(os.path.join(drive, host, sub, name), "w") as f:
            f.write(f"old {name}\n")
    wineharness.give_to_test_user(drive)
    return files(drive, host)


@scenario
def held_open(work, drive):
    """The first of three products held: its 1618 outlives the second's 0
    and the third's refusal, which the run after it reports."""
    registry(work, THREE)
    before = old_set(drive)
    install = ("install", "--product", "all", "--language", "English")
    _, out, _ = deploy(work, *install, holds=["K:\\A\\drv\\kapvl.drc"], code=1618)
    lines = out.splitlines()
    expect(len(lines) == 3 and "try again later" in lines[0] and "kapvl.drc" in lines[0] and
           lines[1].endswith(": installed 4 files") and ": refused: " in lines[2], out)
    expect(files(drive, "A") == before, "the held product changed")
    expect(files(drive, "B") == kit_files(drive, "English", "ACAD2002"), "B not installed")
    _, out, _ = deploy(work, *install, code=1603)
    expect(files(drive, "A") == kit_files(drive, "English", "ACAD2005"), "A not installed")


@scenario
def changed_file_stays(work, drive):
    registry(work, THREE[:1])
    deploy(work, "install", "--product", "all", "--language", "English", code=0)
    with open(os.path.join(drive, "A", "drv", "kapvl.drc"), "a") as f:
        f.write("the user's change\n")
    _, out, _ = deploy(work, "remove", "--product", "all", "--language", "English", code=0)
    expect("removed 4 files; kept K:\\A\\drv\\kapvl.drc: it differs from the kit's file" in out,
           out)
    expect(list(files(drive, "A")) == ["drv/kapvl.drc"], files(drive, "A"))


@scenario
def dry_run_and_read_only(work, drive):
    registry(work, THREE[:1])
    before = old_set(drive)
    hdi = os.path.join(drive, "A", "drv", "kapvl.hdi")
    os.chmod(hdi, 0o444)
    _, out, _ = deploy(work, "install", "--product", "all", "--language", "English", "--dry-run",
                       code=0)
    expect("would install 5 files" in out and files(drive, "A") == before, out)
    # As the installer does, a read-only target is replaced, and writable.
    deploy(work, "install", "--product", "all", "--language", "English", code=0)
    expect(files(drive, "A") == kit_files(drive, "English", "ACAD2005"), "not replaced")
    expect(os.stat(hdi).st_mode & 0o200, "still read-only")
    # A folder the account cannot write: nothing changes, the reason is told.
    installed = files(drive, "A")
    os.chmod(os.path.join(drive, "A", "drv"), 0o555)
    try:
        _, out, _ = deploy(work, "remove", "--product", "all", "--language", "English",
                           code=1603)
    finally:
        os.chmod(os.path.join(drive, "A", "drv"), 0o755)
    expect(files(drive, "A") == installed and "failed, nothing changed" in out, out)


# Each kind of wrong line is in the unit table; here the real program shows
# that a refusal reaches the tool as 87, the usage and the word at fault.
BAD_LINES = [((), None), (("bogus",), '"bogus"'),
             (("install", "--product", "all", "--language", "English", "--frob"), '"--frob"')]


@scenario
def bad_input(work, drive):
    registry(work, THREE[:1])
    for args, word in BAD_LINES:
        _, out, err = deploy(work, *args, code=87)
        expect(out == "" and "usage: kapdeploy list" in err and (word is None or word in err),
               f"{args}: {out!r} {err!r}")
    common = ("--product", "all", "--language", "English")
    for args, words in [(common + ("--kit", "K:\\nope"), "kit folder K:\\nope does not exist"),
                        (("--product", "all", "--language", "magyar"), "has no Magyar"),
                        (("--product", "Nothing", "--language", "English"),
                         'no registered product has the name or key "Nothing"; registered: '
                         'AutoCAD 2005 [KapTest\\P1]\n')]:
        _, out, _ = deploy(work, "install", *args, code=1603)
        expect(words in out, out)
    # Run from a folder that is no kit, as a start-up script is.
    _, out, _ = deploy(work, "install", *common, cwd="A", code=1603)
    expect(out == "the current folder K:\\A has no English folder: give --kit\n", out)
    _, out, _ = deploy(work, "list", cwd="A", code=0)
    expect(out.endswith("\nthe current folder K:\\A holds no kit: give --kit\n"), out)
    _, out, _ = deploy(work, "--help", code=0)
    expect("1618  a file was in use" in out and "1622  install or remove: the --log" in out and
           "unless --kit names it" in out, out)
    # A refused line reaches the log, which a relative --log puts in the
    # current folder and names in full; a missing value names its option.
    _, out, err = deploy(work, "install", "--kit", "--log", "bad.log", *common, cwd="A", code=87)
    expect(os.path.exists(os.path.join(drive, "A", "bad.log")), "the refusal made no log")
    log = re.sub(STAMP, "", read_log(drive, "A/bad.log"))
    expect(err.startswith("kapdeploy: --kit: an option lacks its value\n") and
           "\nlog K:\\A\\bad.log\nkapdeploy: --kit: an option lacks its value\nexit code 87\n"
           in log, err + log)
    # A log that cannot be opened: a change does not start, not even the
    # finishing of an interrupted run.
    stale = os.path.join(drive, "A", "drv", "kapvl.hdi.kapnew")
    with open(stale, "w") as f:
        f.write("a copy cut short\n")
    wineharness.give_to_test_user(drive)
    before = files(drive, "A")
    for action in ("install", "remove"):
        _, out, err = deploy(work, action, *common, "--log", "K:\\kit", code=1622)
        expect(out == "" and "the log K:\\kit cannot be opened (error 5: " in err,
               repr((out, err)))
    expect(files(drive, "A") == before, "something changed")
    os.remove(stale)
    # The log's folders are made.
    _, out, err = deploy(work, "install", *common, "--log", "K:\\new\\logs\\kap.log", code=0)
    expect(": installed 5 files" in out and err == "" and
           read_log(drive, "new/logs/kap.log").endswith("exit code 0\n"), err)
    # detect answers without its log, and never on standard error.
    _, out, err = deploy(work, "detect", *common, "--log", "K:\\kit", code=0)
    expect(out == "Kap HDI driver installed (English) in 1 product\n" and err == "",
           repr((out, err)))


@scenario
def held_remove(work, drive):
    registry(work, THREE[:1])
    deploy(work, "install", "--product", "all", "--language", "English", code=0)
    installed = files(drive, "A")
    _, out, _ = deploy(work, "remove", "--product", "all", "--language", "English",
                       holds=["K:\\A\\drv\\kapvl.hdi"], code=1618)
    expect("another program is using K:\\A\\drv\\kapvl.hdi (error 32: " in out and
           "differs" not in out, out)
    expect(files(drive, "A") == installed, "a file was removed")
    _, out, err = deploy(work, "detect", "--product", "all", "--language", "English", "--log",
                         "K:\\detect.log", holds=["K:\\A\\drv\\kapvl.hdi"], code=1)
    expect(out == "" and err == "", repr((out, err)))
    expect("not installed: another program is using K:\\A\\drv\\kapvl.hdi (error 32: " in
           read_log(drive, "detect.log"), "detect's log lacks the reason")


@scenario
def scanned_temporary_file(work, drive):
    """A new copy that a cut run left, held as a scanner holds a file just
    written: let go within the second the run waits, the run goes on."""
    registry(work, THREE[:1])
    stale = os.path.join(drive, "A", "drv", "kapvl.hdi.kapnew")
    install = ("install", "--product", "all", "--language", "English")
    for held_ms, code in ((500, 0), (10000, 1618)):
        for _ in range(5):
            with open(stale, "w") as f:
                f.write("a copy cut short\n")
            wineharness.give_to_test_user(drive)
            status, out, err, windows, released = wineharness.run_watched(
                work, "kit", "kapdeploy.exe", install, holds=["K:\\A\\drv\\kapvl.hdi.kapnew"],
                release=held_ms)
            # The run waits 0.9 s from its first try. A short hold that was
            # let go later than that after the start, or not before the run
            # ended (the holder stalled, as seen in the QEMU guest under
            # load), is not the case this row is about: it is tried again.
            if status == code or held_ms > 900 or (released is not None and released <= 900):
                break
        expect(not windows, f"kapdeploy made windows: {windows}")
        expect(status == code, f"held {held_ms} ms (let go after {released} ms): exit {status}, "
               f"expected {code}\n{out}{err}")
        expect(("installed 5 files" if code == 0 else
                "try again later: an interrupted run could not be finished") in out, out)
    _, out, _ = deploy(work, "list", code=0)
    expect(out.endswith("; left by an interrupted run: 1 temporary file, which the next "
                        "install, remove or detect finishes or undoes first\n"), out)
    deploy(work, "detect", "--product", "all", "--language", "English", code=0)
    expect(files(drive, "A") == kit_files(drive, "English", "ACAD2005"), "not installed")


# What a power cut can leave of a journal, each beside a zero-filled copy;
# a person's notes by that name are not a journal.
TORN_JOURNALS = [(b"", 0), (bytes(147), 0), (b"kapdeploy jour", 0),
                 (b"kapdeploy journal 1\nreplace drv kapvl.hdi\n", 0),
                 (b"notes on the plotter\n", 1603)]


@scenario
def torn_journal(work, drive):
    registry(work, THREE[:1])
    drv = os.path.join(drive, "A", "drv")
    for text, code in TORN_JOURNALS:
        old = old_set(drive)
        for name, data in (("kapdeploy.journal", text), ("kapvl.hdi.kapnew", bytes(1024))):
            with open(os.path.join(drv, name), "wb") as f:
                f.write(data)
        wineharness.give_to_test_user(drive)
        _, out, _ = deploy(work, "install", "--product", "all", "--language", "English",
                           code=code)
        if code == 0:
            expect("undid the change of an interrupted run" in out and
                   files(drive, "A") == kit_files(drive, "English", "ACAD2005"), f"{text}: {out}")
        else:
            expect("kapdeploy.journal is not a journal of this program" in out and
                   files(drive, "A") == {**old, "drv/kapdeploy.journal": digest(
                       os.path.join(drv, "kapdeploy.journal")),
                       "drv/kapvl.hdi.kapnew": digest(os.path.join(drv, "kapvl.hdi.kapnew"))},
                   f"{text}: {out}")
            for name in ("kapdeploy.journal", "kapvl.hdi.kapnew"):
                os.remove(os.path.join(drv, name))


@scenario
def rename_fails_midway(work, drive):
    """A folder named as the second file's old copy stops its rename after
    the first one's: install and remove each put the first file back."""
    registry(work, THREE[:1])
    blocker = os.path.join(drive, "A", "drv", "kapvl.drc.kapold")
    common = ("--product", "all", "--language", "English")
    old = old_set(drive)
    os.mkdir(blocker)
    wineharness.give_to_test_user(drive)
    _, out, _ = deploy(work, "install", *common, code=1603)
    expect("could not replace K:\\A\\drv\\kapvl.drc" in out and files(drive, "A") == old, out)
    os.rmdir(blocker)
    deploy(work, "install", *common, code=0)
    installed = files(drive, "A")
    os.mkdir(blocker)
    wineharness.give_to_test_user(drive)
    _, out, _ = deploy(work, "remove", *common, code=1603)
    expect("could not remove K:\\A\\drv\\kapvl.drc" in out and files(drive, "A") == installed,
           out)
    os.rmdir(blocker)


@scenario
def stale_beside_good(work, drive):
    registry(work, [THREE[0], ("P9", "AutoCAD 2004", "Gone")])
    gone = "AutoCAD 2004 [KapTest\\P9]: not present: its folder K:\\Gone is gone"
    for action in ("install", "detect"):
        deploy(work, action, "--product", "all", "--language", "English", "--log",
               f"K:\\{action}.log", code=0)
        expect(gone in read_log(drive, f"{action}.log"), f"{action}: stale product not named")
    expect(files(drive, "A") == kit_files(drive, "English", "ACAD2005"), "A not installed")
    _, out, _ = deploy(work, "list", code=0)
    expect("location K:\\Gone (gone), kit: none" in out, out)
    _, out, _ = deploy(work, "install", "--product", "AutoCAD 2004", "--language", "English",
                       code=1603)
    expect(out == gone + "\nnone of the selected products is present on this PC\n", out)


@scenario
def no_product_registered(work, drive):
    """No AutoCAD: no Hardcopy key, then the key without a product."""
    common = ("--product", "all", "--language", "English")
    for extra in ([f"del\t{HARDCOPY}"], []):
        registry(work, [], extra)
        said = "no AutoCAD product is registered on this PC"
        _, out, _ = deploy(work, "remove", *common, code=0)
        expect(out == said + ": nothing to remove\n", f"{extra}: {out}")
        _, out, err = deploy(work, "detect", *common, code=1)
        expect(out == "" and err == "", f"{extra}: {(out, err)!r}")
        _, out, _ = deploy(work, "list", code=0)
        expect(out == said + "\n", f"{extra}: {out}")
        _, out, _ = deploy(work, "install", *common, code=1603)
        expect(out == said + "\n", f"{extra}: {out}")


@scenario
def swallowed_dry_run(work, drive):
    registry(work, THREE[:1])
    before = old_set(drive)
    # A tool's command field, as an administrator types it.
    _, out, err = deploy(work, "install", "--product", "all", "--language", "English",
                         line='--log "K:\\out\\" --dry-run', code=87)
    expect(out == "" and err.startswith("kapdeploy: --log: the value holds a quote") and
           '(its value: K:\\out" --dry-run)' in err, err)
    expect(files(drive, "A") == before and not os.path.exists(os.path.join(drive, "out")),
           "something changed")


@scenario
def no_drv_folder(work, drive):
    registry(work, [("P4", "AutoCAD 2005", "D")])
    for extra in (("--dry-run",), ()):
        _, out, _ = deploy(work, "install", "--product", "all", "--language", "English", *extra,
                           code=1603)
        expect("failed, nothing changed: could not write in K:\\D\\drv (error 3: " in out, out)
    # Files in a folder that is not there are absent, not "different".
    _, out, _ = deploy(work, "remove", "--product", "all", "--language", "English", code=0)
    expect(out.endswith(": nothing to remove: none of the kit's files is there\n"), out)
    expect(sorted(os.listdir(os.path.join(drive, "D"))) == ["hcreg8.dll", "help"] and
           files(drive, "D") == {}, "something was written")
    # The product's folder, where the record goes first, the same way.
    os.mkdir(os.path.join(drive, "D", "drv"))
    wineharness.give_to_test_user(os.path.join(drive, "D", "drv"))
    os.chmod(os.path.join(drive, "D"), 0o555)
    try:
        for extra in (("--dry-run",), ()):
            _, out, _ = deploy(work, "install", "--product", "all", "--language", "English",
                               *extra, code=1603)
            expect("failed, nothing changed: could not write in K:\\D (error 5: " in out, out)
    finally:
        os.chmod(os.path.join(drive, "D"), 0o755)
    expect(files(drive, "D") == {} and len(os.listdir(os.path.join(drive, "D"))) == 3,
           "something was written")


@scenario
def read_only_and_twice_matched_kit(work, drive):
    """Two drivers: a fleet must not guess which one was meant. Two help
    files: the installer's first match, said (the search's order is the
    file system's)."""
    registry(work, THREE[:1])
    before = old_set(drive)
    folder = os.path.join(drive, "kit", "English", "ACAD2005")
    for name in os.listdir(folder):
        os.chmod(os.path.join(folder, name), 0o444)
    for action in ("install", "remove"):
        _, out, _ = deploy(work, action, "--product", "all", "--language", "English", code=1603)
        expect(re.search(r"failed, nothing changed: 2 files match \*\.hdi in the kit \((kapvl|"
                         r"kapvm)\.hdi, (kapvl|kapvm)\.hdi\): it must hold one", out) and
               "kapvl.hdi" in out and "kapvm.hdi" in out, out)
    expect(files(drive, "A") == before, "something changed")
    os.remove(os.path.join(folder, "kapvm.hdi"))
    _, out, _ = deploy(work, "install", "--product", "all", "--language", "English", code=0)
    expect(re.search(r"installed 5 files \(2 files match \*\.hlp, the one used: kapv[lm]\.hlp\)",
                     out), out)
    for sub in ("drv", "help"):
        for name in os.listdir(os.path.join(drive, "A", sub)):
            expect(os.stat(os.path.join(drive, "A", sub, name)).st_mode & 0o200,
                   f"{sub}/{name} is read-only")
    expect(not os.path.exists(os.path.join(drive, "A", "drv", "kapvm.hdi")), "both installed")


def write_big_driver(drive):
    block = hashlib.sha256(b"kapdeploy").digest() * 32768
    with open(os.path.join(drive, "kit", "English", "ACAD2005", "kapvl.hdi"), "wb") as f:
        for i in range(BIG // len(block)):
            f.write(i.to_bytes(4, "little") + block[4:])


def kapdeploy_pids(work):
    """The Unix processes of this work dir's kapdeploy.exe: Wine gives each
    the Windows command line, the program's path first."""
    mine = wineharness.winpath(work, os.path.join(work, "bin", "kapdeploy.exe")).encode()
    pids = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                first = f.read().split(b"\0")[0]
        except OSError:
            continue
        if first.strip(b'"') == mine:
            pids.append(int(pid))
    return pids


def signal_all(pids, sig):
    for pid in pids:
        os.kill(pid, sig)


def kill_when(work, drive, proc, moment):
    """Kills kapdeploy once moment(drv folder, names in it) holds; returns
    those names, or None when the run ended first. The run is stepped in
    short slices (let go, stopped, looked at): 2 ms during the big copy,
    0.2 ms after it, so that no moment of its quick replacing slips by."""
    drv = os.path.join(drive, "A", "drv")
    copy = os.path.join(drv, "kapvl.hdi.kapnew")
    stepped = []
    while proc.poll() is None:
        names = os.listdir(drv)
        if moment(drv, names):
            signal_all(stepped or kapdeploy_pids(work), signal.SIGKILL)
            return names
        if not stepped:
            stepped = kapdeploy_pids(work)
            continue
        copied = os.path.exists(copy) and os.path.getsize(copy) == BIG
        signal_all(stepped, signal.SIGCONT)
        time.sleep(0.0002 if copied else 0.002)
        signal_all(stepped, signal.SIGSTOP)
    return None


def suffixed(names, suffix):
    return any(n.endswith(suffix) for n in names)


def copying(drv, names):
    return "kapvl.hdi.kapnew" in names and \
        os.path.getsize(os.path.join(drv, "kapvl.hdi.kapnew")) < BIG


MOMENTS = {
    "during the big copy": copying,
    "after the journal, before replacing": lambda drv, names: "kapdeploy.journal" in names and
    not suffixed(names, ".kapold"),
    "between the replacements": lambda drv, names: suffixed(names, ".kapold") and
    suffixed(names, ".kapnew"),
}


@scenario
def killed(work, drive):
    registry(work, THREE[:1])
    write_big_driver(drive)
    new = kit_files(drive, "English", "ACAD2005")
    install = ("install", "--product", "all", "--language", "English")
    for name, moment in MOMENTS.items():
        for attempt in range(5):
            old = old_set(drive)
            proc, collect = wineharness.run_watched(work, "kit", "kapdeploy.exe", install,
                                                    popen=True)
            seen = kill_when(work, drive, proc, moment)
            collect()
            if seen is not None:
                break
        expect(seen is not None, f"never killed {name}")
        # The next run of any kind but list settles it: once the journal has
        # its name the change is committed, and only the new set will do.
        status, out, _ = deploy(work, "detect", "--product", "all", "--language", "English")
        now = files(drive, "A")
        committed = "kapdeploy.journal" in seen
        expect(now == new if committed else now in (old, new),
               f"killed {name} ({sorted(seen)}), then: {sorted(now)}\n{out}")
        for f in temporary_files(drive):
            raise Failed(f"killed {name}: {f} left after the next run")


@scenario
def two_at_once(work, drive):
    registry(work, THREE[:1])
    write_big_driver(drive)
    old_set(drive)
    install = ("install", "--product", "all", "--language", "English")
    proc, collect = wineharness.run_watched(work, "kit", "kapdeploy.exe", install, popen=True)
    drv = os.path.join(drive, "A", "drv")
    while "kapvl.hdi.kapnew" not in os.listdir(drv):
        expect(proc.poll() is None, "the first run ended before it copied")
    # The first run, stopped while it copies, holds the lock past the wait.
    pids = kapdeploy_pids(work)
    for pid in pids:
        os.kill(pid, signal.SIGSTOP)
    try:
        second = wineharness.run_watched(work, "kit", "kapdeploy.exe", install)
        # list only looks: it does not wait for the lock (and give 1618).
        listed = wineharness.run_watched(work, "kit", "kapdeploy.exe", ("list",))
    finally:
        for pid in pids:
            os.kill(pid, signal.SIGCONT)
    first = collect()
    expect(second[0] == 1618 and "in progress" in second[1], f"second run: {second}")
    expect(listed[0] == 0 and "AutoCAD 2005 [KapTest\\P1]" in listed[1],
           f"list beside it: {listed}")
    expect(first[0] == 0 and "installed 5 files" in first[1], f"first run: {first}")


# The two longest rows first: a lane takes the next row once it is free, and
# a long row begun last would keep the table waiting on one lane.
UNINSTALL = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"


def entry(work, key):
    """The values of the product's Add/Remove Programs entry, as the 32-bit
    view holds them ({name: text}), or None when there is none."""
    status, out, _ = wineharness.captured(
        [wineharness.WINENV, "run", work, "wine", "reg", "query",
         f"HKLM\\{UNINSTALL}\\KapHdiDriver KapTest/{key}", "/reg:32"], cwd=work)[1](60)
    if status != 0:
        return None
    values = {}
    for line in out.splitlines():
        parts = line.strip().split("    ", 2)
        if len(parts) == 3 and parts[1].startswith("REG_"):
            values[parts[0]] = parts[2]
    return values


def kept_copy(work):
    return os.path.join(work, "prefix", "drive_c", "Program Files (x86)", "Kap")


def record_of(drive, host):
    path = os.path.join(drive, host, "kapdeploy.record")
    return read_log(drive, os.path.join(host, "kapdeploy.record")) if os.path.exists(path) else ""


def build_digest(drive, kit, stem):
    """A build's identity: the SHA-256 of one line per file, its SHA-256 and
    its folder and name, in the steps' order."""
    folder = os.path.join(drive, kit, "English", "ACAD2005")
    lines = "".join(f"{digest(os.path.join(folder, stem + ext))} {sub}/{stem}{ext}\n"
                    for ext, sub in ((".hdi", "drv"), (".drc", "drv"), (".dll", "drv"),
                                     (".hlp", "help"), (".cnt", "help")))
    return hashlib.sha256(lines.encode()).hexdigest()


def second_build(drive, kit, stem, driver=None):
    """Another build of the English ACAD2005 folder in K:\\<kit>: its files
    renamed to stem, and the driver's bytes given (a DLL with a version
    resource) or made."""
    files = driver_files("8,1,0,0", stem=stem)
    if driver is not None:
        with open(os.path.join(drive, driver), "rb") as f:
            files[f"{stem}.hdi"] = f.read()
    make_kit(os.path.join(drive, kit), {"English/ACAD2005": files})
    wineharness.give_to_test_user(drive)


@scenario
def upgrade_and_downgrade(work, drive):
    """A build whose driver is 8.1.0.7 (its version resource) replaces the
    kit's 8.1.0.0 (its level) whole, files renamed; going back is asked for."""
    registry(work, THREE[:1])
    second_build(drive, "kit2", "kapvx", driver="V/hcreg8.dll")
    old = ("install", "--product", "all", "--language", "English")
    new = old + ("--kit", "K:\\kit2")
    deploy(work, *old, code=0)
    expect("DisplayVersion" in (entry(work, "P1") or {}) and
           entry(work, "P1")["DisplayVersion"] == "8.1.0.0", entry(work, "P1"))
    deploy(work, "detect", *new[1:], code=1)
    _, out, _ = deploy(work, *new, code=0)
    identity = build_digest(drive, "kit2", "kapvx")
    expect(f", build 8.1.0.7 (English, sha256 {identity}): " in out and
           out.endswith(": installed 5 files, removed 5 of the old build's; upgraded from build "
                        "8.1.0.0\n"), out)
    expect(files(drive, "A") == kit_files(drive, "English", "ACAD2005", "kit2"),
           f"not only the new build: {sorted(files(drive, 'A'))}")
    expect("version 8.1.0.7\n" in record_of(drive, "A") and "kapvl" not in record_of(drive, "A"),
           record_of(drive, "A"))
    expect(entry(work, "P1")["DisplayVersion"] == "8.1.0.7", entry(work, "P1"))
    _, out, _ = deploy(work, "list", code=0)
    expect(f", recorded build 8.1.0.7 (English, sha256 {identity}), location K:\\A, " in out,
           out)
    deploy(work, "detect", *old[1:], code=1)
    deploy(work, "detect", *new[1:], code=0)
    _, out, _ = deploy(work, *old, code=1603)
    expect(out.endswith("refused: the kit's build 8.1.0.0 is older than the installed build "
                        "8.1.0.7: nothing changed (--allow-downgrade installs it)\n"), out)
    expect(files(drive, "A") == kit_files(drive, "English", "ACAD2005", "kit2"), "changed")
    _, out, _ = deploy(work, *old, "--allow-downgrade", code=0)
    expect(out.endswith("; downgraded from build 8.1.0.7 (--allow-downgrade)\n"), out)
    expect(files(drive, "A") == kit_files(drive, "English", "ACAD2005"), "not downgraded")
    expect(entry(work, "P1")["DisplayVersion"] == "8.1.0.0", entry(work, "P1"))


@scenario
def rebuilt_kit(work, drive):
    """The same version with other files replaces the build; a file of the
    old build changed since it was installed stays, and is named."""
    registry(work, THREE[:1])
    deploy(work, "install", "--product", "all", "--language", "English", code=0)
    changed = os.path.join(drive, "A", "help", "kapvl.cnt")
    with open(changed, "a") as f:
        f.write("the user's note\n")
    second_build(drive, "kit3", "kapvz")
    _, out, _ = deploy(work, "install", "--product", "all", "--language", "English", "--kit",
                       "K:\\kit3", code=0)
    expect("removed 4 of the old build's; kept K:\\A\\help\\kapvl.cnt: it differs from the kit's "
           "file; the kit was rebuilt: the same version 8.1.0.0 with other files" in out, out)
    wanted = kit_files(drive, "English", "ACAD2005", "kit3")
    wanted["help/kapvl.cnt"] = digest(changed)
    expect(files(drive, "A") == wanted, sorted(files(drive, "A")))


@scenario
def uninstall_entry(work, drive):
    """Installed by a staged copy of kapdeploy; the kit and that copy gone,
    each entry's QuietUninstallString, run through cmd as Windows runs it,
    takes its product's build away; the last one the kept copy too."""
    registry(work, THREE[:2])
    stage = os.path.join(drive, "stage")
    os.makedirs(stage)
    shutil.copy(os.path.join(work, "bin", "kapdeploy.exe"), stage)
    wineharness.give_to_test_user(drive)
    deploy(work, "install", "--product", "all", "--language", "English", "--kit", "K:\\kit",
           program="K:\\stage\\kapdeploy.exe", code=0)
    today = time.strftime("%Y%m%d")
    for key, name, host in THREE[:2]:
        values = entry(work, key)
        expect(values is not None, f"no entry for {key}")
        release = RELEASES[host]
        size = sum(os.path.getsize(os.path.join(drive, host, f)) for f in files(drive, host))
        expect(values["DisplayName"] == f"Kap HDI driver (English) for {name}" and
               values["DisplayVersion"] == RELEASE_LEVELS[release] and
               values["Publisher"] == "Kap" and values["InstallDate"] == today and
               int(values["EstimatedSize"], 16) == (size + 1023) // 1024 and
               values["NoModify"] == values["NoRepair"] == "0x1" and
               values["UninstallString"] == values["QuietUninstallString"], values)
    expect(os.listdir(kept_copy(work)) == ["kapdeploy.exe"], os.listdir(kept_copy(work)))
    shutil.rmtree(stage)
    shutil.rmtree(os.path.join(drive, "kit"))
    for n, (key, _, host) in enumerate(THREE[:2]):
        command = entry(work, key)["QuietUninstallString"]
        cmd, rest = command[1:].split('" ', 1)
        status, out, err, windows, _ = wineharness.run_watched(work, "", cmd, [], line=rest)
        expect(status == 0 and not windows, f"{command}: exit {status}\n{out}{err}")
        expect(files(drive, host) == {} and record_of(drive, host) == "" and
               entry(work, key) is None, f"{key} left: {files(drive, host)} {entry(work, key)}")
        last = n == 1
        expect(os.path.exists(kept_copy(work)) != last,
               f"kept copy {'left' if last else 'gone'} after the uninstall of {key}")
    expect(files(drive, "B") == {} and entry(work, "P1") is None, "a product's build is left")


SCENARIOS = [
    dict(name="a second run at once waits, then 1618", hosts=HOSTS,
         kit={"English/ACAD2005": driver_files("8,1,0,0")}, run=two_at_once),
    dict(name="killed at three moments of a 200 MB install", hosts=HOSTS,
         kit={"English/ACAD2005": driver_files("8,1,0,0")}, run=killed),
    dict(name="install, again, detect, remove, detect", hosts=HOSTS, kit=sample_kit(),
         run=one_product),
    dict(name="install into all of three releases, with a log", hosts=HOSTS, kit=sample_kit(),
         run=three_products),
    dict(name="level mismatch, unknown minor, language not offered", hosts={
        "A": HOSTS["A"], "B": HOSTS["B"],
        "C": {"libs": {"hcreg8.dll": "8.3.0.0"}}}, kit=refused_kit(), run=refusals),
    dict(name="the first of three products held open, the third refused: 1618", hosts=HOSTS,
         kit={k: v for k, v in sample_kit().items() if k != "English/ACAD2007"}, run=held_open),
    dict(name="remove keeps a changed file", hosts=HOSTS, kit=sample_kit(),
         run=changed_file_stays),
    dict(name="dry run, read-only target, unwritable folder", hosts=HOSTS, kit=sample_kit(),
         run=dry_run_and_read_only),
    dict(name="wrong command lines and bad input", hosts=HOSTS, kit={
        k: v for k, v in sample_kit().items() if not k.startswith("Magyar")}, run=bad_input),
    dict(name="remove and detect with a file held open", hosts=HOSTS, kit=sample_kit(),
         run=held_remove),
    dict(name="a scanner holds a temporary file for 0.5 s, then for 10 s", hosts=HOSTS,
         kit=sample_kit(), run=scanned_temporary_file),
    dict(name="journals torn by a power cut, and a person's notes", hosts=HOSTS,
         kit=sample_kit(), run=torn_journal),
    dict(name="a rename that fails midway, in an install and a remove", hosts=HOSTS,
         kit=sample_kit(), run=rename_fails_midway),
    dict(name="a product whose folder is gone beside a good one", hosts=HOSTS, kit=sample_kit(),
         run=stale_beside_good),
    dict(name="a swallowed --dry-run", hosts=HOSTS, kit=sample_kit(), run=swallowed_dry_run),
    dict(name="no AutoCAD registered: remove 0, detect 1, list 0, install 1603", hosts=HOSTS,
         kit=sample_kit(), run=no_product_registered),
    dict(name="a product without drv, then a read-only product folder, dry run and real", hosts={
        "D": {"libs": {"hcreg8.dll": "8.1.0.0"}, "drv": False}}, kit=sample_kit(),
        run=no_drv_folder),
    dict(name="an upgrade whose files are renamed, a downgrade refused, then allowed",
         hosts={**HOSTS, "V": {"libs": {"hcreg8.dll": "8.1.0.7"}}}, kit=sample_kit(),
         run=upgrade_and_downgrade),
    dict(name="a rebuilt kit of the same version, a changed file of the old build",
         hosts=HOSTS, kit=sample_kit(), run=rebuilt_kit),
    dict(name="the Add/Remove Programs entries and their uninstall without kit or program",
         hosts=HOSTS, kit=sample_kit(), run=uninstall_entry),
    dict(name="a kit with two drivers refused, a read-only kit with two help files", hosts=HOSTS,
         kit={"English/ACAD2005": {**driver_files("8,1,0,0"), "kapvm.hdi": "another driver\n",
                                   "kapvm.hlp": "other help\n"}},
         run=read_only_and_twice_matched_kit),
]
