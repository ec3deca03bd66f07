"""The board's device tree: the kernel package's own Versatile Express
CA15 tree, decompiled, with the device's display and LEDs merged in
(system/device-board.dtsi), the display memory sized per boot and, on a
contract boot, the LEDs given to the reference LED driver."""
from pathlib import Path

from .process import run
from .scenarios import CONTRACT, Board

DTC_SECONDS = 60


def build(board: Board, kernel_dtb: Path, device: Path, target: Path) -> None:
    """Writes the board's tree to `target` (and its source beside it)."""
    decompiled = run(["dtc", "-q", "-I", "dtb", "-O", "dts", kernel_dtb], timeout=DTC_SECONDS).stdout
    vram = ("\n/ {\n\treserved-memory {\n\t\tvram@18000000 {\n"
            f"\t\t\treg = <0x0 0x18000000 0x0 {board.fb_memory:#x}>;\n\t\t}};\n\t}};\n}};\n")
    # The reference driver binds by its own compatible; leds-gpio then leaves
    # the node alone.
    leds = "\n/ {\n\tleds {\n\t\tcompatible = \"restoremark,gpio-leds-blink\";\n\t};\n};\n"
    source = target.with_suffix(".dts")
    source.write_text(decompiled + "\n" + device.read_text() + vram
                      + (leds if board.drivers == CONTRACT else ""))
    run(["dtc", "-q", "-I", "dts", "-O", "dtb", "-o", target, source], timeout=DTC_SECONDS)
