#!/bin/sh
# Installs the Debian packages that building and testing need. Quiet and
# quick when everything is already there; needs root only when it is not.
set -eu

need=""
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"; }

for p in cmake g++ make googletest libgtest-dev mingw-w64 wine wine64 xvfb \
         imagemagick python3 clang libclang-rt-14-dev clang-tidy cppcheck \
         clang-format x11-xserver-utils openssl osslsigncode; do
  have "$p" || need="$need $p"
done
dpkg --print-foreign-architectures | grep -qx i386 || need="$need i386arch"
# Where Wine cannot run here, the end-to-end tests run it in a QEMU guest.
if [ "$(python3 "$(dirname "$0")/vm.py" mode 2>/dev/null)" != native ]; then
  for p in qemu-system-x86 debootstrap e2fsprogs; do
    have "$p" || need="$need $p"
  done
fi
have wine32:i386 || need="$need wine32:i386"

[ -z "$need" ] && exit 0

if [ "$(id -u)" != 0 ]; then
  echo "setup: missing packages:$need (run as root to install them)" >&2
  exit 1
fi
echo "setup: installing:$need"
case "$need" in *i386arch*) dpkg --add-architecture i386 ;; esac
need=$(echo "$need" | sed 's/ i386arch//')
export DEBIAN_FRONTEND=noninteractive
apt-get -qq update >/dev/null
apt-get -qq install -y --no-install-recommends $need >/dev/null
