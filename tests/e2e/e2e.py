"""Runs scenario tables against the real installer under Wine.

    e2e.py start | stop            set up / tear down the lanes' Wine prefixes and screens
    e2e.py run <table> [name...]   run the scenarios of tests/e2e/<table>.py with the
                                   build's programs as they are now

Where this machine runs no 32-bit x86 code (or KAP_E2E_VM=1), start boots a
QEMU guest that runs Wine, and run and stop hand the same commands to it:
the same tables and comparisons then run inside the guest.

Each scenario starts from a clean registry and a clean drive K: (hosts under
K:\\, the driver kit in K:\\kit, the installer started from there), drives the
dialogs with tools/dlgdriver and compares the transcript line by line. Then it
checks that nothing changed on K: outside the hosts' drv and help folders.

The scenarios of a table run in lanes at once, each with its own Wine
prefix, screen, drive K: and work folder (the others inside the first);
their results are printed in table order. A single scenario runs in the
first lane alone."""
import concurrent.futures
import glob
import hashlib
import importlib
import os
import queue
import re
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path[:0] = [os.path.join(ROOT, "tools"), HERE]
import kapfixtures  # noqa: E402
import vm  # noqa: E402
import wineharness  # noqa: E402

WORK = os.path.abspath(os.environ.get("KAP_E2E_WORK", "/tmp/kaphdi-e2e"))
# One lane per work folder: the first is WORK itself, so that a single
# scenario runs where it always has. KAP_E2E_LANES at start and run sets how
# many: by default three here, as many rows wait more than they compute (on
# a timer, a lock, a dialog), and two in the QEMU guest, where a further
# lane is one more prefix copied at each start and the emulation keeps both
# CPUs busy.
DEFAULT_LANES = "2" if os.environ.get("KAP_E2E_GUEST") else "3"
LANES = [WORK] + [os.path.join(WORK, f"lane{n}")
                  for n in range(2, int(os.environ.get("KAP_E2E_LANES", DEFAULT_LANES)) + 1)]
WIN32 = os.environ.get("KAP_WIN32_DIR", os.path.join(ROOT, "build", "win32"))
LIBCACHE = os.environ.get("KAP_E2E_LIBCACHE") or kapfixtures.kept_library_cache()
MODE_FILE = os.path.join(WORK, "mode")


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
            (actions if wineharness.is_action(line) else lines).append(line)
    return actions, lines


def prepare(work, scenario):
    drive = wineharness.drive(work)
    wineharness.clear_drive(work)
    for name, host in scenario.get("hosts", {}).items():
        host = dict(host)
        kapfixtures.make_host(drive, name, host.pop("libs", {}), cache=LIBCACHE, **host)
    os.makedirs(os.path.join(drive, "kit"), exist_ok=True)
    kapfixtures.make_kit(os.path.join(drive, "kit"), scenario.get("kit", {}))
    products = [(key, name, None if loc is None else wineharness.winpath(
        work, os.path.join(drive, loc))) for key, name, loc in scenario.get("products", [])]
    for hook in scenario.get("before", ()):
        hook(drive)
    return scenario.get("registry") or kapfixtures.registry_script(
        products, scenario.get("extra_registry", ()))


def listing(drive, folder):
    path = os.path.join(drive, folder)
    return " ".join(sorted(os.listdir(path))) if os.path.isdir(path) else None


def run_scenario(work, scenario):
    drive = wineharness.drive(work)
    script = prepare(work, scenario)
    if "run" in scenario:  # a console program's scenario judges its own run
        return scenario["run"](work, drive)
    before = snapshot(drive)
    actions, expected = split_steps(scenario["steps"])
    got = wineharness.run_driver(work, script, scenario.get("cwd", "kit"), actions,
                                 program=scenario.get("program", "KapHdiInstaller.exe"))
    after = snapshot(drive)
    problems = []
    if got != expected:
        problems.append("transcript differs:\n  expected:\n    " + "\n    ".join(expected) +
                        "\n  got:\n    " + "\n    ".join(got))
    outside = written_outside_product_folders(before, after)
    if outside:
        problems.append("written outside drv and help: " + ", ".join(outside))
    for folder, names in scenario.get("files", {}).items():
        if listing(drive, folder) != names:
            problems.append(f"{folder} holds {listing(drive, folder)!r}, expected {names!r}")
    for check in scenario.get("after", ()):
        message = check(drive)
        if message:
            problems.append(message)
    return problems


def run(table, names):
    scenarios = [s for s in importlib.import_module(table).SCENARIOS
                 if not names or s["name"] in names]
    # Built before the lanes start, so that no two build one at once.
    for version in sorted(libraries_of(scenarios), key=str):
        kapfixtures.host_library(LIBCACHE, version)
    lanes = queue.Queue()
    for work in LANES[:min(len(LANES), len(scenarios))]:
        wineharness.install_programs(work, WIN32)
        lanes.put(work)

    def in_a_free_lane(scenario):
        work = lanes.get()
        try:
            started = time.monotonic()
            return run_scenario(work, scenario), time.monotonic() - started
        finally:
            lanes.put(work)

    failed = 0
    with concurrent.futures.ThreadPoolExecutor(max(1, lanes.qsize())) as pool:
        results = [pool.submit(in_a_free_lane, s) for s in scenarios]
        for scenario, result in zip(scenarios, results):  # table order
            problems, seconds = result.result()
            print(("FAIL " if problems else "ok   ") + scenario["name"] + f" ({seconds:.1f} s)",
                  flush=True)
            for p in problems:
                print("  " + p.replace("\n", "\n  "), flush=True)
            failed += bool(problems)
    print(f"{len(scenarios) - failed}/{len(scenarios)} scenarios passed")
    return 1 if failed or not scenarios else 0


def libraries_of(scenarios):
    """The host library versions that the scenarios ask for."""
    return {v for scenario in scenarios for host in scenario.get("hosts", {}).values()
            for v in host.get("libs", {}).values() if not isinstance(v, bytes)}


def host_libraries():
    """Every host library version that some scenario asks for."""
    versions = set()
    for path in sorted(glob.glob(os.path.join(HERE, "scenarios_*.py"))):
        versions |= libraries_of(importlib.import_module(os.path.basename(path)[:-3]).SCENARIOS)
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
            for work in LANES:  # in the guest, the others copy the first one's prefix
                wineharness.start(work, WIN32, prefix_from=None if work == WORK else WORK)
        except BaseException:
            stop_lanes()  # no Xvfb left behind
            raise
        return 0
    vm.start(WORK, WIN32, LIBCACHE, sorted(host_libraries(), key=str))
    rc = in_guest("start", timeout=vm.BOOT_SECONDS)
    if rc != 0:
        vm.stop(WORK)
    return rc


def stop_lanes():
    # Each wineserver takes most of a second to end its processes: at once.
    with concurrent.futures.ThreadPoolExecutor(len(LANES)) as pool:
        list(pool.map(wineharness.stop, LANES))


def emulated():
    return vm.read(MODE_FILE).strip() == "emulated"


def main(argv):
    if argv[1] == "start":
        return start()
    if argv[1] == "stop":
        if emulated():
            vm.stop(WORK)
        else:
            stop_lanes()
        return 0
    if emulated():
        print("e2e: in the QEMU guest", flush=True)
        vm.hand_programs(WORK, WIN32)  # this build's, not those of the start
        return in_guest(*argv[1:], timeout=1700)  # within the test's own limit
    return run(argv[2], argv[3:])


if __name__ == "__main__":
    sys.exit(main(sys.argv))
