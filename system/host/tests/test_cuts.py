"""Power cuts on the host's side: the cut request stops and kills the board
after keeping what the guest sent, the board's power switch kills at once,
fsck's output read into a verdict, the log's whole lines, and the second
run's scenario line."""
import tempfile
import threading
import time
import unittest
from pathlib import Path
from typing import Any

from host import cut_table, cuts, fsck
from host.layout import Layout
from host.process import run
from host.qemu import PowerSwitch
from host.scenarios import Scenario

PARTITION = Path("/tmp/p.img")
HEADER = "fsck.fat 4.2 (2021-01-31)\n"
SUMMARY = f"{PARTITION}: 6 files, 5/8167 clusters\n"
DIRTY = ("Dirty bit is set. Fs was not properly unmounted and some data may be corrupt.\n"
         " Automatically removing dirty bit.\n\nLeaving filesystem unchanged.\n")


class Board:
    """The monitor and the power switch as the cut request uses them."""

    def __init__(self) -> None:
        self.done: list[str] = []

    def command(self, name: str, **_arguments: Any) -> None:
        self.done.append(name)

    def screendump(self, target: Path) -> None:
        self.done.append("screendump")
        target.write_bytes(b"P6\n")

    def cut(self) -> None:
        self.done.append("cut")


class CutRequest(unittest.TestCase):
    def test_keeps_what_the_guest_sent_then_stops_and_kills(self) -> None:
        words = ["orvex-auth", "--make-factory", "leds:6c0a", "writeback:", "journal:6a",
                 "stdout:4b0a"]
        for display, done in ((True, ["stop", "screendump", "cut"]), (False, ["stop", "cut"])):
            with self.subTest(display=display), tempfile.TemporaryDirectory() as folder:
                board = Board()
                cuts._handlers(Path(folder), display)(board, board)["cut"](words)  # type: ignore[arg-type]
                self.assertEqual(board.done, done)
                kept = {p.name: p.read_bytes() for p in Path(folder).iterdir()}
                self.assertEqual(kept["at"], b"orvex-auth --make-factory\n")
                self.assertEqual((kept["leds"], kept["writeback"], kept["stdout"]), (b"l\n", b"", b"K\n"))
                self.assertEqual("panel.ppm" in kept, display)

    def test_a_wrong_request_leaves_the_board_running(self) -> None:
        for words in (["power"], ["power", "request", "leds:00"], ["a", "b", "leds:0", "writeback:",
                                                                    "journal:", "stdout:", "x:"]):
            with self.subTest(words=words), tempfile.TemporaryDirectory() as folder:
                board = Board()
                with self.assertRaises(ValueError):
                    cuts._handlers(Path(folder), True)(board, board)["cut"](words)  # type: ignore[arg-type]
                self.assertEqual(board.done, [])


class Switch(unittest.TestCase):
    def test_cuts_a_running_command_at_once_and_nothing_else(self) -> None:
        switch = PowerSwitch()
        with self.assertRaises(RuntimeError):
            switch.cut()  # nothing attached yet
        ended: list[int] = []
        started = time.monotonic()
        worker = threading.Thread(target=lambda: ended.append(
            run(["sleep", "30"], timeout=60, check=False, started=switch.attach).returncode))
        worker.start()
        while switch.cut_at is None:
            try:
                switch.cut()
            except RuntimeError:
                time.sleep(0.01)
        worker.join()
        self.assertEqual(ended, [-9])
        self.assertLess(time.monotonic() - started, 20)
        with self.assertRaises(RuntimeError):
            switch.cut()  # already ended


class Verdicts(unittest.TestCase):
    def test_the_dirty_bit_alone_is_no_error(self) -> None:
        cases = [
            (HEADER + SUMMARY, "clean", False),
            (HEADER + DIRTY + SUMMARY, "dirty bit set, no error", True),
            (HEADER + "/H.TXT\n  File size is 6 bytes, cluster chain length is 0 bytes.\n"
             "  Truncating file to 0 bytes.\n\nLeaving filesystem unchanged.\n" + SUMMARY,
             "errors: /H.TXT / File size is 6 bytes, cluster chain length is 0 bytes. / "
             "Truncating file to 0 bytes.", False),
        ]
        for output, text, dirty in cases:
            with self.subTest(text=text):
                verdict = fsck.verdict(output)
                self.assertEqual((verdict.text, verdict.dirty), (text, dirty))

    def test_whole_lines(self) -> None:
        for log, whole in ((b"", True), (b"Failed to set the restore point flag.\n", True),
                           (b"Failed to set the", False), (b"\0" * 46, False), (b"a\n\0\n", False)):
            with self.subTest(log=log):
                self.assertEqual(cut_table.whole_lines(log), whole)
        self.assertEqual(cut_table.visible(b"a\\b\n\x01"), "a\\\\b\\n\\x01")


class Rows(unittest.TestCase):
    def test_a_cut_keeps_each_volume_seen_while_nothing_else_changes(self) -> None:
        def made(volume: str, flags: str = "both flags", name: str = "c") -> dict[str, str]:
            fields = dict.fromkeys(cut_table.KEYS, "")
            fields.update(name=name, volume=volume, flags=flags)
            return fields
        a, b = made("notes.txt 37 B"), made("K300-RESTOREMARK-V1-0.log 0 B, notes.txt 37 B")
        other = made("notes.txt 37 B", name="d")
        # (recorded, made, the cut's rows once recorded)
        cases = [
            ([], a, [a]),
            ([a, other], a, [a]),
            ([a, other], b, [b, a]),  # in the order of their volumes
            ([a, b], made("x", flags="the factory flag"), [made("x", flags="the factory flag")]),
        ]
        for recorded, new, rows in cases:
            with self.subTest(recorded=recorded, new=new):
                self.assertEqual(cut_table.merged(recorded, new), rows)


class SecondRun(unittest.TestCase):
    def test_the_cut_scenario_again_without_its_cut(self) -> None:
        # (the cut's knobs, what the first run did to the main-user install file, the line)
        cases = [
            (("--platform", "device", "--cut", "factory", "--cut-delay", "40000"), "kept",
             "c-again --platform device"),
            (("--platform", "device", "--no-display", "--cut", "power"), "removed",
             "c-again --platform device --no-display --no-main-user-install"),
        ]
        for knobs, main_user, line in cases:
            with self.subTest(knobs=knobs), tempfile.TemporaryDirectory() as folder:
                layout = Layout.of_checkout(Path(folder))
                (layout.cuts / "c").mkdir(parents=True)
                (layout.cuts / "c" / "record").write_text(
                    f"cut-call=none\nflags=factory restore\nmain-user={main_user}\n")
                scenario = Scenario("c", knobs, True, 8388608, "none", "accept", "device", cut="factory")
                self.assertEqual(cuts.recovery_line(layout, scenario), line)


if __name__ == "__main__":
    unittest.main()
