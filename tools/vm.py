"""Wine where the machine cannot run it: on a kernel that runs no 32-bit x86
code, the Wine side of the demo and the end-to-end tests runs inside a QEMU
guest with a software CPU, booted from a Debian image that
tools/vm/build-image.sh makes once per machine and that lives under
~/.cache/kaphdi-vm, keyed by a hash of its recipe.

The guest sees the project tree read-only at the path it has here, and an
exchange folder (<work>/vm/x, /kapx in the guest) for the programs under
test, the prebuilt host libraries, requests and their results.

    vm.py mode     prints "native" or "emulated" and why
    vm.py image    builds the guest image if it is not cached yet"""
import fcntl
import hashlib
import os
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import time

import kapfixtures
import wineprefix

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
BUILD_IMAGE = os.path.join(HERE, "vm", "build-image.sh")
GUEST_INIT = os.path.join(HERE, "vm", "guest-init.sh")
# What the image is made from: a change to any of these makes a new image.
RECIPE = [BUILD_IMAGE, os.path.join(HERE, "winenv.sh"), os.path.join(HERE, "test-user")]
GUEST_WORK = "/var/lib/kapvm/work"  # where the image keeps its Wine prefix
GUEST_X = "/kapx"
GUEST_WIN32 = GUEST_X + "/win32"        # the build's Windows programs
GUEST_LIBCACHE = GUEST_X + "/libcache"  # host libraries, built here
GUEST_OUT = GUEST_X + "/out"            # files the guest hands back

BOOT_SECONDS = 600       # kernel to first request; about 15 s on 2 cores
PROVISION_SECONDS = 1800  # first boot of a new image: Wine prefix made
LIFETIME = "3h"          # no guest outlives this, whatever its host does
IDLE_SECONDS = 1800      # a guest with no request for this long powers off

# exit(42) as a 32-bit x86 Linux program: the kernel either runs it or
# refuses it with "Exec format error".
I386_EXIT_42 = bytes.fromhex(
    "7f454c46010101000000000000000000020003000100000054800408340000000000000000000000"
    "34002000010000000000000001000000000000000080040800800408600000006000000005000000"
    "00100000b801000000bb2a000000cd80")


def fail(message):
    print(message, file=sys.stderr, flush=True)
    sys.exit(1)


def runs_32bit_code():
    with tempfile.TemporaryDirectory() as d:
        probe = os.path.join(d, "probe32")
        with open(probe, "wb") as f:
            f.write(I386_EXIT_42)
        os.chmod(probe, 0o755)
        try:
            return subprocess.run([probe]).returncode == 42
        except OSError:
            return False


def mode():
    """("native" or "emulated", why)."""
    if os.environ.get("KAP_E2E_VM") == "1":
        return "emulated", "forced by KAP_E2E_VM=1"
    if runs_32bit_code():
        return "native", "this machine runs 32-bit x86 code"
    return "emulated", "this machine runs no 32-bit x86 code"


def describe(kind, why):
    where = ("Wine on this machine" if kind == "native"
             else "Wine inside a QEMU guest with a software CPU")
    return f"{kind} mode: {where} ({why})"


# The image

def cache_root():
    return os.environ.get("KAP_VM_CACHE") or wineprefix.machine_cache("kaphdi-vm")


def image_key():
    h = hashlib.sha256()
    for path in RECIPE:
        with open(path, "rb") as f:
            h.update(f.read())
    return h.hexdigest()[:16]


def ensure_image():
    """The cached image's folder, built first if missing."""
    root = cache_root()
    image = os.path.join(root, "image-" + image_key())
    if os.path.exists(os.path.join(image, "ready")):
        return image
    os.makedirs(root, exist_ok=True)
    with open(os.path.join(root, "lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)  # one builder; the others wait for it
        if not os.path.exists(os.path.join(image, "ready")):
            build_image(image)
    return image


def build_image(image):
    building = image + ".build"
    shutil.rmtree(building, ignore_errors=True)
    print(f"vm: building the guest image in {building} (once per machine, minutes)",
          flush=True)
    started = time.monotonic()
    if subprocess.run([BUILD_IMAGE, building]).returncode != 0:
        log = os.path.join(cache_root(), "failed-build.log")
        if os.path.exists(os.path.join(building, "build.log")):
            shutil.copy(os.path.join(building, "build.log"), log)
        shutil.rmtree(building, ignore_errors=True)
        fail(f"vm: the guest image could not be built; the end of {log}:\n" + tail(read(log)))
    print(f"vm: image made in {time.monotonic() - started:.0f} s; first boot makes "
          "its Wine prefix", flush=True)
    provision(building)
    for old in os.listdir(cache_root()):  # images of older recipes
        if old.startswith("image-") and old not in (os.path.basename(image),
                                                    os.path.basename(building)):
            shutil.rmtree(os.path.join(cache_root(), old), ignore_errors=True)
    os.rename(building, image)
    with open(os.path.join(image, "ready"), "w") as f:
        f.write(f"{time.monotonic() - started:.0f} s\n")
    print(f"vm: guest image ready in {time.monotonic() - started:.0f} s", flush=True)


def provision(building):
    """The new image's first boot: what needs 32-bit code, and the prefix."""
    x = os.path.join(building, "x")
    os.makedirs(x)
    console = os.path.join(building, "console.log")
    pgid = boot(building, x, "provision", console, snapshot=False)
    if not wait_for_exit(pgid, PROVISION_SECONDS):
        kill(pgid)
        fail(f"vm: the first boot of the new image did not end in {PROVISION_SECONDS} s; "
             f"killed (console: {console})")
    rc = read(os.path.join(x, "provision.rc")).strip()
    if rc != "0":
        log = read(os.path.join(x, "provision.log")) or read(console)
        shutil.copy(console, os.path.join(cache_root(), "failed-console.log"))
        shutil.rmtree(building, ignore_errors=True)
        fail("vm: preparing Wine in the new image failed:\n" + tail(log))
    shutil.rmtree(x)


# A guest

def boot(image, x, task, console, snapshot=True):
    """Starts the guest in a session of its own; returns its process group."""
    with open(os.path.join(x, "boot.env"), "w") as f:
        f.write(f"SRC_ROOT={shlex.quote(ROOT)}\nTASK={task}\nIDLE_SECONDS={IDLE_SECONDS}\n")
    shutil.copy(GUEST_INIT, os.path.join(x, "guest-init.sh"))
    disk = f"file={os.path.join(image, 'rootfs.img')},format=raw,if=virtio"
    cmd = ["timeout", "-k", "10", LIFETIME, "qemu-system-x86_64",
           # QEMU 7.2's SMAP emulation kills every Wine process in the guest.
           "-machine", "q35,accel=tcg", "-cpu", "max,-smap", "-smp", "2", "-m", "4096",
           "-display", "none", "-monitor", "none", "-serial", "file:" + console,
           "-no-reboot", "-nic", "none",
           "-kernel", os.path.join(image, "vmlinuz"), "-initrd", os.path.join(image, "initrd.img"),
           "-append", "root=/dev/vda rw console=ttyS0 quiet panic=-1 mitigations=off "
                      "init=/usr/local/sbin/kap-init",
           "-drive", disk + (",snapshot=on" if snapshot else ""),
           "-fsdev", f"local,id=src,path={ROOT},security_model=none,readonly=on",
           "-device", "virtio-9p-pci,fsdev=src,mount_tag=kapsrc",
           "-fsdev", f"local,id=x,path={x},security_model=none",
           "-device", "virtio-9p-pci,fsdev=x,mount_tag=kapx"]
    with open(console + ".qemu", "w") as out:
        proc = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=out,
                                stderr=subprocess.STDOUT, start_new_session=True)
    return proc.pid


def alive(pgid):
    try:
        os.killpg(pgid, 0)
    except ProcessLookupError:
        return False
    # A process of ours that has ended but not been waited for yet.
    try:
        with open(f"/proc/{pgid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return True


def kill(pgid):
    try:
        os.killpg(pgid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    reap(pgid)


def reap(pid):
    try:
        os.waitpid(pid, os.WNOHANG)
    except ChildProcessError:
        pass


def wait_for_exit(pgid, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        reap(pgid)
        if not alive(pgid):
            return True
        time.sleep(0.2)
    return False


def read(path):
    try:
        with open(path, errors="replace") as f:
            return f.read()
    except OSError:
        return ""


def tail(text, lines=25):
    return "\n".join(text.rstrip("\n").split("\n")[-lines:])


def state_dir(work):
    return os.path.join(work, "vm")


def exchange(work):
    return os.path.join(state_dir(work), "x")


def running_guest(work):
    pid = read(os.path.join(state_dir(work), "qemu.pid")).strip()
    return int(pid) if pid and alive(int(pid)) else None


def start(work, win32_dir, libcache, versions):
    """Boots a guest for work, handing it every Windows program of the build
    and the host libraries of the given versions (the guest has no compiler).
    Ends the run with a message if the guest does not come up."""
    stop(work)
    image = ensure_image()
    x = exchange(work)
    shutil.rmtree(state_dir(work), ignore_errors=True)
    os.makedirs(os.path.join(x, "out"))
    hand_programs(work, win32_dir)
    for version in versions:
        kapfixtures.host_library(libcache, version)
    shutil.copytree(libcache, os.path.join(x, "libcache"))
    console = os.path.join(state_dir(work), "console.log")
    pgid = boot(image, x, "serve", console)
    with open(os.path.join(state_dir(work), "qemu.pid"), "w") as f:
        f.write(f"{pgid}\n")
    started = time.monotonic()
    while not os.path.exists(os.path.join(x, "ready")):
        if not alive(pgid):
            fail("vm: the guest stopped while booting:\n"
                 + tail(read(console) + read(console + ".qemu")))
        if time.monotonic() - started > BOOT_SECONDS:
            kill(pgid)
            fail(f"vm: the guest did not come up in {BOOT_SECONDS} s; killed "
                 f"(console: {console})")
        time.sleep(0.2)
    print(f"vm: guest up in {time.monotonic() - started:.0f} s", flush=True)


def hand_programs(work, win32_dir):
    """Puts every Windows program of the build where the guest takes them."""
    target = os.path.join(exchange(work), "win32")
    os.makedirs(target, exist_ok=True)
    for name in os.listdir(win32_dir):
        if name.endswith(".exe"):
            shutil.copy(os.path.join(win32_dir, name), target)


def post(work, script):
    """Hands the guest its next request (numbered in order); returns the number."""
    req = os.path.join(exchange(work), "req")
    n = len([f for f in os.listdir(req) if f.endswith(".sh")])
    with open(os.path.join(req, f"{n}.sh.tmp"), "w") as f:
        f.write(script)
    os.rename(os.path.join(req, f"{n}.sh.tmp"), os.path.join(req, f"{n}.sh"))
    return n


def request(work, script, timeout):
    """Runs the shell script in the guest, copying its output here as it
    comes; returns its exit status."""
    pgid = running_guest(work)
    if pgid is None:
        fail(f"vm: no guest is running for {work} (start it first)")
    n = post(work, script)
    req = os.path.join(exchange(work), "req")
    out_path, rc_path = os.path.join(req, f"{n}.out"), os.path.join(req, f"{n}.rc")
    shown = 0
    deadline = time.monotonic() + timeout
    while True:
        done = os.path.exists(rc_path)
        text = read(out_path)
        if len(text) > shown:
            sys.stdout.write(text[shown:])
            sys.stdout.flush()
            shown = len(text)
        if done:
            return int(read(rc_path).strip() or 1)
        if not alive(pgid):
            fail("vm: the guest stopped during the request:\n" +
                 tail(read(os.path.join(state_dir(work), "console.log"))))
        if time.monotonic() > deadline:
            kill(pgid)
            fail(f"vm: the request did not end in {timeout} s; the guest was killed")
        time.sleep(0.1)


def guest_python(args, env=()):
    """A request that runs one of the project's Python programs in the guest."""
    exports = {"KAP_E2E_GUEST": "1", "PYTHONDONTWRITEBYTECODE": "1", "HOME": "/root"}
    exports.update(env)
    return ("".join(f"export {k}={shlex.quote(v)}\n" for k, v in exports.items()) +
            f"cd {shlex.quote(ROOT)}\nexec python3 -u " + " ".join(map(shlex.quote, args)) + "\n")


def stop(work):
    """Powers the guest off, or kills it if it does not go within a minute."""
    pgid = running_guest(work)
    if pgid is not None:
        if os.path.isdir(os.path.join(exchange(work), "req")):
            post(work, "poweroff")
        if not wait_for_exit(pgid, 60):
            kill(pgid)
    pid_file = os.path.join(state_dir(work), "qemu.pid")
    if os.path.exists(pid_file):
        os.remove(pid_file)


if __name__ == "__main__":
    if sys.argv[1:] == ["mode"]:
        kind, why = mode()
        print(kind, file=sys.stdout)
        print("e2e: " + describe(kind, why), file=sys.stderr)
    elif sys.argv[1:] == ["image"]:
        print(ensure_image())
    else:
        fail("usage: vm.py mode | image")
