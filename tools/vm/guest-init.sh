#!/bin/bash
# Runs in the test guest as its first process, from the exchange share
# (/kapx) that the host fills before each boot. It mounts the project tree
# read-only at the path it has on the host, then either prepares a new image
# (task "provision") or serves requests: the host writes /kapx/req/N.sh, the
# guest runs it and writes N.out and N.rc. "poweroff" as a request, or no
# request for a long time, ends the guest.
X=/kapx
. $X/boot.env  # SRC_ROOT, TASK, IDLE_SECONDS

log() { echo "$(cut -d' ' -f1 /proc/uptime) $*" >>$X/guest.log; }

mkdir -p "$SRC_ROOT"
if ! mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144,ro kapsrc "$SRC_ROOT"; then
  log "could not mount the project tree at $SRC_ROOT"
  exit 1
fi
echo kapvm >/proc/sys/kernel/hostname
log "up"

# A wait that costs no process: read from a pipe nobody writes to.
pause_pipe=/run/kap-pause
mkfifo $pause_pipe
exec 9<>$pause_pipe
pause() { read -r -t "$1" -u 9 _ || true; }

provision() {
  # The i386 glib steps that a machine without 32-bit code could not run.
  /usr/lib/i386-linux-gnu/glib-2.0/glib-compile-schemas /usr/share/glib-2.0/schemas
  /usr/lib/i386-linux-gnu/glib-2.0/gio-querymodules /usr/lib/i386-linux-gnu/gio/modules
  # The Wine prefix lives in the image, so no test boot has to make one.
  work=/var/lib/kapvm/work
  if ! "$SRC_ROOT/tools/winenv.sh" start $work; then
    tail -n 20 $work/*.log  # Xvfb's and wineboot's words, for the host's message
    return 1
  fi
  "$SRC_ROOT/tools/winenv.sh" stop $work
}

serve() {
  mkdir -p $X/req
  : >$X/ready
  n=0
  idle=0
  while [ "$idle" -lt $((IDLE_SECONDS * 10)) ]; do
    req=$X/req/$n.sh
    if [ ! -f "$req" ]; then
      pause 0.1
      idle=$((idle + 1))
      continue
    fi
    idle=0
    if [ "$(cat "$req")" = poweroff ]; then
      log "poweroff requested"
      return 0
    fi
    log "request $n"
    (cd / && exec bash "$req") >$X/req/$n.out 2>&1 </dev/null
    echo $? >$X/req/$n.rc.tmp
    mv $X/req/$n.rc.tmp $X/req/$n.rc
    log "request $n done"
    n=$((n + 1))
  done
  log "no request for $IDLE_SECONDS s: powering off"
}

case $TASK in
  provision)
    provision >$X/provision.log 2>&1
    echo $? >$X/provision.rc
    ;;
  serve) serve ;;
esac
# Stop Wine and Xvfb so that the file system is left clean.
kill -KILL -1 2>/dev/null
sync
