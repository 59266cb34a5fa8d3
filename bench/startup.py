"""Start-up and footprint, measured side by side under Wine:

  * the stripped installer's size against a minimal program of its kind
    (one dialog from a resource, one message box) built with the same
    toolchain and flags;
  * the time from process start to the first dialog shown, for that minimal
    program, the installer with 1 registered product and with 5,000 (50 in
    the quick mode: writing 5,000 products to the registry takes minutes in
    the QEMU guest).

Runs interleave (minimal, 1, 5,000, minimal, ...) so that each repetition
sees the same machine; the median of each is reported. Where this machine
runs no 32-bit code (or KAP_E2E_VM=1), the runs happen in the QEMU guest.

    python3 bench/startup.py [repetitions]      (default 11; after make exe)
    python3 bench/startup.py --quick            one repetition: only that it runs"""
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import kapfixtures  # noqa: E402
import medians  # noqa: E402
import vm  # noqa: E402
import wineharness  # noqa: E402

WIN32 = os.environ.get("KAP_WIN32_DIR", os.path.join(ROOT, "build", "win32"))
WORK = os.environ.get("KAP_BENCH_WORK", "/tmp/kaphdi-bench")


def first_window_ms(setup, program, actions):
    """One untimed run that writes the registry, then the timed run, so the
    registry writes never weigh on a measure."""
    for setup_now in (setup, None):
        lines = wineharness.run_driver(WORK, setup_now, "kit", ["timing"] + actions,
                                       timeout=600, program=program)
        assert lines[0].startswith("first-window ") and lines[-1] == "exit 0", lines[:2]
    return float(lines[0].split()[1])


def registered(count):
    """A setup script registering count products, all in one host folder."""
    return kapfixtures.registry_script(
        [(f"{i:05}", f"Product {i:05}", "K:\\A") for i in range(count)])


def measure(reps, many):
    wineharness.start(WORK, WIN32)
    try:
        wineharness.clear_drive(WORK)
        kapfixtures.make_host(wineharness.drive(WORK), "A", {})
        os.makedirs(os.path.join(wineharness.drive(WORK), "kit"), exist_ok=True)
        setups = {"minimal": (registered(0), "bench_minimal.exe", ["ok", "ok"]),
                  "1 product": (registered(1), "KapHdiInstaller.exe", ["cancel"]),
                  f"{many:,} products": (registered(many), "KapHdiInstaller.exe", ["cancel"])}
        runs = medians.in_turns(setups, reps, lambda setup: first_window_ms(*setup))
    finally:
        wineharness.stop(WORK)
    return runs


def report(runs, reps):
    med = medians.of(runs)
    many = list(runs)[2]
    size_installer = os.path.getsize(os.path.join(WIN32, "KapHdiInstaller.exe"))
    size_minimal = os.path.getsize(os.path.join(WIN32, "bench_minimal.exe"))
    print(f"size: installer {size_installer} bytes, minimal {size_minimal} bytes, "
          f"ratio {size_installer / size_minimal:.2f} (goal <= 2.2)")
    for k, v in runs.items():
        print(f"first dialog, {k}: median {med[k]:.1f} ms of {reps} "
              f"({', '.join(f'{x:.0f}' for x in v)})")
    print(f"installer (1 product) / minimal: {med['1 product'] / med['minimal']:.2f} (goal <= 1.1)")
    # A ratio only: the 1.5 once aimed at is out of reach of any scan that
    # opens every product key under Wine (docs/performance.md).
    print(f"{many} / 1 product: {med[many] / med['1 product']:.2f}")


def in_guest(args, reps):
    """The same runs inside the QEMU guest, which has no compiler: the
    programs built here go with it."""
    print("startup: " + vm.describe(*vm.mode()), flush=True)
    try:
        os.makedirs(os.path.join(WORK, "libcache"), exist_ok=True)  # no host library needed
        vm.start(WORK, WIN32, os.path.join(WORK, "libcache"), [])
        return vm.request(WORK, vm.guest_python(
            ["bench/startup.py"] + args,
            {"KAP_BENCH_WORK": vm.GUEST_WORK, "KAP_WIN32_DIR": vm.GUEST_WIN32}),
            timeout=600 * (reps + 1))  # a repetition takes 2.5 minutes there, alone
    finally:
        vm.stop(WORK)


def main(args):
    quick = args == ["--quick"]
    reps = 1 if quick else int(args[0]) if args else 11
    if not os.environ.get("KAP_E2E_GUEST"):
        subprocess.run(["cmake", "--build", WIN32, "--target", "KapHdiInstaller",
                        "bench_minimal", "dlgdriver"], check=True, stdout=subprocess.DEVNULL)
        if vm.mode()[0] == "emulated":
            return in_guest(args, reps)
    report(measure(reps, 50 if quick else 5000), reps)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
