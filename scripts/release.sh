#!/usr/bin/env bash
# Makes the download: ZomaOvaroOrdnerSetzen-<version>-win64.zip (the stripped exe,
# LIESMICH.txt, LICENSE.txt, Datenordner-Beispiel.reg), the Windows Installer package
# ZomaOvaroOrdnerSetzen-<version>-win64.msi and SHA256SUMS, alone in a folder of their own.
#   scripts/release.sh [OUT_DIR]      (default: build/release; the build goes to OUT_DIR-build)
# The same commit gives the same bytes anywhere: the zip's times and the package's are
# SOURCE_DATE_EPOCH (default: the commit's time), and the exe carries no build path and
# no link time. The package's version has a build field, the commit count
# (release/build-number.sh): it takes a clone with the whole history, or OVARO_BUILD_NUMBER.
#
# Signing: with OVARO_SIGN_PFX (a PKCS#12 file with the code-signing certificate and its
# key) and OVARO_SIGN_PASSWORD_FILE (a file holding its password), the exe is signed
# before it is packed, and then the package (release/sign.sh; OVARO_SIGN_TIMESTAMP_URL
# adds an RFC 3161 time stamp). Keep both files outside the repository and the build.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=$(mkdir -p "${1:-$root/build/release}" && cd "${1:-$root/build/release}" && pwd)
build="$out-build"
if [ -n "${OVARO_SIGN_PFX:-}" ]; then
  # Key and password stay out of the repository and the build, where a commit or a copy
  # of the build would take them along.
  for f in "$OVARO_SIGN_PFX" "${OVARO_SIGN_PASSWORD_FILE:-}"; do
    [ -n "$f" ] || continue
    case "$(realpath -m -- "$f")/" in
      "$root"/* | "$out"/* | "$build"/*)
        echo "release: $f lies in the repository or the build; keep the certificate and its password elsewhere" >&2
        exit 1 ;;
    esac
  done
fi
# Before the build: a shallow clone has no true build field and stops here.
OVARO_BUILD_NUMBER=$("$root/release/build-number.sh" "$root")
export OVARO_BUILD_NUMBER
bash "$root/scripts/install-deps.sh"

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 1767225600)
fi
# The zip's DOS times are local times; its permissions follow the umask.
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C
umask 022

cmake -S "$root" -B "$build" --toolchain "$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target ZomaOvaroOrdnerSetzen
# The icon generator ran under the build's Wine session; it is not needed any more.
"$root/cmake/wine-session.sh" "$build/wine" --stop

config="$build/CPackConfig.cmake"
name=$(sed -n 's/^set(CPACK_PACKAGE_FILE_NAME "\(.*\)")$/\1/p' "$config")
product=$(sed -n 's/^set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "\(.*\)")$/\1/p' "$config")
exe=ZomaOvaroOrdnerSetzen.exe
# Zip and package take the exe from here (cmake/Release.cmake).
rm -rf "$build/stage"
mkdir -p "$build/stage"
cp "$build/app/$exe" "$build/stage/$exe"
if [ -n "${OVARO_SIGN_PFX:-}" ]; then
  "$root/release/sign.sh" "$product" "$build/stage/$exe"
  echo "Signing with the certificate in $OVARO_SIGN_PFX."
else
  echo "No certificate given (OVARO_SIGN_PFX, OVARO_SIGN_PASSWORD_FILE): the exe and the package are not signed."
fi

rm -rf "$build/package"
# The zip records its files' owner; CPack takes the builder's, so it packs as user 0.
as_root=()
[ "$(id -u)" -ne 0 ] && as_root=(unshare --map-root-user)
"${as_root[@]}" cpack --config "$config" -B "$build/package" >/dev/null
rm -f "$out"/*.zip "$out"/*.msi "$out/SHA256SUMS"
cp "$build/package/$name.zip" "$out/"

"$root/release/make-msi.sh" "$build/release/ZomaOvaroOrdnerSetzen.wxs" "$out/$name.msi" \
  "$build/stage/$exe" "$build/release/LIESMICH.txt" "$build/release/LICENSE.txt" \
  "$build/resources/generated/ZomaOvaroOrdnerSetzen.ico"
[ -z "${OVARO_SIGN_PFX:-}" ] || "$root/release/sign.sh" "$product" "$out/$name.msi"
# Wine cannot show per-machine installation; the package's tables can.
"$root/release/check-per-machine.sh" "$out/$name.msi"
echo "Package version $(msiinfo export "$out/$name.msi" Property | tr -d '\r' | sed -n 's/^ProductVersion\t//p') (build $OVARO_BUILD_NUMBER)."

# Zip and package must carry the very same exe.
check=$(mktemp -d)
trap 'rm -rf "$check"' EXIT
(cd "$check" && cmake -E tar xf "$out/$name.zip" && msiextract -C msi "$out/$name.msi" >/dev/null)
cmp "$check/$name/$exe" "$check/msi/ZomaOvaroOrdnerSetzen/$exe" || {
  echo "release: the exe in $name.msi differs from the one in $name.zip" >&2
  exit 1
}

exe_sum=$(sha256sum "$build/stage/$exe" | cut -d' ' -f1)
# Checks zip and package where they lie (sha256sum -c --ignore-missing SHA256SUMS), and the
# exe once unpacked here.
( cd "$out" && sha256sum "$name.zip" "$name.msi" && echo "$exe_sum  $name/$exe" ) > "$out/SHA256SUMS"
echo "== $out"
cat "$out/SHA256SUMS"
