#!/usr/bin/env bash
# Signs files in place with Authenticode (SHA-256), by Debian's osslsigncode:
#   release/sign.sh DESCRIPTION FILE...
# OVARO_SIGN_PFX names the code-signing certificate with its key (a PKCS#12 file),
# OVARO_SIGN_PASSWORD_FILE a file with its password; OVARO_SIGN_TIMESTAMP_URL, when set,
# an RFC 3161 time-stamp server, so that the signature stays valid after the
# certificate expires. osslsigncode reads key and password where they lie: nothing of
# them is copied, put on a command line or printed.
set -euo pipefail
description=$1
shift
for v in OVARO_SIGN_PFX OVARO_SIGN_PASSWORD_FILE; do
  [ -f "${!v:-}" ] || { echo "sign: $v does not name a file" >&2; exit 1; }
done
args=(sign -pkcs12 "$OVARO_SIGN_PFX" -readpass "$OVARO_SIGN_PASSWORD_FILE" -h sha256 -n "$description")
[ -z "${OVARO_SIGN_TIMESTAMP_URL:-}" ] || args+=(-ts "$OVARO_SIGN_TIMESTAMP_URL")
for f in "$@"; do
  rm -f "$f.signed"
  if ! log=$(osslsigncode "${args[@]}" -in "$f" -out "$f.signed" 2>&1); then
    echo "$log" >&2
    rm -f "$f.signed"
    exit 1
  fi
  mv "$f.signed" "$f"
done
