#!/usr/bin/env bash
# Screenshot of the folder tree on the test drives, in the build's own Wine session.
#   folder-tree-screenshot.sh BUILD_DIR OUT.png [PATH]
set -euo pipefail
build=$(cd "$1" && pwd); out=$2; path=${3:-'M:\MIXED CASE\UNTERORDNER'}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
session="$here/cmake/wine-session.sh"
state="$build/wine"
exe="$build/tests/win32/folder_tree_preview.exe"
"$session" "$state" --start
# shellcheck source=../../cmake/wine-session.sh
source "$session"
ws_env "$state/prefix"
ws_display_start "$state"
log=$(mktemp)
"$session" "$state" "$exe" "$path" >"$log" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true; "$session" "$state" --stop; rm -f "$log"' EXIT
ws_capture "Ordnerbaum" "$out" || { cat "$log" >&2; exit 1; }
cat "$log"
