#!/bin/sh
# A private Wine prefix on its own Xvfb screen, for driving the installer's
# dialogs end to end without a desktop.
#
#   winenv.sh start <workdir>            Xvfb + prefix (created once, then reused)
#   winenv.sh run   <workdir> <cmd...>   run cmd (e.g. wine x.exe) in that setup
#   winenv.sh stop  <workdir>            stop the prefix's wineserver and Xvfb
#
# As root, Wine runs as the unprivileged user named in tools/test-user: as
# root, Wine ignores read-only attributes, so tests about them could not
# fail. The work dir is created and handed to that user here; files Wine
# must read go inside it.
# Files: <workdir>/prefix, <workdir>/display, <workdir>/xvfb.pid, xvfb.log.
set -eu

# The shell's own read: every run passes here (see as_user).
case $0 in
  */*) read -r TEST_USER <"${0%/*}/test-user" ;;
  *) read -r TEST_USER <test-user ;;
esac

usage() {
  echo "usage: $0 start|stop <workdir> | $0 run <workdir> <command...>" >&2
  exit 2
}

[ $# -ge 2 ] || usage
action=$1
wd=$2
shift 2
case $wd in
  /*) ;;
  *) wd=$(pwd)/$wd ;;  # WINEPREFIX must be absolute
esac
prefix=$wd/prefix

if [ "$(id -u)" = 0 ]; then
  as_root=1
  if [ "$action" = start ] && ! id -u "$TEST_USER" >/dev/null 2>&1; then
    useradd -m -s /bin/sh "$TEST_USER"
  fi
else
  as_root=0
fi

# Runs "$@" as the test user with the Wine environment. If the caller's
# current directory is closed to that user, the work dir is used instead.
# Every run of a test passes here, and in the QEMU guest each process
# started costs tens of milliseconds: the shell's own reads and exports
# stand in for cat and env, and runuser sets the user's HOME, USER and
# LOGNAME itself.
as_user() {
  display=""
  [ -f "$wd/display" ] && read -r display <"$wd/display"
  # The demo lets a person drive the dialogs on their own screen.
  [ -n "${WINENV_DISPLAY:-}" ] && display=$WINENV_DISPLAY
  export WINEPREFIX="$prefix" DISPLAY="$display" WINEDEBUG=-all \
    WINEDLLOVERRIDES="mscoree,mshtml="
  if [ $as_root = 1 ]; then
    runuser -u "$TEST_USER" -- "$@"
  else
    "$@"
  fi
}

in_dir() {  # in_dir <command...>: see as_user about the directory
  as_user sh -c '[ -x . ] || cd "$0" || exit 125; exec "$@"' "$wd" "$@"
}

xvfb_alive() {
  pid="" comm=""
  [ -f "$wd/xvfb.pid" ] && read -r pid <"$wd/xvfb.pid"
  [ -n "$pid" ] && [ -r "/proc/$pid/comm" ] && read -r comm <"/proc/$pid/comm"
  [ "$comm" = Xvfb ]
}

start_xvfb() {
  if xvfb_alive && [ -f "$wd/display" ]; then
    return 0
  fi
  rm -f "$wd/xvfb.pid" "$wd/display" "$wd/display.n"
  if [ $as_root = 1 ]; then
    mkdir -p /tmp/.X11-unix
    chmod 1777 /tmp/.X11-unix
  fi
  # Xvfb takes a free display number itself and writes it to fd 3 once it
  # accepts connections. The shell writes its own pid, then becomes Xvfb:
  # runuser stays as a parent, so $! would not be the server.
  launch='echo $$ >"$0"; exec Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$1"'
  if [ $as_root = 1 ]; then
    setsid runuser -u "$TEST_USER" -- sh -c "$launch" "$wd/xvfb.pid" "$wd/display.n" \
      </dev/null >"$wd/xvfb.log" 2>&1 &
  else
    setsid sh -c "$launch" "$wd/xvfb.pid" "$wd/display.n" </dev/null >"$wd/xvfb.log" 2>&1 &
  fi
  i=0
  while [ $i -lt 300 ]; do
    sleep 0.1
    n=$(cat "$wd/display.n" 2>/dev/null || true)
    case $n in
      *[!0-9]* | "") ;;
      *) echo ":$n" >"$wd/display"; return 0 ;;
    esac
    pid=$(cat "$wd/xvfb.pid" 2>/dev/null || true)
    if [ -n "$pid" ] && ! kill -0 "$pid" 2>/dev/null; then
      break
    fi
    i=$((i + 1))
  done
  pid=$(cat "$wd/xvfb.pid" 2>/dev/null || true)
  [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
  rm -f "$wd/xvfb.pid"
  echo "winenv: could not start Xvfb (see $wd/xvfb.log)" >&2
  exit 1
}

do_start() {
  mkdir -p "$wd"
  if [ $as_root = 1 ]; then
    chown -R "$TEST_USER" "$wd"
    if ! runuser -u "$TEST_USER" -- test -w "$wd" -a -x "$wd"; then
      echo "winenv: $TEST_USER cannot reach $wd (a parent directory is closed)" >&2
      exit 1
    fi
  fi
  start_xvfb
  # A start that fails leaves no Xvfb or wineserver behind.
  trap 'status=$?; [ $status = 0 ] || do_stop; exit $status' EXIT
  if [ ! -f "$prefix/.kap-ready" ]; then
    # A prefix left half made by an interrupted start is made again.
    rm -rf "$prefix"
    # On a slow CPU (the QEMU guest) the 32-bit loader that wineboot starts
    # can fail to load kernel32.dll (exit 53) while the 64-bit side is still
    # making the prefix, which it then finishes all the same: what counts is
    # the prefix once the server is done.
    in_dir env WINEARCH=win64 wineboot -i >"$wd/wineboot.log" 2>&1 || true
    in_dir wineserver -w
    if [ ! -f "$prefix/system.reg" ] || [ ! -f "$prefix/drive_c/windows/syswow64/kernel32.dll" ]; then
      echo "winenv: wineboot did not make the prefix (see $wd/wineboot.log)" >&2
      exit 1
    fi
    # Unmanaged windows: otherwise each window that hides costs a 2 s wait.
    in_dir wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
      >>"$wd/wineboot.log" 2>&1
    in_dir wineserver -w
    as_user touch "$prefix/.kap-ready"
  fi
  # A server that stays up saves each later run its start-up (about
  # 0.3 s); it fails harmlessly if one is running already.
  in_dir wineserver -p </dev/null >/dev/null 2>&1 || true
}

do_stop() {
  if [ -d "$prefix" ]; then
    in_dir wineserver -k 2>/dev/null || true
  fi
  if xvfb_alive; then
    pid=$(cat "$wd/xvfb.pid")
    kill "$pid" 2>/dev/null || true
    i=0
    while [ $i -lt 50 ] && kill -0 "$pid" 2>/dev/null; do
      sleep 0.1
      i=$((i + 1))
    done
  fi
  rm -f "$wd/xvfb.pid" "$wd/display" "$wd/display.n"
}

case $action in
  start) [ $# -eq 0 ] || usage; do_start ;;
  stop) [ $# -eq 0 ] || usage; do_stop ;;
  run)
    [ $# -ge 1 ] || usage
    if [ ! -f "$prefix/.kap-ready" ] || ! xvfb_alive; then
      echo "winenv: $wd is not started (winenv.sh start $wd)" >&2
      exit 1
    fi
    in_dir "$@"
    ;;
  *) usage ;;
esac
