#!/usr/bin/env bash
# What the release scripts decide where Wine cannot show it:
#   release-scripts-test.sh THIS.msi PERUSER.msi
# - release/check-per-machine.sh passes the package and refuses, each for its reason, the
#   package made per user, the package without ALLUSERS and a shortcut outside the
#   Programs folder;
# - release/build-number.sh gives a clone's commit count, takes OVARO_BUILD_NUMBER as it
#   is, refuses a shallow clone and gives 0 where there is no checkout.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
this=$1 peruser=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/ovaro-release-scripts-XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

# Runs the check; its exit code and what it printed on stderr.
check() {
  set +e
  "$root/release/check-per-machine.sh" "$1" >/dev/null 2>"$work/said"
  status=$?
  set -e
}
says() { grep -qF -- "$1" "$work/said" || fail "$2: not said: $1 (said: $(cat "$work/said"))"; }

check "$this"
[ $status -eq 0 ] || fail "the package is refused: $(cat "$work/said")"

check "$peruser"
[ $status -ne 0 ] || fail "the per-user package passes"
says "ALLUSERS is '', not 1" "per user"
says "the summary information's word count (10) says per user" "per user"

cp "$this" "$work/no-allusers.msi"
msibuild "$work/no-allusers.msi" -q "DELETE FROM Property WHERE Property = 'ALLUSERS'"
check "$work/no-allusers.msi"
[ $status -ne 0 ] || fail "the package without ALLUSERS passes"
says "ALLUSERS is '', not 1" "no ALLUSERS"

cp "$this" "$work/shortcut.msi"
msibuild "$work/shortcut.msi" -q "UPDATE Shortcut SET Directory_ = 'INSTALLDIR'"
check "$work/shortcut.msi"
[ $status -ne 0 ] || fail "a shortcut in the program's folder passes"
says "shortcut StartMenuShortcut lies in INSTALLDIR, not in the Programs folder" "shortcut"

# A history of three commits, a whole clone of it, a shallow one and no checkout at all.
number() { env -u OVARO_BUILD_NUMBER "$root/release/build-number.sh" "$1" 2>"$work/said"; }
git init -q "$work/history"
for i in 1 2 3; do
  git -C "$work/history" -c user.name=t -c user.email=t@localhost commit -q --allow-empty -m "$i"
done
git clone -q "file://$work/history" "$work/whole"
git clone -q --depth 1 "file://$work/history" "$work/shallow" 2>/dev/null
mkdir "$work/none"
[ "$(number "$work/whole")" = 3 ] || fail "a whole clone of three commits does not give 3"
[ "$(OVARO_BUILD_NUMBER=0042 "$root/release/build-number.sh" "$work/whole")" = 42 ] ||
  fail "OVARO_BUILD_NUMBER 0042 is not taken as 42"
if out=$(number "$work/shallow"); then fail "a shallow clone gives '$out'"; fi
says "is a shallow clone, its commit count is not the build's" "shallow"
[ "$(number "$work/none")" = 0 ] || fail "no checkout does not give 0"
says "is no git checkout and OVARO_BUILD_NUMBER is not set: build field 0" "no checkout"
if OVARO_BUILD_NUMBER=65536 "$root/release/build-number.sh" "$work/whole" >/dev/null 2>&1; then
  fail "a build field above 65535 is taken"
fi

[ $failures -eq 0 ] || exit 1
echo "release scripts: per-machine check and build field as expected"
