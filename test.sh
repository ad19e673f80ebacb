#!/usr/bin/env bash
# Installs what is missing, builds both targets and runs every test:
# the portable logic natively (with ASan and UBSan), and the Windows exe with its
# tests under Wine in the build's own prefix, on a virtual display when there is none;
# then the exe with the second compiler (Clang) and its end-to-end suite, and a second
# build of the exe in another folder, which must give the same bytes.
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
cmake --preset mingw-clang >/dev/null
cmake --build --preset mingw-clang -j"$jobs" --target ZomaOvaroOrdnerSetzen end_to_end_tests

status=0
ctest --preset native || status=1
ctest --preset mingw || status=1
ctest --preset mingw-clang -R end_to_end_tests || status=1
scripts/check-reproducible.sh mingw || status=1
if [ -x scripts/run-fuzzers.sh ]; then scripts/run-fuzzers.sh --short || status=1; fi
exit $status
