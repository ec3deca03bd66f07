"""The LED timeline from the kernel's trace and its GPIO listing (lines in
the shape the guest's kernel writes them)."""
import unittest

from host.trace import Event, events, led_lines

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


if __name__ == "__main__":
    unittest.main()
