#!/usr/bin/python3
"""A slow drive for the tests: serves BACKING read-only at MOUNTPOINT, and every folder
listing (readdir) first waits as the rules file says. Lookups and attributes answer at
once: Wine opens files in its server process, which must never be the one that waits.

    slowfs.py BACKING MOUNTPOINT RULES

RULES is read anew for every listing (names come sorted), so a test changes the drive's
behaviour by rewriting it. One rule a line, "WHAT PATH": WHAT is a number of seconds,
"hang" (the listing does not return while the rule stands; its path is added to
RULES.hanging meanwhile), "fail" (opening the folder for listing is denied at
once: Wine takes a failed read itself as an empty folder) or "fail:SECONDS" (opening the
folder waits, then fails with ETIMEDOUT, as a share that times out does; the program sees
ERROR_GEN_FAILURE, and since Wine's server does the opening, the whole Wine session waits
meanwhile); PATH is relative to the drive root with "/" separators ("/" is the root, "*"
every folder, "/A/*" every folder below /A). The first rule that matches
wins; no rule, no wait. Lines starting with "#" are ignored.

Every opening of a folder is logged in RULES.opens, its path a line, so that a test can
count the attempts to read a folder.
"""
import errno
import os
import sys
import time

import fusepy


def rules_for(rules_file, path):
    try:
        with open(rules_file, encoding="utf-8") as f:
            lines = f.read().splitlines()
    except OSError:
        return None
    for line in lines:
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        what, _, pattern = line.partition(" ")
        pattern = pattern.strip()
        if pattern == "*" or pattern.rstrip("/") == path.rstrip("/") or (pattern == "/" and path == "/") or \
                (pattern.endswith("/*") and path.startswith(pattern[:-1])):
            return what
    return None


class SlowFs(fusepy.Operations):
    def __init__(self, backing, rules):
        self.backing = backing
        self.rules = rules

    def _real(self, path):
        return os.path.join(self.backing, path.lstrip("/"))

    def getattr(self, path, fh=None):
        try:
            st = os.lstat(self._real(path))
        except OSError as e:
            raise fusepy.FuseOSError(e.errno)
        return {k: getattr(st, k) for k in ("st_mode", "st_nlink", "st_size", "st_uid", "st_gid",
                                            "st_atime", "st_mtime", "st_ctime")}

    def opendir(self, path):
        with open(self.rules + ".opens", "a", encoding="utf-8") as f:
            f.write(path + "\n")
        what = rules_for(self.rules, path) or ""
        if what == "fail":
            raise fusepy.FuseOSError(errno.EACCES)
        if what.startswith("fail:"):
            time.sleep(float(what[len("fail:"):]))
            raise fusepy.FuseOSError(errno.ETIMEDOUT)
        return 0

    def readdir(self, path, fh):
        what = rules_for(self.rules, path)
        if what == "hang":
            # Told in RULES.hanging, one path a line, so that a test knows the listing waits.
            with open(self.rules + ".hanging", "a", encoding="utf-8") as f:
                f.write(path + "\n")
            # Until the rule goes: a test lets go of its hung listings at its end, so that
            # no process stays stuck in the kernel after the test (killing the daemon
            # does the same).
            while rules_for(self.rules, path) == "hang":
                time.sleep(0.2)
        if what is not None and not what.startswith("fail"):
            time.sleep(float(what))
        try:
            return [".", ".."] + sorted(os.listdir(self._real(path)))
        except OSError as e:
            raise fusepy.FuseOSError(e.errno)

    def statfs(self, path):
        st = os.statvfs(self.backing)
        return {k: getattr(st, k) for k in ("f_bavail", "f_bfree", "f_blocks", "f_bsize", "f_favail", "f_ffree",
                                            "f_files", "f_flag", "f_frsize", "f_namemax")}


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    backing, mountpoint, rules = sys.argv[1:]
    # Several requests at once (the default), so that parallel listings overlap.
    fusepy.FUSE(SlowFs(os.path.abspath(backing), os.path.abspath(rules)), mountpoint, foreground=True,
                ro=True)
