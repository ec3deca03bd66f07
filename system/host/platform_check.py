"""The platform check, run once per boot before the scenarios (guest/run-check):
its results in build/system/boots/BOOT/guest/check, checked against
system/expected/platform/BOOT, and shown in the report. What it left of the
device is read from the guest's copies of the LEDs' states, the display
memory and the volume's file sums before and after it, and from the
volume read back after power-off."""
from itertools import zip_longest
from pathlib import Path

from . import panel, volumes
from .check import differences, said, volume_text
from .layout import Layout
from .process import run
from .results import BootResults, Files, read_volume
from .scenarios import STOCK, Board, Boot

KNOBS_FILE = "check-knobs"
TWIN_SECONDS = 60


def twin_knobs(board: Board) -> list[str]:
    """The twin's knobs for the device a boot gives the check: its drivers
    (the stock LED class has the board's GPIO LEDs, max_brightness 1) and
    its display memory."""
    platform = ["--platform", "linux", "--max-brightness", "1"] if board.drivers == STOCK \
        else ["--platform", "device"]
    return platform + ["--fb-memory", str(board.fb_memory)]


def write_knobs(board: Board, boot_dir: Path) -> None:
    """For the differential test, which runs the check in the twin on the same device."""
    (boot_dir / KNOBS_FILE).write_text(" ".join(twin_knobs(board)) + "\n")


def collect(layout: Layout, boot: Boot, boot_dir: Path) -> None:
    """Once the guest's results are in boot_dir/guest: the check's volume
    read back (the partition after the scenarios'), its `tools` and `power`
    read from its journal by the twin's decoder, and the panel's picture as
    a PNG beside the screendump. Raises CommandError when that fails."""
    check = boot_dir / "guest" / "check"
    if not (check / "status").exists():
        return
    volumes.read_back(boot_dir / "volumes.img", len(boot.scenarios) + 1, check / "volume")
    run([layout.twin, "journal-files", check], timeout=TWIN_SECONDS)
    screendump = boot_dir / "panels" / "check.ppm"
    panel.keep_png(screendump, screendump.with_suffix(".png"))


def _volume_as_made() -> list[tuple[str, bytes]]:
    return sorted(list(volumes.PACKAGE_FILES.items()) + [volumes.USER_FILE])


def _lines_difference(files: Files, name: str) -> str:
    """The guest's text of `name` after the check against before it: the
    first line that changed."""
    before, after = files.text(f"{name}-before").splitlines(), files.text(f"{name}-after").splitlines()
    for was, now in zip_longest(before, after, fillvalue="(no line)"):
        if was != now:
            return f"differ: {was!r} before, {now!r} after"
    return "as before the check"


def _memory_difference(files: Files) -> str:
    before = (files.folder / "fb-memory-before").read_bytes()
    after = (files.folder / "fb-memory-after").read_bytes()
    if before == after:
        return "as before the check"
    differ = [i for i, (a, b) in enumerate(zip(before, after)) if a != b]
    return (f"{len(differ)} of {len(before)} bytes differ, the first at {differ[0] if differ else len(after)}"
            f" ({len(after)} bytes afterwards)")


def left_as_found(files: Files) -> str:
    """Each part of the device against what the check found, one line each."""
    try:
        leds = _lines_difference(files, "leds")
        volume = _lines_difference(files, "volume")
        memory = _memory_difference(files)
    except OSError as error:
        return f"(not kept: {error})\n"
    read_back = read_volume(files.folder / "volume")
    after_power_off = "as made" if read_back == _volume_as_made() else volume_text(read_back)
    return (f"LEDs: {leds}\ndisplay memory: {memory}\nvolume files: {volume}\n"
            f"volume read back after power-off: {after_power_off}\n")


def _panel_rows(boot: BootResults) -> str:
    try:
        return "".join(line + "\n" for line in panel.set_rows(boot.check_panel()))
    except (OSError, panel.PanelError) as error:
        return f"(no picture of the test picture: {error})\n"


def readings(boot: BootResults) -> dict[str, str]:
    """What each expected file of a boot compares with."""
    files = boot.check_files()
    return {
        "stdout": files.text("stdout", "(absent)\n"),
        "stderr": files.text("stderr", "(absent)\n"),
        "status": files.text("status", "(absent)\n"),
        "tools": files.text("tools", "(absent)\n"),
        "power": files.text("power", "(absent)\n"),
        "panel-rows": _panel_rows(boot),
        "left-as-found": left_as_found(files),
    }


def check_platform(layout: Layout, boot_name: str) -> int:
    """The boot's check against system/expected/platform/BOOT: its output and
    exit status, nothing on standard error, no tool run and no power request,
    the panel while it showed its test picture, and the device left as found."""
    boot = BootResults(layout, boot_name)
    expected = layout.expected / "platform" / boot_name
    if not boot.check_files().has("status"):
        print(f"{boot_name}: no results of the platform check in {boot.check_files().folder}")
        return 1
    if not expected.is_dir():
        print(f"{boot_name}: nothing expected in {expected}")
        return 1
    seen = readings(boot)
    problems = differences("stderr", "", seen["stderr"])
    for item in sorted(expected.iterdir()):
        problems += differences(item.name, item.read_text(), seen.get(item.name, "(not read)\n"))
    return said(boot_name, problems,
                "the platform check says what is expected and left the device as it found it")


def report(boot: BootResults) -> list[str]:
    """The check's lines for `run-system report`: its output and exit status,
    what it left, and where the picture of its test picture is."""
    seen = readings(boot)
    lines = ["  the platform check (restoremark-check) before the scenarios, exit status "
             + seen["status"].strip() + ":"]
    lines += ["    " + line for line in seen["stdout"].splitlines()]
    lines.append("  what it left, against what it found:")
    lines += ["    " + line for line in seen["left-as-found"].splitlines()]
    lines.append(f"  the panel while it showed its test picture: {boot.folder / 'panels' / 'check.png'}")
    return lines
