#!/bin/sh
# The exe may import only DLLs that every Windows loads from its system
# folder; VERSION.dll must come by full path at run time, never by import.
# A second argument names the DLLs the exe imports when they are not the
# installer's four (kapdeploy shows no window: no USER32).
set -eu
exe=$1
expected=${2:-ADVAPI32.DLL KERNEL32.DLL MSVCRT.DLL USER32.DLL}
dlls=$(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^\tDLL Name: //p' | tr a-z A-Z | sort | tr '\n' ' ')
echo "imports: $dlls"
[ "$dlls" = "$expected " ] || { echo "unexpected imports (expected: $expected)"; exit 1; }
# The version functions are looked up by name, from the system folder.
strings "$exe" | grep -qx '\\version.dll' || { echo "no full-path VERSION.dll load"; exit 1; }
strings "$exe" | grep -qx 'GetSystemDirectoryA' || { echo "GetSystemDirectoryA not imported"; exit 1; }
for f in GetFileVersionInfoSizeA GetFileVersionInfoA VerQueryValueA SetDllDirectoryA; do
  strings "$exe" | grep -qx "$f" || { echo "$f not resolved by name"; exit 1; }
done
i686-w64-mingw32-objdump -p "$exe" | grep -q 'MajorSubsystemVersion.*4' || { echo "subsystem not 4.0"; exit 1; }
echo "imports ok"
