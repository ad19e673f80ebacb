#!/usr/bin/env bash
# Builds the exe a second time, from a copy of the tree in another folder at another
# time, and compares its bytes with the exe of the given preset's build (made first
# when missing). Fails on any difference: a build path, a link time or anything else
# that depends on where or when the exe was built. Then packs each build into the
# installer package (release/make-msi.sh, unsigned, for the same commit) and compares
# the two packages the same way.
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

compare() {
  if cmp -s "$2" "$3"; then
    echo "reproducible: $preset $1 identical when built in $copy ($(sha256sum < "$2" | cut -d' ' -f1))"
  else
    echo "NOT reproducible: $preset $1 differs when built in $copy; first differing bytes (offset, octal):" >&2
    cmp -l "$2" "$3" | head -n 8 >&2 || true
    status=1
  fi
}
status=0
compare exe "$first" "$copy/build/$preset/$exe"

# The package, from each build's exe, texts and icon; the copy is no git checkout, so it
# is told the commit, its time and the build field. Both packages take the same build field:
# where the clone is shallow, and has no true one, 0 serves for the comparison.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 1767225600)}
OVARO_SOURCE_COMMIT=$(git -C "$root" rev-parse HEAD 2>/dev/null || echo none)
OVARO_BUILD_NUMBER=${OVARO_BUILD_NUMBER:-$("$root/release/build-number.sh" "$root" 2>/dev/null || echo 0)}
export SOURCE_DATE_EPOCH OVARO_SOURCE_COMMIT OVARO_BUILD_NUMBER
for tree in "$root" "$copy"; do
  b="$tree/build/$preset"
  "$tree/release/make-msi.sh" "$b/release/ZomaOvaroOrdnerSetzen.wxs" "$work/$([ "$tree" = "$root" ] && echo first || echo second).msi" \
    "$b/$exe" "$b/release/LIESMICH.txt" "$b/release/LICENSE.txt" "$b/resources/generated/ZomaOvaroOrdnerSetzen.ico"
done
compare "installer package" "$work/first.msi" "$work/second.msi"
exit $status
