"""Builds what the installer meets on a PC, for the demo and the tests:
host libraries with a chosen file version, host folders, driver kits and
the registry script that the dialog driver applies before it starts the
installer. Every file is made here; nothing comes from a real host."""
import hashlib
import os
import shutil
import struct
import subprocess
import tempfile

import wineprefix

CC = "i686-w64-mingw32-gcc"
WINDRES = "i686-w64-mingw32-windres"

DLL_SOURCE = """#include <windows.h>
BOOL WINAPI DllMain(HINSTANCE h, DWORD r, LPVOID p) { (void)h; (void)r; (void)p; return TRUE; }
"""

VERSION_RC = """#include <winver.h>
1 VERSIONINFO
FILEVERSION {commas}
PRODUCTVERSION {commas}
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "040904b0"
    BEGIN
      VALUE "FileDescription", "Test hardcopy registration library"
      VALUE "FileVersion", "{dots}"
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", 0x409, 1200
  END
END
"""

# The host registry keys live under Software\KapTest so that a run can wipe
# them; the hardcopy key is the real one.
HARDCOPY = "Software\\Autodesk\\Hardcopy"
TEST_ROOT = "Software\\KapTest"


def kept_library_cache():
    """Where this machine keeps the host libraries: they follow only from
    the compiler, the resource compiler and the sources above, so each is
    built once per machine, and a change to any of them makes a new folder."""
    h = hashlib.sha256((DLL_SOURCE + VERSION_RC).encode())
    for tool in (CC, WINDRES):
        h.update(subprocess.run([tool, "--version"], stdout=subprocess.PIPE, check=True).stdout)
    return os.path.join(wineprefix.machine_cache("kaphdi-hostlibs"), h.hexdigest()[:16])


def host_library(cache, version):
    """A 32-bit DLL with FILEVERSION version ("8.1.0.0"); None gives one
    without a version resource. Built once per version, in a folder of its
    own and then renamed into place: two runs may share the cache."""
    os.makedirs(cache, exist_ok=True)
    name = "noversion" if version is None else version.replace(".", "_")
    dll = os.path.join(cache, f"hcreg_{name}.dll")
    if os.path.exists(dll):
        return dll
    if shutil.which(CC) is None:  # in the test guest, which only reads the cache
        raise SystemExit(f"host library {version} was not built beforehand and {CC} is missing")
    build = tempfile.mkdtemp(prefix="build-", dir=cache)
    try:
        src = os.path.join(build, "dllmain.c")
        with open(src, "w") as f:
            f.write(DLL_SOURCE)
        objects = [src]
        if version is not None:
            rc = os.path.join(build, "version.rc")
            with open(rc, "w") as f:
                f.write(VERSION_RC.format(commas=version.replace(".", ","), dots=version))
            subprocess.run([WINDRES, rc, "-O", "coff", "-o", rc + ".o"], check=True)
            objects.append(rc + ".o")
        subprocess.run([CC, "-shared", "-s", "-o", os.path.join(build, "hcreg.dll")] + objects,
                       check=True)
        os.replace(os.path.join(build, "hcreg.dll"), dll)
    finally:
        shutil.rmtree(build, ignore_errors=True)
    return dll


def make_host(root, name, libraries, drv=True, help=True, cache=None):
    """A product folder: libraries maps a file name ("hcreg8.dll") to a
    version, None (no version resource) or bytes (written as they are)."""
    folder = os.path.join(root, name)
    os.makedirs(folder, exist_ok=True)
    for lib, version in libraries.items():
        target = os.path.join(folder, lib)
        if isinstance(version, bytes):
            with open(target, "wb") as f:
                f.write(version)
        else:
            shutil.copyfile(host_library(cache, version), target)
    if drv:
        os.makedirs(os.path.join(folder, "drv"), exist_ok=True)
    if help:
        os.makedirs(os.path.join(folder, "help"), exist_ok=True)
    return folder


def pe_dll(tag):
    """A 32-bit x86 Windows DLL of our own making, as AutoCAD loads drivers
    and resource libraries: headers, no code, one data section holding tag
    (text, so that each build's files differ)."""
    data = tag.encode()[:0x200].ljust(0x200, b"\0")
    dos = b"MZ".ljust(0x3c, b"\0") + struct.pack("<I", 0x40)
    # Signature, then the file header: i386, one section, the optional
    # header's size, and executable | 32-bit | DLL.
    header = b"PE\0\0" + struct.pack("<HHIIIHH", 0x14c, 1, 0, 0, 0, 0xe0, 0x2102)
    optional = struct.pack("<HBBIIIIIIIIIHHHHHHIIIIHHIIIIII", 0x10b, 0, 0, 0, len(data), 0, 0,
                           0, 0x1000, 0x10000000, 0x1000, 0x200, 4, 0, 0, 0, 4, 0, 0, 0x2000,
                           0x200, 0, 2, 0, 0x100000, 0x1000, 0x100000, 0x1000, 0, 16)
    optional += b"\0" * (0xe0 - len(optional))  # the 16 empty data directories
    section = b".rdata\0\0" + struct.pack(
        "<IIIIIIHHI", len(data), 0x1000, len(data), 0x200, 0, 0, 0, 0, 0x40000040)
    headers = (dos + header + optional + section).ljust(0x200, b"\0")
    return headers + data


def driver_files(level, dll=True, stem="kapvl"):
    """The files of one driver build: kap.hif giving level, a driver and a
    resource library that are real 32-bit DLLs, and text for the rest."""
    files = {"kap.hif": f"[Kap]\nname=Kap HDI driver\nheidiversion={level}\n",
             f"{stem}.hdi": pe_dll(f"hdi driver {level}\n"), f"{stem}.drc": f"drc {level}\n",
             f"{stem}.hlp": "help\n", f"{stem}.cnt": "contents\n"}
    if dll:
        files[f"{stem}.dll"] = pe_dll(f"resource library {level}\n")
    return files


LANGUAGES = ["Cesky", "ChineseS", "ChineseT", "Deutsch", "English", "Espanol", "Francais",
             "Italiano", "Japanese", "Magyar", "Polski", "Russkii"]
# The version of each release's host library, and so the level of the
# driver in each release folder of the sample kit.
RELEASE_LEVELS = {"ACAD2000": "6.0.0.0", "ACAD2000i": "7.0.0.0", "ACAD2002": "7.1.0.0",
                  "ACAD2004": "8.0.0.0", "ACAD2005": "8.1.0.0", "ACAD2006": "8.2.0.0",
                  "ACAD2007": "9.0.0.0"}


def sample_kit():
    """The full kit as a make_kit tree: every language folder with every
    release folder, each holding a driver built for that release."""
    return {f"{lang}/{release}": driver_files(level.replace(".", ","), dll=release >= "ACAD2004")
            for lang in LANGUAGES for release, level in RELEASE_LEVELS.items()}


def make_kit(root, tree):
    """tree maps "Language/Release" (or "Language") to {file name: content};
    content is text, bytes, or None for a folder of that name."""
    for folder, files in tree.items():
        base = os.path.join(root, *folder.split("/"))
        os.makedirs(base, exist_ok=True)
        for name, content in files.items():
            path = os.path.join(base, name)
            if content is None:
                os.makedirs(path, exist_ok=True)
            else:
                with open(path, "wb") as f:
                    f.write(content if isinstance(content, bytes) else content.encode())


def registry_script(products, extra=()):
    """Lines for the dialog driver: wipe, then one hardcopy value and one
    product key per (key, name, location) in order. A None name or location
    leaves that value out."""
    lines = [f"del\t{HARDCOPY}", f"del\t{TEST_ROOT}", "delval\tSoftware\tProductName",
             f"key\t{HARDCOPY}"]
    for key, name, location in products:
        lines.append(f"val\t{HARDCOPY}\tKapTest\\{key}\tsz\t")
        lines.append(f"key\t{TEST_ROOT}\\{key}")
        if name is not None:
            lines.append(f"val\t{TEST_ROOT}\\{key}\tProductName\tsz\t{name}")
        if location is not None:
            lines.append(f"val\t{TEST_ROOT}\\{key}\tACADLocation\tsz\t{location}")
    lines.extend(extra)
    return "\n".join(lines) + "\n"
