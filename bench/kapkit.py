"""The kit checker's speed against the plainest walk of the same tree:
`kapkit check KIT` natively against `find KIT -type f`, on the full sample
kit (12 languages x 7 releases: 84 folders, 468 files), side by side.

Runs interleave (kapkit, find, find, kapkit, ...) after one untimed run of
each, so both see the same machine and a warm file cache; each time is the
wall time of the whole process, start-up included. Medians are reported.

    python3 bench/kapkit.py [repetitions] [kapkit]   (default 11; after make native)
    python3 bench/kapkit.py --quick                  one repetition: only that it runs

The kapkit program defaults to KAP_NATIVE_DIR/kapkit (build/native)."""
import os
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import kapfixtures  # noqa: E402


def wall_ms(cmd):
    start = time.perf_counter()
    subprocess.run(cmd, stdout=subprocess.DEVNULL, check=False)
    return (time.perf_counter() - start) * 1000


def main():
    args = sys.argv[1:]
    reps = 1 if args == ["--quick"] else int(args[0]) if args else 11
    native = os.environ.get("KAP_NATIVE_DIR", os.path.join(ROOT, "build", "native"))
    kapkit = args[1] if len(args) > 1 else os.path.join(native, "kapkit")
    with tempfile.TemporaryDirectory() as top:
        kit = os.path.join(top, "kit")
        kapfixtures.make_kit(kit, kapfixtures.sample_kit())
        files = sum(len(f) for _, _, f in os.walk(kit))
        cases = {"kapkit check": [kapkit, "check", kit], "find -type f": ["find", kit, "-type", "f"]}
        assert subprocess.run(cases["kapkit check"], stdout=subprocess.DEVNULL).returncode == 0
        runs = {name: [] for name in cases}
        for cmd in cases.values():
            wall_ms(cmd)
        order = list(cases)
        for rep in range(reps):
            for name in (order if rep % 2 == 0 else order[::-1]):
                runs[name].append(wall_ms(cases[name]))
    med = {name: statistics.median(times) for name, times in runs.items()}
    print(f"sample kit: 84 folders, {files} files; medians of {reps} runs")
    for name, times in runs.items():
        print(f"{name}: median {med[name]:.2f} ms ({', '.join(f'{t:.2f}' for t in times)})")
    print(f"kapkit / find: {med['kapkit check'] / med['find -type f']:.2f} (goal <= 3)")


if __name__ == "__main__":
    main()
