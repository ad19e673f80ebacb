#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz preset, clang) and runs each for a bounded time.
#   scripts/run-fuzzers.sh --short            about 20 s per target (the test command's run)
#   scripts/run-fuzzers.sh                    10 minutes per target
#   scripts/run-fuzzers.sh --seconds N [target...]
# New inputs go to build/fuzz/corpus/<target>, never into the seed corpus of the
# repository (tests/fuzz/corpus/<target>); a crash, a broken invariant or a hang leaves
# its input in build/fuzz/artifacts/<target>/ and makes the script fail.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${OVARO_FUZZ_SECONDS:-600}
targets=()
while [ $# -gt 0 ]; do
  case $1 in
    --short) seconds=${OVARO_FUZZ_SECONDS:-20} ;;
    --seconds) seconds=$2; shift ;;
    -h|--help) sed -n '2,8p' "$0"; exit 0 ;;
    *) targets+=("$1") ;;
  esac
  shift
done
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_path_walk fuzz_drive_list fuzz_folder_names)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 --target "${targets[@]}"

build=build/fuzz
status=0
for t in "${targets[@]}"; do
  work="$build/corpus/$t"
  artifacts="$build/artifacts/$t"
  log="$build/$t.log"
  mkdir -p "$work" "$artifacts"
  # A single run longer than 10 s counts as a hang; memory is capped well above need.
  set +e
  "$build/tests/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$work" "tests/fuzz/corpus/$t" >"$log" 2>&1
  rc=$?
  set -e
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  corpus=$(find "$work" -type f | wc -l)
  if [ $rc -eq 0 ]; then
    echo "$t: ${runs:-?} executions in ${seconds} s, no findings (working corpus: $corpus inputs)"
  else
    status=1
    echo "$t: FAILED (exit $rc) after ${runs:-?} executions; log: $log"
    grep -E 'invariant violated|ERROR: |SUMMARY|Test unit written' "$log" | head -n 8 | sed 's/^/  /'
  fi
done
exit $status
