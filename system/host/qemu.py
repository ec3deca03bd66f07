"""One boot of the guest in qemu-system-arm (software emulation), always
under a time limit: `timeout` ends qemu at the limit, and the whole process
group is killed whenever the runner leaves, however it leaves."""
import os
import signal
import subprocess

MACHINE = ["-M", "vexpress-a15", "-cpu", "cortex-a15", "-m", "256", "-nographic", "-no-reboot"]
# panic=-1: a kernel panic restarts the board, which -no-reboot turns into
# qemu's exit instead of a hang.
KERNEL_ARGS = "console=ttyAMA0 rdinit=/init panic=-1"


def _disk(name, image):
    return ["-drive", f"if=none,id={name},file={image},format=raw",
            "-device", f"virtio-blk-device,drive={name},serial={name}"]


def boot(kernel_image, initrd, dtb, volumes, results, console, limit):
    """Runs the guest to its power-off; returns qemu's exit status (124 when
    the time limit ended it)."""
    command = ["timeout", "--kill-after=5", str(limit), "qemu-system-arm", *MACHINE,
               "-kernel", str(kernel_image), "-initrd", str(initrd), "-dtb", str(dtb),
               "-append", KERNEL_ARGS, *_disk("volumes", volumes), *_disk("results", results)]
    with open(console, "wb") as log:
        process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=log,
                                   stderr=subprocess.STDOUT, start_new_session=True)
        try:
            return process.wait()
        finally:
            try:
                os.killpg(process.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            process.wait()
