#!/bin/sh
# Two clean builds of the same sources, in different folders, must give the
# same bytes: no timestamp, no build path in the exe.
set -eu
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for n in 1 2; do
  cmake -S "$top" -B "$work/build$n" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" >/dev/null
  cmake --build "$work/build$n" --target KapHdiInstaller >/dev/null
done
cmp "$work/build1/KapHdiInstaller.exe" "$work/build2/KapHdiInstaller.exe"
sha256sum "$work/build1/KapHdiInstaller.exe" | cut -c1-16
echo "two builds are identical"
