#!/usr/bin/env bash
# Prints the build field of the installer package's version (release/make-msi.sh): the
# number of commits up to the one built, `git rev-list --count HEAD`, which every later
# commit of the history makes higher and which any clone of it with the whole history gives
# alike.
#   release/build-number.sh [TREE]      (default: this tree)
# OVARO_BUILD_NUMBER, when set, is taken as it is: for a tree that is no git checkout (a
# copy, an unpacked source archive) whose commit count is known.
# A shallow clone knows only part of the history and would give a count too low, which
# Windows Installer would take for an older build: it fails, saying what to do.
# Without git or a checkout the build field is 0, with a warning: such a package orders
# below every numbered build of its version, so Windows Installer refuses it where one is
# installed, and any numbered build replaces it.
set -euo pipefail
tree=${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
if [ -n "${OVARO_BUILD_NUMBER:-}" ]; then
  number=$OVARO_BUILD_NUMBER
elif command -v git >/dev/null && git -C "$tree" rev-parse --git-dir >/dev/null 2>&1; then
  if [ "$(git -C "$tree" rev-parse --is-shallow-repository)" = true ]; then
    echo "build-number: $tree is a shallow clone, its commit count is not the build's;" \
      "fetch the whole history (git fetch --unshallow) or give OVARO_BUILD_NUMBER" >&2
    exit 1
  fi
  number=$(git -C "$tree" rev-list --count HEAD)
else
  echo "build-number: $tree is no git checkout and OVARO_BUILD_NUMBER is not set: build field 0," \
    "a package that never replaces a numbered build" >&2
  number=0
fi
# The build field of a Windows Installer version is at most 65535.
if ! [[ $number =~ ^[0-9]+$ ]] || [ "$((10#$number))" -gt 65535 ]; then
  echo "build-number: '$number' is no build field (a number from 0 to 65535)" >&2
  exit 1
fi
echo "$((10#$number))"
