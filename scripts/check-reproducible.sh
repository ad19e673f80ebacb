#!/usr/bin/env bash
# Builds the exe a second time, from a copy of the tree in another folder at another
# time, and compares its bytes with the exe of the given preset's build (made first
# when missing). Fails on any difference: a build path, a link time or anything else
# that depends on where or when the exe was built.
#   scripts/check-reproducible.sh [PRESET]     (default: mingw)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
preset=${1:-mingw}
exe=app/ZomaOvaroOrdnerSetzen.exe
first="$root/build/$preset/$exe"
if [ ! -f "$first" ]; then
  cmake --preset "$preset" -S "$root" >/dev/null
  cmake --build --preset "$preset" -j2 --target ZomaOvaroOrdnerSetzen >/dev/null
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/ovaro-reproducible-XXXXXX")
copy="$work/another/folder/for/the/sources"
cleanup() {
  [ -d "$copy/build/$preset/wine" ] && "$copy/cmake/wine-session.sh" "$copy/build/$preset/wine" --stop
  rm -rf "$work"
}
trap cleanup EXIT
# The files of the working tree (committed or not), without any build.
mkdir -p "$copy"
(cd "$root" && git ls-files -z --cached --others --exclude-standard) |
  (cd "$root" && tar --null --ignore-failed-read -T - -cf - 2>/dev/null) | tar -C "$copy" -xf -
(cd "$copy" && cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j2 --target ZomaOvaroOrdnerSetzen >/dev/null)

second="$copy/build/$preset/$exe"
if cmp -s "$first" "$second"; then
  echo "reproducible: $preset exe identical when built in $copy ($(sha256sum < "$first" | cut -d' ' -f1))"
else
  echo "NOT reproducible: $preset exe differs when built in $copy; first differing bytes (offset, octal):" >&2
  cmp -l "$first" "$second" | head -n 8 >&2 || true
  exit 1
fi
