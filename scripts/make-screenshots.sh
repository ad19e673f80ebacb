#!/usr/bin/env bash
# Makes the README's screenshots: the main window (check box off and on), the folder
# dialog opened at a folder three levels deep, and the save question, at 96 and 144 DPI.
# Each DPI gets a Wine prefix of its own below build/shots; the user's is never touched.
#   scripts/make-screenshots.sh [OUT_DIR]   (default: docs/)
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(mkdir -p "${1:-docs}" && cd "${1:-docs}" && pwd)
exe="$PWD/build/mingw/app/ZomaOvaroOrdnerSetzen.exe"
[ -f "$exe" ] || { cmake --preset mingw >/dev/null && cmake --build --preset mingw --target ZomaOvaroOrdnerSetzen -j"$(nproc)"; }
# shellcheck source=../cmake/wine-session.sh
source cmake/wine-session.sh

title_main="Datenordner für Ovaro festlegen"
title_dialog="Ordner wählen"
title_box="Datenorder für Ovaro festlegen"

capture() { ws_capture "$1" "$2" && echo "saved $2"; }
key() { xdotool key --clearmodifiers "$@"; sleep 0.4; }
trap ws_stop EXIT

for dpi in 96 144; do
  ws_prefix "$PWD/build/shots/prefix-$dpi" --own --dpi "$dpi"
  # Data as a user might have it: three editions set, a folder three levels deep.
  mkdir -p "$WINEPREFIX/drive_c/Marktdaten/Ovaro/Realtime" "$WINEPREFIX/drive_c/Marktdaten/Archiv"
  base='HKCU\Software\VB and VBA Program Settings'
  wine reg add "$base\\Lumarix Ovaro\\Optionen" /v Datenpfad /t REG_SZ /d 'c:\Marktdaten\Ovaro\Realtime\' /f >/dev/null 2>&1
  wine reg add "$base\\Lumarix Ovaro für NEF\\Optionen" /v Datenpfad /t REG_SZ /d 'd:\Daten\NEF\' /f >/dev/null 2>&1
  wine reg add "$base\\Lumarix Ovaro für Tirra\\Optionen" /v Datenpfad /t REG_SZ /d '' /f >/dev/null 2>&1

  OVARO_OWN_DISPLAY=1 ws_display_start
  wine explorer /desktop=shots,1200x960 "$exe" </dev/null >/dev/null 2>&1 &
  capture "$title_main" "$out/main-$dpi.png"
  key alt+v
  capture "$title_main" "$out/main-common-$dpi.png"
  key alt+v
  # Keyboard only: Alt+D to row 0's box, Tab to its "Wählen...", Space opens the dialog.
  key alt+d; key Tab; key space
  capture "$title_dialog" "$out/dialog-$dpi.png"
  key Escape
  ws_wait_gone "$title_dialog"
  # From the check box, Shift+Tab twice reaches "Speichern".
  key alt+v; key alt+v; key shift+Tab; key shift+Tab; key space
  capture "$title_box" "$out/save-question-$dpi.png"
  key n
  ws_stop
done
