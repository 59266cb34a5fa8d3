"""Bad input on purpose: each survives with a clear message or a whole copy,
nothing written outside drv and help, exit code 0."""
import hashlib
import os

from kapfixtures import driver_files
from screens import (DDK, EXIT, HIF_NO_KEY, HIF_NOT_OPENED, NO_PRODUCT, SUCCESS, install,
                     products, quote)

HOST = {"A": {"libs": {"hcreg8.dll": "8.1.0.0"}}}
ONE = [("P", "P", "A")]
NOTHING = {"A/drv": "", "A/help": ""}
BIG = 200 * 1024 * 1024


def kit_with(**files):
    base = driver_files("8,1,0,0")
    base.update(files)
    return {"English/ACAD2005": base}


def big_driver(drive):
    path = os.path.join(drive, "kit", "English", "ACAD2005", "kapvl.hdi")
    block = hashlib.sha256(b"kap").digest() * 32768  # 1 MiB, not all alike
    with open(path, "wb") as f:
        for i in range(BIG // len(block)):
            f.write(i.to_bytes(4, "little") + block[4:])


def digest(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for chunk in iter(lambda: f.read(1 << 20), b""):
            h.update(chunk)
    return os.path.getsize(path), h.hexdigest()


def big_driver_copied_whole(drive):
    source = digest(os.path.join(drive, "kit", "English", "ACAD2005", "kapvl.hdi"))
    copy = digest(os.path.join(drive, "A", "drv", "kapvl.hdi"))
    return None if source == copy and source[0] == BIG else f"copy {copy} differs from {source}"


MANY = [(f"{i:04}", f"Product {i:04}", "A") for i in range(1000)]

SCENARIOS = [
    dict(name="a kap.hif of megabytes without a line feed", hosts=HOST, products=ONE,
         kit=kit_with(**{"kap.hif": b"heidi" * 1000000}),
         steps=install(products("P"), True) + [HIF_NO_KEY, "ok", EXIT], files=NOTHING),
    dict(name="a kap.hif that is a folder", hosts=HOST, products=ONE,
         kit=kit_with(**{"kap.hif": None}),
         steps=install(products("P"), True) + [HIF_NOT_OPENED, "ok", EXIT], files=NOTHING),
    dict(name="a kap.hif of zero bytes", hosts=HOST, products=ONE,
         kit=kit_with(**{"kap.hif": bytes(100000)}),
         steps=install(products("P"), True) + [HIF_NO_KEY, "ok", EXIT], files=NOTHING),
    dict(name="a host library that is no program file",
         hosts={"A": {"libs": {"hcreg8.dll": b"MZ but nothing else\n" * 10}}}, products=ONE,
         kit={"English/ACAD2004": driver_files("8,0,0,0")},
         steps=install(products("P"), True) + [DDK, "ok", EXIT], files=NOTHING),
    dict(name="a product name of 300 characters is left out", hosts=HOST,
         products=[("Long", "N" * 300, "A")], steps=[NO_PRODUCT, "ok", EXIT]),
    dict(name="a thousand products", hosts=HOST, products=MANY, kit=kit_with(),
         steps=install(products(*[name for _, name, _ in MANY]) +
                       f"\nselect:999\nselected 999 {quote('Product 0999')}", True) +
         [SUCCESS, "ok", EXIT], files={"A/drv": "kapvl.dll kapvl.drc kapvl.hdi"}),
    dict(name="a driver of 200 MB is copied whole", hosts=HOST, products=ONE, kit=kit_with(),
         before=[big_driver], after=[big_driver_copied_whole],
         steps=install(products("P"), True) + [SUCCESS, "ok", EXIT]),
]
