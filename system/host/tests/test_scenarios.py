"""The runner's side of the scenario list: system-twin's lines read back, and
the scenarios grouped into boots."""
import unittest

from host.scenarios import ScenarioError, parse, boots


def line(name: str, display: str = "yes", fb_memory: int = 8388608) -> str:
    return (f"name={name}\tdisplay={display}\tfb-memory={fb_memory}\tled-trigger=none\t"
            "power=accept\tknobs=--platform linux --max-brightness 1")


class ScenarioLines(unittest.TestCase):
    def test_fields_come_back(self) -> None:
        [s] = parse("name=leds\tdisplay=no\tfb-memory=1024\tled-trigger=timer\tpower=refuse\t"
                    "knobs=--no-display --power refuse\n")
        self.assertEqual((s.name, s.display, s.fb_memory, s.led_trigger, s.power, s.knobs),
                         ("leds", False, 1024, "timer", "refuse", ("--no-display", "--power", "refuse")))
        self.assertEqual(s.board.name, "fb-1024")

    def test_a_line_without_a_field_is_refused(self) -> None:
        for text in ["name=a\tdisplay=yes", line("a").replace("fb-memory=8388608", "fb-memory=lots")]:
            with self.subTest(text=text), self.assertRaises(ScenarioError):
                parse(text)


class Boots(unittest.TestCase):
    def test_grouping(self) -> None:
        # (scenarios as (name, display, fb memory), the boots as "BOOT: NAME...")
        cases: list[tuple[list[tuple[str, str, int]], list[str]]] = [
            ([("a", "yes", 8388608), ("b", "yes", 1024), ("c", "yes", 8388608)],
             ["fb-8388608: a c", "fb-1024: b"]),
            # LED scenarios join the boot with the fewest scenarios so far.
            ([("a", "yes", 8388608), ("b", "yes", 8388608), ("c", "yes", 1024),
              ("l1", "no", 8388608), ("l2", "no", 8388608)],
             ["fb-8388608: a b l2", "fb-1024: c l1"]),
            # Without a display scenario, the first LED scenario's board.
            ([("l1", "no", 4096), ("l2", "no", 8388608)], ["fb-4096: l1 l2"]),
            ([], []),
        ]
        for listed, expected in cases:
            with self.subTest(listed=listed):
                found = boots(parse("\n".join(line(n, d, m) for n, d, m in listed)))
                self.assertEqual([f"{b.name}: " + " ".join(s.name for s in b.scenarios) for b in found],
                                 expected)


if __name__ == "__main__":
    unittest.main()
