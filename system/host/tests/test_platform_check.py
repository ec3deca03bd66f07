"""What the platform check left of the guest's device, read from its copies
before and after it, and the twin's knobs for a boot's device."""
import tempfile
import unittest
from pathlib import Path

from host import volumes
from host.platform_check import left_as_found, twin_knobs
from host.results import Files
from host.scenarios import CONTRACT, Board

LEDS = "LED1:YELLOW:PIN1 brightness=0 trigger=none delay_on=- delay_off=-\n"


class LeftAsFound(unittest.TestCase):
    def setUp(self) -> None:
        self.folder = Path(self.enterContext(tempfile.TemporaryDirectory()))
        for when in ("before", "after"):
            (self.folder / f"leds-{when}").write_text(LEDS)
            (self.folder / f"volume-{when}").write_text("8c80  ./notes.txt\n")
            (self.folder / f"fb-memory-{when}").write_bytes(bytes(2048))
        (self.folder / "volume").mkdir()
        for name, data in list(volumes.PACKAGE_FILES.items()) + [volumes.USER_FILE]:
            (self.folder / "volume" / name).write_bytes(data)

    def test_a_device_as_found_reads_so_line_by_line(self) -> None:
        self.assertEqual(left_as_found(Files(self.folder)),
                         "LEDs: as before the check\ndisplay memory: as before the check\n"
                         "volume files: as before the check\nvolume read back after power-off: as made\n")

    def test_each_part_that_changed_says_how(self) -> None:
        (self.folder / "leds-after").write_text(LEDS.replace("brightness=0", "brightness=1"))
        (self.folder / "fb-memory-after").write_bytes(bytes(1000) + b"\x01" + bytes(1047))
        (self.folder / "volume" / "restoremark-check-7.tmp").write_bytes(b"left\n")
        lines = left_as_found(Files(self.folder)).splitlines()
        self.assertEqual(lines[0], f"LEDs: differ: {LEDS.strip()!r} before, "
                                   f"{LEDS.strip().replace('brightness=0', 'brightness=1')!r} after")
        self.assertEqual(lines[1], "display memory: 1 of 2048 bytes differ, the first at 1000 (2048 bytes afterwards)")
        self.assertEqual(lines[2], "volume files: as before the check")
        self.assertIn("restoremark-check-7.tmp", "\n".join(lines[3:]))


class TwinKnobs(unittest.TestCase):
    def test_the_boots_drivers_and_display_memory(self) -> None:
        self.assertEqual(twin_knobs(Board(1024)),
                         ["--platform", "linux", "--max-brightness", "1", "--fb-memory", "1024"])
        self.assertEqual(twin_knobs(Board(8388608, CONTRACT)),
                         ["--platform", "device", "--fb-memory", "8388608"])
