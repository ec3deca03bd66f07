"""dosfstools' check of a FAT volume, read-only (`fsck.fat -n` on a file
holding the partition's bytes), and its verdict. A set dirty bit says only
that the volume was not unmounted (which every power cut, and every power
request that restarts the device, leaves); anything else fsck says is an
error of the file system."""
import re
from dataclasses import dataclass
from pathlib import Path

from .process import run

FSCK_SECONDS = 60

# What fsck.fat -n says about the dirty bit alone, and what it always says.
_DIRTY = ("Dirty bit is set. Fs was not properly unmounted and some data may be corrupt.",
          "Automatically removing dirty bit.")
_ALWAYS = ("Leaving filesystem unchanged.",)
# Its last line, whatever the partition's file was called: "P: 3 files, 2/8167 clusters".
_SUMMARY = re.compile(r": \d+ files?, \d+/\d+ clusters$")


@dataclass(frozen=True)
class Verdict:
    dirty: bool         # the dirty bit is set
    errors: list[str]   # what fsck found besides, line by line
    output: str         # fsck's whole output

    @property
    def text(self) -> str:
        """For a person: "clean", "dirty bit set", or the errors."""
        if self.errors:
            return "errors: " + " / ".join(self.errors)
        return "dirty bit set, no error" if self.dirty else "clean"


def verdict(output: str) -> Verdict:
    """fsck.fat -n's output, read: its first line names the program, its
    last one counts files and clusters."""
    lines = [line.strip() for line in output.splitlines()]
    lines = [line for line in lines[1:] if line and not _SUMMARY.search(line)]
    dirty = any(line in _DIRTY for line in lines)
    return Verdict(dirty, [line for line in lines if line not in _DIRTY + _ALWAYS], output)


def check(partition: Path) -> Verdict:
    """Runs fsck.fat -n on the partition's bytes; exit status 0 or 1 (found
    something) both give a verdict, anything else raises RuntimeError."""
    done = run(["fsck.fat", "-n", partition], timeout=FSCK_SECONDS, check=False)
    if done.returncode not in (0, 1):
        raise RuntimeError(f"fsck.fat -n {partition} exited with {done.returncode}: {done.stderr.strip()}")
    return verdict(done.stdout + done.stderr)
