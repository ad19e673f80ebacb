#!/usr/bin/env bash
# Runs a program under Wine on a fresh virtual display and saves a screenshot of
# Wine's virtual desktop once a window with the given title shows.
#   screenshot.sh EXE OUT.png [TITLE] [SECONDS]
# The Wine prefix is the caller's (WINEPREFIX or the default one).
set -euo pipefail
exe=$1; out=$2; title=${3:-"Datenordner für Ovaro festlegen"}; limit=${4:-60}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

fifo=$(mktemp -u); mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" </dev/null >/dev/null 2>&1 &
xvfb=$!
read -r n < "$fifo"; rm -f "$fifo"
export DISPLAY=":$n"
cleanup() { wineserver -k 2>/dev/null || true; kill "$xvfb" 2>/dev/null || true; }
trap cleanup EXIT

wine explorer /desktop=ovaro,800x600 "$exe" </dev/null >/dev/null 2>&1 &
for ((i = 0; i < limit * 5; i++)); do
  if xwininfo -root -tree 2>/dev/null | grep -qF "\"$title\""; then break; fi
  sleep 0.2
done
xwininfo -root -tree 2>/dev/null | grep -qF "\"$title\"" || { echo "screenshot: no window \"$title\" within ${limit}s" >&2; exit 1; }
# Let the first paint finish: wait until two captures in a row are the same.
prev=""
for ((i = 0; i < 25; i++)); do
  sleep 0.2
  cur=$(xwd -silent -root | md5sum)
  [ "$cur" = "$prev" ] && break
  prev=$cur
done
# Wine's windows are X windows of their own inside the desktop; a capture of the
# desktop leaves windows opened later black, so the window is captured by itself.
win=$(xwininfo -root -tree | grep -F "\"$title\"" | awk '{print $1; exit}')
xwd -silent -id "$win" | convert xwd:- "$out"
