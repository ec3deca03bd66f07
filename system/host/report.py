"""Prints what each scenario's device saw on the real kernel: the program's
output and exit status, the tool calls, the LED timeline as the kernel traced
it and the LEDs' final states, the display memory (the visible screen and
every page beyond it that holds a set bit, as text art and PNG files under
build/system/frames/NAME), the power requests, the volume and the log."""
import shutil

from . import paths, png, scenarios, screen, trace


def _text(path):
    return path.read_bytes().decode("utf-8", "replace") if path.exists() else ""


def _indented(text, empty="(none)"):
    lines = text.splitlines()
    return "\n".join("  " + line for line in lines) if lines else "  " + empty


def _led_timeline(results):
    names = trace.led_lines(_text(paths.BOOTS / _text(results / "boot").strip() / "guest" / "gpio"))
    events = trace.events(_text(results / "led-trace"), names)
    if not events:
        return "  (no LED line changed)"
    start = events[0][0]
    return "\n".join(f"  {1000 * (t - start):9.1f} ms  {led} {'on' if v else 'off'}"
                     + ("  (timer trigger)" if timer else "") for t, led, v, timer in events)


def _display(name, results):
    if not (results / "fb-memory").exists():
        return "display: none (LED mode: /dev/fb0 removed)"
    geometry = screen.Geometry.parse(_text(results / "fb-info"))
    memory = (results / "fb-memory").read_bytes()
    frames = paths.FRAMES / name
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
    last = (shown[-1][0] + 1) * size
    if last < len(memory):
        lines.append(f"  bytes {last}-{len(memory) - 1}: all zero")
    return "\n".join(lines)


def _volume(results):
    folder = results / "volume"
    if not folder.is_dir():
        return "  (not read back)"
    lines = []
    for item in sorted(folder.iterdir()):
        lines.append(f"  {item.name} ({item.stat().st_size} bytes): {item.read_bytes()!r}")
    return "\n".join(lines) or "  (empty)"


def report(scenario):
    results = paths.RESULTS / scenario.name
    if not (results / "status").exists():
        return f"=== {scenario.name}: no results (run its boot first)"
    parts = [
        f"=== {scenario.name}   (restoremark-sim {' '.join(scenario.knobs)}; boot {_text(results / 'boot').strip()})",
        "standard output:\n" + _indented(_text(results / "stdout")),
        "exit status: " + _text(results / "status").strip(),
    ]
    if _text(results / "stderr"):
        parts.append("standard error:\n" + _indented(_text(results / "stderr")))
    parts += [
        "tool calls:\n" + _indented(_text(results / "tools").replace("\t", " ")),
        "LED timeline (kernel trace gpio/gpio_value, from the first change):\n" + _led_timeline(results),
        "LEDs at the end:\n" + _indented(_text(results / "leds")),
        _display(scenario.name, results),
        "power requests:\n" + _indented(_text(results / "power")),
        "volume after power-off:\n" + _volume(results),
    ]
    return "\n".join(parts) + "\n"


def times(boot):
    """The boot's wall time on the host and the guest's own clock: when init
    started, how long each scenario took."""
    folder = paths.BOOTS / boot
    lines = [f"boot {boot}: qemu ran {_text(folder / 'seconds').strip() or '?'} s"]
    for line in _text(folder / "guest" / "times").splitlines():
        words = line.split()
        if words[0] == "init":
            lines.append(f"  init started {float(words[1]):.1f} s after the kernel")
        else:
            lines.append(f"  {words[0]}: {float(words[2]) - float(words[1]):.1f} s")
    lines.append("  the kernel measured before the scenarios (probe-platform):")
    lines += ["    " + line for line in _text(folder / "guest" / "platform").splitlines()]
    return "\n".join(lines)


def print_reports(names):
    boots = []
    for scenario in scenarios.load(names):
        print(report(scenario))
        boot = _text(paths.RESULTS / scenario.name / "boot").strip()
        if boot and boot not in boots:
            boots.append(boot)
    for boot in boots:
        print(times(boot))
    return 0
