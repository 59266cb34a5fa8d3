"""Which products the registry offers, and what their host library says;
and that kapdeploy lists exactly the products of the product dialog on the
same registries."""
import re

import wineharness
from kapfixtures import HARDCOPY, TEST_ROOT, driver_files
from screens import (CORRUPTED, EXIT, NO_PRODUCT, NOT_ACAD, SUCCESS, UNEXPECTED, install,
                     languages, products)

# Every release folder, each with a driver of another level, so that only the
# right folder can install.
KIT_ALL = {f"English/{r}": driver_files(f"{i},{i},{i},{i}") for i, r in enumerate(
    ["ACAD2000", "ACAD2000i", "ACAD2002", "ACAD2004", "ACAD2005", "ACAD2006", "ACAD2007"], 1)}
KIT_2005 = {"English/ACAD2005": driver_files("8,1,0,0")}


def val(key, name, data, kind="sz"):
    return f"val\t{key}\t{name}\t{kind}\t{data}"


def product_key(key, *values):
    """A product key written value by value: (name, data) pairs."""
    return [f"key\t{TEST_ROOT}\\{key}"] + [val(f"{TEST_ROOT}\\{key}", n, d) for n, d in values]


def hardcopy(*names):
    return [val(HARDCOPY, f"KapTest\\{n}", "") for n in names]


def classified(version, lib, release, extra_libs=None):
    """A product whose library gives version; only the release's folder holds
    a driver of that level."""
    libs = {lib: version}
    libs.update(extra_libs or {})
    kit = dict(KIT_ALL)
    kit[f"English/{release}"] = driver_files((version or "0.0.0.0").replace(".", ","))
    newer = release >= "ACAD2004"
    return dict(hosts={"A": {"libs": libs}}, products=[("P", "Product", "A")], kit=kit,
                steps=install(products("Product"), newer) + [SUCCESS, "ok", EXIT],
                files={"A/drv": ("kapvl.dll " if newer else "") + "kapvl.drc kapvl.hdi"})


def installed(release_dll):
    return {"A/drv": ("kapvl.dll " if release_dll else "") + "kapvl.drc kapvl.hdi"}


def rejected(version, lib, message):
    return dict(hosts={"A": {"libs": {lib: version}}}, products=[("P", "Product", "A")],
                kit=KIT_ALL, steps=[products("Product"), "ok", message, "ok", EXIT],
                files={"A/drv": ""})


# A value name longer than the 127 characters the scan reads makes its
# enumeration fail; Wine still reports the value's type.
TOO_LONG = "KapTest\\" + "Z" * 130

SCENARIOS = [
    dict(name="hardcopy key without values", steps=[NO_PRODUCT, "ok", EXIT]),
    dict(name="only a missing key and a key without a name",
         hosts={"A": {}}, products=[("Named", None, "A")],
         extra_registry=hardcopy("Missing"), steps=[NO_PRODUCT, "ok", EXIT]),
    dict(name="unreadable products are left out",
         hosts={"A": {}}, products=[("Good", "Good product", "A"), ("Named", None, "A")],
         extra_registry=hardcopy("Missing"),
         steps=[products("Good product"), "cancel", EXIT]),
    dict(name="value names in any case",
         hosts={"A": {"libs": {"hcreg8.dll": "8.1.0.0"}}},
         registry="\n".join([f"del\t{HARDCOPY}", f"del\t{TEST_ROOT}", f"key\t{HARDCOPY}"] +
                            hardcopy("P") + product_key("P", ("productNAME", "Odd case"),
                                                        ("LOCATION", "K:\\A"))) + "\n",
         kit=KIT_2005, steps=install(products("Odd case"), True) + [SUCCESS, "ok", EXIT],
         files=installed(True)),
    dict(name="the later location value decides",
         hosts={"A": {"libs": {"hcreg8.dll": "8.1.0.0"}}, "B": {}},
         # Both names are enumerated; whichever comes later gives the folders.
         registry="\n".join([f"del\t{HARDCOPY}", f"del\t{TEST_ROOT}", f"key\t{HARDCOPY}"] +
                            hardcopy("P") + product_key("P", ("ProductName", "Two locations"),
                                                        ("ACADLocation", "K:\\B"),
                                                        ("Location", "K:\\A"))) + "\n",
         kit=KIT_2005, steps=install(products("Two locations"), True) + [SUCCESS, "ok", EXIT],
         files={"A/drv": "kapvl.dll kapvl.drc kapvl.hdi", "B/drv": ""}),
    dict(name="two values naming one key give two entries",
         hosts={"A": {}}, products=[("P", "Same key", "A")],
         # Value names ignore case, so the second one differs by a trailing separator.
         extra_registry=[val(HARDCOPY, "KapTest\\P\\", "")],
         steps=[products("Same key", "Same key"), "cancel", EXIT]),
    dict(name="the enumeration order is kept",
         hosts={"A": {}}, products=[("1", "Zeta", "A"), ("2", "Alpha", "A"), ("3", "Mid", "A")],
         steps=[products("Zeta", "Alpha", "Mid"), "cancel", EXIT]),
    dict(name="a failing enumeration of a string value", hosts={"A": {}},
         products=[("A", "Good", "A")], extra_registry=[val(HARDCOPY, TOO_LONG, "x")],
         steps=[UNEXPECTED, "ok", EXIT]),
    dict(name="a failing enumeration of type 9 is passed over", hosts={"A": {}},
         products=[("A", "Good", "A")], extra_registry=[val(HARDCOPY, TOO_LONG, "%01", "9")],
         steps=[products("Good"), "cancel", EXIT]),
    dict(name="the first value failing with type 9", hosts={"A": {}},
         products=[("ZZ", "Good", "A")],
         extra_registry=[val(HARDCOPY, "KapTest\\A" + "Z" * 130, "%01", "9")],
         steps=[products("Good"), "cancel", EXIT]),
    dict(name="a product key value failing is a failed read", hosts={"A": {}},
         products=[("A", "Good", "A"), ("B", "Bad", "A")],
         extra_registry=[val(f"{TEST_ROOT}\\B", "X" * 130, "x")],
         steps=[products("Good"), "cancel", EXIT]),
    dict(name="the default value names Software itself", hosts={"A": {}},
         products=[("A", "Good", "A")],
         extra_registry=[val(HARDCOPY, "", ""), val("Software", "ProductName", "Root product")],
         steps=[products("Root product", "Good"), "cancel", EXIT]),
    dict(name="hcreg6 of any minor is 2000", **classified("1.9.2.3", "hcreg6.dll", "ACAD2000")),
    dict(name="hcreg7 minor 0 is 2000i", **classified("7.0.0.0", "hcreg7.dll", "ACAD2000i")),
    dict(name="hcreg7 minor 1 is 2002", **classified("7.1.0.0", "hcreg7.dll", "ACAD2002")),
    dict(name="hcreg7 of another minor", **rejected("1.2.0.0", "hcreg7.dll", NOT_ACAD)),
    dict(name="hcreg8 minor 0 is 2004", **classified("8.0.0.0", "hcreg8.dll", "ACAD2004")),
    dict(name="hcreg8 minor 1 is 2005", **classified("8.1.5.3", "hcreg8.dll", "ACAD2005")),
    dict(name="hcreg8 minor 2 is 2006", **classified("8.2.0.0", "hcreg8.dll", "ACAD2006")),
    dict(name="hcreg8 of another minor", **rejected("1.3.0.0", "hcreg8.dll", CORRUPTED)),
    dict(name="hcreg9 minor 0 is 2007", **classified("9.0.0.0", "hcreg9.dll", "ACAD2007")),
    dict(name="hcreg9 of another minor", **rejected("1.1.0.0", "hcreg9.dll", CORRUPTED)),
    dict(name="hcreg7 wins over hcreg8",
         **classified("7.1.0.0", "hcreg7.dll", "ACAD2002", {"hcreg8.dll": "8.1.0.0"})),
    dict(name="a library without a version resource", **classified(None, "hcreg8.dll", "ACAD2004")),
    dict(name="no host library", hosts={"A": {}}, products=[("P", "Product", "A")],
         kit={"Deutsch": driver_files("0,0,0,0"), "English/ACAD2000": driver_files("0,0,0,0")},
         steps=[products("Product"), "ok", languages(False), "ok", SUCCESS, "ok", EXIT],
         files={"A/drv": "kapvl.drc kapvl.hdi"}),
]

ITEM = re.compile(r'^item "(.*)"(?: selected)?$', re.M)
LISTED = re.compile(r"^(.*) \[[^\]]*\]: ", re.M)


def dialog_products(scenario):
    """The names the product dialog shows, in order; None where the scan
    ends with a message instead."""
    first = scenario["steps"][0]
    return ITEM.findall(first) if first.startswith("dialog product") else None


# The odd registries: their own values, keys and failures, not one plain product.
REGISTRIES = [s for s in SCENARIOS if "registry" in s or "extra_registry" in s
              or len(s.get("products", [])) != 1]


def lists_what_the_dialog_shows(scenario):
    """A row's run: kapdeploy's list on the scenario's registry."""
    def run(work, drive):
        import e2e  # the harness's own set-up of a scenario's hosts and registry
        script = e2e.prepare(work, scenario)
        got = wineharness.run_driver(work, script, "kit", [], program="kapdeploy.exe")
        if got != ["exit 87"]:
            return [f"setting the registry gave {got}"]
        status, out, err, _, _ = wineharness.run_watched(work, "kit", "kapdeploy.exe",
                                                         ["list", "--kit", "K:\\kit"])
        wanted = dialog_products(scenario)
        listed = LISTED.findall(out)
        # No product registered is an answer (0); a registry that cannot be
        # read is a failure.
        said = ((0, "no AutoCAD product is registered on this PC\n")
                if scenario["steps"][0] == NO_PRODUCT
                else (1603, "the registry's AutoCAD entries cannot be read\n"))
        if wanted is None and (status, out) != said:
            return [f"the installer ends its scan with a message, kapdeploy gave {status} and "
                    f"{out!r}"]
        if wanted is not None and (status, listed) != (0, wanted):
            return [f"the dialog shows {wanted}, kapdeploy listed {listed} ({status}): {out}{err}"]
        return []
    return run


SCENARIOS += [dict(name=f"kapdeploy lists what the product dialog shows: {s['name']}",
                   run=lists_what_the_dialog_shows(s)) for s in REGISTRIES]
