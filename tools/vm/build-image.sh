#!/bin/sh
# Builds the disk image of the test guest: Debian bookworm with Wine (32-
# and 64-bit), Xvfb, python3 and strace (the crash-state test records
# Wine's file calls with it), for machines that run no 32-bit x86 code.
# Only 64-bit programs of the image run here, so it builds on such machines
# too; what must run 32-bit code is done in the guest's first boot.
#
#   build-image.sh <dir>    writes <dir>/vmlinuz, initrd.img, rootfs.img
#
# Needs root (debootstrap, chroot). Everything made on the way is removed,
# whatever happens.
set -eu

MIRROR=${KAP_VM_MIRROR:-http://deb.debian.org/debian}
SUITE=bookworm
PACKAGES="wine wine32:i386 wine64 xvfb python3 strace"
# The user Wine runs as in the guest, as on a native machine.
read -r TEST_USER <"$(dirname "$0")/../test-user"
TEST_UID=1500
SIZE=6G

[ $# -eq 1 ] || { echo "usage: $0 <dir>" >&2; exit 2; }
out=$1
if [ "$(id -u)" != 0 ]; then
  echo "vm image: building the guest image needs root (debootstrap, chroot)" >&2
  exit 1
fi
for tool in debootstrap mkfs.ext4 chroot; do
  command -v $tool >/dev/null || { echo "vm image: $tool is missing (tools/setup.sh installs it)" >&2; exit 1; }
done

mkdir -p "$out"
root=$out/rootfs
step="starting"
cleanup() {
  status=$?
  for m in dev/pts dev proc sys; do
    mountpoint -q "$root/$m" 2>/dev/null && umount -l "$root/$m"
  done
  rm -rf "$root"
  if [ $status != 0 ]; then
    echo "vm image: failed while $step (log: $out/build.log)" >&2
  fi
  exit $status
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

step="running debootstrap from $MIRROR"
debootstrap --variant=minbase --include=linux-image-amd64 "$SUITE" "$root" "$MIRROR" \
  >"$out/build.log" 2>&1

step="installing Wine, Xvfb, python3 and strace in the image"
mount -t proc proc "$root/proc"
mount -t sysfs sysfs "$root/sys"
mount --bind /dev "$root/dev"
# No service may start inside the chroot.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"
in_root() { chroot "$root" env DEBIAN_FRONTEND=noninteractive LC_ALL=C "$@"; }
{
  in_root dpkg --add-architecture i386
  in_root apt-get -q update
  # Two of i386 glib's set-up steps are 32-bit programs: where they cannot
  # run here they fail harmlessly and the first boot runs them again.
  in_root apt-get -q install -y --no-install-recommends $PACKAGES
  in_root apt-get clean
} >>"$out/build.log" 2>&1
rm -rf "$root"/var/lib/apt/lists/* "$root"/usr/share/doc "$root"/usr/share/man
rm -f "$root/usr/sbin/policy-rc.d"
in_root useradd -m -u $TEST_UID -s /bin/sh "$TEST_USER" >>"$out/build.log" 2>&1
echo kapvm >"$root/etc/hostname"
for m in dev proc sys; do umount "$root/$m"; done

# The guest's first process: mount what it needs and the exchange share,
# then run the script that the host put there for this boot.
cat >"$root/usr/local/sbin/kap-init" <<'INIT'
#!/bin/sh
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
mount -t proc proc /proc
mountpoint -q /sys || mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev 2>/dev/null
mkdir -p /dev/pts /dev/shm /kapx
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /run
modprobe -a 9pnet_virtio 9p
if mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144 kapx /kapx &&
  [ -f /kapx/guest-init.sh ]; then
  /bin/bash /kapx/guest-init.sh
fi
sync
echo o >/proc/sysrq-trigger
INIT
chmod 755 "$root/usr/local/sbin/kap-init"

step="copying the kernel"
cp "$(ls "$root"/boot/vmlinuz-* | tail -1)" "$out/vmlinuz"
cp "$(ls "$root"/boot/initrd.img-* | tail -1)" "$out/initrd.img"

step="making the file system"
mkfs.ext4 -q -F -L kapvm -d "$root" "$out/rootfs.img" $SIZE >>"$out/build.log" 2>&1
step="done"
