"""The install run from start to end: its silent and spoken ends, and where
it looks for the kit."""
from kapfixtures import driver_files
from screens import (CANT_INSTALL, EXIT, PATH_TOO_LONG, NO_HARDCOPY, SUCCESS, install,
                     languages, products)

HOST_2005 = {"A": {"libs": {"hcreg8.dll": "8.1.0.0"}}}
ONE_2005 = [("P1", "AutoCAD 2005", "A")]
KIT_2005 = {"English/ACAD2005": driver_files("8,1,0,0")}
INSTALLED = {"A/drv": "kapvl.dll kapvl.drc kapvl.hdi", "A/help": "kapvl.cnt kapvl.hlp"}
LONG = "kit/" + "d" * 238

SCENARIOS = [
    dict(name="no hardcopy key",
         registry="del\tSoftware\\Autodesk\\Hardcopy\ndel\tSoftware\\KapTest\n",
         steps=[NO_HARDCOPY, "ok", EXIT]),
    dict(name="cancelled product choice ends silently", hosts=HOST_2005, products=ONE_2005,
         kit=KIT_2005, steps=[products("AutoCAD 2005"), "cancel", EXIT],
         files={"A/drv": "", "A/help": ""}),
    dict(name="cancelled language choice", hosts=HOST_2005, products=ONE_2005, kit=KIT_2005,
         steps=[products("AutoCAD 2005"), "ok", languages(True), "cancel", CANT_INSTALL, "ok",
                EXIT],
         files={"A/drv": "", "A/help": ""}),
    dict(name="kit folder with the release", hosts=HOST_2005, products=ONE_2005, kit=KIT_2005,
         steps=install(products("AutoCAD 2005"), True) + [SUCCESS, "ok", EXIT], files=INSTALLED),
    dict(name="signed installer", program="KapHdiInstaller-signed.exe", hosts=HOST_2005,
         products=ONE_2005, kit=KIT_2005,
         steps=install(products("AutoCAD 2005"), True) + [SUCCESS, "ok", EXIT], files=INSTALLED),
    dict(name="kit folder without a release", hosts={"A": {}}, products=ONE_2005,
         kit={"Deutsch": driver_files("0,0,0,0")},
         steps=install(products("AutoCAD 2005"), False, "Deutsch") + [SUCCESS, "ok", EXIT],
         files={"A/drv": "kapvl.drc kapvl.hdi", "A/help": "kapvl.cnt kapvl.hlp"}),
    dict(name="kit path too long", hosts=HOST_2005, products=ONE_2005, cwd=LONG,
         kit={LONG[4:] + "/English/ACAD2005": driver_files("8,1,0,0")},
         steps=install(products("AutoCAD 2005"), True) + [PATH_TOO_LONG, "ok", EXIT],
         files={"A/drv": "", "A/help": ""}),
]
