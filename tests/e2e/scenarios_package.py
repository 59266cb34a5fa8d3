"""What deployment copies, refuses and reports, and the kit's HIF file."""
import os

from kapfixtures import TEST_ROOT, driver_files
from screens import (DDK, EXIT, HIF_NO_KEY, HIF_NOT_OPENED, SUCCESS, error, install,
                     languages, products)

HOST_2005 = {"A": {"libs": {"hcreg8.dll": "8.1.0.0"}}}
HOST_2002 = {"A": {"libs": {"hcreg7.dll": "7.1.0.0"}}}
ONE = [("P", "P", "A")]
FULL = "kapvl.dll kapvl.drc kapvl.hdi"
HELP = "kapvl.cnt kapvl.hlp"
NOTHING = {"A/drv": "", "A/help": ""}
START = install(products("P"), True)


def kit(level="8,1,0,0", drop=(), add=None, release="ACAD2005"):
    files = {k: v for k, v in driver_files(level).items() if k not in drop}
    files.update(add or {})
    return {f"English/{release}": files}


def case(steps, files, **kw):
    base = dict(hosts=HOST_2005, products=ONE, kit=kit(), steps=START + steps + [EXIT],
                files=files)
    base.update(kw)
    return base


def read_only_destination(drive):
    path = os.path.join(drive, "A", "drv", "kapvl.hdi")
    with open(path, "w") as f:
        f.write("old driver\n")
    os.chmod(path, 0o444)


def read_only_source(drive):
    os.chmod(os.path.join(drive, "kit", "English", "ACAD2005", "kapvl.drc"), 0o444)


def copies_are_new_and_writable(drive):
    for name in ("kapvl.hdi", "kapvl.drc"):
        path = os.path.join(drive, "A", "drv", name)
        with open(path, "rb") as f:
            if b"8,1,0,0" not in f.read():
                return f"{name} was not overwritten"
        if not os.stat(path).st_mode & 0o200:
            return f"{name} is still read-only"
    return None


def drive_root_folders(drive):
    for name in ("drv", "help"):
        os.makedirs(os.path.join(drive, name))


def no_location(value=None):
    """A product whose key has no location value, or the value with empty
    data. Folders drv and help wait at the root of the kit's drive, where a
    bare \\drv or \\help would lead; they must stay empty."""
    extra = [] if value is None else [f"val\t{TEST_ROOT}\\P\t{value}\tsz\t"]
    return dict(hosts={}, products=[("P", "P", None)], extra_registry=extra,
                kit={"Deutsch": driver_files("0,0,0,0")}, before=[drive_root_folders],
                steps=[products("P"), "ok", languages(False), "ok",
                       error("Impossible to copy the hdi driver.\nInstallation failed"), "ok",
                       EXIT],
                files={"drv": "", "help": ""})


SCENARIOS = [
    dict(name="full install for 2005", **case([SUCCESS, "ok"], {"A/drv": FULL, "A/help": HELP})),
    dict(name="no dll is copied for 2002", hosts=HOST_2002, products=ONE,
         kit=kit("7,1,0,0", release="ACAD2002"),
         steps=install(products("P"), False) + [SUCCESS, "ok", EXIT],
         files={"A/drv": "kapvl.drc kapvl.hdi", "A/help": HELP}),
    dict(name="missing hdi", **case([error("Hdi file is missing.\nInstallation failed"), "ok"],
                                    NOTHING, kit=kit(drop=["kapvl.hdi"]))),
    dict(name="missing drc copies nothing",
         **case([error("DRC file is missing.\nInstallation failed"), "ok"], NOTHING,
                kit=kit(drop=["kapvl.drc"]))),
    dict(name="missing dll copies nothing",
         **case([error("dll file is missing.\nInstallation failed"), "ok"], NOTHING,
                kit=kit(drop=["kapvl.dll"]))),
    dict(name="missing hlp", **case(
        [error("hlp file is missing.\nYou will not be able to install Kap help"), "ok",
         SUCCESS, "ok"], {"A/drv": FULL, "A/help": "kapvl.cnt"},
        kit=kit(drop=["kapvl.hlp"]))),
    dict(name="missing hlp and cnt", **case(
        [error("hlp file is missing.\nYou will not be able to install Kap help"), "ok",
         error("cnt file is missing.\n"), "ok", SUCCESS, "ok"], {"A/drv": FULL, "A/help": ""},
        kit=kit(drop=["kapvl.hlp", "kapvl.cnt"]))),
    dict(name="no help folder", **case(
        [error("Impossible to copy the help file."), "ok",
         error("Impossible to copy the cnt file."), "ok", SUCCESS, "ok"], {"A/drv": FULL},
        hosts={"A": {"libs": {"hcreg8.dll": "8.1.0.0"}, "help": False}})),
    dict(name="no drv folder", **case(
        [error("Impossible to copy the hdi driver.\nInstallation failed"), "ok"], {},
        hosts={"A": {"libs": {"hcreg8.dll": "8.1.0.0"}, "drv": False}})),
    dict(name="upper-case extensions match", **case(
        [SUCCESS, "ok"],
        {"A/drv": "KAPVL.DLL KAPVL.DRC KAPVL.HDI", "A/help": "KAPVL.CNT KAPVL.HLP"},
        kit={"English/ACAD2005": {k.upper() if k != "kap.hif" else k: v
                                  for k, v in driver_files("8,1,0,0").items()}})),
    dict(name="a folder named like a driver, found first", **case(
        [error("Impossible to copy the hdi driver.\nInstallation failed"), "ok"], NOTHING,
        kit=kit(add={"a.hdi": None}))),
    dict(name="8.3 names do not make a driver", **case(
        [SUCCESS, "ok"], {"A/drv": FULL, "A/help": HELP},
        kit=kit(add={"a.hdi_old": "old driver\n", "b.hdix": "not a driver\n"}))),
    dict(name="a read-only driver in drv is overwritten", **case(
        [SUCCESS, "ok"], {"A/drv": FULL, "A/help": HELP}, before=[read_only_destination],
        after=[copies_are_new_and_writable])),
    dict(name="a read-only source gives a writable copy", **case(
        [SUCCESS, "ok"], {"A/drv": FULL, "A/help": HELP}, before=[read_only_source],
        after=[copies_are_new_and_writable])),
    dict(name="a destination held open by another program", **case(
        [error("Impossible to copy the drc file.\nInstallation failed"), "ok"],
        {"A/drv": "kapvl.drc kapvl.hdi", "A/help": ""},
        before=[lambda d: open(os.path.join(d, "A", "drv", "kapvl.drc"), "w").close()],
        extra_registry=["hold\tK:\\A\\drv\\kapvl.drc"])),
    dict(name="a resource library held open by another program", **case(
        [error("Impossible to copy the dll resource.\nInstallation failed"), "ok"],
        {"A/drv": "kapvl.dll kapvl.drc kapvl.hdi", "A/help": ""},
        before=[lambda d: open(os.path.join(d, "A", "drv", "kapvl.dll"), "w").close()],
        extra_registry=["hold\tK:\\A\\drv\\kapvl.dll"])),
    dict(name="a product without a location", **no_location()),
    dict(name="an empty ACADLocation is no location", **no_location("ACADLocation")),
    dict(name="an empty Location is no location", **no_location("Location")),
    dict(name="a newer revision is refused", **case([DDK, "ok"], NOTHING, kit=kit("8,1,0,1"))),
    dict(name="an older minor is refused", **case([DDK, "ok"], NOTHING, kit=kit("8,0,0,0"))),
    dict(name="another major is refused", **case([DDK, "ok"], NOTHING, kit=kit("9,1,0,0"))),
    dict(name="another build ends silently", **case([], NOTHING, kit=kit("8,1,7,0"))),
    dict(name="an older revision installs", hosts={"A": {"libs": {"hcreg8.dll": "8.1.0.5"}}},
         **{k: v for k, v in case([SUCCESS, "ok"], {"A/drv": FULL}, kit=kit("8,1,0,4")).items()
            if k != "hosts"}),
    dict(name="no kap.hif", **case([HIF_NOT_OPENED, "ok"], NOTHING, kit=kit(drop=["kap.hif"]))),
    dict(name="kap.hif without the key", **case(
        [HIF_NO_KEY, "ok"], NOTHING, kit=kit(add={"kap.hif": "[Kap]\nversion=8,1,0,0\n"}))),
    dict(name="kap.hif with CR LF and upper case", **case(
        [SUCCESS, "ok"], {"A/drv": FULL},
        kit=kit(add={"kap.hif": b"[Kap]\r\n HEIDIVERSION = 8, 1 ,0,0\r\n"}))),
]
