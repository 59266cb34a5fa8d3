"""Runs the installer under Wine on a private screen, driven by dlgdriver.
The work dir holds the prefix, copies of the build's programs (bin/), and the
folder that Wine sees as drive K: (k/), where hosts and kits are built."""
import os
import re
import shutil
import subprocess
import tempfile

import wineprefix

WINENV = wineprefix.WINENV
TEST_USER = wineprefix.TEST_USER
# The dialog driver's actions, read from its own table: a name that ends in
# ":" is followed by its argument, which the driver itself checks.
with open(os.path.join(os.path.dirname(WINENV), "dlgdriver", "actions.c")) as f:
    ACTION_NAMES = re.findall(r'\{"([a-z]+:?)", ACT_\w+\}', f.read())


def drive(work):
    return os.path.join(work, "k")


def winpath(work, path):
    """The Wine path of a file: K:\\... on the test drive, Z:\\... elsewhere."""
    path, top = os.path.abspath(path), drive(work)
    if path == top or path.startswith(top + "/"):
        return "K:\\" + path[len(top) + 1:].replace("/", "\\")
    return "Z:" + path.replace("/", "\\")


def give_to_test_user(path):
    if os.getuid() == 0:
        subprocess.run(["chown", "-R", f"{TEST_USER}:", path], check=True)


def start(work, win32_dir, prefix_from=None):
    """Starts work's prefix and screen. Here the prefix is a fresh copy of
    the one kept for this machine (tools/wineprefix.py). In the guest, whose
    image holds a prefix in its work dir, it is work's own, or a copy of
    the one in prefix_from (a started work dir) when work has none."""
    prefix = os.path.join(work, "prefix")
    if not os.environ.get("KAP_E2E_GUEST"):
        wineprefix.use_kept(prefix, os.path.join(work, "prefix-build"))
    elif prefix_from and not os.path.exists(os.path.join(prefix, ".kap-ready")):
        wineprefix.copy(os.path.join(prefix_from, "prefix"), prefix)
    subprocess.run([WINENV, "start", work], check=True)
    install_programs(work, win32_dir)
    os.makedirs(drive(work), exist_ok=True)
    link = os.path.join(work, "prefix", "dosdevices", "k:")
    if os.path.islink(link) and os.readlink(link) != drive(work):
        os.remove(link)  # a copied prefix's link to the drive it came from
    if not os.path.islink(link):
        os.symlink(drive(work), link)
    give_to_test_user(work)


def install_programs(work, win32_dir):
    """Copies every program of the build into work's bin/: the installer,
    the dialog driver, and whatever else a scenario starts. Each table's run
    does it again, so that a rebuild between runs is what gets tested."""
    bin_dir = os.path.join(work, "bin")
    os.makedirs(bin_dir, exist_ok=True)
    for exe in os.listdir(win32_dir):
        if exe.endswith(".exe"):
            shutil.copy(os.path.join(win32_dir, exe), bin_dir)
    give_to_test_user(bin_dir)


def stop(work):
    subprocess.run([WINENV, "stop", work], check=False)


def clear_drive(work):
    top = drive(work)
    for entry in os.listdir(top):
        p = os.path.join(top, entry)
        if os.path.isdir(p) and not os.path.islink(p):
            shutil.rmtree(p)
        else:
            os.remove(p)


def is_action(line):
    """Whether a line of a scenario's steps is an action for the dialog
    driver rather than a line of the transcript it expects."""
    return any(line.startswith(name) if name.endswith(":") else line == name
               for name in ACTION_NAMES)


# Wine runs from the work dir, which the test user can always reach: the
# caller's folder may lie under one closed to it (a clone in a mktemp -d
# folder), and Wine then says on standard error that it starts elsewhere.

def run_driver(work, setup_script, cwd, actions, timeout=240, program="KapHdiInstaller.exe"):
    """Applies the setup script (None: none), starts the program in cwd (a
    folder on K:) and acts on its windows in turn; returns the transcript."""
    script = os.path.join(work, "setup.txt")
    if setup_script is not None:
        with open(script, "w") as f:
            f.write(setup_script)
        give_to_test_user(script)
    give_to_test_user(drive(work))
    bin_dir = os.path.join(work, "bin")
    cmd = [WINENV, "run", work, "wine", os.path.join(bin_dir, "dlgdriver.exe"),
           "-" if setup_script is None else winpath(work, script),
           winpath(work, os.path.join(drive(work), cwd)),
           winpath(work, os.path.join(bin_dir, program))] + list(actions)
    out = subprocess.run(cmd, cwd=work, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                         timeout=timeout)
    return out.stdout.decode("latin-1").replace("\r", "").strip("\n").split("\n")


def captured(cmd, **popen_args):
    """Starts cmd with no standard input and its standard output and error
    going to files: a Wine service that the run starts keeps a pipe open.
    Returns the process and a function that waits for its end (killing it
    after timeout seconds) and gives its exit status and both texts, with
    Unix line ends."""
    out, err = tempfile.TemporaryFile(), tempfile.TemporaryFile()
    proc = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=out, stderr=err, **popen_args)

    def ended(timeout):
        with out, err:
            try:
                status = proc.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
                raise
            texts = []
            for f in (out, err):
                f.seek(0)
                texts.append(f.read().decode("latin-1").replace("\r\n", "\n"))
        return status, texts[0], texts[1]
    return proc, ended


def run_console(work, program, args, timeout=120):
    """Runs a console program of bin/ under Wine; returns its exit status,
    standard output and standard error, with Unix line ends."""
    cmd = [WINENV, "run", work, "wine", os.path.join(work, "bin", program)] + list(args)
    _, ended = captured(cmd, cwd=work)
    return ended(timeout)


def run_watched(work, cwd, program, args, holds=(), timeout=300, popen=False, line=None,
                release=None):
    """Runs a console program of bin/ (or one named by its Windows path)
    from cwd (a folder on K:) through conwatch, with holds (Windows paths)
    kept open without sharing by another process (closed release
    milliseconds after the start, if given),
    and line (if given) put at the end of the command line
    as it stands, unquoted. Returns the exit code as Windows gives it, standard
    output, standard error (Unix line ends), the windows it made, and how
    many milliseconds after the start the holds were let go (None if not
    before the end). With popen, returns the running process and a function
    that collects those five once it has ended."""
    bin_dir = os.path.join(work, "bin")
    fd, status = tempfile.mkstemp(prefix="conwatch-", suffix=".txt", dir=work)
    os.close(fd)
    give_to_test_user(status)
    cmd = [WINENV, "run", work, "wine", os.path.join(bin_dir, "conwatch.exe"),
           winpath(work, status), winpath(work, os.path.join(drive(work), cwd))]
    cmd += ["hold=" + h for h in holds] + ([] if line is None else ["line=" + line])
    cmd += [] if release is None else [f"release={release}"]
    exe = program if ":\\" in program else winpath(work, os.path.join(bin_dir, program))
    cmd += ["--", exe]
    proc, ended = captured(cmd + list(args), cwd=work)

    def collect():
        _, out, err = ended(timeout)
        with open(status, encoding="latin-1") as f:
            lines = f.read().splitlines()
        os.remove(status)
        code = next((int(line[5:]) for line in lines if line.startswith("exit ")), None)
        windows = [line[7:] for line in lines if line.startswith("window ")]
        released = next((int(line[9:]) for line in lines if line.startswith("released ")), None)
        return code, out, err, windows, released
    return (proc, collect) if popen else collect()
