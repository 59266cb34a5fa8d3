"""The product and language dialogs: order, keys, and what a choice leads to."""
from kapfixtures import driver_files
from screens import (CANT_INSTALL, EXIT, SUCCESS, install, languages, products, quote)

HOSTS = {name: {"libs": {"hcreg8.dll": "8.1.0.0"}} for name in "ABC"}
THREE = [("1", "Mechanical 2005", "A"), ("2", "Architecture 2005", "B"),
         ("3", "AutoCAD 2005", "C")]
KIT = {"English/ACAD2005": driver_files("8,1,0,0")}
EMPTY = {"A/drv": "", "B/drv": "", "C/drv": ""}
DRIVER_2005 = "kapvl.dll kapvl.drc kapvl.hdi"
DRIVER_2002 = "kapvl.drc kapvl.hdi"
HOST_2002 = {"A": {"libs": {"hcreg7.dll": "7.1.0.0"}}}


def selected(index, text):
    return f"select:{index}\nselected {index} {quote(text)}"


def language_kit(folder, release="ACAD2005", level="8,1,0,0"):
    """A kit whose only driver sits in the one folder the choice must lead to."""
    return {f"{folder}/{release}": driver_files(level)}


def language_choice(name, newer, folder, chosen_index=None):
    steps = [products("P"), "ok", languages(newer)]
    if chosen_index is not None:
        steps.append(selected(chosen_index, name))
    return dict(hosts=HOSTS if newer else HOST_2002, products=[("P", "P", "A")],
                kit=language_kit(folder, "ACAD2005" if newer else "ACAD2002",
                                 "8,1,0,0" if newer else "7,1,0,0"),
                steps=steps + ["ok", SUCCESS, "ok", EXIT],
                files={"A/drv": DRIVER_2005 if newer else DRIVER_2002})


SCENARIOS = [
    dict(name="one product is preselected and Enter confirms it", hosts=HOSTS,
         products=THREE[:1], kit=KIT,
         steps=[products("Mechanical 2005"), "enter", languages(True), "esc", CANT_INSTALL,
                "ok", EXIT], files=EMPTY),
    dict(name="the third of three products", hosts=HOSTS, products=THREE, kit=KIT,
         steps=install(products("Mechanical 2005", "Architecture 2005", "AutoCAD 2005") +
                       "\n" + selected(2, "AutoCAD 2005"), True) + [SUCCESS, "ok", EXIT],
         files={"A/drv": "", "B/drv": "", "C/drv": DRIVER_2005}),
    dict(name="two products of one name are told apart by position", hosts=HOSTS,
         products=[("1", "AutoCAD", "A"), ("2", "AutoCAD", "B")], kit=KIT,
         steps=install(products("AutoCAD", "AutoCAD") + "\n" + selected(1, "AutoCAD"), True) +
         [SUCCESS, "ok", EXIT],
         files={"A/drv": "", "B/drv": DRIVER_2005}),
    dict(name="Esc on the product dialog", hosts=HOSTS, products=THREE, kit=KIT,
         steps=[products("Mechanical 2005", "Architecture 2005", "AutoCAD 2005"), "esc", EXIT],
         files=EMPTY),
    dict(name="the close box of the product dialog", hosts=HOSTS, products=THREE[:1], kit=KIT,
         steps=[products("Mechanical 2005"), "close", EXIT], files=EMPTY),
    dict(name="a double-click only selects", hosts=HOSTS, products=THREE, kit=KIT,
         steps=[products("Mechanical 2005", "Architecture 2005", "AutoCAD 2005"),
                "dblclick:1\nselected 1 \"Architecture 2005\"\nstill-open", "cancel", EXIT],
         files=EMPTY),
    dict(name="language double-click, then the close box", hosts=HOSTS, products=THREE[:1],
         kit=KIT,
         steps=[products("Mechanical 2005"), "ok", languages(True),
                "dblclick:2\nselected 2 \"English\"\nstill-open", "close", CANT_INSTALL, "ok",
                EXIT], files=EMPTY),
    dict(name="Cesky preselected for 2005", **language_choice("Cesky", True, "Cesky")),
    dict(name="Deutsch preselected for 2002", **language_choice("Deutsch", False, "Deutsch")),
    dict(name="Modern Chinese is the ChineseS folder",
         **language_choice("Modern Chinese", True, "ChineseS", 8)),
    dict(name="Traditional Chinese is the ChineseT folder",
         **language_choice("Traditional Chinese", True, "ChineseT", 11)),
    dict(name="Traditional Chinese among nine",
         **language_choice("Traditional Chinese", False, "ChineseT", 8)),
    dict(name="Polski is its own folder", **language_choice("Polski", True, "Polski", 9)),
]
