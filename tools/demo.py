"""The demo: a sample host with three products and a full driver kit, then
the installer under Wine. With DISPLAY set you drive the real dialogs;
without it, a private screen is used, the first product and the first
language are chosen, and every window is saved as a PNG. Where this machine
runs no 32-bit x86 code (or KAP_E2E_VM=1), the demo runs headless inside
the QEMU guest of tools/vm.py and the PNGs are made here."""
import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import kapfixtures  # noqa: E402
import vm  # noqa: E402
import wineharness  # noqa: E402

ROOT = os.path.dirname(HERE)
WIN32 = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build/win32"))
OUT = os.path.join(ROOT, "build", "demo")
WORK = os.environ.get("KAP_DEMO_WORK", "/tmp/kaphdi-demo")
LIBCACHE = os.environ.get("KAP_DEMO_LIBCACHE") or kapfixtures.kept_library_cache()
SHOT_NAMES = ["product", "language", "result"]
# (registry key, product name, folder, host library, release)
PRODUCTS = [("1", "AutoCAD 2005", "AutoCAD 2005", "hcreg8.dll", "ACAD2005"),
            ("2", "AutoCAD 2002", "AutoCAD 2002", "hcreg7.dll", "ACAD2002"),
            ("3", "AutoCAD 2007", "AutoCAD 2007", "hcreg9.dll", "ACAD2007")]


def build_sample(drive):
    wineharness.clear_drive(WORK)
    for _, _, folder, lib, release in PRODUCTS:
        kapfixtures.make_host(os.path.join(drive, "Program Files"), folder,
                              {lib: kapfixtures.RELEASE_LEVELS[release]}, cache=LIBCACHE)
    kapfixtures.make_kit(os.path.join(drive, "KapKit"), kapfixtures.sample_kit())
    return kapfixtures.registry_script(
        [(key, name, f"K:\\Program Files\\{folder}") for key, name, folder, _, _ in PRODUCTS])


def to_png(bmp_dir, shots):
    for name in SHOT_NAMES:
        bmp = os.path.join(bmp_dir, name + ".bmp")
        if os.path.exists(bmp):
            subprocess.run(["convert", bmp, os.path.join(shots, name + ".png")], check=True)
    print(f"Screenshots: {shots}/product.png, language.png, result.png")


def run_here():
    wineharness.start(WORK, WIN32)
    drive = wineharness.drive(WORK)
    script = build_sample(drive)
    wineharness.give_to_test_user(drive)
    print("The sample kit as the kit checker sees it (kapkit check K:\\KapKit):")
    print(wineharness.run_console(WORK, "kapkit.exe", ["check", "K:\\KapKit"])[1])
    interactive = bool(os.environ.get("DISPLAY")) and not os.environ.get("KAP_DEMO_HEADLESS")
    if interactive:
        print("The installer is on your screen; the demo ends when it does.")
        os.environ["WINENV_DISPLAY"] = os.environ["DISPLAY"]
        if os.getuid() == 0 and shutil.which("xhost"):  # Wine runs as the test user
            subprocess.run(["xhost", f"+SI:localuser:{wineharness.TEST_USER}"], check=False,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        actions = ["manual"]
    else:
        actions = []
        for name in SHOT_NAMES:
            shot = wineharness.winpath(WORK, os.path.join(WORK, name + ".bmp"))
            actions += [f"shot:{shot}", "ok"]
    lines = wineharness.run_driver(WORK, script, "KapKit", actions,
                                   timeout=None if interactive else 600)
    print("What the installer showed (dialog driver transcript):")
    for line in lines:
        print("   " + line)
    if not interactive:
        shots = os.environ.get("KAP_DEMO_SHOTS")
        if shots:  # the guest has no image converter: the host makes the PNGs
            for name in SHOT_NAMES:
                if os.path.exists(os.path.join(WORK, name + ".bmp")):
                    shutil.copy(os.path.join(WORK, name + ".bmp"), shots)
        else:
            os.makedirs(os.path.join(OUT, "shots"), exist_ok=True)
            to_png(WORK, os.path.join(OUT, "shots"))
    folder = os.path.join(drive, "Program Files", PRODUCTS[0][2])
    for sub in ("drv", "help"):
        print(f"K:\\Program Files\\{PRODUCTS[0][2]}\\{sub}: " +
              (" ".join(sorted(os.listdir(os.path.join(folder, sub)))) or "(empty)"))


def run_in_guest():
    vm.start(WORK, WIN32, LIBCACHE, kapfixtures.RELEASE_LEVELS.values())
    try:
        rc = vm.request(WORK, vm.guest_python(
            ["tools/demo.py", vm.GUEST_WIN32],
            {"KAP_DEMO_WORK": vm.GUEST_WORK, "KAP_DEMO_LIBCACHE": vm.GUEST_LIBCACHE,
             "KAP_DEMO_SHOTS": vm.GUEST_OUT}), timeout=1800)
    finally:
        vm.stop(WORK)
    if rc == 0:
        os.makedirs(os.path.join(OUT, "shots"), exist_ok=True)
        to_png(os.path.join(vm.exchange(WORK), "out"), os.path.join(OUT, "shots"))
    return rc


def main():
    if not os.environ.get("KAP_E2E_GUEST"):
        kind, why = vm.mode()
        print("demo: " + vm.describe(kind, why), flush=True)
        if kind == "emulated":
            if os.environ.get("DISPLAY"):
                print("demo: the guest has no access to your screen: headless, PNGs below")
            return run_in_guest()
    try:
        run_here()
    finally:
        wineharness.stop(WORK)  # no Xvfb or wineserver left behind
    return 0


if __name__ == "__main__":
    sys.exit(main())
