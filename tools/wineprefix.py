"""The Wine prefix that the runs start from, made once per machine.

wineboot makes a prefix from nothing in about 15 s (over a gigabyte of
system files). One is kept under ~/.cache/kaphdi-wine, named after a hash of
what it is made from (Wine's version, tools/winenv.sh that makes it, this
file, the fixture user); each lane of each run gets a copy of its own, so a
run never changes the kept one, and a change to the recipe makes a new one.
Two runs at once are safe: one makes it while the other waits on a lock."""
import fcntl
import hashlib
import os
import shutil
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
WINENV = os.path.join(HERE, "winenv.sh")
with open(os.path.join(HERE, "test-user")) as f:
    TEST_USER = f.read().strip()  # the user Wine runs as when the tests run as root
# Files that Wine only reads: each copy links them instead of copying them,
# and they are kept read-only so that no copy can write through a link.
SHARED = ("system32", "syswow64")


def machine_cache(name):
    """A folder of this machine's cache, where what is made once per
    machine is kept."""
    base = os.environ.get("XDG_CACHE_HOME") or os.path.join(os.path.expanduser("~"), ".cache")
    return os.path.join(base, name)


def cache_root():
    return os.environ.get("KAP_WINE_CACHE") or machine_cache("kaphdi-wine")


def recipe_key():
    h = hashlib.sha256()
    h.update(subprocess.run(["wine", "--version"], stdout=subprocess.PIPE,
                            check=True).stdout)
    for path in (WINENV, os.path.abspath(__file__)):
        with open(path, "rb") as f:
            h.update(f.read())
    # The prefix's files belong to the user Wine runs as: its uid counts.
    user = subprocess.run(["id", "-u", TEST_USER], stdout=subprocess.PIPE, check=False)
    h.update(f"{os.getuid() == 0} {TEST_USER} {user.stdout.strip().decode()}".encode())
    return h.hexdigest()[:16]


def shared_dirs(prefix):
    return tuple(os.path.join(prefix, "drive_c", "windows", d) + "/" for d in SHARED)


def copy(source, target):
    """A copy of a prefix that shares with it only the system folders'
    files, hard-linked where both sit on one file system; everything else,
    the registry among it, is the copy's own."""
    shutil.rmtree(target, ignore_errors=True)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    same_fs = os.stat(source).st_dev == os.stat(os.path.dirname(target)).st_dev
    if not same_fs:
        subprocess.run(["cp", "-a", source, target], check=True)
        return
    subprocess.run(["cp", "-a", "--link", source, target], check=True)
    shared = shared_dirs(target)
    for dirpath, _, files in os.walk(target):
        if (dirpath + "/").startswith(shared):
            continue
        for name in files:
            path = os.path.join(dirpath, name)
            if os.path.islink(path):
                continue
            owner = os.stat(path)
            shutil.copy2(path, path + ".copy")
            os.chown(path + ".copy", owner.st_uid, owner.st_gid)
            os.replace(path + ".copy", path)


def make(kept, scratch):
    """Makes the prefix in scratch (a work dir the test user can reach),
    then moves it into place whole: a prefix is kept only once complete."""
    shutil.rmtree(scratch, ignore_errors=True)
    try:
        subprocess.run([WINENV, "start", scratch], check=True)
        subprocess.run([WINENV, "stop", scratch], check=True)
        for top in shared_dirs(os.path.join(scratch, "prefix")):
            for dirpath, _, files in os.walk(top):
                for name in files:
                    path = os.path.join(dirpath, name)
                    if not os.path.islink(path):
                        os.chmod(path, os.stat(path).st_mode & 0o555)
        building = tempfile.mkdtemp(prefix=os.path.basename(kept) + ".", dir=cache_root())
        shutil.move(os.path.join(scratch, "prefix"), os.path.join(building, "prefix"))
        os.rename(os.path.join(building, "prefix"), kept)
        os.rmdir(building)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    for old in os.listdir(cache_root()):  # prefixes of other recipes, half-made ones
        if old.startswith("prefix-") and old != os.path.basename(kept):
            shutil.rmtree(os.path.join(cache_root(), old), ignore_errors=True)


def use_kept(target, scratch):
    """Replaces the prefix at target with a copy of the kept one, making
    that first (in the work dir scratch) if this machine has none yet."""
    os.makedirs(cache_root(), exist_ok=True)
    kept = os.path.join(cache_root(), "prefix-" + recipe_key())
    with open(os.path.join(cache_root(), "lock"), "w") as lock:
        # Copies share the lock; making or removing a prefix takes it alone.
        fcntl.flock(lock, fcntl.LOCK_SH)
        if not os.path.isdir(kept):
            fcntl.flock(lock, fcntl.LOCK_EX)
            if not os.path.isdir(kept):
                print(f"e2e: making the Wine prefix kept in {kept} (once per machine)",
                      flush=True)
                make(kept, scratch)
            fcntl.flock(lock, fcntl.LOCK_SH)
        copy(kept, target)
