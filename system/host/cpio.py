"""Writes initramfs archives in the kernel's "newc" cpio format, device nodes
included, so that nothing is created on the host's file systems."""
import stat

_MAGIC = b"070701"


class Archive:
    def __init__(self):
        self._entries = []
        self._names = set()

    def _add(self, name, mode, data=b"", rdev=(0, 0)):
        name = name.strip("/")
        if name in self._names:
            raise ValueError(f"{name} is in the archive twice")
        self._names.add(name)
        self._entries.append((name, mode, data, rdev))

    def directory(self, name):
        self._add(name, stat.S_IFDIR | 0o755)

    def file(self, name, data, mode=0o644):
        self._add(name, stat.S_IFREG | mode, data)

    def symlink(self, name, target):
        self._add(name, stat.S_IFLNK | 0o777, target.encode())

    def char_device(self, name, major, minor, mode=0o600):
        self._add(name, stat.S_IFCHR | mode, rdev=(major, minor))

    def directories_of(self, name):
        """Adds every missing parent folder of `name`."""
        parts = name.strip("/").split("/")[:-1]
        for i in range(1, len(parts) + 1):
            parent = "/".join(parts[:i])
            if parent not in self._names:
                self.directory(parent)

    def bytes(self):
        out = bytearray()
        for ino, (name, mode, data, rdev) in enumerate(self._entries + [("TRAILER!!!", 0, b"", (0, 0))], 1):
            encoded = name.encode() + b"\0"
            fields = [ino, mode, 0, 0, 1, 0, len(data), 0, 0, rdev[0], rdev[1], len(encoded), 0]
            out += _MAGIC + b"".join(b"%08X" % f for f in fields) + encoded
            out += b"\0" * (-len(out) % 4) + data
            out += b"\0" * (-len(out) % 4)
        return bytes(out)
