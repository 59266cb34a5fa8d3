"""How long `make check` and its end-to-end part take with Wine on this
machine (native) and inside the QEMU guest (emulated), each from a fresh
clone of this checkout, and how long the guest image takes to build.

    python3 bench/e2e_modes.py [--fresh-image] [native] [emulated]
    python3 bench/e2e_modes.py native --against <commit> [--runs N]
    python3 bench/e2e_modes.py --quick

--fresh-image first builds the guest image into an empty cache and times
it (the image then stays there for the emulated run). Where this machine
runs no 32-bit code only the emulated mode can be measured. Prints a
Markdown table for docs/performance.md.

--against runs `make check` natively in fresh clones of this checkout and
of the given commit, N times each (default 3), alternating which goes
first, and prints each run and the medians side by side.

--quick gives no figure: it only shows that the script runs, timing the
end-to-end harness on one table of this checkout's build, in the mode this
machine runs in."""
import hashlib
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import vm  # noqa: E402

TEST_TIME = re.compile(r"Test +#\d+: (\S+) \.+\s+Passed\s+([\d.]+) sec")
SCENARIO_TIME = re.compile(r"^(?:ok|FAIL) +.* \(([\d.]+) s\)$", re.M)


def check_in_fresh_clone(emulated, commit=None):
    clone = tempfile.mkdtemp(prefix="kap-bench-")
    # The Wine work dirs that the clone's CTest entries name after its tree.
    tree = hashlib.md5(os.path.join(clone, "build", "native").encode()).hexdigest()[:10]
    try:
        subprocess.run(["git", "clone", "-q", ROOT, clone], check=True)
        if commit:
            subprocess.run(["git", "-C", clone, "checkout", "-q", commit], check=True)
        env = dict(os.environ, KAP_E2E_VM="1" if emulated else "0")
        started = time.monotonic()
        out = subprocess.run(["make", "check"], cwd=clone, env=env, stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, text=True)
        wall = time.monotonic() - started
        if out.returncode != 0:
            sys.exit(out.stdout[-4000:] + "\nmake check failed")
        e2e = sum(float(t) for name, t in TEST_TIME.findall(out.stdout) if name.startswith("e2e_"))
        log = os.path.join(clone, "build", "native", "Testing", "Temporary", "LastTest.log")
        with open(log, errors="replace") as f:
            scenarios = [float(t) for t in SCENARIO_TIME.findall(f.read())]
        return wall, e2e, scenarios
    finally:
        shutil.rmtree(clone, ignore_errors=True)
        for work in ("/tmp/kaphdi-e2e-" + tree, "/tmp/kaphdi-bench-" + tree):
            shutil.rmtree(work, ignore_errors=True)


def against(commit, runs):
    """This checkout and the commit side by side, natively."""
    revs = {"this checkout": None, commit: commit}
    times = {name: [] for name in revs}
    for n in range(runs):
        for name in (list(revs) if n % 2 == 0 else list(revs)[::-1]):
            print(f"run {n + 1}: make check in a fresh clone of {name} ...", flush=True)
            wall, e2e, _ = check_in_fresh_clone(False, revs[name])
            times[name].append((wall, e2e))
            print(f"  make check {wall:.0f} s, end-to-end part {e2e:.0f} s", flush=True)
    print("\n| native, fresh clone | `make check`, wall | end-to-end part (CTest e2e_*) |")
    print("|---|---|---|")
    for name, runs_of in times.items():
        walls = ", ".join(f"{w:.0f}" for w, _ in runs_of)
        parts = ", ".join(f"{e:.0f}" for _, e in runs_of)
        print(f"| {name} | {walls} s; median {statistics.median(w for w, _ in runs_of):.0f} s "
              f"| {parts} s; median {statistics.median(e for _, e in runs_of):.0f} s |")
    ours, theirs = (statistics.median(e for _, e in times[name]) for name in revs)
    print(f"\nend-to-end part, this checkout / {commit}: {ours / theirs:.2f}")


def one_table_here():
    """The end-to-end harness alone on one table, with this checkout's
    build: start, the table, stop."""
    work = tempfile.mkdtemp(prefix="kap-bench-e2e-")
    env = dict(os.environ, KAP_E2E_WORK=work)
    e2e = [sys.executable, os.path.join(ROOT, "tests", "e2e", "e2e.py")]
    started = time.monotonic()
    try:
        steps = [e2e + ["start"], e2e + ["run", "scenarios_faults"]]
        out = "".join(subprocess.run(cmd, env=env, stdout=subprocess.PIPE,
                                     stderr=subprocess.STDOUT, text=True, check=True).stdout
                      for cmd in steps)
    finally:
        subprocess.run(e2e + ["stop"], env=env, check=False)
        shutil.rmtree(work, ignore_errors=True)
    wall = time.monotonic() - started
    return wall, wall, [float(t) for t in SCENARIO_TIME.findall(out)]


def main(args):
    if "--against" in args:
        runs = int(args[args.index("--runs") + 1]) if "--runs" in args else 3
        return against(args[args.index("--against") + 1], runs)
    rows = []
    if "--fresh-image" in args:
        os.environ["KAP_VM_CACHE"] = tempfile.mkdtemp(prefix="kap-vm-cache-")
        started = time.monotonic()
        vm.ensure_image()
        rows.append(("guest image build (once per machine)", f"{time.monotonic() - started:.0f} s"))
    quick = "--quick" in args
    modes = [m for m in ("native", "emulated") if m in args] or ["native", "emulated"]
    if quick:
        modes = [vm.mode()[0]]
    if "native" in modes and not vm.runs_32bit_code():
        print("this machine runs no 32-bit code: native mode cannot be measured")
        modes.remove("native")
    results = {}
    for mode in modes:
        if quick:
            print(f"{mode}: one table, this checkout's build (no figure) ...", flush=True)
            results[mode] = one_table_here()
        else:
            print(f"{mode}: make check in a fresh clone ...", flush=True)
            results[mode] = check_in_fresh_clone(mode == "emulated")
    print("\n| measure | " + " | ".join(modes) + " |")
    print("|---|" + "---|" * len(modes))
    print("| `make check`, wall | " +
          " | ".join(f"{results[m][0]:.0f} s" for m in modes) + " |")
    print("| end-to-end part (CTest e2e_*) | " +
          " | ".join(f"{results[m][1]:.0f} s" for m in modes) + " |")
    print("| scenarios run | " + " | ".join(str(len(results[m][2])) for m in modes) + " |")
    print("| per-scenario median | " +
          " | ".join(f"{statistics.median(results[m][2]):.2f} s" for m in modes) + " |")
    if len(modes) == 2:
        print(f"\nemulated / native, end-to-end part: "
              f"{results['emulated'][1] / results['native'][1]:.1f}x")
    for name, value in rows:
        print(f"{name}: {value}")
    if "--fresh-image" in args:
        shutil.rmtree(os.environ["KAP_VM_CACHE"], ignore_errors=True)


if __name__ == "__main__":
    main(sys.argv[1:])
