"""After a boot: the guest's results archive unpacked into
build/system/results/NAME, each with its volume read back, its `tools` and
`power` files read from its journal by the twin's decoder (system-twin),
the panel as qemu showed it at the scenario's end (display mode), the boot's
serial log and the boot's name; and the platform check's results the same
way into build/system/boots/BOOT/guest/check."""
import shutil
from pathlib import Path

from . import panel, platform_check, volumes
from .layout import Layout
from .process import run
from .scenarios import Boot

TAR_SECONDS = 120
TWIN_SECONDS = 60


def clear(layout: Layout, boot: Boot) -> None:
    """Removes the boot's scenarios' earlier results, so that none outlives a
    boot that fails."""
    for scenario in boot.scenarios:
        shutil.rmtree(layout.results / scenario.name, ignore_errors=True)


def _keep_panel(screendump: Path, target: Path) -> None:
    """The scenario's screendump as panel.ppm and, when it reads as a panel,
    panel.png beside it (the checks say why one does not)."""
    if not screendump.exists():
        return
    shutil.copyfile(screendump, target / "panel.ppm")
    panel.keep_png(screendump, target / "panel.png")


def collect(layout: Layout, boot: Boot, boot_dir: Path) -> list[str]:
    """Moves each scenario's results in place; returns the names that have
    none. Raises CommandError when the archive does not unpack or a journal
    does not decode."""
    unpacked = boot_dir / "out"
    shutil.rmtree(unpacked, ignore_errors=True)
    unpacked.mkdir()
    run(["tar", "-x", "-f", boot_dir / "results.img", "-C", unpacked], timeout=TAR_SECONDS)
    missing, collected = [], []
    for index, scenario in enumerate(boot.scenarios, 1):
        target = layout.results / scenario.name
        source = unpacked / "scenarios" / scenario.name
        if not (source / "status").exists():
            missing.append(scenario.name)
            continue
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.move(source, target)
        shutil.copyfile(boot_dir / "console", target / "console")
        volumes.read_back(boot_dir / "volumes.img", index, target / "volume")
        _keep_panel(boot_dir / "panels" / f"{scenario.name}.ppm", target)
        (target / "boot").write_text(boot.name + "\n")
        collected.append(target)
    if collected:
        run([layout.twin, "journal-files", *collected], timeout=TWIN_SECONDS)
    if (unpacked / "boot").is_dir():
        shutil.copytree(unpacked / "boot", boot_dir / "guest", dirs_exist_ok=True)
    platform_check.collect(layout, boot, boot_dir)
    return missing
