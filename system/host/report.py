"""Prints what each scenario's device saw on the real kernel: the program's
output and exit status, the tool calls, the LED timeline as the kernel traced
it and the LEDs' final states, the display memory (the visible screen and
every page beyond it that holds a set bit, as text art and PNG files under
build/system/frames/NAME) next to the panel as qemu showed it, the power
requests, the volume and the log."""
import shutil
from pathlib import Path

from . import panel, platform_check, png, screen
from .layout import Layout
from .results import BootResults, Results
from .scenarios import Scenario


def _indented(text: str, empty: str = "(none)") -> str:
    lines = text.splitlines()
    return "\n".join("  " + line for line in lines) if lines else "  " + empty


def _led_timeline(results: Results) -> str:
    try:
        events = results.led_events()
    except OSError:  # no trace: nothing to show
        events = []
    if not events:
        return "  (no LED line changed)"
    start = events[0].seconds
    return "\n".join(f"  {1000 * (e.seconds - start):9.1f} ms  {e.led} {'on' if e.value else 'off'}"
                     + ("  (the kernel's blink timer)" if e.by_timer else "") for e in events)


def _display(results: Results, frames: Path) -> str:
    if not results.has("fb-memory"):
        return "display: none (LED mode: /dev/fb0 removed)"
    geometry, memory = results.display()
    shutil.rmtree(frames, ignore_errors=True)
    frames.mkdir(parents=True)
    size = geometry.page_bytes
    lines = [f"display: {geometry.xres}x{geometry.yres} (virtual {geometry.xres_virtual}x"
             f"{geometry.yres_virtual}), {geometry.bits_per_pixel} bpp, {geometry.smem_len} bytes "
             f"of display memory, {len(memory)} read back"]
    shown = screen.pages(memory, geometry)
    for index, page in shown:
        where = "the visible screen" if index == 0 else "beyond the visible screen"
        rows = screen.art_rows(page, geometry)
        picture = frames / f"page-{index}.png"
        png.write(picture, rows)
        lines.append(f"  page {index}, bytes {index * size}-{index * size + len(page) - 1} ({where}), {picture}:")
        lines += ["    " + row for row in rows]
        if index == 0:
            lines += _panel(results, rows)
    last = (shown[-1][0] + 1) * size
    if last < len(memory):
        lines.append(f"  bytes {last}-{len(memory) - 1}: all zero")
    return "\n".join(lines)


def _panel(results: Results, screen_rows: list[str]) -> list[str]:
    """The panel at the scenario's end, as qemu's screendump showed it, next
    to the visible screen's memory (`screen_rows`)."""
    try:
        rows = results.panel()
    except OSError:
        return ["  the panel: no screendump"]
    except panel.PanelError as error:
        return [f"  the panel: {results.folder / 'panel.ppm'} is no panel's picture: {error}"]
    where = f"  the panel as qemu shows it ({results.folder / 'panel.png'})"
    if rows == screen_rows:
        return [where + ": the same pixels as page 0 (each byte read bit 7 leftmost)"]
    return [where + ", beside page 0:"] + [f"    {shown}  {memory}" for shown, memory in zip(rows, screen_rows)]


def _volume_listing(files: list[tuple[str, bytes]] | None) -> str:
    """Each file's name, size and bytes, one line each."""
    if files is None:
        return "  (not read back)"
    return "\n".join(f"  {name} ({len(data)} bytes): {data!r}" for name, data in files) or "  (empty)"


def report(layout: Layout, scenario: Scenario) -> str:
    results = Results(layout, scenario.name)
    if not results.complete:
        return f"=== {scenario.name}: no results (run its boot first)"
    parts = [
        f"=== {scenario.name}   (restoremark-sim {' '.join(scenario.knobs)}; boot {results.boot().name})",
        "standard output:\n" + _indented(results.text("stdout", "")),
        "exit status: " + results.text("status", "").strip(),
    ]
    if results.text("stderr", ""):
        parts.append("standard error:\n" + _indented(results.text("stderr")))
    parts += [
        "tool calls:\n" + _indented(results.text("tools", "").replace("\t", " ")),
        "LED timeline (kernel trace gpio/gpio_value, from the first change):\n" + _led_timeline(results),
        "LEDs at the end:\n" + _indented(results.text("leds", "")),
        _display(results, layout.frames / scenario.name),
        "power requests:\n" + _indented(results.text("power", "")),
        "volume after power-off:\n" + _volume_listing(results.volume()),
    ]
    return "\n".join(parts) + "\n"


def times(boot: BootResults) -> str:
    """The boot's wall time on the host and the guest's own clock: when init
    started, how long each scenario took."""
    lines = [f"boot {boot.name}: qemu ran {boot.text('seconds', '').strip() or '?'} s"]
    for line in boot.guest("times", "").splitlines():
        words = line.split()
        if words[0] == "init":
            lines.append(f"  init started {float(words[1]):.1f} s after the kernel")
        else:
            lines.append(f"  {words[0]}: {float(words[2]) - float(words[1]):.1f} s")
    lines += platform_check.report(boot)
    return "\n".join(lines)


def print_reports(layout: Layout, scenarios: list[Scenario]) -> int:
    boots: dict[str, BootResults] = {}
    for scenario in scenarios:
        print(report(layout, scenario))
        boot = Results(layout, scenario.name).boot()
        if boot.name:
            boots.setdefault(boot.name, boot)
    for boot in boots.values():
        print(times(boot))
    return 0
