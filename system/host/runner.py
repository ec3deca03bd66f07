"""Runs one boot: the base root file system and this boot's plan (with the
reference drivers on a contract boot), the board's device tree with this
boot's display memory and LED driver, a fresh volume per scenario, and the
guest under a time limit, with the host answering its requests on the host
line; then its results are collected."""
import fcntl
import re
import shutil
import tempfile
import time
from pathlib import Path
from typing import Callable

from . import board, channel, collect, initramfs, packages, platform_check, qemu, scenarios, volumes
from .layout import Layout
from .process import CommandError, CommandTimedOut, run

HandlersFor = Callable[[qemu.Monitor, qemu.PowerSwitch], dict[str, channel.Handler]]

MODINFO_SECONDS = 60

BOOT_SECONDS = 90          # time limit for boot, set-up and power-off ...
SCENARIO_SECONDS = 45      # ... and for each scenario (the program waits 10 s)
RESULTS_BYTES = 256 * 1024 * 1024


def _base_initramfs(layout: Layout, program: Path, check: Path,
                    helpers: Path) -> tuple[packages.Kernel, bytes]:
    """Builds the base archive, one boot at a time (boots may run side by side)."""
    layout.guest.mkdir(parents=True, exist_ok=True)
    target = layout.guest / "initramfs.cpio"
    with open(layout.guest / ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        kernel = initramfs.build(layout, program, check, helpers, target)
        return kernel, target.read_bytes()


def _screendump(monitor: qemu.Monitor, folder: Path) -> channel.Handler:
    """The guest's "screendump NAME": the panel as it is now, into
    folder/NAME.ppm."""
    def handler(words: list[str]) -> None:
        if len(words) != 1 or not re.fullmatch(r"[A-Za-z0-9_-][A-Za-z0-9._-]*", words[0]):
            raise ValueError("screendump takes one name of letters, digits, '.', '_' and '-'")
        folder.mkdir(exist_ok=True)
        monitor.screendump(folder / f"{words[0]}.ppm")
    return handler


def _drivers_problems(drivers: Path, release: str) -> list[str]:
    """The reference drivers must be built for the kernel the guest boots."""
    problems = []
    for module in initramfs.REFERENCE_MODULES:
        built_for = run(["modinfo", "-F", "vermagic", drivers / module],
                        timeout=MODINFO_SECONDS).stdout.split()[:1]
        if built_for != [release]:
            problems.append(f"{drivers / module} is built for {' '.join(built_for) or 'no kernel'}, "
                            f"the guest boots {release} (scripts/build-drivers --image its package)")
    return problems


def run_qemu(boot: scenarios.Boot, boot_dir: Path, kernel: packages.Kernel, limit: float,
             handlers: HandlersFor | None = None) -> tuple[str, list[str], qemu.PowerSwitch]:
    """Runs the guest, its monitor and host line on sockets of a private
    folder (a socket's path must be short); returns qemu's exit status, the
    problems and the board's power switch. `handlers` adds requests the
    host line serves, made with the monitor and the power switch."""
    problems = []
    power = qemu.PowerSwitch()
    with tempfile.TemporaryDirectory(prefix="restoremark-system-") as sockets:
        monitor = qemu.Monitor(Path(sockets) / "monitor")
        served = {"screendump": _screendump(monitor, boot_dir / "panels")}
        served.update(handlers(monitor, power) if handlers else {})
        line = channel.HostChannel(Path(sockets) / "host", served)
        try:
            with line:
                status = str(qemu.boot(kernel.image, boot_dir / "initrd", boot_dir / "board.dtb",
                                       boot_dir / "volumes.img", boot_dir / "results.img",
                                       boot_dir / "console", limit, monitor.qemu_args() + line.qemu_args(),
                                       power))
            if status != "0" and power.cut_at is None:
                problems.append(f"boot {boot.name}: qemu exited with {status}")
        except CommandTimedOut:
            status = "none: killed at the time limit"
            problems.append(f"boot {boot.name}: the guest did not power off within {limit} s")
    problems += [f"boot {boot.name}: the host could not do {p}" for p in line.problems]
    return status, problems, power


class BootError(RuntimeError):
    """A boot that cannot start: a missing or wrong part."""


def prepare(layout: Layout, boot: scenarios.Boot, program: Path, check: Path, helpers: Path,
            drivers: Path | None, check_platform: bool = True) -> tuple[packages.Kernel, Path]:
    """Everything a boot needs but its volumes: the root file system with its
    plan (whether the guest runs the platform check `check`:
    `check_platform`), the device tree and an empty results disk, in a fresh
    build/system/boots/BOOT; returns the kernel and that folder. Raises
    BootError. `drivers` is the folder of the reference drivers, for a
    contract boot."""
    needed = [program, check, layout.twin] + [helpers / h for h in initramfs.HELPERS]
    if boot.board.drivers == scenarios.CONTRACT:
        if drivers is None:
            raise BootError(f"boot {boot.name} runs on the reference drivers: give their folder (--drivers)")
        needed += [drivers / module for module in initramfs.REFERENCE_MODULES]
    for item in needed:
        if not item.is_file():
            raise BootError(f"{item} is missing: build it first (scripts/test-system does)")
    kernel, base = _base_initramfs(layout, program, check, helpers)
    if drivers is not None and boot.board.drivers == scenarios.CONTRACT:
        if wrong := _drivers_problems(drivers, kernel.release):
            raise BootError("; ".join(wrong))
    boot_dir = layout.boots / boot.name
    shutil.rmtree(boot_dir, ignore_errors=True)
    (boot_dir / "settings").mkdir(parents=True)
    scenarios.load(layout, [s.name for s in boot.scenarios], settings=boot_dir / "settings",
                   listing=boot.listing)
    (boot_dir / "initrd").write_bytes(base + initramfs.plan(boot, boot_dir / "settings", drivers, check_platform))
    board.build(boot.board, kernel.board_dtb, layout.system / "device-board.dtsi",
                boot_dir / "board.dtb")
    if check_platform:
        platform_check.write_knobs(boot.board, boot_dir)
    with open(boot_dir / "results.img", "wb") as results:
        results.truncate(RESULTS_BYTES)
    return kernel, boot_dir


def boot_and_collect(layout: Layout, boot: scenarios.Boot, kernel: packages.Kernel,
                     boot_dir: Path) -> list[str]:
    """Runs a prepared boot whose volumes are in place and collects its
    scenarios' results; returns the problems."""
    limit = BOOT_SECONDS + SCENARIO_SECONDS * len(boot.scenarios)
    started = time.monotonic()
    status, problems, _ = run_qemu(boot, boot_dir, kernel, limit)
    seconds = time.monotonic() - started
    (boot_dir / "seconds").write_text(f"{seconds:.1f}\n")
    print(f"boot {boot.name}: {len(boot.scenarios)} scenarios, qemu ran {seconds:.1f} s, "
          f"exit status {status}")

    try:
        missing = collect.collect(layout, boot, boot_dir)
    except CommandError as error:
        return problems + [f"boot {boot.name}: cannot collect the results: {error}"]
    return problems + [f"{m}: no results (see {boot_dir / 'console'})" for m in missing]


def run_boot(layout: Layout, boot: scenarios.Boot, program: Path, check: Path, helpers: Path,
             drivers: Path | None) -> list[str]:
    """Returns a list of problems (empty when every scenario has results).
    `drivers` is the folder of the reference drivers, for a contract boot."""
    collect.clear(layout, boot)
    try:
        kernel, boot_dir = prepare(layout, boot, program, check, helpers, drivers)
    except BootError as error:
        return [str(error)]
    volumes.make(boot_dir / "volumes.img", len(boot.scenarios) + 1)  # and the platform check's
    return boot_and_collect(layout, boot, kernel, boot_dir)
