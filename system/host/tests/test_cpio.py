"""The initramfs writer, read back as the kernel reads a "newc" archive:
110-byte headers of hexadecimal fields, names and data padded to 4 bytes,
the TRAILER!!! entry last."""
import stat
import unittest

from host.cpio import MAGIC, Archive, Entry


def read_newc(archive: bytes) -> list[Entry]:
    entries: list[Entry] = []
    at = 0
    while True:
        assert archive[at:at + 6] == MAGIC, f"no magic at {at}"
        fields = [int(archive[at + 6 + 8 * i:at + 14 + 8 * i], 16) for i in range(13)]
        name_size, data_size = fields[11], fields[6]
        name_at = at + 110
        name = archive[name_at:name_at + name_size - 1].decode()
        assert archive[name_at + name_size - 1] == 0, "name without its NUL"
        data_at = (name_at + name_size + 3) & ~3
        at = (data_at + data_size + 3) & ~3
        if name == "TRAILER!!!":
            assert at == len(archive), "bytes after the trailer"
            return entries
        entries.append(Entry(name, fields[1], archive[data_at:data_at + data_size],
                             (fields[9], fields[10])))


class Writer(unittest.TestCase):
    def test_entries_come_back(self) -> None:
        archive = Archive()
        archive.directories_of("usr/local/bin/tool")
        archive.file("usr/local/bin/tool", b"abc", 0o755)  # data not a multiple of 4
        archive.symlink("/bin/sh", "busybox")             # leading '/' dropped
        archive.char_device("dev/console", 5, 1)
        archive.file("empty", b"")
        expected = [
            Entry("usr", stat.S_IFDIR | 0o755, b"", (0, 0)),
            Entry("usr/local", stat.S_IFDIR | 0o755, b"", (0, 0)),
            Entry("usr/local/bin", stat.S_IFDIR | 0o755, b"", (0, 0)),
            Entry("usr/local/bin/tool", stat.S_IFREG | 0o755, b"abc", (0, 0)),
            Entry("bin/sh", stat.S_IFLNK | 0o777, b"busybox", (0, 0)),
            Entry("dev/console", stat.S_IFCHR | 0o600, b"", (5, 1)),
            Entry("empty", stat.S_IFREG | 0o644, b"", (0, 0)),
        ]
        self.assertEqual(read_newc(archive.bytes()), expected)

    def test_a_name_is_added_once(self) -> None:
        archive = Archive()
        archive.directories_of("a/b/c")
        archive.directories_of("a/b/d")  # its parents are there already
        self.assertEqual([e.name for e in read_newc(archive.bytes())], ["a", "a/b"])
        with self.assertRaises(ValueError):
            archive.directory("a/")
        with self.assertRaises(ValueError):
            archive.file("/a/b", b"")


if __name__ == "__main__":
    unittest.main()
