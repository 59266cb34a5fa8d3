"""Runs scenario tables against the real installer under Wine.

    e2e.py start | stop            set up / tear down the shared Wine prefix and screen
    e2e.py run <table> [name...]   run the scenarios of tests/e2e/<table>.py

Where this machine runs no 32-bit x86 code (or KAP_E2E_VM=1), start boots a
QEMU guest that runs Wine, and run and stop hand the same commands to it:
the same tables and comparisons then run inside the guest.

Each scenario starts from a clean registry and a clean drive K: (hosts under
K:\\, the driver kit in K:\\kit, the installer started from there), drives the
dialogs with tools/dlgdriver and compares the transcript line by line. Then it
checks that nothing changed on K: outside the hosts' drv and help folders."""
import glob
import hashlib
import importlib
import os
import re
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path[:0] = [os.path.join(ROOT, "tools"), HERE]
import kapfixtures  # noqa: E402
import vm  # noqa: E402
import wineharness  # noqa: E402

WORK = os.environ.get("KAP_E2E_WORK", "/tmp/kaphdi-e2e")
WIN32 = os.environ.get("KAP_WIN32_DIR", os.path.join(ROOT, "build", "win32"))
DRIVE = wineharness.drive(WORK)
LIBCACHE = os.environ.get("KAP_E2E_LIBCACHE", os.path.join(WORK, "libcache"))
MODE_FILE = os.path.join(WORK, "mode")
ACTION = re.compile(r"^(ok|cancel|esc|enter|close|(select|dblclick):\d+|shot:.*)$")


def snapshot(top):
    """Every file and folder under top with its content hash and mode."""
    seen = {}
    for dirpath, dirs, files in os.walk(top):
        for d in dirs:
            seen[os.path.relpath(os.path.join(dirpath, d), top) + "/"] = "dir"
        for f in files:
            p = os.path.join(dirpath, f)
            with open(p, "rb") as fh:
                digest = hashlib.sha1(fh.read()).hexdigest()
            seen[os.path.relpath(p, top)] = (digest, os.stat(p).st_mode & 0o777)
    return seen


def written_outside_product_folders(before, after):
    changed = {p for p in set(before) | set(after) if before.get(p) != after.get(p)}
    allowed = re.compile(r"^[^/]+/(drv|help)/.+")
    return sorted(p for p in changed if not allowed.match(p))


def split_steps(steps):
    """The scenario's steps: actions for the driver, the rest its transcript."""
    actions, lines = [], []
    for step in steps:
        for line in step.strip("\n").split("\n"):
            (actions if ACTION.match(line) else lines).append(line)
    return actions, lines


def prepare(scenario, cache):
    wineharness.clear_drive(WORK)
    for name, host in scenario.get("hosts", {}).items():
        host = dict(host)
        kapfixtures.make_host(DRIVE, name, host.pop("libs", {}), cache=cache, **host)
    os.makedirs(os.path.join(DRIVE, "kit"), exist_ok=True)
    kapfixtures.make_kit(os.path.join(DRIVE, "kit"), scenario.get("kit", {}))
    products = [(key, name, None if loc is None else wineharness.winpath(
        WORK, os.path.join(DRIVE, loc))) for key, name, loc in scenario.get("products", [])]
    for hook in scenario.get("before", ()):
        hook(DRIVE)
    return scenario.get("registry") or kapfixtures.registry_script(
        products, scenario.get("extra_registry", ()))


def listing(folder):
    path = os.path.join(DRIVE, folder)
    return " ".join(sorted(os.listdir(path))) if os.path.isdir(path) else None


def run_scenario(scenario, cache):
    script = prepare(scenario, cache)
    if "run" in scenario:  # a console program's scenario judges its own run
        return scenario["run"](WORK, DRIVE)
    before = snapshot(DRIVE)
    actions, expected = split_steps(scenario["steps"])
    got = wineharness.run_driver(WORK, script, scenario.get("cwd", "kit"), actions,
                                 program=scenario.get("program", "KapHdiInstaller.exe"))
    after = snapshot(DRIVE)
    problems = []
    if got != expected:
        problems.append("transcript differs:\n  expected:\n    " + "\n    ".join(expected) +
                        "\n  got:\n    " + "\n    ".join(got))
    outside = written_outside_product_folders(before, after)
    if outside:
        problems.append("written outside drv and help: " + ", ".join(outside))
    for folder, names in scenario.get("files", {}).items():
        if listing(folder) != names:
            problems.append(f"{folder} holds {listing(folder)!r}, expected {names!r}")
    for check in scenario.get("after", ()):
        message = check(DRIVE)
        if message:
            problems.append(message)
    return problems


def run(table, names):
    module = importlib.import_module(table)
    cache = LIBCACHE
    failed = 0
    count = 0
    for scenario in module.SCENARIOS:
        if names and scenario["name"] not in names:
            continue
        count += 1
        started = time.monotonic()
        problems = run_scenario(scenario, cache)
        print(("FAIL " if problems else "ok   ") + scenario["name"] +
              f" ({time.monotonic() - started:.1f} s)", flush=True)
        for p in problems:
            print("  " + p.replace("\n", "\n  "), flush=True)
        failed += bool(problems)
    print(f"{count - failed}/{count} scenarios passed")
    return 1 if failed or count == 0 else 0


def host_libraries():
    """Every host library version that some scenario asks for."""
    versions = set()
    for path in sorted(glob.glob(os.path.join(HERE, "scenarios_*.py"))):
        table = importlib.import_module(os.path.basename(path)[:-3])
        for scenario in table.SCENARIOS:
            for host in scenario.get("hosts", {}).values():
                versions.update(v for v in host.get("libs", {}).values()
                                if not isinstance(v, bytes))
    return versions


def in_guest(*args, timeout):
    env = {"KAP_E2E_WORK": vm.GUEST_WORK, "KAP_WIN32_DIR": vm.GUEST_WIN32,
           "KAP_E2E_LIBCACHE": vm.GUEST_LIBCACHE}
    return vm.request(WORK, vm.guest_python([os.path.relpath(__file__, ROOT)] + list(args),
                                            env), timeout)


def start():
    os.makedirs(WORK, exist_ok=True)
    if os.environ.get("KAP_E2E_GUEST"):
        kind = "native"
        print("e2e: starting Wine in the guest", flush=True)
    else:
        kind, why = vm.mode()
        print("e2e: " + vm.describe(kind, why), flush=True)
    with open(MODE_FILE, "w") as f:
        f.write(kind + "\n")
    if kind == "native":
        try:
            wineharness.start(WORK, WIN32)
        except BaseException:
            wineharness.stop(WORK)  # no Xvfb left behind
            raise
        return 0
    vm.start(WORK, WIN32, LIBCACHE, sorted(host_libraries(), key=str))
    rc = in_guest("start", timeout=vm.BOOT_SECONDS)
    if rc != 0:
        vm.stop(WORK)
    return rc


def emulated():
    return vm.read(MODE_FILE).strip() == "emulated"


def main(argv):
    if argv[1] == "start":
        return start()
    if argv[1] == "stop":
        if emulated():
            vm.stop(WORK)
        else:
            wineharness.stop(WORK)
        return 0
    if emulated():
        print("e2e: in the QEMU guest", flush=True)
        return in_guest(*argv[1:], timeout=1700)  # within the test's own limit
    return run(argv[2], argv[3:])


if __name__ == "__main__":
    sys.exit(main(sys.argv))
