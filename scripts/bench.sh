#!/usr/bin/env bash
# Builds the benchmark with the mingw preset, prepares its own Wine prefix with scratch
# drives, runs the cases and prints the README's table. Not a test: nothing passes or fails
# on time.
#   scripts/bench.sh                 every case once: one complete run, the README's table
#   scripts/bench.sh expand path     only these cases (for development)
#   scripts/bench.sh --runs 2        every case twice: run 1's table, then the spread of the
#                                    key figure of each row over the runs (bench/RESULTS.md)
#   scripts/bench.sh --table FILE... only print the tables of runs saved before
# The cases: create expand path startup picker memory startup-controls soak responsive-slow
# responsive-wide slow-expand wide-open wide-open-slow slow-open; besides them, for
# development: split (where the time of creation, expansion and walk goes, per node), stalls
# (what holds the window's thread longest while the dialog opens at s:\), overlap (a bare
# listing beside bare inserts), parts and listing-ways (one listing of s: by each way the
# platform offers).
# Env: OVARO_BENCH_PICKER_LIMIT  seconds the platform picker gets per attempt (default 20)
#      OVARO_BENCH_CASES         the cases, when none are given as arguments
#      OVARO_BENCH_SOAK_CYCLES   uses of the folder dialog in the soak (default 1000)
# Each run's BENCH lines are kept in build/mingw/bench-results-<run>.txt.
# The prefix (build/mingw/bench-wine/prefix) has no z: drive, so that the tree reads only
# the bench drives and c:. Its drives are Linux folders made here with mkdir, which is
# far faster than making 140,000 folders through Wine; they are kept for later runs.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
all_cases="create expand path startup picker memory startup-controls soak responsive-slow responsive-wide slow-expand wide-open wide-open-slow slow-open"
runs=1
table_only=()
given=()
while [ $# -gt 0 ]; do
  case $1 in
    --runs) runs=$2; shift ;;
    --table) shift; table_only=("$@"); break ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    -*) echo "bench.sh: unknown option $1" >&2; exit 2 ;;
    *) given+=("$1") ;;
  esac
  shift
done
if [ ${#given[@]} -gt 0 ]; then cases="${given[*]}"; else cases=${OVARO_BENCH_CASES:-$all_cases}; fi
limit=${OVARO_BENCH_PICKER_LIMIT:-20}

# The README's table from one run's BENCH lines: median [min..max] of the repeats.
readme_table() {
  echo "| case | n | ours | floor / peer | ratio | target |"
  echo "|---|---|---|---|---|---|"
  awk '
    function fig(m, lo, hi, unit) { return m unit " [" lo ".." hi "]" }
    function target(t) { if (t ~ /^<[^=]/) sub(/^</, "< ", t); gsub(/<=/, "<= ", t); gsub(/>=/, ">= ", t); return t }
    { delete kv; for (i = 2; i <= NF; i++) { split($i, a, "="); kv[a[1]] = substr($i, length(a[1]) + 2) } }
    kv["error"] != "" { printf "| %s | | error: %s | | | |\n", kv["case"], kv["error"]; next }
    kv["case"] == "memory" {
      printf "| memory (private bytes) | %s nodes | %s B/node [%s..%s] beyond the bare tree view | bare tree view %s B/node | | <= 300 B/node |\n",
        kv["n"], kv["bytes_per_node"], kv["bytes_per_node_min"], kv["bytes_per_node_max"], kv["tree_bytes_per_node"]; next }
    kv["case"] == "soak" {
      printf "| soak | %s uses | growth from use 50 to %s: handles %s, GDI objects %s, windows %s, private bytes %s (heap %s B, threads %s) | | | +0, +0, +0, < 64 KB |\n",
        kv["n"], kv["n"], kv["handles"], kv["gdi"], kv["windows"], kv["private_bytes"], kv["heap_bytes"], kv["threads"]; next }
    kv["case"] ~ /^responsive/ {
      printf "| %s | | longest unanswered WM_NULL %s; dialog open after %s ms | | | %s ms each run |\n",
        kv["case"], fig(kv["median_ms"], kv["min_ms"], kv["max_ms"], " ms"), kv["open_ms"], target(kv["target"]); next }
    kv["until"] != "" {
      other = kv["until"] == "input" ? "shows after " kv["shown_ms"] " ms" : (kv["input_ms"] < 0 ? "takes no input within 90 s" : "takes input after " kv["input_ms"] " ms")
      printf "| %s | %s | %s until it %s; %s | | | %s ms |\n", kv["case"], kv["n"], fig(kv["median_ms"], kv["min_ms"], kv["max_ms"], " ms"),
        kv["until"] == "input" ? "takes input" : "shows", other, target(kv["target"]); next }
    kv["case"] ~ /^slow-expand/ {
      printf "| %s | %s | %s | serial %s ms | %s | %s |\n", kv["case"], kv["n"],
        fig(kv["median_ms"], kv["min_ms"], kv["max_ms"], " ms"), kv["serial_ms"], kv["ratio"], target(kv["target"]); next }
    kv["case"] == "exe-size" { printf "| exe size | | %s bytes | | | %s |\n", kv["bytes"], target(kv["target"]); next }
    kv["case"] ~ /^picker/ {
      peer = kv["peer_ms"] != "" ? "SHBrowseForFolderW " fig(kv["peer_ms"], kv["peer_min_ms"], kv["peer_max_ms"], " ms") : "SHBrowseForFolderW " kv["peer"]
      printf "| %s | | %s | %s | speedup %s | %s |\n", kv["case"], fig(kv["median_ms"], kv["min_ms"], kv["max_ms"], " ms"),
        peer, kv["speedup"], target(kv["target"]); next }
    kv["case"] == "startup-controls" {
      printf "| startup-controls | 38 | %s | same window and 38 controls, nothing else: %s | %s | %s |\n",
        fig(kv["median_ms"], kv["min_ms"], kv["max_ms"], " ms"), fig(kv["floor_ms"], kv["floor_min_ms"], kv["floor_max_ms"], " ms"),
        kv["ratio"], target(kv["target"]); next }
    kv["median_ms"] != "" && kv["floor_ms"] != "" {
      printf "| %s | %s | %s | %s | %s | %s |\n", kv["case"], kv["n"], fig(kv["median_ms"], kv["min_ms"], kv["max_ms"], " ms"),
        fig(kv["floor_ms"], kv["floor_min_ms"], kv["floor_max_ms"], " ms"), kv["ratio"], target(kv["target"]) }
  ' "$1"
}

# The key figure of every row in each run, side by side: what moves between runs.
spread_table() {
  local header="| case | n |" rule="|---|---|" i=1 f
  for f in "$@"; do header+=" run $i |"; rule+="---|"; i=$((i + 1)); done
  echo "$header"; echo "$rule"
  awk '
    function key(c, n) { return c SUBSEP n }
    { delete kv; for (i = 2; i <= NF; i++) { split($i, a, "="); kv[a[1]] = substr($i, length(a[1]) + 2) } }
    FNR == 1 { run++ }
    kv["case"] == "" || kv["error"] != "" { next }
    {
      c = kv["case"]; n = kv["n"]
      if (c == "memory") v = kv["bytes_per_node"] " B/node"
      else if (c == "soak") v = "private " kv["private_bytes"] " B, threads " kv["threads"] ", handles " kv["handles"]
      else if (c ~ /^responsive/) v = kv["median_ms"] " ms [" kv["min_ms"] ".." kv["max_ms"] "]"
      else if (c ~ /^picker/) v = "speedup " kv["speedup"]
      else if (c == "exe-size") v = kv["bytes"] " bytes"
      else if (kv["until"] != "") v = kv["median_ms"] " ms"
      else v = "ratio " kv["ratio"]
      k = key(c, n); if (!(k in seen)) { seen[k] = 1; order[++rows] = k }
      val[k, run] = v
    }
    END {
      for (r = 1; r <= rows; r++) {
        split(order[r], cn, SUBSEP); line = "| " cn[1] " | " cn[2] " |"
        for (x = 1; x <= run; x++) line = line " " ((order[r], x) in val ? val[order[r], x] : "") " |"
        print line
      }
    }
  ' "$@"
}

machine() {
  echo "$(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(wine --version 2>/dev/null || echo wine)"
}

if [ ${#table_only[@]} -gt 0 ]; then
  readme_table "${table_only[0]}"
  [ ${#table_only[@]} -gt 1 ] && { echo; spread_table "${table_only[@]}"; }
  exit 0
fi

echo "== build (mingw preset)"
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j2 --target ovaro_bench ovaro_bench_minimal ovaro_bench_controls ZomaOvaroOrdnerSetzen >/dev/null
build="$root/build/mingw"

state="$build/bench-wine"
data="$state/data"
mkdir -p "$data"
# shellcheck source=../cmake/wine-session.sh
source "$root/cmake/wine-session.sh"
ws_env "$state/prefix"
slow="$state/slowdrive"
slow_pid=
cleanup() {
  # The slow drive: its mapping, its mount and its daemon go, whatever happened.
  wineserver -k 2>/dev/null || true
  rm -f "$WINEPREFIX/dosdevices/l:"
  if mountpoint -q "$slow/mnt" 2>/dev/null; then umount -l "$slow/mnt" 2>/dev/null || true; fi
  [ -n "$slow_pid" ] && kill -9 "$slow_pid" 2>/dev/null || true
  ws_stop
}
trap cleanup EXIT
ws_display_start

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

# l: for wide-open: Weit\Breit with 10,000 sub-folders of one sub-folder each.
if [ ! -f "$data/.open.done" ]; then
  rm -rf "$data/open"; mkdir -p "$data/open/Weit/Breit"
  (cd "$data/open/Weit/Breit" && seq -f 'Ordner%05g/Blatt' 0 9999 | xargs mkdir -p)
  touch "$data/.open.done"
fi

# The soak's few hundred folders: Projekt01..20, each with Jahr2010..2024.
if [ ! -f "$data/.ssoak.done" ]; then
  rm -rf "$data/ssoak"; mkdir -p "$data/ssoak"
  (cd "$data/ssoak" && for p in $(seq -w 1 20); do for y in $(seq 2010 2024); do echo "Projekt$p/Jahr$y"; done; done | xargs mkdir -p)
  touch "$data/.ssoak.done"
fi

echo "== Wine prefix ($WINEPREFIX)"
bench_drives() {
  local drive
  for drive in s t u; do
    wine reg add 'HKLM\Software\Wine\Drives' /v "$drive:" /t REG_SZ /d hd /f >/dev/null 2>&1
  done
  # The soak's desktop of its own is a virtual one of this size.
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v OvaroSoak /t REG_SZ /d 1024x768 /f >/dev/null 2>&1
}
ws_prefix "$WINEPREFIX" --own --step bench_drives
# z: (the Linux root) would make every creation read /; the bench drives replace it.
rm -f "$WINEPREFIX/dosdevices/z:"
ln -sfn "$data/s10000" "$WINEPREFIX/dosdevices/s:"
ln -sfn "$data/deep" "$WINEPREFIX/dosdevices/t:"
ln -sfn "$data/wide" "$WINEPREFIX/dosdevices/u:"
bin="$WINEPREFIX/drive_c/ovaro-bench"
mkdir -p "$bin"
cp "$build/bench/ovaro_bench.exe" "$build/bench/ovaro_bench_minimal.exe" "$build/bench/ovaro_bench_controls.exe" \
   "$build/app/ZomaOvaroOrdnerSetzen.exe" "$bin/"
wineserver -p 2>/dev/null || true
wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true

bench() { wine 'c:\ovaro-bench\ovaro_bench.exe' "$@" </dev/null 2>>"$state/stderr.txt" | tr -d '\r' |
  grep '^BENCH\|^SPLIT\|^PART\|^STALL' | tee -a "$results" || true; }
point_s() { ln -sfn "$data/s$1" "$WINEPREFIX/dosdevices/s:"; }
# l: exists only for the cases that need it; the session is restarted so that the
# mount manager sees it come (and go).
restart_session() { wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true
  wineserver -p 2>/dev/null || true; wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true; }
# map_l DIR: l: is DIR from now on (a local folder, or the slow drive's mount).
map_l() {
  [ "$(readlink "$WINEPREFIX/dosdevices/l:" 2>/dev/null)" = "$1" ] && return
  ln -sfn "$1" "$WINEPREFIX/dosdevices/l:"
  restart_session
}
slow_drive() {  # slow_drive WAIT: every listing on l: waits WAIT seconds
  mkdir -p "$slow/mnt" "$slow/backing/Breit40"
  echo "$1 *" > "$slow/rules"
  if [ -z "$slow_pid" ]; then
    (cd "$slow/backing/Breit40" && for k in $(seq -f 'K%02g' 0 39); do mkdir -p "$k/Blatt"; done)
    # wide-open-slow: Weit\Breit with 2,000 sub-folders of one each; slow-open: a folder
    # three levels deep, Daten\Kurse\Jahr2026.
    if [ ! -f "$slow/.backing.done" ]; then
      (cd "$slow/backing" && { seq -f 'Weit/Breit/Ordner%04g/Blatt' 0 1999
        for y in 2024 2025 2026; do for q in 1 2 3 4; do echo "Daten/Kurse/Jahr$y/Q$q"; done; done
        echo Daten/Archiv; } | xargs mkdir -p)
      touch "$slow/.backing.done"
    fi
    setsid /usr/bin/python3 "$root/tests/slowdrive/slowfs.py" "$slow/backing" "$slow/mnt" "$slow/rules" \
      </dev/null >"$slow/daemon.log" 2>&1 &
    slow_pid=$!
    # Ended with SIGKILL at the end (it ignores SIGTERM while a listing sleeps); out of the
    # shell's job table, so the shell does not report it "Killed".
    disown "$slow_pid"
    for _ in $(seq 50); do mountpoint -q "$slow/mnt" && break; sleep 0.1; done
  fi
  map_l "$slow/mnt"
}

files=()
for run in $(seq "$runs"); do
  results="$build/bench-results-$run.txt"
  files+=("$results")
  : > "$results"
  : > "$state/stderr.txt"
  echo "== run $run of $runs ($(date -u '+%Y-%m-%d %H:%M UTC'), load average $(cut -d' ' -f1-3 /proc/loadavg))"
  for c in $cases; do
    case $c in
      create) for n in 1000 10000 100000; do point_s "$n"; bench create "$n"; done; point_s 10000 ;;
      memory) point_s 100000; bench memory 100000; point_s 10000 ;;
      picker) bench picker "$limit" ;;
      soak) point_s soak; bench soak "${OVARO_BENCH_SOAK_CYCLES:-1000}"; point_s 10000 ;;
      responsive-slow) slow_drive 3; bench responsive-slow ;;
      responsive-wide) slow_drive 0; point_s 10000; bench responsive-wide ;;
      slow-expand) slow_drive 0.25; bench slow-expand 250 drive; slow_drive 0; bench slow-expand 250 latency ;;
      # s: holds 1,000 folders here, so that the wide folder is l:\Weit\Breit alone.
      wide-open) point_s 1000; map_l "$data/open"; bench wide-open wide-open 'l:\Weit\Breit' 300; point_s 10000 ;;
      wide-open-slow) point_s 1000; slow_drive 0.005; bench wide-open wide-open-slow 'l:\Weit\Breit' 1000
        point_s 10000 ;;
      slow-open) slow_drive 3; bench slow-open 'l:\Daten\Kurse\Jahr2026' ;;
      split) for n in 10000 100000; do point_s "$n"; bench split "$n"; done; point_s 10000 ;;
      *) bench "$c" ;;
    esac
  done
done

echo
echo "== machine: $(machine); load average at the end $(cut -d' ' -f1-3 /proc/loadavg)"
readme_table "${files[0]}"
echo "(median [min..max] of the repeats of run 1; machine-readable lines in ${files[*]})"
if [ ${#files[@]} -gt 1 ]; then
  echo
  echo "== spread over $runs runs"
  spread_table "${files[@]}"
fi
