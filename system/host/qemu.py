"""One boot of the guest in qemu-system-arm (software emulation), always
under a time limit: qemu runs in a process group of its own, killed at the
limit and whenever the runner leaves, however it leaves. Its machine monitor
(QMP) listens on a socket, for what the host does to the running board."""
import json
import signal
import socket
import subprocess
import threading
import time
from pathlib import Path
from typing import IO, Any

from .process import Argument, run

MACHINE = ["-M", "vexpress-a15", "-cpu", "cortex-a15", "-m", "256", "-nographic", "-no-reboot"]
# panic=-1: a kernel panic restarts the board, which -no-reboot turns into
# qemu's exit instead of a hang.
KERNEL_ARGS = "console=ttyAMA0 rdinit=/init panic=-1"
MONITOR_SECONDS = 30  # for one monitor command and its answer


def _disk(name: str, image: Path) -> list[str]:
    return ["-drive", f"if=none,id={name},file={image},format=raw",
            "-device", f"virtio-blk-device,drive={name},serial={name}"]


class MonitorError(RuntimeError):
    pass


class Monitor:
    """qemu's machine monitor on a Unix socket: one connection per command,
    which returns once qemu has done it."""

    def __init__(self, path: Path) -> None:
        self.path = path

    def qemu_args(self) -> list[str]:
        return ["-qmp", f"unix:{self.path},server=on,wait=off"]

    def command(self, name: str, **arguments: object) -> Any:
        """Runs one command; returns its result, or raises MonitorError with
        qemu's reason."""
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as connection:
            connection.settimeout(MONITOR_SECONDS)
            try:
                connection.connect(str(self.path))
                replies = connection.makefile("r", encoding="utf-8")
                self._reply(replies, "QMP")  # the greeting
                for sent in ({"execute": "qmp_capabilities"},
                             {"execute": name, "arguments": arguments}):
                    connection.sendall(json.dumps(sent).encode() + b"\n")
                    answer = self._reply(replies, "return", "error")
            except OSError as error:
                raise MonitorError(f"qemu's monitor {self.path}: {error}") from None
        if "error" in answer:
            raise MonitorError(f"{name}: {answer['error'].get('desc', answer['error'])}")
        return answer["return"]

    @staticmethod
    def _reply(replies: IO[str], *keys: str) -> dict[str, Any]:
        """The next message that has one of `keys` (events in between are
        skipped)."""
        for line in replies:
            message = json.loads(line)
            if any(key in message for key in keys):
                return message
        raise MonitorError("qemu closed its monitor")

    def screendump(self, target: Path) -> None:
        """The display's scanout as a P6 image: what the panel shows now."""
        self.command("screendump", filename=str(target))


class PowerSwitch:
    """The board's power, for a power cut: `cut` kills qemu at once with
    SIGKILL, from any thread, so that the guest gets no unmount, no flush and
    no further instruction; what its block devices had written to the image
    files stays there, what its page cache held is gone."""

    def __init__(self) -> None:
        self._lock = threading.Lock()
        self._process: "subprocess.Popen[Any] | None" = None
        self.cut_at: float | None = None  # time.monotonic() of the cut

    def attach(self, process: "subprocess.Popen[Any]") -> None:
        with self._lock:
            self._process = process

    def cut(self) -> None:
        """Raises RuntimeError when qemu is not running."""
        with self._lock:
            # poll() reaps an ended qemu, so its pid cannot be anyone else's.
            if self._process is None or self._process.poll() is not None:
                raise RuntimeError("qemu is not running")
            self._process.send_signal(signal.SIGKILL)
            self.cut_at = time.monotonic()


def boot(kernel_image: Path, initrd: Path, dtb: Path, volumes: Path, results: Path,
         console: Path, limit: float, extra: list[str], power: PowerSwitch | None = None) -> int:
    """Runs the guest to its power-off (or to a cut of its `power`), its
    serial log to `console`, with `extra` arguments (the monitor, the host
    line); returns qemu's exit status. Raises CommandTimedOut when it runs
    past `limit` seconds."""
    command: list[Argument] = ["qemu-system-arm", *MACHINE, "-kernel", kernel_image, "-initrd", initrd,
               "-dtb", dtb, "-append", KERNEL_ARGS, *_disk("volumes", volumes),
               *_disk("results", results), *extra]
    with open(console, "wb") as log:
        done = run(command, timeout=limit, check=False, stdout=log, stderr=subprocess.STDOUT,
                   started=power.attach if power is not None else None)
    return int(done.returncode)
