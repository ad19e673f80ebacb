#!/usr/bin/env bash
# Runs a program under Wine on a fresh virtual display and saves a screenshot of its
# window once a window with the given title shows; then ends the Wine session.
#   screenshot.sh EXE OUT.png [TITLE] [SECONDS]
# The Wine prefix is the caller's (WINEPREFIX or the default one).
set -euo pipefail
exe=$1; out=$2; title=${3:-"Datenordner für Ovaro festlegen"}; limit=${4:-60}
# shellcheck source=../cmake/wine-session.sh
source "$(dirname "${BASH_SOURCE[0]}")/../cmake/wine-session.sh"
ws_env "${WINEPREFIX:-$HOME/.wine}"
OVARO_OWN_DISPLAY=1 ws_display_start
trap ws_stop EXIT
wine explorer /desktop=ovaro,800x600 "$exe" </dev/null >/dev/null 2>&1 &
ws_wait_window "$title" "$limit" >/dev/null
ws_capture "$title" "$out"
