#!/usr/bin/env bash
# One Wine session for every script of the project: the prefix, a virtual display when
# there is none, the fonts, and captures of a window once its picture has settled.
#
# Run as the test runner's emulator, in the build's own prefix STATE_DIR/prefix with the
# test drives of cmake/wine-prefix.d/:
#   wine-session.sh STATE_DIR PROGRAM [ARGS...]   run PROGRAM
#   wine-session.sh STATE_DIR --start             only prepare prefix, display and server
#   wine-session.sh STATE_DIR --stop              end the Wine session and the display
# One persistent wineserver serves the whole test run, so that each test process starts
# in well under a second.
#
# Sourced by scripts (start.sh, scripts/*.sh), it gives these functions:
#   ws_env PREFIX                      Wine's environment for PREFIX
#   ws_prefix PREFIX [--own] [--dpi N] [--step FILE|FUNCTION]...
#                                      make PREFIX: --own marks a prefix of the project's,
#                                      made anew whenever its set-up changes; without it the
#                                      prefix is a person's and is only made when missing
#   ws_display_start [STATE_DIR]       start Xvfb unless there is a DISPLAY (or
#                                      OVARO_OWN_DISPLAY is set); exports DISPLAY
#   ws_stop [STATE_DIR]                end the prefix's Wine server and our Xvfb
#   ws_wait_window TITLE [SECONDS]     print the X window id of TITLE once it shows
#   ws_wait_gone TITLE [SECONDS]
#   ws_capture TITLE OUT.png           wait for the window, then save it once two captures agree
ws_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ws_self="$ws_here/$(basename "${BASH_SOURCE[0]}")"
ws_xvfb_pid=""

ws_env() {
  export WINEPREFIX=$1
  export WINEDEBUG=-all
  # No Mono or Gecko installer prompts on a machine without network.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64
}

# Tahoma makes the dialog fonts resolve as on Windows instead of falling back; Marlett
# draws the caption buttons.
ws_fonts() {
  local f
  for f in tahoma.ttf tahomabd.ttf marlett.ttf; do
    [ -f "$WINEPREFIX/drive_c/windows/Fonts/$f" ] || [ ! -f "/usr/share/wine/fonts/$f" ] ||
      cp "/usr/share/wine/fonts/$f" "$WINEPREFIX/drive_c/windows/Fonts/"
  done
}

ws_prefix() {
  local prefix=$1 own="" dpi="" steps=() step stamp
  shift
  while [ $# -gt 0 ]; do
    case $1 in
      --own) own=1 ;;
      --dpi) dpi=$2; shift ;;
      --step) steps+=("$2"); shift ;;
      *) echo "ws_prefix: unknown option $1" >&2; return 2 ;;
    esac
    shift
  done
  ws_env "$prefix"
  mkdir -p "$(dirname "$prefix")"
  if [ -z "$own" ]; then
    # A person's prefix: never removed, only completed.
    if [ ! -d "$prefix/drive_c/windows" ]; then
      echo "Preparing the Wine prefix $prefix (once)..."
      wineboot -i >/dev/null 2>&1 || true
      wineserver -w || true
    fi
    ws_fonts
    return 0
  fi
  # The prefix is made anew whenever this script, a set-up step or the DPI changes.
  stamp=$( {
    cat "$ws_self"; echo "dpi=$dpi"
    for step in "${steps[@]}"; do
      if [ -f "$step" ]; then cat "$step"; else declare -f "$step"; fi
    done
  } | md5sum | cut -d' ' -f1)
  [ "$(cat "$prefix/.ovaro-ready" 2>/dev/null)" = "$stamp" ] && return 0
  wineserver -k 2>/dev/null || true
  rm -rf "$prefix"
  wineboot -i >/dev/null 2>&1
  wineserver -w
  ws_fonts
  # Tests that touch the settings the editions read refuse to run without this mark.
  wine reg add 'HKCU\Software\OvaroTestPrefix' /v Path /t REG_SZ /d "$prefix" /f >/dev/null 2>&1
  if [ -n "$dpi" ]; then
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  fi
  # Steps such as the test drives need a fresh session afterwards.
  for step in "${steps[@]}"; do
    if [ -f "$step" ]; then bash "$step" "$(dirname "$prefix")"; else "$step"; fi
  done
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  echo "$stamp" > "$prefix/.ovaro-ready"
}

ws_display_start() {
  local state=${1:-} fifo n
  if [ -n "${DISPLAY:-}" ] && [ -z "${OVARO_OWN_DISPLAY:-}" ]; then return 0; fi
  if [ -n "$state" ] && [ -f "$state/display" ] && kill -0 "$(cat "$state/xvfb.pid" 2>/dev/null)" 2>/dev/null; then
    export DISPLAY=":$(cat "$state/display")"
    return 0
  fi
  command -v Xvfb >/dev/null || { echo "wine-session: no DISPLAY and no Xvfb" >&2; return 1; }
  fifo=$(mktemp -u); mkfifo "$fifo"
  # Long-lived processes must not inherit a lock or the caller's output pipes.
  setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" </dev/null >/dev/null 2>&1 9>&- &
  ws_xvfb_pid=$!
  read -r n < "$fifo"; rm -f "$fifo"
  export DISPLAY=":$n"
  if [ -n "$state" ]; then
    mkdir -p "$state"
    echo "$ws_xvfb_pid" > "$state/xvfb.pid"
    echo "$n" > "$state/display"
  fi
}

ws_stop() {
  local state=${1:-}
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  [ -z "$state" ] || rm -f "$state/started"
  if [ -n "$state" ] && [ -f "$state/xvfb.pid" ]; then
    ws_xvfb_pid=$(cat "$state/xvfb.pid")
    rm -f "$state/xvfb.pid" "$state/display"
  fi
  if [ -n "$ws_xvfb_pid" ]; then
    kill "$ws_xvfb_pid" 2>/dev/null || true
    ws_xvfb_pid=""
  fi
}

ws_xid() { xwininfo -root -tree 2>/dev/null | grep -F "\"$1\"" | awk '{print $1; exit}' || true; }

ws_wait_window() {
  local title=$1 limit=${2:-30} id i
  for ((i = 0; i < limit * 5; i++)); do
    id=$(ws_xid "$title")
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.2
  done
  echo "wine-session: no window \"$title\" within ${limit}s" >&2
  return 1
}

ws_wait_gone() {
  local title=$1 limit=${2:-30} i
  for ((i = 0; i < limit * 5; i++)); do
    [ -z "$(ws_xid "$title")" ] && return 0
    sleep 0.2
  done
  echo "wine-session: window \"$title\" still there after ${limit}s" >&2
  return 1
}

# Wine's windows are X windows of their own; a capture of the whole desktop leaves
# windows opened later black, so the window is captured by itself.
ws_capture() {
  local title=$1 out=$2 id prev="" cur i
  id=$(ws_wait_window "$title") || return 1
  # The first paint is done when two captures in a row agree.
  for ((i = 0; i < 25; i++)); do
    sleep 0.3
    cur=$(xwd -silent -id "$id" | md5sum)
    [ "$cur" = "$prev" ] && break
    prev=$cur
  done
  xwd -silent -id "$id" | convert xwd:- "$out"
}

ws_main() {
  set -euo pipefail
  local state
  state=$(mkdir -p "$1" && cd "$1" && pwd); shift
  ws_env "$state/prefix"
  if [ "${1:-}" = "--stop" ]; then
    ws_stop "$state"
    return 0
  fi
  (
    flock 9
    ws_display_start "$state"
    local steps=() step
    for step in "$ws_here"/wine-prefix.d/*.sh; do [ -f "$step" ] && steps+=(--step "$step"); done
    ws_prefix "$state/prefix" --own "${steps[@]}"
    wineserver -p </dev/null >/dev/null 2>&1 9>&- || true
    if [ "${1:-}" = "--start" ] || [ ! -f "$state/started" ]; then
      # Start the session's own processes (explorer, services) with no pipes of ours, so
      # that a test runner waiting for a test's output is not kept waiting.
      wine cmd.exe /c exit </dev/null >/dev/null 2>&1 9>&- || true
      touch "$state/started"
    fi
  ) 9>"$state/lock"
  ws_display_start "$state"
  [ "${1:-}" = "--start" ] && return 0
  exec wine "$@"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  ws_main "$@"
fi
