"""Runs one boot: the base root file system and this boot's plan, the board's
device tree with this boot's display memory, a fresh volume per scenario, and
the guest under a time limit; then its results are collected."""
import fcntl
import shutil
import time
from pathlib import Path

from . import board, collect, initramfs, packages, qemu, scenarios, volumes
from .layout import Layout
from .process import CommandError, CommandTimedOut

BOOT_SECONDS = 90          # time limit for boot, set-up and power-off ...
SCENARIO_SECONDS = 45      # ... and for each scenario (the program waits 10 s)
RESULTS_BYTES = 256 * 1024 * 1024


def _base_initramfs(layout: Layout, program: Path, helpers: Path) -> tuple[packages.Kernel, bytes]:
    """Builds the base archive, one boot at a time (boots may run side by side)."""
    layout.guest.mkdir(parents=True, exist_ok=True)
    target = layout.guest / "initramfs.cpio"
    with open(layout.guest / ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        kernel = initramfs.build(layout, program, helpers, target)
        return kernel, target.read_bytes()


def run_boot(layout: Layout, boot: scenarios.Boot, program: Path, helpers: Path) -> list[str]:
    """Returns a list of problems (empty when every scenario has results)."""
    for needed in [program, layout.twin] + [helpers / h for h in initramfs.HELPERS]:
        if not needed.is_file():
            return [f"{needed} is missing: build it first (scripts/test-system does)"]
    collect.clear(layout, boot)
    kernel, base = _base_initramfs(layout, program, helpers)
    boot_dir = layout.boots / boot.name
    shutil.rmtree(boot_dir, ignore_errors=True)
    (boot_dir / "settings").mkdir(parents=True)
    names = [s.name for s in boot.scenarios]
    scenarios.load(layout, names, settings=boot_dir / "settings")
    (boot_dir / "initrd").write_bytes(base + initramfs.plan(boot.scenarios, boot_dir / "settings"))
    board.build(boot.board, kernel.board_dtb, layout.system / "device-board.dtsi",
                boot_dir / "board.dtb")
    volumes.make(boot_dir / "volumes.img", len(boot.scenarios))
    with open(boot_dir / "results.img", "wb") as results:
        results.truncate(RESULTS_BYTES)

    problems = []
    limit = BOOT_SECONDS + SCENARIO_SECONDS * len(boot.scenarios)
    started = time.monotonic()
    try:
        status = str(qemu.boot(kernel.image, boot_dir / "initrd", boot_dir / "board.dtb",
                               boot_dir / "volumes.img", boot_dir / "results.img",
                               boot_dir / "console", limit))
        if status != "0":
            problems.append(f"boot {boot.name}: qemu exited with {status}")
    except CommandTimedOut:
        status = "none: killed at the time limit"
        problems.append(f"boot {boot.name}: the guest did not power off within {limit} s")
    seconds = time.monotonic() - started
    (boot_dir / "seconds").write_text(f"{seconds:.1f}\n")
    print(f"boot {boot.name}: {len(boot.scenarios)} scenarios, qemu ran {seconds:.1f} s, "
          f"exit status {status}")

    try:
        missing = collect.collect(layout, boot, boot_dir)
    except CommandError as error:
        return problems + [f"boot {boot.name}: cannot collect the results: {error}"]
    return problems + [f"{m}: no results (see {boot_dir / 'console'})" for m in missing]
