"""The board's device tree: the kernel package's own Versatile Express
CA15 tree, decompiled, with the device's display and LEDs merged in
(system/device-board.dtsi) and the display memory sized per boot."""
import subprocess

from . import paths


def build(kernel, fb_memory, target):
    board = subprocess.run(["dtc", "-q", "-I", "dtb", "-O", "dts", str(kernel.board_dtb)],
                           check=True, capture_output=True, text=True).stdout
    vram = ("\n/ {\n\treserved-memory {\n\t\tvram@18000000 {\n"
            f"\t\t\treg = <0x0 0x18000000 0x0 {fb_memory:#x}>;\n\t\t}};\n\t}};\n}};\n")
    source = board + "\n" + (paths.SYSTEM / "device-board.dtsi").read_text() + vram
    target.with_suffix(".dts").write_text(source)
    subprocess.run(["dtc", "-q", "-I", "dts", "-O", "dtb", "-o", str(target),
                    str(target.with_suffix(".dts"))], check=True)
