#!/usr/bin/env bash
# Builds the Windows Installer package from a .wxs that CMake filled in (see
# ZomaOvaroOrdnerSetzen.wxs.in), with Debian's wixl:
#   release/make-msi.sh WXS OUT.msi FILE...
# FILE... are the files the .wxs names (exe, texts, icon), given by path; they are packed
# under their own names.
#
# The same inputs give the same bytes. wixl 0.101 alone does not: it takes the summary's
# times from the clock, the package code at random, and the cabinet's file times from the
# files. So the files are packed with the time SOURCE_DATE_EPOCH (default: the commit's
# time), wixl runs under faketime at that time, and msibuild then sets the package code.
#
# The package's version (ProductVersion) is the version's numbers with a build field,
# 1.1.<build> for "1.01": Windows Installer orders packages by these three fields only, so
# the build field tells an older build of one version from a newer one. It is the commit
# count (release/build-number.sh: OVARO_BUILD_NUMBER when set; a shallow clone fails; no
# git gives 0). The exe's version record keeps "1.01".
#
# Product and package code are name-based UUIDs of the commit, the package's version and
# the packed bytes: the same for one build of one commit, new for any other package, as
# Windows Installer wants. Any newer build replaces the installed one; an older one, also
# of the same version, is refused with the German message of the .wxs.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
wxs=$1 out=$2
shift 2

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 1767225600)
fi
export TZ=UTC LC_ALL=C
# OVARO_SOURCE_COMMIT stands in for the commit where the tree is no git checkout.
commit=${OVARO_SOURCE_COMMIT:-$(git -C "$root" rev-parse HEAD 2>/dev/null || echo none)}
build=$("$root/release/build-number.sh" "$root")
version_text=$(sed -n 's/^ *<?define VersionText = "\([0-9]*\.[0-9]*\)"?>.*$/\1/p' "$wxs")
[ -n "$version_text" ] || { echo "make-msi: no VersionText MAJOR.MINOR in $wxs" >&2; exit 1; }
major=$((10#${version_text%.*})) minor=$((10#${version_text#*.}))
product_version="$major.$minor.$build"

work=$(mktemp -d "${TMPDIR:-/tmp}/ovaro-msi-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/files"
for f in "$@"; do cp "$f" "$work/files/"; done
touch -d "@$SOURCE_DATE_EPOCH" "$work/files"/*

upgrade_code=$(grep -o 'UpgradeCode="[0-9A-F-]*"' "$wxs" | cut -d'"' -f2)
[ -n "$upgrade_code" ] || { echo "make-msi: no UpgradeCode in $wxs" >&2; exit 1; }
content=$( (cd "$work/files" && sha256sum -- *; sha256sum < "$wxs") | sha256sum | cut -d' ' -f1)
uuid_of() {
  python3 -c 'import sys, uuid; print(str(uuid.uuid5(uuid.UUID(sys.argv[1]), sys.argv[2])).upper())' \
    "$upgrade_code" "$1 $commit $product_version $content"
}
product_code=$(uuid_of ProductCode)
package_code=$(uuid_of PackageCode)

at="@$SOURCE_DATE_EPOCH"
# wixl finds the files by relative paths only.
cp "$wxs" "$work/package.wxs"
(cd "$work" && faketime "$at" wixl -a x64 -D ProductCode="$product_code" -D ProductVersion="$product_version" \
  -D SourceDir=files -o package.msi package.wxs)
property() { msiinfo export "$work/package.msi" Property | sed -n "s/^$1\t//p" | tr -d '\r'; }
version=$(property ProductVersion)
# wixl's major upgrade leaves out the same version (no AllowSameVersionUpgrades, and its
# UpgradeVersion ignores IncludeMaximum): the row is written again with IncludeMaximum
# (512) beside MigrateFeatures (1). The same three fields are the same commit (its build
# field), so what it replaces is another package of the very same build: the signed one
# after an unsigned one, say. Every other build of this version differs in the build field,
# older ones are replaced and newer ones refused.
faketime "$at" msibuild "$work/package.msi" \
  -q "DELETE FROM Upgrade WHERE ActionProperty = 'WIX_UPGRADE_DETECTED'" \
  -q "INSERT INTO Upgrade (UpgradeCode, VersionMax, Attributes, ActionProperty) VALUES ('{$upgrade_code}', '$version', 513, 'WIX_UPGRADE_DETECTED')" \
  -s "$(property ProductName)" "$(property Manufacturer)" "x64;1031" "{$package_code}"
mv "$work/package.msi" "$out"
