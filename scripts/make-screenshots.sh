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
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64

title_main="Datenordner für Ovaro festlegen"
title_dialog="Ordner wählen"
title_box="Datenorder für Ovaro festlegen"

xid() { xwininfo -root -tree 2>/dev/null | grep -F "\"$1\"" | awk '{print $1; exit}'; }
wait_for() {  # wait_for TITLE [present|gone]
  for _ in $(seq 150); do
    if [ "${2:-present}" = present ]; then [ -n "$(xid "$1")" ] && return 0; else [ -z "$(xid "$1")" ] && return 0; fi
    sleep 0.2
  done
  echo "make-screenshots: timed out waiting for \"$1\" ($2)" >&2; return 1
}
# Captures a window once its picture has settled (two equal captures in a row).
capture() {  # capture TITLE FILE
  local id prev="" cur
  id=$(xid "$1")
  for _ in $(seq 25); do
    sleep 0.3
    cur=$(xwd -silent -id "$id" | md5sum)
    [ "$cur" = "$prev" ] && break
    prev=$cur
  done
  xwd -silent -id "$id" | convert xwd:- "$2"
  echo "saved $2"
}
key() { xdotool key --clearmodifiers "$@"; sleep 0.4; }

for dpi in 96 144; do
  export WINEPREFIX="$PWD/build/shots/prefix-$dpi"
  if [ ! -f "$WINEPREFIX/.ready" ]; then
    rm -rf "$WINEPREFIX"; mkdir -p "$(dirname "$WINEPREFIX")"
    wineboot -i >/dev/null 2>&1; wineserver -w
    cp /usr/share/wine/fonts/{tahoma,tahomabd,marlett}.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    wineserver -k || true; wineserver -w || true
    touch "$WINEPREFIX/.ready"
  fi
  # Data as a user might have it: three editions set, a folder three levels deep.
  mkdir -p "$WINEPREFIX/drive_c/Marktdaten/Ovaro/Realtime" "$WINEPREFIX/drive_c/Marktdaten/Archiv"
  base='HKCU\Software\VB and VBA Program Settings'
  wine reg add "$base\\Lumarix Ovaro\\Optionen" /v Datenpfad /t REG_SZ /d 'c:\Marktdaten\Ovaro\Realtime\' /f >/dev/null 2>&1
  wine reg add "$base\\Lumarix Ovaro für NEF\\Optionen" /v Datenpfad /t REG_SZ /d 'd:\Daten\NEF\' /f >/dev/null 2>&1
  wine reg add "$base\\Lumarix Ovaro für Tirra\\Optionen" /v Datenpfad /t REG_SZ /d '' /f >/dev/null 2>&1

  fifo=$(mktemp -u); mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" </dev/null >/dev/null 2>&1 &
  xvfb=$!
  read -r n < "$fifo"; rm -f "$fifo"
  export DISPLAY=":$n"
  wine explorer /desktop=shots,1200x960 "$exe" </dev/null >/dev/null 2>&1 &
  wait_for "$title_main"
  capture "$title_main" "$out/main-$dpi.png"
  key alt+v
  capture "$title_main" "$out/main-common-$dpi.png"
  key alt+v
  # Keyboard only: Alt+D to row 0's box, Tab to its "Wählen...", Space opens the dialog.
  key alt+d; key Tab; key space
  wait_for "$title_dialog"
  capture "$title_dialog" "$out/dialog-$dpi.png"
  key Escape
  wait_for "$title_dialog" gone
  # From the check box, Shift+Tab twice reaches "Speichern".
  key alt+v; key alt+v; key shift+Tab; key shift+Tab; key space
  wait_for "$title_box"
  capture "$title_box" "$out/save-question-$dpi.png"
  key n
  wineserver -k 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
done
