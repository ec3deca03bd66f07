"""Power cuts: each scenario of system/power-cuts boots on its own, and when
its run reaches the cut point the guest's tool (or power driver) sends the
host what the device shows and what the tools recorded, and asks it to cut:
the host takes the panel's picture and kills qemu at once (SIGKILL: no
unmount, no flush). Then it reads the volume image as the cut left it:
fsck.fat -n on the partition, the files, the log. A recovery boot then runs
the program again on those volumes, as each device would at its next start.

What a cut leaves, in build/system/cuts/NAME (system/README.md lists it);
its second run's results are those of the scenario NAME-again, in
build/system/results."""
import shutil
import time
from dataclasses import dataclass
from pathlib import Path

from . import channel, collect, fsck, panel, qemu, runner, scenarios, volumes
from .layout import Layout
from .process import run

TWIN_SECONDS = 60
# What the guest sends with its cut request, as NAME:HEX words.
KEPT = ("leds", "writeback", "journal", "stdout")
# The guest's run until its cut point, besides the boot itself.
CUT_SECONDS = 45
AGAIN = "-again"  # a recovery's scenario: the cut's name and this


def _handlers(folder: Path, display: bool) -> runner.HandlersFor:
    """The request of a cut boot's guest: "cut TOOL OPTION NAME:HEX..." (the
    call the power goes in, and what the device showed and recorded). The
    host stops the board at once, keeps each NAME's bytes in folder/NAME,
    takes the panel's picture in display mode, and kills it: the request is
    never answered."""
    def made(monitor: qemu.Monitor, power: qemu.PowerSwitch) -> dict[str, channel.Handler]:
        def cut(words: list[str]) -> None:
            kept = dict(word.partition(":")[::2] for word in words[2:])
            if len(words) < 2 or sorted(kept) != sorted(KEPT):
                raise ValueError(f"cut takes TOOL OPTION and {', '.join(k + ':HEX' for k in KEPT)}")
            monitor.command("stop")
            (folder / "at").write_text(" ".join(words[:2]) + "\n")
            for name, data in kept.items():
                (folder / name).write_bytes(bytes.fromhex(data))
            if display:
                monitor.screendump(folder / "panel.ppm")
            power.cut()
        return {"cut": cut}
    return made


@dataclass(frozen=True)
class CutPoint:
    name: str    # as --cut takes it
    call: str    # "orvex-auth --make-factory"; "power request": right after it
    moment: str  # "during the factory flag"


def cut_points(layout: Layout) -> dict[str, CutPoint]:
    """The twin's cut points, by name (system-twin cut-points)."""
    listed = run([layout.twin, "cut-points"], timeout=TWIN_SECONDS).stdout
    return {fields[0]: CutPoint(*fields) for fields in (line.split("\t") for line in listed.splitlines())}


def _check_volume(image: Path, index: int, folder: Path, keep: bool) -> None:
    """fsck.fat -n's output on the volume's bytes as they are now, into
    folder/fsck; with `keep` the bytes stay in folder/partition.img."""
    volumes.extract(image, index, folder / "partition.img")
    (folder / "fsck").write_text(fsck.check(folder / "partition.img").output)
    if not keep:
        (folder / "partition.img").unlink()


def run_cut(layout: Layout, scenario: scenarios.Scenario, program: Path, check: Path,
            helpers: Path, drivers: Path | None) -> list[str]:
    """One cut boot; returns its problems (empty when the guest was cut where
    its scenario says and its volume was read)."""
    if scenario.cut == "none":
        return [f"{scenario.name}: not a power cut (no --cut)"]
    folder = layout.cuts / scenario.name
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    boot = scenarios.Boot(scenario.board, [scenario], label=scenario.name, listing=layout.power_cuts)
    try:
        kernel, boot_dir = runner.prepare(layout, boot, program, check, helpers, drivers, check_platform=False)
    except runner.BootError as error:
        return [str(error)]
    volumes.make(boot_dir / "volumes.img", 1)
    limit = runner.BOOT_SECONDS + CUT_SECONDS + scenario.cut_delay / 1000
    started = time.monotonic()
    status, problems, power = runner.run_qemu(boot, boot_dir, kernel, limit,
                                              _handlers(folder, scenario.display))
    seconds = (power.cut_at or time.monotonic()) - started
    (folder / "seconds").write_text(f"{seconds:.1f}\n")
    print(f"boot {boot.name}: qemu ran {seconds:.1f} s, "
          + ("cut" if power.cut_at is not None else f"not cut, exit status {status}"))
    shutil.copyfile(boot_dir / "console", folder / "console")
    if power.cut_at is None:
        return problems + [f"{scenario.name}: the guest was never cut (see {folder / 'console'})"]
    at, call = (folder / "at").read_text().strip(), cut_points(layout)[scenario.cut].call
    if at != call:
        problems.append(f"{scenario.name}: cut during {at}, not during {call}")
    panel.keep_png(folder / "panel.ppm", folder / "panel.png")
    _check_volume(boot_dir / "volumes.img", 1, folder, keep=True)
    volumes.read_back(boot_dir / "volumes.img", 1, folder / "volume")
    run([layout.twin, "journal-files", folder], timeout=TWIN_SECONDS)
    (folder / "record").write_text(run([layout.twin, "cut-record", folder / "journal"],
                                       timeout=TWIN_SECONDS).stdout)
    (folder / "look").write_text(run([layout.twin, "look", folder], timeout=TWIN_SECONDS).stdout)
    return problems


def fields(text: str) -> dict[str, str]:
    """KEY=VALUE lines (system-twin's cut-record and look)."""
    return dict(line.partition("=")[::2] for line in text.splitlines() if line)


def recovery_line(layout: Layout, scenario: scenarios.Scenario) -> str:
    """The second run of a cut as a scenario line: the cut's knobs without
    the cut, and without the main-user install file when the first run had
    removed it; the volume is the one the cut left."""
    knobs = list(scenario.knobs)
    for knob in ("--cut", "--cut-delay"):
        while knob in knobs:
            at = knobs.index(knob)
            del knobs[at:at + 2]
    record = fields((layout.cuts / scenario.name / "record").read_text())
    if record["main-user"] == "removed" and "--no-main-user-install" not in knobs:
        knobs.append("--no-main-user-install")
    return f"{scenario.name}{AGAIN} {' '.join(knobs)}"


def recover(layout: Layout, cut_scenarios: list[scenarios.Scenario], label: str, program: Path,
            check: Path, helpers: Path, drivers: Path | None) -> list[str]:
    """One boot that runs the program again on each cut's volume, a volume
    each, after which fsck.fat -n checks each volume again
    (results/NAME-again/fsck). The boot's scenario list is in its folder;
    each cut's line of it also in its own (build/system/cuts/NAME/again)."""
    problems = []
    for s in cut_scenarios:
        if not (layout.cuts / s.name / "partition.img").exists():
            problems.append(f"{s.name}: no volume left by its cut: run it first (run-system cut)")
    if problems:
        return problems
    lines = [recovery_line(layout, s) for s in cut_scenarios]
    for s, line in zip(cut_scenarios, lines):
        (layout.cuts / s.name / "again").write_text(line + "\n")
    listing = layout.boots / f"{label}.scenarios"
    listing.parent.mkdir(parents=True, exist_ok=True)
    listing.write_text("".join(line + "\n" for line in lines))
    again = scenarios.load(layout, [], listing=listing)
    boot = scenarios.Boot(again[0].board, again, label=label, listing=listing)
    if any(s.board != boot.board for s in again):
        return [f"{label}: its recoveries need more than one kind of board"]
    collect.clear(layout, boot)
    try:
        kernel, boot_dir = runner.prepare(layout, boot, program, check, helpers, drivers, check_platform=False)
    except runner.BootError as error:
        return [str(error)]
    volumes.assemble(boot_dir / "volumes.img",
                     [layout.cuts / s.name / "partition.img" for s in cut_scenarios])
    problems = runner.boot_and_collect(layout, boot, kernel, boot_dir)
    for index, s in enumerate(again, 1):
        results = layout.results / s.name
        if results.is_dir():
            _check_volume(boot_dir / "volumes.img", index, results, keep=False)
    return problems


def groups(names: list[str], size: int = 6) -> list[list[str]]:
    """The cuts' recoveries in boots of at most `size`, in list order."""
    return [names[at:at + size] for at in range(0, len(names), size)]
