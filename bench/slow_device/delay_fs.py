#!/usr/bin/python3
"""A slow device's flushes, modelled: a FUSE file system that passes every call through to a
backing folder but makes each flush (fsync) wait a set time, one flush at a time, as a USB stick
or a network share does. It counts the flushes in a file beside it.

Usage: delay_fs.py BACKING MOUNTPOINT DELAY_MS COUNT_FILE   (stays in the foreground)
"""

import os
import sys
import threading
import time

import fusepy


class DelayedFlushes(fusepy.Operations):
    def __init__(self, backing, delay_ms, count_file):
        self.backing = backing
        self.delay = delay_ms / 1000
        self.count_file = count_file
        self.flushes = 0
        self.one_at_a_time = threading.Lock()

    def _path(self, path):
        return os.path.join(self.backing, path.lstrip("/"))

    def getattr(self, path, fh=None):
        status = os.lstat(self._path(path))
        return {key: getattr(status, key) for key in (
            "st_atime", "st_ctime", "st_gid", "st_mode", "st_mtime", "st_nlink", "st_size",
            "st_uid")}

    def readdir(self, path, fh):
        return [".", ".."] + os.listdir(self._path(path))

    def create(self, path, mode, fi=None):
        return os.open(self._path(path), os.O_RDWR | os.O_CREAT, mode)

    def open(self, path, flags):
        return os.open(self._path(path), flags)

    def read(self, path, size, offset, fh):
        return os.pread(fh, size, offset)

    def write(self, path, data, offset, fh):
        return os.pwrite(fh, data, offset)

    def truncate(self, path, length, fh=None):
        os.truncate(self._path(path), length)

    def unlink(self, path):
        os.unlink(self._path(path))

    def flush(self, path, fh):
        return 0

    def release(self, path, fh):
        os.close(fh)

    def fsync(self, path, datasync, fh):
        with self.one_at_a_time:
            time.sleep(self.delay)
            os.fsync(fh)
            self.flushes += 1
            with open(self.count_file, "w") as count:
                count.write(f"{self.flushes}\n")
        return 0


def main():
    backing, mountpoint, delay_ms, count_file = sys.argv[1:5]
    with open(count_file, "w") as count:
        count.write("0\n")
    fusepy.FUSE(DelayedFlushes(backing, float(delay_ms), count_file), mountpoint,
                foreground=True, nothreads=True)


if __name__ == "__main__":
    main()
