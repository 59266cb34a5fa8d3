"""kapdeploy's speed against two copies of the same files, under Wine,
side by side: `kapdeploy install --product all` into 50 registered
products (ACAD2005, English: five files each, 250 in all) against
bench/durable_copy, which makes the same 250 copies and flushes each file
once (the least a durable copy costs), and against one `cmd /c` batch of
250 `copy /y` lines, which flushes nothing; neither checks anything or can
be undone. Each timed run starts from empty drv and help folders; the runs
go in turns (each round starting one case later) after one untimed run of
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
INSTALL = "kapdeploy install --product all"
DURABLE = "durable_copy (each file flushed)"
COPY = "cmd /c copy.bat"


def copies():
    """The 250 copies as (source, target folder, name): the kit's files of
    each product's five steps."""
    return [(f"{PACKAGE}\\{name}", f"K:\\H{i:02}\\{sub}", name)
            for i in range(PRODUCTS)
            for sub, names in (("drv", ("kapvl.hdi", "kapvl.drc", "kapvl.dll")),
                               ("help", ("kapvl.hlp", "kapvl.cnt")))
            for name in names]


def prepare(drive):
    wineharness.clear_drive(WORK)
    for i in range(PRODUCTS):
        kapfixtures.make_host(drive, f"H{i:02}", {"hcreg8.dll": HOST_LEVEL},
                              cache=LIBCACHE)
    kit = os.path.join(drive, "kit")
    kapfixtures.make_kit(kit, {"English/ACAD2005": kapfixtures.driver_files("8,1,0,0")})
    lines = ["@echo off"] + [f"copy /y {source} {folder}\\ >nul" for source, folder, _ in copies()]
    with open(os.path.join(drive, "copy.bat"), "w") as f:
        f.write("\r\n".join(lines) + "\r\n")
    with open(os.path.join(drive, "copies.txt"), "w") as f:
        f.writelines(f"{source}\t{folder}\\{name}\n" for source, folder, name in copies())
    script = kapfixtures.registry_script(
        [(f"P{i:02}", f"Product {i:02}", f"K:\\H{i:02}") for i in range(PRODUCTS)])
    assert wineharness.run_driver(WORK, script, "kit", [], program="kapdeploy.exe") == ["exit 87"]


def empty_products(drive):
    """Each run a first install: no file of the kit's and no install record
    (the entries in the registry are rewritten by every run anyway)."""
    for i in range(PRODUCTS):
        for sub in ("drv", "help"):
            folder = os.path.join(drive, f"H{i:02}", sub)
            shutil.rmtree(folder)
            os.makedirs(folder)
        record = os.path.join(drive, f"H{i:02}", "kapdeploy.record")
        if os.path.exists(record):
            os.remove(record)
    wineharness.give_to_test_user(drive)


def installed(drive):
    """How many of the copies hold the kit file's bytes."""
    def read(windows_path):
        path = os.path.join(drive, *windows_path.split("\\")[1:])
        if not os.path.exists(path):
            return None
        with open(path, "rb") as f:
            return f.read()
    return sum(read(f"{folder}\\{name}") == read(source) for source, folder, name in copies())


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
    if not os.environ.get("KAP_E2E_GUEST"):
        subprocess.run(["cmake", "--build", WIN32, "--target", "bench_durable_copy"], check=True,
                       stdout=subprocess.DEVNULL)
        if vm.mode()[0] == "emulated":
            return in_guest(args)
    reps = 1 if args == ["--quick"] else int(args[0]) if args else 7
    drive = wineharness.drive(WORK)
    bin_dir = os.path.join(WORK, "bin")
    cases = {
        INSTALL: [os.path.join(bin_dir, "kapdeploy.exe"), "install", "--product", "all",
                  "--language", "English", "--kit", "K:\\kit"],
        DURABLE: [os.path.join(bin_dir, "bench_durable_copy.exe"), "K:\\copies.txt"],
        COPY: ["cmd", "/c", "K:\\copy.bat"],
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
    print(f"kapdeploy / durable_copy: {med[INSTALL] / med[DURABLE]:.2f} (goal <= 1.5)")
    print(f"kapdeploy / copy script: {med[INSTALL] / med[COPY]:.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
