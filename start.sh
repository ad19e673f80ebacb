#!/usr/bin/env bash
# Builds the Windows exe and starts it under Wine in the user's default Wine prefix,
# where the editions read their settings. Without a display it runs on a virtual
# one and saves a screenshot of the window.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/install-deps.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j"$(nproc)" --target ZomaOvaroOrdnerSetzen
exe="$PWD/build/mingw/app/ZomaOvaroOrdnerSetzen.exe"

# The user's default prefix: made on first use, with the dialog font and the caption
# buttons' font that Wine ships but does not always find.
source cmake/wine-session.sh
ws_prefix "${WINEPREFIX:-$HOME/.wine}"

if [ -n "${DISPLAY:-}" ]; then
  status=0
  wine "$exe" || status=$?
  # Wine's background processes end with the last program of the prefix; waiting for
  # them leaves nothing of ours behind without ending another program of the user's.
  wineserver -w || true
  exit $status
fi

shot="$PWD/build/screenshot.png"
bash scripts/screenshot.sh "$exe" "$shot"
echo "No display: the program ran on a virtual display; screenshot saved to $shot"
