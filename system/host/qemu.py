"""One boot of the guest in qemu-system-arm (software emulation), always
under a time limit: qemu runs in a process group of its own, killed at the
limit and whenever the runner leaves, however it leaves."""
import subprocess
from pathlib import Path

from .process import Argument, run

MACHINE = ["-M", "vexpress-a15", "-cpu", "cortex-a15", "-m", "256", "-nographic", "-no-reboot"]
# panic=-1: a kernel panic restarts the board, which -no-reboot turns into
# qemu's exit instead of a hang.
KERNEL_ARGS = "console=ttyAMA0 rdinit=/init panic=-1"


def _disk(name: str, image: Path) -> list[str]:
    return ["-drive", f"if=none,id={name},file={image},format=raw",
            "-device", f"virtio-blk-device,drive={name},serial={name}"]


def boot(kernel_image: Path, initrd: Path, dtb: Path, volumes: Path, results: Path,
         console: Path, limit: float) -> int:
    """Runs the guest to its power-off, its serial log to `console`; returns
    qemu's exit status. Raises CommandTimedOut when it runs past `limit`
    seconds."""
    command: list[Argument] = ["qemu-system-arm", *MACHINE, "-kernel", kernel_image, "-initrd", initrd,
               "-dtb", dtb, "-append", KERNEL_ARGS, *_disk("volumes", volumes),
               *_disk("results", results)]
    with open(console, "wb") as log:
        done = run(command, timeout=limit, check=False, stdout=log, stderr=subprocess.STDOUT)
    return int(done.returncode)
