"""Runs one boot: the base root file system and this boot's plan, the board's
device tree with this boot's display memory, a fresh volume per scenario, and
the guest under a time limit; then its results are collected."""
import fcntl
import shutil
import time
from pathlib import Path

from . import board, collect, initramfs, paths, qemu, volumes, scenarios as scenario_list

BOOT_SECONDS = 90          # time limit for boot, set-up and power-off ...
SCENARIO_SECONDS = 45      # ... and for each scenario (the program waits 10 s)
RESULTS_BYTES = 256 * 1024 * 1024


def _base_initramfs(program, helpers):
    """Builds the base archive, one boot at a time (boots may run side by side)."""
    paths.GUEST.mkdir(parents=True, exist_ok=True)
    with open(paths.GUEST / ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        kernel = initramfs.build(program, helpers, paths.GUEST / "initramfs.cpio")
        return kernel, (paths.GUEST / "initramfs.cpio").read_bytes()


def run_boot(name, scenarios, program, helpers):
    """Returns a list of problems (empty when every scenario has results)."""
    for needed in [program] + [helpers / h for h in initramfs.HELPERS]:
        if not Path(needed).is_file():
            return [f"{needed} is missing: build it first (scripts/test-system does)"]
    kernel, base = _base_initramfs(program, helpers)
    boot_dir = paths.BOOTS / name
    shutil.rmtree(boot_dir, ignore_errors=True)
    boot_dir.mkdir(parents=True)
    (boot_dir / "initrd").write_bytes(base + initramfs.plan(scenarios))
    fb_memory = next((s.fb_memory for s in scenarios if s.display), scenario_list.DEFAULT_FB_MEMORY)
    board.build(kernel, fb_memory, boot_dir / "board.dtb")
    volumes.make(boot_dir / "volumes.img", len(scenarios))
    with open(boot_dir / "results.img", "wb") as results:
        results.truncate(RESULTS_BYTES)

    limit = BOOT_SECONDS + SCENARIO_SECONDS * len(scenarios)
    started = time.monotonic()
    status = qemu.boot(kernel.image, boot_dir / "initrd", boot_dir / "board.dtb",
                       boot_dir / "volumes.img", boot_dir / "results.img",
                       boot_dir / "console", limit)
    seconds = time.monotonic() - started
    (boot_dir / "seconds").write_text(f"{seconds:.1f}\n")
    print(f"boot {name}: {len(scenarios)} scenarios, qemu ran {seconds:.1f} s, exit status {status}")

    problems = []
    if status == 124:
        problems.append(f"boot {name}: the guest did not power off within {limit} s")
    elif status != 0:
        problems.append(f"boot {name}: qemu exited with {status}")
    missing = collect.collect(boot_dir, scenarios)
    if (boot_dir / "out" / "boot").is_dir():
        shutil.copytree(boot_dir / "out" / "boot", boot_dir / "guest", dirs_exist_ok=True)
    problems += [f"{m}: no results (see {boot_dir / 'console'})" for m in missing]
    return problems
