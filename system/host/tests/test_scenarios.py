"""The runner's side of the scenario list: system-twin's lines read back, and
the scenarios grouped into boots."""
import unittest

from host.scenarios import ScenarioError, parse, boots


def line(name: str, display: str = "yes", fb_memory: int = 8388608, platform: str = "linux") -> str:
    return (f"name={name}\tplatform={platform}\tdisplay={display}\tfb-memory={fb_memory}\t"
            f"led-trigger=none\tpower=accept\tmain-user=yes\tcut=none\tcut-delay=0\tknobs=--platform {platform}")


class ScenarioLines(unittest.TestCase):
    def test_fields_come_back(self) -> None:
        [s] = parse("name=leds\tplatform=linux\tdisplay=no\tfb-memory=1024\tled-trigger=timer\t"
                    "power=refuse\tmain-user=no\tcut=remove\tcut-delay=40\tknobs=--no-display --power refuse\n")
        self.assertEqual((s.name, s.display, s.fb_memory, s.led_trigger, s.power, s.main_user, s.cut,
                          s.cut_delay, s.knobs),
                         ("leds", False, 1024, "timer", "refuse", False, "remove", 40,
                          ("--no-display", "--power", "refuse")))
        self.assertEqual(s.board.name, "fb-1024")
        # The reference drivers make a boot of their own.
        [d] = parse(line("d", platform="device"))
        self.assertEqual(d.board.name, "contract-fb-8388608")

    def test_a_line_without_a_field_is_refused(self) -> None:
        for text in ["name=a\tdisplay=yes", line("a").replace("fb-memory=8388608", "fb-memory=lots")]:
            with self.subTest(text=text), self.assertRaises(ScenarioError):
                parse(text)


class Boots(unittest.TestCase):
    def test_grouping(self) -> None:
        # (scenarios as (name, display, fb memory, platform), the boots as "BOOT: NAME...")
        cases: list[tuple[list[tuple[str, str, int, str]], list[str]]] = [
            ([("a", "yes", 8388608, "linux"), ("b", "yes", 1024, "linux"), ("c", "yes", 8388608, "linux")],
             ["fb-8388608: a c", "fb-1024: b"]),
            # LED scenarios join the boot with the fewest scenarios so far.
            ([("a", "yes", 8388608, "linux"), ("b", "yes", 8388608, "linux"), ("c", "yes", 1024, "linux"),
              ("l1", "no", 8388608, "linux"), ("l2", "no", 8388608, "linux")],
             ["fb-8388608: a b l2", "fb-1024: c l1"]),
            # Without a display scenario, the first LED scenario's board.
            ([("l1", "no", 4096, "linux"), ("l2", "no", 8388608, "linux")], ["fb-4096: l1 l2"]),
            # ... of its own drivers: an LED scenario never boots on the other's.
            ([("a", "yes", 1024, "linux"), ("l1", "no", 8388608, "device"), ("d", "yes", 1024, "device"),
              ("l2", "no", 8388608, "linux"), ("e", "yes", 4096, "device")],
             ["fb-1024: a l2", "contract-fb-1024: d l1", "contract-fb-4096: e"]),
            ([], []),
        ]
        for listed, expected in cases:
            with self.subTest(listed=listed):
                found = boots(parse("\n".join(line(*scenario) for scenario in listed)))
                self.assertEqual([f"{b.name}: " + " ".join(s.name for s in b.scenarios) for b in found],
                                 expected)


if __name__ == "__main__":
    unittest.main()
