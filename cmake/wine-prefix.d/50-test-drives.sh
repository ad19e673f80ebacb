#!/usr/bin/env bash
# Test drives for the folder tree: a floppy a: and a CD-ROM drive r: without medium
# (their targets do not exist), a network drive n: that cannot be reached, and a hard
# disk m: whose folders have mixed-case, Unicode and very long names.
#   50-test-drives.sh STATE_DIR   (the prefix is STATE_DIR/prefix)
set -euo pipefail
state=$1
prefix="$state/prefix"
drives="$state/drives"
rm -rf "$drives"
mkdir -p "$drives"

m="$drives/m"
mkdir -p "$m/Alpha/Eins" "$m/Alpha/Zwei" "$m/beta" "$m/MiXeD CaSe/UnterOrdner"
mkdir -p "$m/Ünïcödé 日本 Ελληνικά/Дочерний"
# Two names that differ only in letter case share one key in the tree.
mkdir -p "$m/Doppelt/Gleich" "$m/Doppelt/gleich"
# Three levels of 125 characters: the deepest folder's path is far beyond MAX_PATH.
long="Lang_$(printf 'x%.0s' $(seq 120))"
mkdir -p "$m/$long/$long/$long/Ziel/Tiefer"
echo "keine Ordner" > "$m/datei.txt"
echo "keine Ordner" > "$m/Alpha/datei.txt"

ln -sfn "$m" "$prefix/dosdevices/m:"
ln -sfn "$drives/floppy-fehlt" "$prefix/dosdevices/a:"
ln -sfn "$drives/cdrom-fehlt" "$prefix/dosdevices/r:"
ln -sfn "$drives/netz-fehlt" "$prefix/dosdevices/n:"
for drive in a:floppy r:cdrom n:network m:hd; do
  wine reg add 'HKLM\Software\Wine\Drives' /v "${drive%%:*}:" /t REG_SZ /d "${drive#*:}" /f >/dev/null 2>&1
done
