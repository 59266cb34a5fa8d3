"""The kit checker's speed against the plainest walk of the same tree:
`kapkit check KIT` natively against `find KIT -type f`, side by side, on the
full sample kit (12 languages x 7 releases: 84 folders, 468 files) and on
the same kit grown to 10,000 and 500,000 files by extra pages (`page*.htm`,
names the installer never copies) spread evenly over its release folders.

Runs interleave (kapkit, find, find, kapkit, ...) after one untimed run of
each, so both see the same machine and a warm file cache; each time is the
wall time of the whole process, start-up included. Medians are reported.

    python3 bench/kapkit.py [repetitions] [files ...]   (after make native)
    python3 bench/kapkit.py 7 468 10000 500000          (the figures in docs)
    python3 bench/kapkit.py --quick                     the sample kit once: only that it runs

The kapkit program is KAPKIT, or else KAP_NATIVE_DIR/kapkit (build/native)."""
import os
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import kapfixtures  # noqa: E402
import medians  # noqa: E402

NATIVE = os.environ.get("KAP_NATIVE_DIR", os.path.join(ROOT, "build", "native"))
KAPKIT = os.environ.get("KAPKIT", os.path.join(NATIVE, "kapkit"))


def wall_ms(cmd):
    start = time.perf_counter()
    subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    return (time.perf_counter() - start) * 1000


def grown_kit(top, files):
    kit = os.path.join(top, "kit")
    kapfixtures.make_kit(kit, kapfixtures.sample_kit())
    folders = [d for d, _, names in os.walk(kit) if "kap.hif" in names]
    have = sum(len(names) for _, _, names in os.walk(kit))
    for i in range(max(0, files - have)):
        with open(os.path.join(folders[i % len(folders)], f"page{i:06d}.htm"), "wb") as f:
            f.write(b"<p>help</p>\n")
    return kit, len(folders), sum(len(names) for _, _, names in os.walk(kit))


def measure(files, reps):
    with tempfile.TemporaryDirectory() as top:
        kit, folders, count = grown_kit(top, files)
        cases = {"kapkit check": [KAPKIT, "check", kit],
                 "find -type f": ["find", kit, "-type", "f"]}
        status = subprocess.run(cases["kapkit check"], stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL).returncode
        assert status == 0, f"kapkit finds errors in the {count}-file kit ({status})"
        for cmd in cases.values():
            wall_ms(cmd)
        runs = medians.in_turns(cases, reps, wall_ms)
    print(f"{count} files in {folders} release folders; medians of {reps} runs")
    med = medians.printed(runs, 2, indent="  ")
    ratio = med["kapkit check"] / med["find -type f"]
    print(f"  kapkit / find: {ratio:.2f} (goal <= 2)")
    return ratio


def main():
    args = sys.argv[1:]
    quick = args == ["--quick"]
    reps = 1 if quick else int(args[0]) if args else 7
    sizes = [468] if quick else [int(a) for a in args[1:]] or [468, 10000, 500000]
    for files in sizes:
        measure(files, reps)


if __name__ == "__main__":
    main()
