#!/usr/bin/env bash
# Runs a Windows program of the build under Wine, in a prefix of the build's own
# (never the user's), on a display of its own when there is none.
#   wine-run.sh STATE_DIR PROGRAM [ARGS...]   run PROGRAM
#   wine-run.sh STATE_DIR --start             only prepare prefix, display and server
#   wine-run.sh STATE_DIR --stop              end the Wine session and the display
# The prefix is made once; later runs reuse it. One persistent wineserver serves
# the whole test run, so that each test process starts in well under a second.
set -euo pipefail
state=$(mkdir -p "$1" && cd "$1" && pwd); shift
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

export WINEPREFIX="$state/prefix"
export WINEDEBUG=-all
# No Mono or Gecko installer prompts in a machine without network.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

stop_session() {
  wineserver -k 2>/dev/null || true
  if [ -f "$state/xvfb.pid" ]; then
    kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
    rm -f "$state/xvfb.pid" "$state/display"
  fi
}

if [ "${1:-}" = "--stop" ]; then
  stop_session
  exit 0
fi

ensure_display() {
  if [ -n "${DISPLAY:-}" ] && [ -z "${OVARO_OWN_DISPLAY:-}" ]; then return; fi
  if [ -f "$state/display" ] && kill -0 "$(cat "$state/xvfb.pid" 2>/dev/null)" 2>/dev/null; then
    export DISPLAY=":$(cat "$state/display")"
    return
  fi
  command -v Xvfb >/dev/null || { echo "wine-run: no DISPLAY and no Xvfb" >&2; exit 1; }
  local fifo="$state/displayfd"
  rm -f "$fifo"; mkfifo "$fifo"
  # Long-lived processes must not inherit the lock or the caller's output pipes.
  setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" </dev/null >/dev/null 2>&1 9>&- &
  echo $! > "$state/xvfb.pid"
  local n; read -r n < "$fifo"; rm -f "$fifo"
  echo "$n" > "$state/display"
  export DISPLAY=":$n"
}

(
  flock 9
  ensure_display
  # The prefix is made anew whenever this script or a set-up step changes.
  stamp=$( { cat "${BASH_SOURCE[0]}"; cat "$here"/wine-prefix.d/*.sh 2>/dev/null || true; } | md5sum | cut -d' ' -f1)
  if [ "$(cat "$WINEPREFIX/.ovaro-ready" 2>/dev/null)" != "$stamp" ]; then
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
    # Tahoma makes the dialog fonts resolve as on Windows instead of falling back;
    # Marlett draws the caption buttons.
    for f in tahoma.ttf tahomabd.ttf marlett.ttf; do
      [ -f "/usr/share/wine/fonts/$f" ] && cp "/usr/share/wine/fonts/$f" "$WINEPREFIX/drive_c/windows/Fonts/"
    done
    # Further set-up steps (test drives, ...) that need a fresh session afterwards.
    for step in "$here"/wine-prefix.d/*.sh; do
      [ -f "$step" ] && bash "$step" "$state"
    done
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    echo "$stamp" > "$WINEPREFIX/.ovaro-ready"
  fi
  wineserver -p </dev/null >/dev/null 2>&1 9>&- || true
  if [ "${1:-}" = "--start" ]; then
    # Start the session's own processes (explorer, services) with no pipes of ours,
    # so that a test runner waiting for a test's output is not kept waiting.
    wine cmd.exe /c exit </dev/null >/dev/null 2>&1 9>&- || true
  fi
) 9>"$state/lock"

ensure_display
[ "${1:-}" = "--start" ] && exit 0
exec wine "$@"
