#!/usr/bin/env bash
# Screenshot of the folder tree on the test drives, in the build's own Wine session.
#   folder-tree-screenshot.sh BUILD_DIR OUT.png [PATH]
set -euo pipefail
build=$(cd "$1" && pwd); out=$2; path=${3:-'M:\MIXED CASE\UNTERORDNER'}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
run="$here/cmake/wine-run.sh"
state="$build/wine"
exe="$build/tests/win32/folder_tree_preview.exe"
"$run" "$state" --start
export DISPLAY=":$(cat "$state/display")"
log=$(mktemp)
"$run" "$state" "$exe" "$path" >"$log" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true; rm -f "$log"' EXIT
win=""
for _ in $(seq 150); do
  win=$(xwininfo -root -tree 2>/dev/null | awk '/"Ordnerbaum"/ {print $1; exit}')
  [ -n "$win" ] && break
  sleep 0.2
done
[ -n "$win" ] || { echo "no window" >&2; cat "$log" >&2; exit 1; }
# Wait until two captures in a row agree: the first paint is done.
prev=""
for _ in $(seq 25); do
  sleep 0.2
  cur=$(xwd -silent -id "$win" | md5sum)
  [ "$cur" = "$prev" ] && break
  prev=$cur
done
xwd -silent -id "$win" | convert xwd:- "$out"
cat "$log"
