#!/usr/bin/env bash
# Starts the program on a headless Wayland compositor of its own, with a
# folder to browse, and checks that its main window is shown on Qt's Wayland
# platform and that a request to end (SIGTERM, as at logout) ends it with exit
# status 0 while the folder browser is open over it. The program reports the
# first exposure of its main window on standard error when
# VANTOR_STARTUP_REPORT is set. Works as root and as any other user.
# Usage: check_wayland.sh PROGRAM
# Exits 77 (skipped) only when weston is not installed.
set -uo pipefail
program=$1
command -v weston >/dev/null || { echo "weston is not installed: skipped"; exit 77; }

tmp=$(mktemp -d)
weston_pid='' vantor_pid=''
cleanup() {
  [ -n "$vantor_pid" ] && kill -KILL "$vantor_pid" 2>/dev/null
  [ -n "$weston_pid" ] && kill -TERM "$weston_pid" 2>/dev/null && wait "$weston_pid" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  for f in vantor.err weston.log; do
    [ -s "$tmp/$f" ] && { echo "--- $f"; tail -n 40 "$tmp/$f"; }
  done
  exit 1
}
# Runs the command until it succeeds, for at most $1 seconds.
within() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -ge "$deadline" ] && return 1
    sleep 0.1
  done
}
# True once process $1 has ended (it is gone, or a zombie not yet waited for).
ended() { [ ! -e "/proc/$1" ] || [ "$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -c1)" = Z ]; }
shown() { grep -qs 'vantor: main window shown (platform wayland)' "$tmp/vantor.err"; }

runtime=$tmp/runtime
mkdir -m 700 "$runtime"
mkdir -p "$tmp/home" "$tmp/config/vantor" "$tmp/data" "$tmp/cache" "$tmp/browse/sub"
: >"$tmp/config/vantor/folders.txt" # the non-delete list exists: the browser may open
socket=vantor-test-$$

XDG_RUNTIME_DIR=$runtime weston --backend=headless-backend.so --socket="$socket" --no-config --idle-time=0 \
  --width=1280 --height=1024 --log="$tmp/weston.log" </dev/null >/dev/null 2>&1 &
weston_pid=$!
within 30 test -S "$runtime/$socket" || fail "weston did not open its socket"

env -u DISPLAY -u WAYLAND_SOCKET -u XDG_SESSION_TYPE \
  HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/config" XDG_DATA_HOME="$tmp/data" XDG_CACHE_HOME="$tmp/cache" \
  XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland VANTOR_STARTUP_REPORT=1 \
  "$program" "$tmp/browse" </dev/null >"$tmp/vantor.out" 2>"$tmp/vantor.err" &
vantor_pid=$!

shown_or_ended() { shown || ended "$vantor_pid"; }
within 90 shown_or_ended || fail "no main window within 90 s"
if ! shown; then
  wait "$vantor_pid"
  rc=$?
  vantor_pid=''
  fail "the program ended with status $rc before its main window was shown"
fi

kill -TERM "$vantor_pid"
within 60 ended "$vantor_pid" || fail "the program did not end within 60 s of SIGTERM"
wait "$vantor_pid"
rc=$?
vantor_pid=''
[ "$rc" -eq 0 ] || fail "the program ended with status $rc after SIGTERM"
echo "main window shown on Wayland; ended cleanly on SIGTERM"
