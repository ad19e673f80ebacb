#!/usr/bin/env bash
# Builds the benchmark, prepares its own Wine prefix with scratch drives, runs every case
# and prints the table. Not a test: nothing passes or fails on time.
#   scripts/bench.sh [BUILD_DIR]        (default: build/bench-mingw)
# Env: OVARO_BENCH_PICKER_LIMIT  seconds the platform picker gets per attempt (default 20)
#      OVARO_BENCH_CASES         cases to run (default: "create expand path startup picker memory
#                                responsive-slow responsive-wide slow-expand")
# The prefix (BUILD_DIR/bench-wine/prefix) has no z: drive, so that the tree reads only
# the bench drives and c:. Its drives are Linux folders made here with mkdir, which is
# far faster than making 140,000 folders through Wine; they are kept for later runs.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(mkdir -p "${1:-$root/build/bench-mingw}" && cd "${1:-$root/build/bench-mingw}" && pwd)
cases=${OVARO_BENCH_CASES:-create expand path startup picker memory responsive-slow responsive-wide slow-expand}
limit=${OVARO_BENCH_PICKER_LIMIT:-20}

echo "== build ($build)"
cmake -S "$root" -B "$build" --toolchain "$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target ovaro_bench ovaro_bench_minimal ZomaOvaroOrdnerSetzen >/dev/null

state="$build/bench-wine"
data="$state/data"
mkdir -p "$data"
export WINEPREFIX="$state/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64

xvfb_pid=
slow="$state/slowdrive"
slow_pid=
cleanup() {
  wineserver -k 2>/dev/null || true
  # The slow drive: its mapping, its mount and its daemon go, whatever happened.
  rm -f "$WINEPREFIX/dosdevices/l:"
  if mountpoint -q "$slow/mnt" 2>/dev/null; then umount -l "$slow/mnt" 2>/dev/null || true; fi
  [ -n "$slow_pid" ] && kill -9 "$slow_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  command -v Xvfb >/dev/null || { echo "bench: no DISPLAY and no Xvfb" >&2; exit 1; }
  fifo="$state/displayfd"; rm -f "$fifo"; mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" </dev/null >/dev/null 2>&1 &
  xvfb_pid=$!
  read -r n < "$fifo"; rm -f "$fifo"
  export DISPLAY=":$n"
fi

echo "== scratch trees ($data)"
# s: points at one of these per run of the creation case.
make_flat() {  # make_flat COUNT
  local dir="$data/s$1"
  [ -f "$data/.s$1.done" ] && return
  rm -rf "$dir"; mkdir -p "$dir"
  (cd "$dir" && seq -f 'Ordner_%06g' 0 $(( $1 - 1 )) | xargs mkdir)
  touch "$data/.s$1.done"
}
for n in 1000 10000 100000; do make_flat "$n"; done
# t: 30 levels; on each level 100 siblings, the path runs through E<L>_042, every
# other sibling (and the last path folder) holds 5 sub-folders.
if [ ! -f "$data/.deep.done" ]; then
  rm -rf "$data/deep"; mkdir -p "$data/deep"
  (cd "$data/deep" && awk 'BEGIN { p = "."; for (L = 1; L <= 30; L++) {
      for (s = 0; s < 100; s++) { d = sprintf("%s/E%02d_%03d", p, L, s); print d
        if (s != 42 || L == 30) for (b = 1; b <= 5; b++) print d "/Blatt" b }
      p = sprintf("%s/E%02d_%03d", p, L, 42) } }' | xargs mkdir -p)
  touch "$data/.deep.done"
fi
# u: one folder with 1,000 children of 10 sub-folders each.
if [ ! -f "$data/.wide.done" ]; then
  rm -rf "$data/wide"; mkdir -p "$data/wide/Breit"
  (cd "$data/wide/Breit" && awk 'BEGIN { for (k = 0; k < 1000; k++) for (b = 0; b < 10; b++)
      printf "K%04d/Blatt%02d\n", k, b }' | xargs mkdir -p)
  touch "$data/.wide.done"
fi

echo "== Wine prefix ($WINEPREFIX)"
stamp=$(md5sum < "${BASH_SOURCE[0]}" | cut -d' ' -f1)
if [ "$(cat "$WINEPREFIX/.bench-ready" 2>/dev/null)" != "$stamp" ]; then
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wineserver -w
  for drive in s t u; do
    wine reg add 'HKLM\Software\Wine\Drives' /v "$drive:" /t REG_SZ /d hd /f >/dev/null 2>&1
  done
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  echo "$stamp" > "$WINEPREFIX/.bench-ready"
fi
# z: (the Linux root) would make every creation read /; the bench drives replace it.
rm -f "$WINEPREFIX/dosdevices/z:"
ln -sfn "$data/s10000" "$WINEPREFIX/dosdevices/s:"
ln -sfn "$data/deep" "$WINEPREFIX/dosdevices/t:"
ln -sfn "$data/wide" "$WINEPREFIX/dosdevices/u:"
bin="$WINEPREFIX/drive_c/ovaro-bench"
mkdir -p "$bin"
cp "$build/bench/ovaro_bench.exe" "$build/bench/ovaro_bench_minimal.exe" "$build/app/ZomaOvaroOrdnerSetzen.exe" "$bin/"
wineserver -p 2>/dev/null || true
wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true

results="$build/bench-results.txt"
: > "$results"
bench() { wine 'c:\ovaro-bench\ovaro_bench.exe' "$@" </dev/null 2>"$state/stderr.txt" | tr -d '\r' | grep '^BENCH' | tee -a "$results" || true; }
point_s() { ln -sfn "$data/s$1" "$WINEPREFIX/dosdevices/s:"; }
# l: exists only for the cases that need it; the session is restarted so that the
# mount manager sees it come (and go).
restart_session() { wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true
  wineserver -p 2>/dev/null || true; wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true; }
slow_drive() {  # slow_drive WAIT: every listing on l: waits WAIT seconds
  mkdir -p "$slow/mnt" "$slow/backing/Breit40"
  echo "$1 *" > "$slow/rules"
  [ -n "$slow_pid" ] && return
  (cd "$slow/backing/Breit40" && for k in $(seq -f 'K%02g' 0 39); do mkdir -p "$k/Blatt"; done)
  setsid /usr/bin/python3 "$root/tests/slowdrive/slowfs.py" "$slow/backing" "$slow/mnt" "$slow/rules" \
    </dev/null >"$slow/daemon.log" 2>&1 &
  slow_pid=$!
  for _ in $(seq 50); do mountpoint -q "$slow/mnt" && break; sleep 0.1; done
  ln -sfn "$slow/mnt" "$WINEPREFIX/dosdevices/l:"
  restart_session
}

echo "== run"
for c in $cases; do
  case $c in
    create) for n in 1000 10000 100000; do point_s "$n"; bench create "$n"; done; point_s 10000 ;;
    memory) point_s 100000; bench memory 100000; point_s 10000 ;;
    picker) bench picker "$limit" ;;
    responsive-slow) slow_drive 3; bench responsive-slow ;;
    responsive-wide) slow_drive 0; point_s 10000; bench responsive-wide ;;
    slow-expand) slow_drive 0.25; bench slow-expand 250 drive; slow_drive 0; bench slow-expand 250 latency ;;
    *) bench "$c" ;;
  esac
done

echo
echo "== machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(wine --version)"
awk '
  { delete kv; for (i = 2; i <= NF; i++) { split($i, a, "="); kv[a[1]] = substr($i, length(a[1]) + 2) } }
  kv["error"] != "" { printf "%-16s error: %s\n", kv["case"], kv["error"]; next }
  kv["case"] == "memory" {
    printf "%-16s %8s  %-40s %-28s %s\n", "memory", kv["n"], kv["bytes_per_node"] " B/node beyond the tree view",
      "tree view " kv["tree_bytes_per_node"] " B/node", "target " kv["target"]; next }
  kv["case"] ~ /^responsive/ {
    printf "%-16s %8s  %-40s %-28s %s\n", kv["case"], "", "longest unanswered " kv["longest_unanswered_ms"] " ms",
      "median " kv["median_ms"] " ms, open " kv["open_ms"] " ms", "target " kv["target"]; next }
  kv["case"] ~ /^slow-expand/ {
    printf "%-16s %8s  %-40s %-28s %s\n", kv["case"], kv["n"], "ours " kv["median_ms"] " ms [" kv["min_ms"] ".." kv["max_ms"] "]",
      "serial " kv["serial_ms"] " ms", "ratio " kv["ratio"] " (target " kv["target"] ")"; next }
  kv["case"] == "exe-size" { printf "%-16s %8s  %-40s %-28s %s\n", "exe size", "", kv["bytes"] " bytes", "", "target " kv["target"]; next }
  kv["case"] ~ /^picker/ {
    peer = kv["peer_ms"] != "" ? kv["peer_ms"] " ms [" kv["peer_min_ms"] ".." kv["peer_max_ms"] "]" : kv["peer"]
    printf "%-16s %8s  %-40s %-28s %s\n", kv["case"], "", "ours " kv["median_ms"] " ms [" kv["min_ms"] ".." kv["max_ms"] "]",
      "picker " peer, "speedup " kv["speedup"] " (target " kv["target"] ")"; next }
  { printf "%-16s %8s  %-40s %-28s %s\n", kv["case"], kv["n"], "ours " kv["median_ms"] " ms [" kv["min_ms"] ".." kv["max_ms"] "]",
      "floor " kv["floor_ms"] " ms [" kv["floor_min_ms"] ".." kv["floor_max_ms"] "]", "ratio " kv["ratio"] " (target " kv["target"] ")" }
' "$results"
echo "(median [min..max] of the repeats; machine-readable lines in $results)"
