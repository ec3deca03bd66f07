"""The kernel's gpio_value trace lines, named by LED: the LED timeline."""
import re
from typing import NamedTuple

# " gpio-504 (                    |LED1:YELLOW:PIN1    ) out lo"
_DEBUGFS_LINE = re.compile(r"gpio-(\d+)\s+\([^|]*\|(\S+)\s*\)")
# "restoremark-93 [000] .....  27.106209: gpio_value: 504 set 0"; the third
# flag is 's' or 'h' when the line was set from a softirq or an interrupt:
# the kernel's own blink timer, not a write of the program.
_TRACE_LINE = re.compile(r"\[\d+\] (\S{5})\s+(\d+\.\d+): gpio_value: (\d+) (set|get) (\d+)")


class Event(NamedTuple):
    seconds: float
    led: str        # the LED's name, or gpio-N for a line that is no LED
    value: int
    by_timer: bool  # set by the kernel's blink timer, not by a write of the program


def led_lines(debugfs_gpio: str) -> dict[int, str]:
    """{GPIO number: LED name} from the kernel's debugfs GPIO listing."""
    return {int(m.group(1)): m.group(2) for m in _DEBUGFS_LINE.finditer(debugfs_gpio)}


def events(trace_text: str, names: dict[int, str]) -> list[Event]:
    """Every line set during the run, in order."""
    found = []
    for line in trace_text.splitlines():
        match = _TRACE_LINE.search(line)
        if match and match.group(4) == "set":
            gpio = int(match.group(3))
            in_interrupt = match.group(1)[2] in "sShH"
            found.append(Event(float(match.group(2)), names.get(gpio, f"gpio-{gpio}"),
                               int(match.group(5)), in_interrupt))
    return found


class Blink(NamedTuple):
    """One LED's blink as the kernel's timer made it."""
    phases: list[float]   # ms between successive sets by the timer
    alternates: bool      # each of those sets changed the line
    after: list[Event]    # the LED's sets after the timer's last one


def blink(events: list[Event], led: str) -> Blink:
    mine = [e for e in events if e.led == led]
    by_timer = [i for i, e in enumerate(mine) if e.by_timer]
    if not by_timer:
        return Blink([], True, mine)
    timed = [mine[i] for i in by_timer]
    return Blink([1000 * (b.seconds - a.seconds) for a, b in zip(timed, timed[1:])],
                 all(a.value != b.value for a, b in zip(timed, timed[1:])),
                 mine[by_timer[-1] + 1:])
