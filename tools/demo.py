"""The demo: a sample host with three products and a full driver kit, then
the installer under Wine. With DISPLAY set you drive the real dialogs;
without it, a private screen is used, the first product and the first
language are chosen, and every window is saved as a PNG."""
import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import kapfixtures  # noqa: E402
import wineharness  # noqa: E402

ROOT = os.path.dirname(HERE)
WIN32 = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build/win32"))
OUT = os.path.join(ROOT, "build", "demo")
WORK = os.environ.get("KAP_DEMO_WORK", "/tmp/kaphdi-demo")
# (registry key, product name, folder, host library, release)
PRODUCTS = [("1", "AutoCAD 2005", "AutoCAD 2005", "hcreg8.dll", "ACAD2005"),
            ("2", "AutoCAD 2002", "AutoCAD 2002", "hcreg7.dll", "ACAD2002"),
            ("3", "AutoCAD 2007", "AutoCAD 2007", "hcreg9.dll", "ACAD2007")]


def build_sample(drive):
    wineharness.clear_drive(WORK)
    cache = os.path.join(WORK, "libcache")
    for _, _, folder, lib, release in PRODUCTS:
        kapfixtures.make_host(os.path.join(drive, "Program Files"), folder,
                              {lib: kapfixtures.RELEASE_LEVELS[release]}, cache=cache)
    kapfixtures.make_kit(os.path.join(drive, "KapKit"), kapfixtures.sample_kit())
    return kapfixtures.registry_script(
        [(key, name, f"K:\\Program Files\\{folder}") for key, name, folder, _, _ in PRODUCTS])


def main():
    wineharness.start(WORK, WIN32, [os.path.join(WIN32, "kapkit.exe")])
    drive = wineharness.drive(WORK)
    script = build_sample(drive)
    wineharness.give_to_test_user(drive)
    print("The sample kit as the kit checker sees it (kapkit check K:\\KapKit):")
    print(wineharness.run_console(WORK, "kapkit.exe", ["check", "K:\\KapKit"])[1])
    shots = os.path.join(OUT, "shots")
    os.makedirs(shots, exist_ok=True)
    interactive = bool(os.environ.get("DISPLAY")) and not os.environ.get("KAP_DEMO_HEADLESS")
    if interactive:
        print("The installer is on your screen; the demo ends when it does.")
        os.environ["WINENV_DISPLAY"] = os.environ["DISPLAY"]
        if os.getuid() == 0 and shutil.which("xhost"):  # Wine runs as the test user
            subprocess.run(["xhost", f"+SI:localuser:{wineharness.TEST_USER}"], check=False,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        actions = ["manual"]
    else:
        names = ["product", "language", "result"]
        actions = []
        for name in names:
            actions += [f"shot:{wineharness.winpath(WORK, os.path.join(WORK, name + '.bmp'))}", "ok"]
    lines = wineharness.run_driver(WORK, script, "KapKit", actions,
                                   timeout=None if interactive else 600)
    print("What the installer showed (dialog driver transcript):")
    for line in lines:
        print("   " + line)
    if not interactive:
        for name in ["product", "language", "result"]:
            bmp = os.path.join(WORK, name + ".bmp")
            if os.path.exists(bmp):
                subprocess.run(["convert", bmp, os.path.join(shots, name + ".png")], check=True)
        print(f"Screenshots: {shots}/product.png, language.png, result.png")
    folder = os.path.join(drive, "Program Files", PRODUCTS[0][2])
    for sub in ("drv", "help"):
        print(f"K:\\Program Files\\{PRODUCTS[0][2]}\\{sub}: " +
              (" ".join(sorted(os.listdir(os.path.join(folder, sub)))) or "(empty)"))
    wineharness.stop(WORK)


if __name__ == "__main__":
    main()
