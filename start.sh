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
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# The user's default prefix: made on first use, with the dialog font and the caption
# buttons' font that Wine ships but does not always find.
prefix="${WINEPREFIX:-$HOME/.wine}"
if [ ! -d "$prefix/drive_c/windows" ]; then
  echo "Preparing the Wine prefix $prefix (once)..."
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
fi
for f in tahoma.ttf tahomabd.ttf marlett.ttf; do
  [ -f "$prefix/drive_c/windows/Fonts/$f" ] || cp "/usr/share/wine/fonts/$f" "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
done

if [ -n "${DISPLAY:-}" ]; then
  exec wine "$exe"
fi

shot="$PWD/build/screenshot.png"
bash scripts/screenshot.sh "$exe" "$shot"
echo "No display: the program ran on a virtual display; screenshot saved to $shot"
