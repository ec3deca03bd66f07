"""The LED timeline from the kernel's trace and its GPIO listing (lines in
the shape the guest's kernel writes them)."""
import unittest

from host.trace import Blink, Event, blink, events, led_lines

GPIO_LISTING = """\
gpiochip3: GPIOs 2035-2035, parent: platform/basic-mmio-gpio.2.auto, sys_flash:
 gpio-2035 (                    |LED9:BLUE:BLUETOOTH ) out lo 

gpiochip1: GPIOs 2038-2045, parent: platform/basic-mmio-gpio.0.auto, sys_led:
 gpio-2038 (                    |LED1:YELLOW:PIN1    ) out hi 
"""


class Trace(unittest.TestCase):
    def test_led_names_from_the_listing(self) -> None:
        self.assertEqual(led_lines(GPIO_LISTING), {2035: "LED9:BLUE:BLUETOOTH", 2038: "LED1:YELLOW:PIN1"})

    def test_events(self) -> None:
        names = led_lines(GPIO_LISTING)
        cases = [
            ("     restoremark-218     [000] .....    21.602016: gpio_value: 2038 set 1",
             [Event(21.602016, "LED1:YELLOW:PIN1", 1, False)]),
            # Set by the kernel's blink timer: from a softirq or a hard interrupt.
            ("          <idle>-0       [000] ..s..    35.718872: gpio_value: 2035 set 0",
             [Event(35.718872, "LED9:BLUE:BLUETOOTH", 0, True)]),
            ("          <idle>-0       [000] d.h1.    36.5: gpio_value: 2035 set 1",
             [Event(36.5, "LED9:BLUE:BLUETOOTH", 1, True)]),
            # A line that is no LED keeps its number.
            ("     sh-70     [000] .....    3.25: gpio_value: 2036 set 1", [Event(3.25, "gpio-2036", 1, False)]),
            # Reads, comments and other events change nothing.
            ("     restoremark-218     [000] .....    21.7: gpio_value: 2038 get 1", []),
            ("# tracer: nop", []),
            ("     restoremark-218     [000] .....    21.8: gpio_direction: 2038 out (0)", []),
        ]
        for text, expected in cases:
            with self.subTest(text=text):
                self.assertEqual(events(text, names), expected)

    def test_blink(self) -> None:
        def at(ms: float, value: int, by_timer: bool = True, led: str = "LED8") -> Event:
            return Event(ms / 1000, led, value, by_timer)
        cases = [
            # Lit by the program, toggled by the timer, then set steadily on.
            ([at(0, 1, False), at(4, 0), at(516, 1), at(1028, 0), at(1100, 0, False),
              at(1200, 1, False), at(1300, 1, False, "LED1")],
             Blink([512.0, 512.0], True, [at(1100, 0, False), at(1200, 1, False)])),
            # Timer sets that do not change the line.
            ([at(0, 1), at(500, 1)], Blink([500.0], False, [])),
            ([at(0, 1, False)], Blink([], True, [at(0, 1, False)])),
        ]
        for found, expected in cases:
            with self.subTest(found=found):
                seen = blink(found, "LED8")
                self.assertEqual(([round(p, 6) for p in seen.phases], seen.alternates, seen.after),
                                 (expected.phases, expected.alternates, expected.after))


if __name__ == "__main__":
    unittest.main()
