"""kapdeploy's speed against the plainest copy of the same files, under
Wine, side by side: `kapdeploy install --product all` into 50 registered
products (ACAD2005, English: five files each, 250 in all) against one
`cmd /c` batch of 250 `copy /y` lines, which checks nothing and cannot be
undone. Each timed run starts from empty drv and help folders; the runs
interleave (kapdeploy, copy, copy, kapdeploy, ...) after one untimed run of
each; the time is the wall time of the whole `wine` process. Medians are
reported. Where this machine runs no 32-bit code (or KAP_E2E_VM=1), the
runs happen in the QEMU guest.

    python3 bench/deploy.py [repetitions]     (default 7; after make exe dlgdriver kapdeploy)
    python3 bench/deploy.py --quick           one repetition: only that it runs"""
import os
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import kapfixtures  # noqa: E402
import medians  # noqa: E402
import vm  # noqa: E402
import wineharness  # noqa: E402

WIN32 = os.environ.get("KAP_WIN32_DIR", os.path.join(ROOT, "build", "win32"))
WORK = os.environ.get("KAP_BENCH_WORK", "/tmp/kaphdi-bench-deploy")
# Host libraries: built here, or in the guest prebuilt by the host.
LIBCACHE = os.environ.get("KAP_BENCH_LIBCACHE") or kapfixtures.kept_library_cache()
PRODUCTS = 50
HOST_LEVEL = "8.1.0.0"
PACKAGE = "K:\\kit\\English\\ACAD2005"


def prepare(drive):
    wineharness.clear_drive(WORK)
    for i in range(PRODUCTS):
        kapfixtures.make_host(drive, f"H{i:02}", {"hcreg8.dll": HOST_LEVEL},
                              cache=LIBCACHE)
    kit = os.path.join(drive, "kit")
    kapfixtures.make_kit(kit, {"English/ACAD2005": kapfixtures.driver_files("8,1,0,0")})
    lines = ["@echo off"]
    for i in range(PRODUCTS):
        for name in ("kapvl.hdi", "kapvl.drc", "kapvl.dll"):
            lines.append(f"copy /y {PACKAGE}\\{name} K:\\H{i:02}\\drv\\ >nul")
        for name in ("kapvl.hlp", "kapvl.cnt"):
            lines.append(f"copy /y {PACKAGE}\\{name} K:\\H{i:02}\\help\\ >nul")
    with open(os.path.join(drive, "copy.bat"), "w") as f:
        f.write("\r\n".join(lines) + "\r\n")
    script = kapfixtures.registry_script(
        [(f"P{i:02}", f"Product {i:02}", f"K:\\H{i:02}") for i in range(PRODUCTS)])
    assert wineharness.run_driver(WORK, script, "kit", [], program="kapdeploy.exe") == ["exit 87"]


def empty_products(drive):
    for i in range(PRODUCTS):
        for sub in ("drv", "help"):
            folder = os.path.join(drive, f"H{i:02}", sub)
            shutil.rmtree(folder)
            os.makedirs(folder)
    wineharness.give_to_test_user(drive)


def installed(drive):
    return sum(len(os.listdir(os.path.join(drive, f"H{i:02}", sub)))
               for i in range(PRODUCTS) for sub in ("drv", "help"))


def timed(drive, cmd):
    empty_products(drive)
    start = time.perf_counter()
    subprocess.run([wineharness.WINENV, "run", WORK, "wine"] + cmd, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    ms = (time.perf_counter() - start) * 1000
    assert installed(drive) == 5 * PRODUCTS, installed(drive)
    return ms


def in_guest(args):
    """The same runs inside the QEMU guest, which has no compiler: the
    programs and the host library built here go with it."""
    print("deploy: " + vm.describe(*vm.mode()), flush=True)
    try:
        vm.start(WORK, WIN32, LIBCACHE, [HOST_LEVEL])
        return vm.request(WORK, vm.guest_python(
            ["bench/deploy.py"] + args,
            {"KAP_BENCH_WORK": vm.GUEST_WORK, "KAP_WIN32_DIR": vm.GUEST_WIN32,
             "KAP_BENCH_LIBCACHE": vm.GUEST_LIBCACHE}), timeout=3000)
    finally:
        vm.stop(WORK)


def main(args):
    if not os.environ.get("KAP_E2E_GUEST") and vm.mode()[0] == "emulated":
        return in_guest(args)
    reps = 1 if args == ["--quick"] else int(args[0]) if args else 7
    drive = wineharness.drive(WORK)
    cases = {
        "kapdeploy install --product all": [
            os.path.join(WORK, "bin", "kapdeploy.exe"), "install", "--product", "all",
            "--language", "English", "--kit", "K:\\kit"],
        "cmd /c copy.bat": ["cmd", "/c", "K:\\copy.bat"],
    }
    wineharness.start(WORK, WIN32)
    try:
        prepare(drive)
        for cmd in cases.values():
            timed(drive, cmd)
        runs = medians.in_turns(cases, reps, lambda cmd: timed(drive, cmd))
    finally:
        wineharness.stop(WORK)
    print(f"{PRODUCTS} products, {5 * PRODUCTS} files; medians of {reps} runs")
    med = medians.printed(runs, 0)
    ratio = med["kapdeploy install --product all"] / med["cmd /c copy.bat"]
    print(f"kapdeploy / copy: {ratio:.2f} (goal <= 1.5)")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
