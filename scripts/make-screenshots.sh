#!/usr/bin/env bash
# Makes the README's screenshots: the main window (check box off and on), the folder
# dialog opened at a folder three levels deep, and the save question, at 96 and 144 DPI
# and at 96 DPI in a high-contrast black scheme (files *-hc.png). Each gets a Wine prefix
# of its own below build/shots; the user's is never touched.
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

# High contrast as Windows sets it: the system colours of a black scheme and visual
# styles off. Wine cannot switch it on (SPI_SETHIGHCONTRAST fails), so the prefix's
# colours are set before its session starts.
high_contrast() {
  local name rgb
  while read -r name rgb; do
    wine reg add 'HKCU\Control Panel\Colors' /v "$name" /t REG_SZ /d "$rgb" /f >/dev/null 2>&1
  done <<'COLORS'
ActiveBorder 255 255 0
ActiveTitle 128 0 128
AppWorkSpace 0 0 0
Background 0 0 0
ButtonAlternateFace 192 192 192
ButtonDkShadow 128 128 128
ButtonFace 0 0 0
ButtonHilight 255 255 255
ButtonLight 192 192 192
ButtonShadow 128 128 128
ButtonText 255 255 255
GradientActiveTitle 128 0 128
GradientInactiveTitle 0 128 0
GrayText 0 255 0
Hilight 128 0 128
HilightText 255 255 255
HotTrackingColor 128 128 255
InactiveBorder 0 128 0
InactiveTitle 0 128 0
InactiveTitleText 255 255 255
InfoText 255 255 255
InfoWindow 0 0 0
Menu 0 0 0
MenuBar 0 0 0
MenuHilight 128 0 128
MenuText 255 255 255
Scrollbar 0 0 0
TitleText 255 255 255
Window 0 0 0
WindowFrame 255 255 255
WindowText 255 255 255
COLORS
  wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager' /v ThemeActive /t REG_SZ /d 0 /f >/dev/null 2>&1
}

for shot in 96 144 hc; do
  dpi=${shot/hc/96}
  if [ "$shot" = hc ]; then
    ws_prefix "$PWD/build/shots/prefix-hc" --own --dpi 96 --step high_contrast
  else
    ws_prefix "$PWD/build/shots/prefix-$dpi" --own --dpi "$dpi"
  fi
  # Data as a user might have it: three editions set, a folder three levels deep.
  mkdir -p "$WINEPREFIX/drive_c/Marktdaten/Ovaro/Realtime" "$WINEPREFIX/drive_c/Marktdaten/Archiv"
  base='HKCU\Software\VB and VBA Program Settings'
  wine reg add "$base\\Lumarix Ovaro\\Optionen" /v Datenpfad /t REG_SZ /d 'c:\Marktdaten\Ovaro\Realtime\' /f >/dev/null 2>&1
  wine reg add "$base\\Lumarix Ovaro für NEF\\Optionen" /v Datenpfad /t REG_SZ /d 'd:\Daten\NEF\' /f >/dev/null 2>&1
  wine reg add "$base\\Lumarix Ovaro für Tirra\\Optionen" /v Datenpfad /t REG_SZ /d '' /f >/dev/null 2>&1

  OVARO_OWN_DISPLAY=1 ws_display_start
  wine explorer /desktop=shots,1200x960 "$exe" </dev/null >/dev/null 2>&1 &
  capture "$title_main" "$out/main-$shot.png"
  key alt+v
  capture "$title_main" "$out/main-common-$shot.png"
  key alt+v
  # Keyboard only: Alt+D to row 0's box, Tab to its "Wählen...", Space opens the dialog.
  key alt+d; key Tab; key space
  capture "$title_dialog" "$out/dialog-$shot.png"
  key Escape
  ws_wait_gone "$title_dialog"
  # From the check box, Shift+Tab twice reaches "Speichern".
  key alt+v; key alt+v; key shift+Tab; key shift+Tab; key space
  capture "$title_box" "$out/save-question-$shot.png"
  key n
  ws_stop
done
