"""Checks one scenario's results (build/system/results/NAME) against what the
program does on its boot's kernel (system/expected/NAME): standard output and
exit status, nothing on standard error, the tool calls, the power requests,
the LEDs' final states, the sequence of their line changes and a blink, the
display memory and geometry, the panel, and the files left on the volume,
byte for byte."""
import difflib
import fnmatch
import re
import sys
from typing import Callable

from . import panel, screen, trace
from .layout import Layout
from .results import Results, read_text, read_volume
from .scenarios import Scenario


def _led_events(results: Results) -> str:
    """'LED VALUE' for each line set by the program's writes, in order: the
    timeline without its times and without the kernel timer's blinking."""
    return "".join(f"{e.led} {e.value}\n" for e in results.led_events() if not e.by_timer)


def _fb_rows(results: Results) -> str:
    geometry, memory = results.display()
    return "".join(line + "\n" for line in screen.set_rows(memory, geometry))


def _panel_rows(results: Results) -> str:
    return "".join(line + "\n" for line in panel.set_rows(results.panel()))


# Expected files that the results give only through a reading of theirs.
_DERIVED: dict[str, Callable[[Results], str]] = {
    "led-events": _led_events,
    "fb-rows": _fb_rows,
    "panel-rows": _panel_rows,
}

# A line of an expected "blink" file.
_BLINK = re.compile(r"(\S+) blinks (\d+) ms ±(\d+) ms, at least (\d+) phases, then steady (on|off)")


def _blink_problems(expected: str, results: Results) -> list[str]:
    """Each line of `expected` names an LED whose line the kernel's timer
    toggled every PERIOD ms (within the tolerance) for at least as many
    phases, and which the program then set steadily on or off."""
    problems = []
    try:
        events = results.led_events()
    except OSError as error:
        return [f"blink: no LED trace ({error})"]
    for line in expected.splitlines():
        match = _BLINK.fullmatch(line)
        if match is None:
            problems.append(f"blink: not a blink line: {line!r}")
            continue
        led, period, tolerance, least, end = match.groups()
        seen = trace.blink(events, led)
        shown = ", ".join(f"{p:.0f}" for p in seen.phases) or "none"
        off_period = [p for p in seen.phases if abs(p - int(period)) > int(tolerance)]
        if len(seen.phases) < int(least) or off_period or not seen.alternates:
            problems.append(f"blink: {led}: phases by the kernel's timer {shown} ms; expected at "
                            f"least {least} of {period} ms ±{tolerance} ms, each changing the line")
        if not seen.after or seen.after[-1].value != (end == "on"):
            problems.append(f"blink: {led} after the blink: "
                            + (" ".join(f"set {e.value}" for e in seen.after) or "no set")
                            + f"; expected it set steadily {end}")
    return problems


def volume_text(files: list[tuple[str, bytes]] | None) -> str:
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


def differences(name: str, expected: str, actual: str) -> list[str]:
    if expected == actual or (expected.endswith("\n") == actual.endswith("\n") and _matches(expected, actual)):
        return []
    return [f"{name} differs:\n" + "".join(difflib.unified_diff(
        expected.splitlines(True), actual.splitlines(True), "expected", "seen"))]


def _seen(results: Results, name: str) -> str:
    """What the results give for the expected file `name`."""
    if name in _DERIVED:
        try:
            return _DERIVED[name](results)
        except (OSError, panel.PanelError) as error:  # a file it is derived from is missing or bad
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
    problems = differences("stderr", "", results.text("stderr"))
    for item in sorted(expected.iterdir()):
        if item.name == "volume":
            problems += differences("volume", volume_text(read_volume(item)),
                                     volume_text(results.volume()))
        elif item.name == "blink":
            problems += _blink_problems(read_text(item), results)
        else:
            problems += differences(item.name, read_text(item), _seen(results, item.name))
    display_files = [name for name in ("fb-info", "fb-memory", "panel.ppm") if results.has(name)]
    if not scenario.display and display_files:
        problems.append(f"LED mode, yet the results hold {', '.join(display_files)}")
    if scenario.display and not results.has("panel.ppm"):
        problems.append("display mode, yet no panel.ppm: the host took no screendump")
    return said(scenario.name, problems, "as expected")


def said(name: str, problems: list[str], fine: str) -> int:
    """Prints each problem, or that all is `fine`; the exit status of a check."""
    for problem in problems:
        print(f"{name}: {problem}")
    if not problems:
        print(f"{name}: {fine}")
    sys.stdout.flush()
    return 1 if problems else 0
