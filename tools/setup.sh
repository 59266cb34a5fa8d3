#!/bin/sh
# Installs the Debian packages that building and testing need. Quiet and
# quick when everything is already there; needs root only when it is not.
set -eu

have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"; }

# install <package...>: installs those of them that are missing (as root).
# i386arch stands for the i386 architecture that wine32 needs.
install() {
  need=""
  for p in "$@"; do
    case $p in
      i386arch) dpkg --print-foreign-architectures | grep -qx i386 || need="$need $p" ;;
      *) have "$p" || need="$need $p" ;;
    esac
  done
  [ -z "$need" ] && return 0
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
}

# The mode probe is a Python program: python3 comes first, or a bare machine
# would be taken for one that runs no 32-bit code.
install python3
mode=$(python3 "$(dirname "$0")/vm.py" mode 2>/dev/null) || true
case $mode in
  native) guest="" ;;
  # Where Wine cannot run here, the end-to-end tests run it in a QEMU guest.
  emulated) guest="qemu-system-x86 debootstrap e2fsprogs" ;;
  *) echo "setup: cannot tell whether this machine runs 32-bit code (tools/vm.py mode failed)" >&2
     exit 1 ;;
esac
install cmake g++ make googletest libgtest-dev mingw-w64 wine wine64 xvfb imagemagick \
  clang libclang-rt-14-dev clang-tidy cppcheck clang-format flake8 x11-xserver-utils openssl \
  osslsigncode i386arch wine32:i386 $guest
