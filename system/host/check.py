"""Checks one scenario's results (build/system/results/NAME) against what the
program does on the stock kernel (system/expected/NAME): standard output and
exit status, nothing on standard error, the tool calls, the power requests,
the LEDs' final states and the sequence of their line changes, the display
memory and geometry, and the files left on the volume, byte for byte."""
import difflib
import fnmatch
import sys

from . import paths, screen, trace


def _text(path):
    return path.read_bytes().decode("utf-8", "replace")


def _led_events(results):
    """'LED VALUE' for each line set by the program's writes, in order: the
    timeline without its times and without the kernel timer's blinking."""
    names = trace.led_lines((paths.BOOTS / _text(results / "boot").strip() / "guest" / "gpio").read_text())
    return "".join(f"{led} {value}\n" for _, led, value, by_timer in
                   trace.events(_text(results / "led-trace"), names) if not by_timer)


def _fb_rows(results):
    geometry = screen.Geometry.parse(_text(results / "fb-info"))
    return "".join(line + "\n" for line in screen.set_rows((results / "fb-memory").read_bytes(), geometry))


# What is compared: the expected file's name and how the results give it.
_DERIVED = {
    "led-events": _led_events,
    "fb-rows": _fb_rows,
}


def _volume(folder):
    if not folder.is_dir():
        return "(no volume read back)\n"
    return "".join(f"== {f.name} ({f.stat().st_size} bytes)\n{_text(f)}"
                   + ("" if _text(f).endswith("\n") or not f.stat().st_size else "\n")
                   for f in sorted(folder.iterdir()))


def _matches(expected, actual):
    """Line by line; an expected line with a '*' is a pattern (a value the
    kernel leaves to chance, such as a blinking LED's brightness)."""
    wanted, seen = expected.splitlines(), actual.splitlines()
    return len(wanted) == len(seen) and all(
        fnmatch.fnmatchcase(s, w) if "*" in w else s == w for w, s in zip(wanted, seen))


def _differences(name, expected, actual):
    if expected == actual or (expected.endswith("\n") == actual.endswith("\n") and _matches(expected, actual)):
        return []
    return [f"{name} differs:\n" + "".join(difflib.unified_diff(
        expected.splitlines(True), actual.splitlines(True), "expected", "seen"))]


def check(scenario):
    results = paths.RESULTS / scenario.name
    expected = paths.EXPECTED / scenario.name
    if not (results / "status").exists():
        print(f"{scenario.name}: no results in {results}: its boot did not run or failed")
        return 1
    if not expected.is_dir():
        print(f"{scenario.name}: nothing expected in {expected}")
        return 1
    problems = _differences("stderr", "", _text(results / "stderr"))
    for item in sorted(expected.iterdir()):
        if item.name == "volume":
            problems += _differences("volume", _volume(item), _volume(results / "volume"))
        elif item.name in _DERIVED:
            try:
                seen = _DERIVED[item.name](results)
            except OSError as error:  # a file it is derived from is missing
                seen = f"(absent: {error})\n"
            problems += _differences(item.name, _text(item), seen)
        else:
            seen = results / item.name
            problems += _differences(item.name, _text(item), _text(seen) if seen.exists() else "(absent)\n")
    display_files = {"fb-memory", "fb-info"} & {p.name for p in results.iterdir()}
    if not scenario.display and display_files:
        problems.append(f"LED mode, yet the results hold {', '.join(sorted(display_files))}")
    for problem in problems:
        print(f"{scenario.name}: {problem}")
    if not problems:
        print(f"{scenario.name}: as expected")
    sys.stdout.flush()
    return 1 if problems else 0


def check_platform(boot):
    """The boot's measurements of the stock kernel (probe-platform) against
    system/expected/platform/BOOT."""
    seen = paths.BOOTS / boot / "guest" / "platform"
    expected = paths.EXPECTED / "platform" / boot
    if not seen.exists():
        print(f"{boot}: no platform measurements in {seen}")
        return 1
    problems = _differences("platform", _text(expected) if expected.exists() else "(absent)\n", _text(seen))
    for problem in problems:
        print(f"{boot}: {problem}")
    if not problems:
        print(f"{boot}: the kernel behaves as expected")
    return 1 if problems else 0
