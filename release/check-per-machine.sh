#!/usr/bin/env bash
# Checks from its tables that an installer package installs per machine, which Wine cannot
# show (it puts even an all-users shortcut in the user's Start menu):
#   release/check-per-machine.sh PACKAGE.msi
# - the property ALLUSERS is 1 (a per-user package leaves it out; 2 lets the installing
#   user choose), and MSIINSTALLPERUSER is not set;
# - every shortcut lies in the Programs folder (ProgramMenuFolder) or below it, which
#   Windows Installer takes from all users' Start menu when ALLUSERS is 1;
# - the summary information's word count does not have the bit "elevated privileges not
#   required" (8), which is what marks a per-user package.
# Prints every failed check and fails; prints one line and succeeds otherwise.
set -euo pipefail
msi=$1
export LC_ALL=C
table() { msiinfo export "$msi" "$1" | tr -d '\r' | tail -n +4; }
property() { table Property | awk -F'\t' -v p="$1" '$1 == p { print $2 }'; }
failed=0
fail() { echo "check-per-machine: $msi: $*" >&2; failed=1; }

allusers=$(property ALLUSERS)
[ "$allusers" = 1 ] || fail "ALLUSERS is '${allusers}', not 1"
[ -z "$(property MSIINSTALLPERUSER)" ] || fail "MSIINSTALLPERUSER is set"

declare -A parent=()
while IFS=$'\t' read -r dir up _; do parent[$dir]=$up; done < <(table Directory)
shortcuts=0
while IFS=$'\t' read -r name dir _; do
  shortcuts=$((shortcuts + 1))
  d=$dir
  while [ -n "$d" ] && [ "$d" != ProgramMenuFolder ]; do d=${parent[$d]:-}; done
  [ "$d" = ProgramMenuFolder ] || fail "shortcut $name lies in $dir, not in the Programs folder"
done < <(table Shortcut)
[ "$shortcuts" -gt 0 ] || fail "no shortcut"

words=$(msiinfo suminfo "$msi" | sed -n 's/^Source: \([0-9]*\).*/\1/p')
[ -n "$words" ] || fail "no word count in the summary information"
[ $(( ${words:-8} & 8 )) -eq 0 ] || fail "the summary information's word count ($words) says per user"

[ $failed -eq 0 ] || exit 1
echo "per machine: $msi (ALLUSERS 1, $shortcuts shortcut(s) in the all-users Programs folder, word count $words)"
