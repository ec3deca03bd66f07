"""After a boot: the guest's results archive unpacked into
build/system/results/NAME, each with its volume read back and the boot's
serial log."""
import shutil
import subprocess

from . import paths, volumes


def collect(boot_dir, scenarios):
    """Moves each scenario's results in place; returns the names that have none."""
    unpacked = boot_dir / "out"
    shutil.rmtree(unpacked, ignore_errors=True)
    unpacked.mkdir()
    subprocess.run(["tar", "-x", "-f", str(boot_dir / "results.img"), "-C", str(unpacked)],
                   check=False, stderr=subprocess.DEVNULL)
    missing = []
    for index, scenario in enumerate(scenarios, 1):
        target = paths.RESULTS / scenario.name
        shutil.rmtree(target, ignore_errors=True)
        source = unpacked / "scenarios" / scenario.name
        if not (source / "status").exists():
            missing.append(scenario.name)
            continue
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.move(str(source), str(target))
        shutil.copyfile(boot_dir / "console", target / "console")
        volumes.read_back(boot_dir / "volumes.img", index, target / "volume")
        (target / "boot").write_text(boot_dir.name + "\n")
    return missing
