"""The scenarios' FAT volumes: one disk image whose GPT partition N is the
volume of the boot's scenario N, made, filled and read back with
mkfs.vfat, mtools and sfdisk on the image file alone: no loop device, no
mount, nothing of the host's /dev."""
import os
from pathlib import Path

from .process import run

SECTOR = 512
FIRST = 2048               # sectors before the first partition
PART_SECTORS = 16 * 2048   # 16 MiB each
TRAILER = 2048             # room for the backup GPT
TOOL_SECONDS = 60          # for each sfdisk, mkfs.vfat and mtools call

# The files a device holds before the run: the package (which the program
# deletes) and a user's file that no step may touch. The same bytes as the
# twin's device image.
PACKAGE_FILES = {
    "K300-RESTOREMARK-V1-0.tar.gz": b"package archive\n",
    "install": b"#!/bin/sh\n# package install script\n",
    "install.sig": b"package install signature\n",
    "main-user.crt": b"main-user certificate\n",
}
USER_FILE = ("notes.txt", b"a user's file that no step may touch\n")

_ENV = dict(os.environ, MTOOLS_SKIP_CHECK="1", MTOOLS_NO_VFAT="0")


def _start(index: int) -> int:
    return FIRST + (index - 1) * PART_SECTORS


def _drive(image: Path, index: int) -> str:
    return f"{image}@@{_start(index) * SECTOR}"


def _partitioned(image: Path, count: int) -> None:
    """A fresh image with `count` empty partitions."""
    image.unlink(missing_ok=True)
    with open(image, "wb") as out:
        out.truncate((FIRST + count * PART_SECTORS + TRAILER) * SECTOR)
    table = "label: gpt\nunit: sectors\n" + "".join(
        f"start={_start(i)}, size={PART_SECTORS}, type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7\n"
        for i in range(1, count + 1))
    run(["sfdisk", "-q", "--no-reread", "--no-tell-kernel", image], input=table,
        timeout=TOOL_SECONDS)


def make(image: Path, count: int) -> None:
    """A fresh image of `count` filled volumes (partitions 1..count)."""
    _partitioned(image, count)
    staging = image.parent / "volume-files"
    staging.mkdir(exist_ok=True)
    for name, data in list(PACKAGE_FILES.items()) + [USER_FILE]:
        (staging / name).write_bytes(data)
    for index in range(1, count + 1):
        # mkfs.vfat warns of the image's size on standard error: only its
        # status counts.
        run(["mkfs.vfat", "-n", "VFAT", f"--offset={_start(index)}", image,
             str(PART_SECTORS * SECTOR // 1024)], timeout=TOOL_SECONDS)
        for name in list(PACKAGE_FILES) + [USER_FILE[0]]:
            run(["mcopy", "-i", _drive(image, index), staging / name, f"::{name}"], env=_ENV,
                timeout=TOOL_SECONDS)


def read_back(image: Path, index: int, target: Path) -> None:
    """Copies every file on volume `index` into `target` (a fresh folder)."""
    target.mkdir(parents=True)
    listing = run(["mdir", "-b", "-i", _drive(image, index), "::"], env=_ENV,
                  timeout=TOOL_SECONDS).stdout
    for entry in listing.splitlines():
        name = entry.removeprefix("::/")
        if not name:
            continue
        run(["mcopy", "-n", "-s", "-i", _drive(image, index), f"::{name}", target / name],
            env=_ENV, timeout=TOOL_SECONDS)


def extract(image: Path, index: int, target: Path) -> None:
    """Volume `index`'s bytes as a file of its own, as they are."""
    with open(image, "rb") as source:
        source.seek(_start(index) * SECTOR)
        target.write_bytes(source.read(PART_SECTORS * SECTOR))


def assemble(image: Path, partitions: list[Path]) -> None:
    """A fresh image whose volume N holds the bytes of partitions[N-1] (each
    as `extract` wrote it): volumes carried over from other boots."""
    _partitioned(image, len(partitions))
    with open(image, "r+b") as out:
        for index, partition in enumerate(partitions, 1):
            data = partition.read_bytes()
            if len(data) != PART_SECTORS * SECTOR:
                raise RuntimeError(f"{partition} is {len(data)} bytes, not a volume's {PART_SECTORS * SECTOR}")
            out.seek(_start(index) * SECTOR)
            out.write(data)
