#!/usr/bin/python3
"""A device modelled as a FUSE file system that passes every call through to a backing folder.
It makes each flush (fsync) wait a set time, one flush at a time, as a USB stick or a network
share does, and counts the flushes in a file beside it. It may also delay every write, and fail
with EIO every write to a 4 KiB block that was never written before, once a given file exists:
a device going bad under the free blocks of the file system it holds.

Usage: delay_fs.py BACKING MOUNTPOINT DELAY_MS COUNT_FILE [WRITE_DELAY_MS [FAIL_WHEN]]
(stays in the foreground; FAIL_WHEN is the path of the file whose existence arms the failures)
"""

import errno
import os
import sys
import threading
import time

import fusepy

BLOCK = 4096


class DelayedFlushes(fusepy.Operations):
    def __init__(self, backing, delay_ms, count_file, write_delay_ms=0.0, fail_when=None):
        self.backing = backing
        self.delay = delay_ms / 1000
        self.write_delay = write_delay_ms / 1000
        self.count_file = count_file
        self.fail_when = fail_when
        self.written = {}  # path: the blocks written before the failures were armed
        self.flushes = 0
        self.one_at_a_time = threading.Lock()

    def _path(self, path):
        return os.path.join(self.backing, path.lstrip("/"))

    def getattr(self, path, fh=None):
        status = os.lstat(self._path(path))
        return {key: getattr(status, key) for key in (
            "st_atime", "st_ctime", "st_gid", "st_mode", "st_mtime", "st_nlink", "st_size",
            "st_uid", "st_blocks")}

    def readdir(self, path, fh):
        return [".", ".."] + os.listdir(self._path(path))

    def statfs(self, path):
        status = os.statvfs(self._path(path))
        return {key: getattr(status, key) for key in (
            "f_bavail", "f_bfree", "f_blocks", "f_bsize", "f_favail", "f_ffree", "f_files",
            "f_flag", "f_frsize", "f_namemax")}

    def create(self, path, mode, fi=None):
        return os.open(self._path(path), os.O_RDWR | os.O_CREAT | os.O_EXCL, mode)

    def open(self, path, flags):
        return os.open(self._path(path), flags)

    def read(self, path, size, offset, fh):
        return os.pread(fh, size, offset)

    def write(self, path, data, offset, fh):
        if self.write_delay:
            time.sleep(self.write_delay)
        if self.fail_when:
            blocks = self.written.setdefault(path, set())
            touched = range(offset // BLOCK, (offset + len(data) - 1) // BLOCK + 1)
            if os.path.exists(self.fail_when):
                if any(block not in blocks for block in touched):
                    raise fusepy.FuseOSError(errno.EIO)
            else:
                blocks.update(touched)
        return os.pwrite(fh, data, offset)

    def truncate(self, path, length, fh=None):
        os.truncate(self._path(path), length)

    def chmod(self, path, mode):
        os.chmod(self._path(path), mode)

    def chown(self, path, uid, gid):
        os.chown(self._path(path), uid, gid)

    def utimens(self, path, times=None):
        os.utime(self._path(path), times)

    def mkdir(self, path, mode):
        os.mkdir(self._path(path), mode)

    def rmdir(self, path):
        os.rmdir(self._path(path))

    def rename(self, old, new):
        os.rename(self._path(old), self._path(new))

    def link(self, target, source):
        os.link(self._path(source), self._path(target))

    def unlink(self, path):
        os.unlink(self._path(path))

    def flush(self, path, fh):
        return 0

    def release(self, path, fh):
        os.close(fh)

    def _flushed(self, flush):
        with self.one_at_a_time:
            time.sleep(self.delay)
            flush()
            self.flushes += 1
            with open(self.count_file, "w") as count:
                count.write(f"{self.flushes}\n")
        return 0

    def fsync(self, path, datasync, fh):
        return self._flushed(lambda: os.fsync(fh))

    def fsyncdir(self, path, datasync, fh):
        def flush_folder():
            folder = os.open(self._path(path), os.O_RDONLY | os.O_DIRECTORY)
            try:
                os.fsync(folder)
            finally:
                os.close(folder)
        return self._flushed(flush_folder)


def main():
    backing, mountpoint, delay_ms, count_file = sys.argv[1:5]
    write_delay_ms = float(sys.argv[5]) if len(sys.argv) > 5 else 0.0
    fail_when = sys.argv[6] if len(sys.argv) > 6 else None
    with open(count_file, "w") as count:
        count.write("0\n")
    fusepy.FUSE(DelayedFlushes(backing, float(delay_ms), count_file, write_delay_ms, fail_when),
                mountpoint, foreground=True, nothreads=True)


if __name__ == "__main__":
    main()
