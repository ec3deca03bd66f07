"""Writes initramfs archives in the kernel's "newc" cpio format, device nodes
included, so that nothing is created on the host's file systems."""
import stat
from typing import NamedTuple

MAGIC = b"070701"


class Entry(NamedTuple):
    name: str
    mode: int
    data: bytes
    rdev: tuple[int, int]  # major, minor of a device node


class Archive:
    def __init__(self) -> None:
        self._entries: list[Entry] = []
        self._names: set[str] = set()

    def _add(self, name: str, mode: int, data: bytes = b"", rdev: tuple[int, int] = (0, 0)) -> None:
        name = name.strip("/")
        if name in self._names:
            raise ValueError(f"{name} is in the archive twice")
        self._names.add(name)
        self._entries.append(Entry(name, mode, data, rdev))

    def directory(self, name: str) -> None:
        self._add(name, stat.S_IFDIR | 0o755)

    def file(self, name: str, data: bytes, mode: int = 0o644) -> None:
        self._add(name, stat.S_IFREG | mode, data)

    def symlink(self, name: str, target: str) -> None:
        self._add(name, stat.S_IFLNK | 0o777, target.encode())

    def char_device(self, name: str, major: int, minor: int, mode: int = 0o600) -> None:
        self._add(name, stat.S_IFCHR | mode, rdev=(major, minor))

    def directories_of(self, name: str) -> None:
        """Adds every missing parent folder of `name`."""
        parts = name.strip("/").split("/")[:-1]
        for i in range(1, len(parts) + 1):
            parent = "/".join(parts[:i])
            if parent not in self._names:
                self.directory(parent)

    def bytes(self) -> bytes:
        out = bytearray()
        trailer = Entry("TRAILER!!!", 0, b"", (0, 0))
        for ino, (name, mode, data, rdev) in enumerate(self._entries + [trailer], 1):
            encoded = name.encode() + b"\0"
            fields = [ino, mode, 0, 0, 1, 0, len(data), 0, 0, rdev[0], rdev[1], len(encoded), 0]
            out += MAGIC + b"".join(b"%08X" % f for f in fields) + encoded
            out += b"\0" * (-len(out) % 4) + data
            out += b"\0" * (-len(out) % 4)
        return bytes(out)
