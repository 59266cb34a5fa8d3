#!/bin/sh
# Puts the programs of a release, signed when a certificate is given, and
# their SHA256SUMS into one folder.
#   release.sh <windows-build-dir> <release-dir>
#   release.sh --programs     prints the programs a release ships, one a line
# KAP_SIGN_PFX        the code-signing certificate with its key (PKCS#12)
# KAP_SIGN_PASS_FILE  the file that holds its password (never an argument,
#                     where any user could read it in the process list)
# KAP_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamping service (optional)
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)

# Every program a release ships; one that this build does not make is left out.
# The signing check reads this list too (--programs).
programs="KapHdiInstaller.exe kapkit.exe kapdeploy.exe"
if [ "${1:-}" = --programs ]; then
  printf '%s\n' $programs
  exit 0
fi

fail() { echo "release: $1" >&2; exit 1; }
[ $# -eq 2 ] || fail "usage: release.sh <windows-build-dir> <release-dir> | release.sh --programs"
build=$1
out=$2
# The signature names what the user sees in the version resource and in the
# product dialog, taken from where those are kept.
name=$(sed -n 's/^ *VALUE "ProductName", "\(.*\)"$/\1/p' "$top/src/control/program.rc")
url=$(sed -n 's/^#define KAP_DOWNLOAD_URL "\(.*\)"$/\1/p' "$top/src/ui/dialogs.rc")
[ -n "$name" ] && [ -n "$url" ] || fail "product name or web address not found in the resources"

pfx=${KAP_SIGN_PFX:-}
pass=${KAP_SIGN_PASS_FILE:-}
stamp=${KAP_SIGN_TIMESTAMP_URL:-}
if [ -n "$pfx" ]; then
  [ -r "$pfx" ] || fail "cannot read the certificate $pfx"
  [ -n "$pass" ] && [ -r "$pass" ] || fail "KAP_SIGN_PASS_FILE must name a readable file holding the certificate's password"
elif [ -n "$pass$stamp" ]; then
  fail "KAP_SIGN_PASS_FILE or KAP_SIGN_TIMESTAMP_URL given without KAP_SIGN_PFX"
fi

rm -rf "$out"
mkdir -p "$out"
shipped=""
for p in $programs; do
  [ -f "$build/$p" ] || continue
  if [ -n "$pfx" ]; then
    osslsigncode sign -pkcs12 "$pfx" -readpass "$pass" -h sha256 -n "$name" -i "$url" \
      ${stamp:+-ts "$stamp"} -in "$build/$p" -out "$out/$p" >/dev/null ||
      { rm -rf "$out"; fail "signing $p failed"; }
  else
    cp "$build/$p" "$out/$p"
  fi
  shipped="$shipped $p"
done
[ -n "$shipped" ] || fail "no program of the release ($programs) in $build"
(cd "$out" && sha256sum $shipped >SHA256SUMS)

files="$out:$shipped"
if [ -z "$pfx" ]; then
  echo "release: $files UNSIGNED (no KAP_SIGN_PFX): Windows shows them as from an unknown publisher"
elif [ -z "$stamp" ]; then
  echo "release: $files signed, WITHOUT a timestamp: the signature holds only while the certificate is valid"
else
  echo "release: $files signed and timestamped"
fi
