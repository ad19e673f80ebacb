#!/usr/bin/env bash
# Signing as scripts/release.sh does it (release/sign.sh), with a throwaway certificate
# made here by openssl in a folder of the test's own, never in the repository:
#   signing-test.sh STATE_DIR EXE MSI
# Exe and package must verify with that certificate as the trust anchor, the signed exe
# must still start under Wine (in the build's own prefix, STATE_DIR), and an exe changed
# by one byte after signing must fail the verification.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
state=$1 exe=$2 msi=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/ovaro-signing-XXXXXX")
pid=""
cleanup() {
  [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
  -subj "/CN=Ovaro Testsignatur" -addext "extendedKeyUsage=codeSigning" \
  -addext "keyUsage=critical,digitalSignature" 2>/dev/null
openssl rand -hex 16 > "$work/password"
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/cert.pfx" -passout "file:$work/password"
rm "$work/key.pem"
mkdir "$work/files"
cp "$exe" "$work/files/ZomaOvaroOrdnerSetzen.exe"
cp "$msi" "$work/files/package.msi"
OVARO_SIGN_PFX="$work/cert.pfx" OVARO_SIGN_PASSWORD_FILE="$work/password" \
  "$root/release/sign.sh" "Tool zum Festlegen von Ovaro-Ordnern" "$work/files/ZomaOvaroOrdnerSetzen.exe" "$work/files/package.msi"

for f in ZomaOvaroOrdnerSetzen.exe package.msi; do
  cmp -s "$work/files/$f" "$([ "$f" = package.msi ] && echo "$msi" || echo "$exe")" && fail "$f unchanged by signing"
  if report=$(osslsigncode verify -CAfile "$work/cert.pem" -in "$work/files/$f" 2>&1); then
    grep -Eq "Message digest algorithm *: SHA256" <<<"$report" || fail "$f not signed with SHA-256"
    grep -q "Subject: /CN=Ovaro Testsignatur" <<<"$report" || fail "$f not signed by the test's certificate"
    grep -q "Text description: Tool zum Festlegen von Ovaro-Ordnern" <<<"$report" || fail "$f without the product's name"
  else
    fail "$f does not verify:"$'\n'"$report"
  fi
done

# One byte changed in the middle of the signed exe.
cp "$work/files/ZomaOvaroOrdnerSetzen.exe" "$work/changed.exe"
offset=$(($(stat -c %s "$work/changed.exe") / 2))
byte=$(od -An -tu1 -j "$offset" -N1 "$work/changed.exe" | tr -d ' ')
printf "$(printf '\\%03o' $(((byte + 1) % 256)))" | dd of="$work/changed.exe" bs=1 seek="$offset" conv=notrunc status=none
cmp -s "$work/changed.exe" "$work/files/ZomaOvaroOrdnerSetzen.exe" && fail "the byte was not changed"
osslsigncode verify -CAfile "$work/cert.pem" -in "$work/changed.exe" >/dev/null 2>&1 && fail "the changed exe still verifies"

# The signed exe under Wine: its main window shows.
source "$root/cmake/wine-session.sh"
ws_display_start "$state"
"$root/cmake/wine-session.sh" "$state" "$work/files/ZomaOvaroOrdnerSetzen.exe" </dev/null >/dev/null 2>&1 &
pid=$!
ws_wait_window "Datenordner für Ovaro festlegen" 60 >/dev/null || fail "the signed exe showed no main window"
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
pid=""

[ "$failures" -eq 0 ] && echo "signing: exe and package signed and verified, a changed exe refused, the signed exe starts"
exit $((failures > 0))
