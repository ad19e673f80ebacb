#!/usr/bin/env bash
# The slow drive l: of the test prefix, for the tests that need it (a CTest fixture):
#   slow-drive.sh STATE_DIR --mount     serve STATE_DIR/slowdrive/backing through slowfs.py
#                                        and map it as l: (STATE_DIR/prefix is the prefix)
#   slow-drive.sh STATE_DIR --unmount   remove the mapping, the mount and the daemon
# While mounted, the tests steer every listing's wait through STATE_DIR/slowdrive/rules
# (see slowfs.py). The drive exists only between the two calls, so the other tests and
# the screenshots see the prefix's drives as always. --unmount always cleans up, also
# after a failed test or a listing that never returns.
set -uo pipefail
state=$(cd "$1" && pwd); what=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
dir="$state/slowdrive"
link="$state/prefix/dosdevices/l:"

# The session's mount manager takes up added and removed drives only when it starts.
restart_session() {
  WINEPREFIX="$state/prefix" wineserver -k 2>/dev/null || true
  WINEPREFIX="$state/prefix" wineserver -w 2>/dev/null || true
  "$here/../../cmake/wine-session.sh" "$state" --start
}

unmount() {
  rm -f "$link"
  if mountpoint -q "$dir/mnt" 2>/dev/null; then
    # Lazy: a listing that hangs keeps the mount busy for a plain unmount.
    umount -l "$dir/mnt" 2>/dev/null || fusermount3 -uz "$dir/mnt" 2>/dev/null || true
  fi
  # The daemon does not end on SIGTERM while a listing sleeps in it.
  if [ -f "$dir/daemon.pid" ]; then
    kill -9 "$(cat "$dir/daemon.pid")" 2>/dev/null || true
    rm -f "$dir/daemon.pid"
  fi
}

case $what in
  --unmount)
    had_link=$([ -L "$link" ] && echo yes || true)
    unmount
    [ -n "$had_link" ] && restart_session
    exit 0 ;;
  --mount) ;;
  *) echo "usage: slow-drive.sh STATE_DIR --mount|--unmount" >&2; exit 2 ;;
esac

set -e
unmount
[ -d "$state/prefix/dosdevices" ] || { echo "slow-drive: no prefix in $state" >&2; exit 1; }
rm -rf "$dir/backing"
mkdir -p "$dir/mnt" "$dir/backing"
# The folders the slow-drive tests use; their waits come from the rules.
for d in Langsam/Innen A_Langsam/Kind B_Kaputt/Kind Haengt/Kind Ruhig/Kind; do mkdir -p "$dir/backing/$d"; done
# A wide folder: 300 sub-folders, of which only those that show are read at once.
mkdir -p "$dir/backing/Breit/Ordner"{001..300}
: > "$dir/rules"
setsid /usr/bin/python3 "$here/slowfs.py" "$dir/backing" "$dir/mnt" "$dir/rules" \
  </dev/null >"$dir/daemon.log" 2>&1 &
echo $! > "$dir/daemon.pid"
for _ in $(seq 50); do
  mountpoint -q "$dir/mnt" && break
  sleep 0.1
done
mountpoint -q "$dir/mnt" || { echo "slow-drive: mount failed" >&2; cat "$dir/daemon.log" >&2; unmount; exit 1; }
ln -sfn "$dir/mnt" "$link"
restart_session
