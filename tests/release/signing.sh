#!/bin/sh
# The release step with and without a certificate. A throwaway authority,
# code-signing certificate and time-stamping service, made here and gone at
# the end, sign every program of the release list (tools/release.sh), all of
# which the build must have made; each signature must hold against that
# authority only and come off again leaving the exact build, and one changed
# byte must break the installer's.
#   signing.sh <windows-build-dir> <signed-copy>
# The signed installer is left at <signed-copy> for the checks that run it.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
build=$(cd "$1" && pwd)
copy=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
exe=$build/KapHdiInstaller.exe
programs=$("$top/tools/release.sh" --programs)
work=$(mktemp -d)
service=""
trap '[ -z "$service" ] || kill "$service" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $1"; exit 1; }
# release <out> [<build-dir>]: the release step, its words kept in <out>.log
release() { "$top/tools/release.sh" "${2:-$build}" "$work/$1" >"$work/$1.log" 2>&1; }
verifies() { osslsigncode verify -CAfile "$1" -TSA-CAfile ca.pem -in "$2" ${3:+-time "$3"} >"$2.log" 2>&1; }

for p in $programs; do
  [ -f "$build/$p" ] || fail "$p of the release list is not in $build"
done

cd "$work"
openssl_quiet() { openssl "$@" 2>/dev/null; }
for ca in ca other; do
  openssl_quiet req -x509 -newkey rsa:2048 -nodes -days 2 -keyout $ca.key -out $ca.pem \
    -subj "/CN=Throwaway $ca authority" -addext basicConstraints=critical,CA:TRUE \
    -addext keyUsage=critical,keyCertSign
done
for leaf in signer:codeSigning stamper:critical,timeStamping; do
  openssl_quiet req -newkey rsa:2048 -nodes -keyout ${leaf%%:*}.key -out ${leaf%%:*}.csr \
    -subj "/CN=Throwaway ${leaf%%:*}"
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=%s\n' \
    ${leaf#*:} >${leaf%%:*}.ext
  openssl_quiet x509 -req -days 2 -in ${leaf%%:*}.csr -CA ca.pem -CAkey ca.key -CAcreateserial \
    -extfile ${leaf%%:*}.ext -out ${leaf%%:*}.pem
done
printf 'two words\n' >pass
printf 'not it\n' >wrong
openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem -passout file:pass -out signer.pfx
printf '[tsa]\ndefault_tsa=t\n[t]\nserial=%s/serial\nsigner_digest=sha256\ndefault_policy=1.2.3.4.1\ndigests=sha256\ness_cert_id_alg=sha256\n' \
  "$work" >stamper.cnf
python3 "$here/timestamp_service.py" stamper.cnf stamper.pem stamper.key >port &
service=$!
for _ in 1 2 3 4 5 6 7 8 9 10; do [ -s port ] || sleep 1; done
[ -s port ] || fail "the time-stamping service did not start"

# every_program <release>: SHA256SUMS lists every program of the list, in order, and holds.
every_program() {
  [ "$(cut -d' ' -f3 "$1/SHA256SUMS")" = "$programs" ] ||
    fail "$1/SHA256SUMS lists $(cat "$1/SHA256SUMS")"
  (cd "$1" && sha256sum --quiet -c SHA256SUMS) || fail "$1: SHA256SUMS"
}

# Without a certificate: the build's own bytes, said to be unsigned.
unset KAP_SIGN_PFX KAP_SIGN_PASS_FILE KAP_SIGN_TIMESTAMP_URL
release plain || fail "unsigned release: $(cat plain.log)"
grep -q UNSIGNED plain.log || fail "an unsigned release does not say so"
every_program plain
for p in $programs; do
  cmp "$build/$p" "plain/$p" || fail "the unsigned $p differs from the build"
done

# A wrong or absent password, or none named, fails the release, leaving nothing.
for case in "wrong:$work/wrong" "unnamed:" "absent:$work/nothing"; do
  if KAP_SIGN_PFX=signer.pfx KAP_SIGN_PASS_FILE=${case#*:} release bad; then
    fail "release signed with a ${case%%:*} password"
  fi
  [ ! -e bad/KapHdiInstaller.exe ] || fail "${case%%:*} password left a program behind"
done

export KAP_SIGN_PFX=signer.pfx KAP_SIGN_PASS_FILE=pass
release signed || fail "signed release: $(cat signed.log)"
grep -q "WITHOUT a timestamp" signed.log || fail "no word of the missing timestamp"
# The local service, never through a proxy that the machine may name.
no_proxy=127.0.0.1 NO_PROXY=127.0.0.1 KAP_SIGN_TIMESTAMP_URL=http://127.0.0.1:$(cat port) \
  release stamped ||
  fail "timestamped release: $(cat stamped.log)"
signed=signed/KapHdiInstaller.exe
stamped=stamped/KapHdiInstaller.exe
url=$(sed -n 's/^#define KAP_DOWNLOAD_URL "\(.*\)"$/\1/p' "$top/src/ui/dialogs.rc")
for release in signed stamped; do
  every_program $release
  for p in $programs; do
    f=$release/$p
    cmp -s "$build/$p" $f && fail "$f is the unsigned build"
    verifies ca.pem $f || fail "$f not verified: $(cat $f.log)"
    for line in "Message digest algorithm  : SHA256" "Text description: Kap HDI driver installer" \
                "URL description: $url" "Subject: /CN=Throwaway signer"; do
      grep -qF "$line" $f.log || fail "$f: signature lacks \"$line\""
    done
    if verifies other.pem $f; then
      fail "$f verified against an authority that did not issue its certificate"
    fi
    osslsigncode remove-signature -in $f -out removed.exe >/dev/null
    cmp "$build/$p" removed.exe || fail "$f without its signature is not the build"
    rm removed.exe
  done
done

# Why a release wants the timestamp: once the certificate has expired, only
# the timestamped signature still holds.
expired=$(($(date +%s) + 3 * 86400))
verifies ca.pem $signed $expired && fail "an unstamped signature outlived its certificate"
verifies ca.pem $stamped $expired || fail "the timestamped signature died with its certificate"

# One byte changed inside what the signature covers: the middle of the code.
cp $signed changed.exe
offset=$(($(stat -c %s "$exe") / 2))
byte=$(od -An -tu1 -j $offset -N1 changed.exe | tr -d ' ')
printf "\\$(printf %03o $(((byte + 1) % 256)))" | dd of=changed.exe bs=1 seek=$offset conv=notrunc 2>/dev/null
cmp -s $signed changed.exe && fail "the byte was not changed"
verifies ca.pem changed.exe && fail "verified after a byte was changed"

cp $signed "$copy"
echo "signing ok:" $programs "verified with their authority only, removed to the build;" \
  "the installer's broken by one byte"
