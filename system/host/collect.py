"""After a boot: the guest's results archive unpacked into
build/system/results/NAME, each with its volume read back, its `tools` and
`power` files read from its journal by the twin's decoder (system-twin),
the boot's serial log and the boot's name."""
import shutil
from pathlib import Path

from . import volumes
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
        (target / "boot").write_text(boot.name + "\n")
        collected.append(target)
    if collected:
        run([layout.twin, "journal-files", *collected], timeout=TWIN_SECONDS)
    if (unpacked / "boot").is_dir():
        shutil.copytree(unpacked / "boot", boot_dir / "guest", dirs_exist_ok=True)
    return missing
