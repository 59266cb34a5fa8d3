"""kapdeploy's speed against the plainest copy of the same files, under
Wine, side by side: `kapdeploy install --product all` into 50 registered
products (ACAD2005, English: five files each, 250 in all) against one
`cmd /c` batch of 250 `copy /y` lines, which checks nothing and cannot be
undone. Each timed run starts from empty drv and help folders; the runs
interleave (kapdeploy, copy, copy, kapdeploy, ...) after one untimed run of
each; the time is the wall time of the whole `wine` process. Medians are
reported.

    python3 bench/deploy.py [repetitions]     (after make exe dlgdriver kapdeploy)"""
import os
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import kapfixtures  # noqa: E402
import wineharness  # noqa: E402

WIN32 = os.path.join(ROOT, "build", "win32")
WORK = os.environ.get("KAP_BENCH_WORK", "/tmp/kaphdi-bench-deploy")
PRODUCTS = 50
PACKAGE = "K:\\kit\\English\\ACAD2005"


def prepare(drive):
    wineharness.clear_drive(WORK)
    for i in range(PRODUCTS):
        kapfixtures.make_host(drive, f"H{i:02}", {"hcreg8.dll": "8.1.0.0"},
                              cache=os.path.join(WORK, "libcache"))
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


def main():
    reps = int(sys.argv[1]) if len(sys.argv) > 1 else 7
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
        runs = {name: [] for name in cases}
        order = list(cases)
        for rep in range(reps):
            for name in (order if rep % 2 == 0 else order[::-1]):
                runs[name].append(timed(drive, cases[name]))
    finally:
        wineharness.stop(WORK)
    med = {name: statistics.median(times) for name, times in runs.items()}
    print(f"{PRODUCTS} products, {5 * PRODUCTS} files; medians of {reps} runs")
    for name, times in runs.items():
        print(f"{name}: median {med[name]:.0f} ms ({', '.join(f'{t:.0f}' for t in times)})")
    ratio = med["kapdeploy install --product all"] / med["cmd /c copy.bat"]
    print(f"kapdeploy / copy: {ratio:.2f} (goal <= 1.5)")


if __name__ == "__main__":
    main()
