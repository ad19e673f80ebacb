#!/usr/bin/env bash
# Makes the download: ZomaOvaroOrdnerSetzen-<version>-win64.zip (the stripped exe,
# LIESMICH.txt, LICENSE.txt) and SHA256SUMS, alone in a folder of their own.
#   scripts/release.sh [OUT_DIR]      (default: build/release; the build goes to OUT_DIR-build)
# The same commit gives the same bytes anywhere: the zip's times are SOURCE_DATE_EPOCH
# (default: the commit's time), and the exe carries no build path and no link time.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=$(mkdir -p "${1:-$root/build/release}" && cd "${1:-$root/build/release}" && pwd)
build="$out-build"
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

name=$(sed -n 's/^set(CPACK_PACKAGE_FILE_NAME "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
rm -rf "$build/package"
# The zip records its files' owner; CPack takes the builder's, so it packs as user 0.
as_root=()
[ "$(id -u)" -ne 0 ] && as_root=(unshare --map-root-user)
"${as_root[@]}" cpack --config "$build/CPackConfig.cmake" -B "$build/package" >/dev/null
rm -f "$out"/*.zip "$out/SHA256SUMS"
cp "$build/package/$name.zip" "$out/"
exe_sum=$(sha256sum "$build/app/ZomaOvaroOrdnerSetzen.exe" | cut -d' ' -f1)
# Checks the zip where it lies (sha256sum -c --ignore-missing SHA256SUMS), and the exe once unpacked here.
( cd "$out" && sha256sum "$name.zip" && echo "$exe_sum  $name/ZomaOvaroOrdnerSetzen.exe" ) > "$out/SHA256SUMS"
echo "== $out"
cat "$out/SHA256SUMS"
