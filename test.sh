#!/usr/bin/env bash
# Installs what is missing, builds both targets and runs every test:
# the portable logic natively (with ASan and UBSan), and the Windows exe with its
# tests under Wine in the build's own prefix, on a virtual display when there is none.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/install-deps.sh

jobs=$(nproc)
# Whatever happens, the test run's Wine session and display end with the script.
trap 'cmake/wine-session.sh build/mingw/wine --stop' EXIT
cmake --preset native >/dev/null
cmake --build --preset native -j"$jobs"
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j"$jobs"

status=0
ctest --preset native || status=1
ctest --preset mingw || status=1
if [ -x scripts/run-fuzzers.sh ]; then scripts/run-fuzzers.sh --short || status=1; fi
exit $status
