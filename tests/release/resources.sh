#!/bin/sh
# The exe carries what Windows and its users look for: the elevation
# manifest, the supported systems, the version information, both dialogs.
set -eu
rc=$(i686-w64-mingw32-windres -i "$1" -O rc)
fail() { echo "missing: $1"; exit 1; }
has() { printf '%s\n' "$rc" | grep -qF -- "$1" || fail "$1"; }
has '1 24 /* RT_MANIFEST */'
has 'level=""requireAdministrator""'
has '<trustInfo xmlns=""urn:schemas-microsoft-com:asm.v3"">'
for os in e2011457-1546-43c5-a5fe-008deee3d3f0 35138b9a-5d96-4fbd-8e2d-a2440225f93a \
          4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 1f676c76-80e1-4239-95bb-83d0f6d0da78 \
          8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a; do
  has "$os"
done
has 'VALUE "CompanyName", "Kap"'
has 'VALUE "FileDescription", "Kap HDI driver installer"'
has 'VALUE "ProductName", "Kap HDI driver installer"'
has 'VALUE "OriginalFilename", "KapHdiInstaller.exe"'
version=$(sed -n 's/^project(KapHdiInstaller VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../../CMakeLists.txt")
has "VALUE \"FileVersion\", \"$version.0\""
has "version=\"\"$version.0\"\" processorArchitecture"
has "FILEVERSION $(echo "$version" | sed "s/\./, /g"), 0"
has '105 DIALOG'
has '106 DIALOG'
echo "resources ok (version $version)"
