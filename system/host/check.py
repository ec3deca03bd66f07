"""Checks one scenario's results (build/system/results/NAME) against what the
program does on the stock kernel (system/expected/NAME): standard output and
exit status, nothing on standard error, the tool calls, the power requests,
the LEDs' final states and the sequence of their line changes, the display
memory and geometry, and the files left on the volume, byte for byte."""
import difflib
import fnmatch
import sys
from typing import Callable

from . import screen
from .layout import Layout
from .results import BootResults, Results, read_text, read_volume
from .scenarios import Scenario


def _led_events(results: Results) -> str:
    """'LED VALUE' for each line set by the program's writes, in order: the
    timeline without its times and without the kernel timer's blinking."""
    return "".join(f"{e.led} {e.value}\n" for e in results.led_events() if not e.by_timer)


def _fb_rows(results: Results) -> str:
    geometry, memory = results.display()
    return "".join(line + "\n" for line in screen.set_rows(memory, geometry))


# Expected files that the results give only through a reading of theirs.
_DERIVED: dict[str, Callable[[Results], str]] = {
    "led-events": _led_events,
    "fb-rows": _fb_rows,
}


def _volume_text(files: list[tuple[str, bytes]] | None) -> str:
    """A volume as text to compare and show a diff of: each file's name and
    size, then its bytes."""
    if files is None:
        return "(no volume read back)\n"
    out = ""
    for name, data in files:
        text = data.decode("utf-8", "replace")
        out += f"== {name} ({len(data)} bytes)\n{text}" + ("" if text.endswith("\n") or not data else "\n")
    return out


def _matches(expected: str, actual: str) -> bool:
    """Line by line; an expected line with a '*' is a pattern (a value the
    kernel leaves to chance, such as a blinking LED's brightness)."""
    wanted, seen = expected.splitlines(), actual.splitlines()
    return len(wanted) == len(seen) and all(
        fnmatch.fnmatchcase(s, w) if "*" in w else s == w for w, s in zip(wanted, seen))


def _differences(name: str, expected: str, actual: str) -> list[str]:
    if expected == actual or (expected.endswith("\n") == actual.endswith("\n") and _matches(expected, actual)):
        return []
    return [f"{name} differs:\n" + "".join(difflib.unified_diff(
        expected.splitlines(True), actual.splitlines(True), "expected", "seen"))]


def _seen(results: Results, name: str) -> str:
    """What the results give for the expected file `name`."""
    if name in _DERIVED:
        try:
            return _DERIVED[name](results)
        except OSError as error:  # a file it is derived from is missing
            return f"(absent: {error})\n"
    return results.text(name, "(absent)\n")


def check(layout: Layout, scenario: Scenario) -> int:
    results = Results(layout, scenario.name)
    expected = layout.expected / scenario.name
    if not results.complete:
        print(f"{scenario.name}: no results in {results.folder}: its boot did not run or failed")
        return 1
    if not expected.is_dir():
        print(f"{scenario.name}: nothing expected in {expected}")
        return 1
    problems = _differences("stderr", "", results.text("stderr"))
    for item in sorted(expected.iterdir()):
        if item.name == "volume":
            problems += _differences("volume", _volume_text(read_volume(item)),
                                     _volume_text(results.volume()))
        else:
            problems += _differences(item.name, read_text(item), _seen(results, item.name))
    display_files = [name for name in ("fb-info", "fb-memory") if results.has(name)]
    if not scenario.display and display_files:
        problems.append(f"LED mode, yet the results hold {', '.join(display_files)}")
    for problem in problems:
        print(f"{scenario.name}: {problem}")
    if not problems:
        print(f"{scenario.name}: as expected")
    sys.stdout.flush()
    return 1 if problems else 0


def check_platform(layout: Layout, boot: str) -> int:
    """The boot's measurements of the stock kernel (probe-platform) against
    system/expected/platform/BOOT."""
    seen = BootResults(layout, boot)
    expected = layout.expected / "platform" / boot
    if not seen.has("guest/platform"):
        print(f"{boot}: no platform measurements in {seen.folder / 'guest' / 'platform'}")
        return 1
    problems = _differences("platform", read_text(expected) if expected.exists() else "(absent)\n",
                            seen.guest("platform"))
    for problem in problems:
        print(f"{boot}: {problem}")
    if not problems:
        print(f"{boot}: the kernel behaves as expected")
    return 1 if problems else 0
