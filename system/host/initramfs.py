"""The guest's root file system: busybox, the kernel modules the device's
drivers need, the C library, the device program and the platform check with
their font, the fake
device tools (the twin's own, built for armhf) and the other guest
helpers. One base archive for every boot; each boot appends its plan, and a
contract boot the reference drivers (the kernel unpacks concatenated
archives)."""
import re
from pathlib import Path

from . import cpio, packages
from .layout import Layout
from .scenarios import CONTRACT, Boot

# Modules loaded by the init script; their dependencies come along.
MODULES = ["virtio_mmio", "virtio_blk", "virtio_console", "fat", "vfat", "nls_cp437",
           "nls_ascii", "nls_utf8", "leds-gpio", "ledtrig-timer", "cuse"]
HELPERS = ["orvex-msd", "orvex-auth", "fb-info", "power-daemon", "led-states", "cut-power"]
SCRIPTS = ["run-scenario", "run-check", "ask-host"]
# The reference drivers of a contract boot (scripts/build-drivers builds
# them), loaded by the init script in this order from REFERENCE_FOLDER.
REFERENCE_MODULES = ["fb-whole-image.ko", "leds-gpio-blink.ko"]
REFERENCE_FOLDER = "lib/modules/contract"
TRIPLET = "arm-linux-gnueabihf"


def _module_files(kernel: packages.Kernel) -> list[str]:
    """Paths (relative to the modules folder) of MODULES and everything they need."""
    depends: dict[str, list[str]] = {}
    for line in (kernel.modules / "modules.dep").read_text().splitlines():
        module, _, needs = line.partition(":")
        depends[module] = needs.split()
    by_name = {re.sub(r"\.ko(\..*)?$", "", m.rsplit("/", 1)[-1]).replace("-", "_"): m for m in depends}
    wanted: list[str] = []
    for name in MODULES:
        found = by_name.get(name.replace("-", "_"))
        if found is None:
            raise RuntimeError(f"the guest kernel has no module {name}")
        for path in [found] + depends[found]:
            if path not in wanted:
                wanted.append(path)
    return wanted


def _add_file(archive: cpio.Archive, name: str, source: Path, mode: int = 0o644) -> None:
    archive.directories_of(name)
    archive.file(name, source.read_bytes(), mode)


def build(layout: Layout, program: Path, check: Path, helpers: Path, target: Path) -> packages.Kernel:
    """Writes the base archive to `target`; returns the kernel it was made for."""
    kernel = packages.kernel(layout)
    archive = cpio.Archive()
    for folder in ["dev", "proc", "sys", "run", "tmp", "mnt/vfat", "results", "plan",
                   "usr/local", "usr/sbin", "usr/bin", "bin", "sbin"]:
        archive.directories_of(folder + "/x")
    archive.char_device("dev/console", 5, 1)
    archive.char_device("dev/null", 1, 3, 0o666)

    _add_file(archive, "bin/busybox", packages.busybox(layout), 0o755)
    archive.symlink("bin/sh", "busybox")
    _add_file(archive, "init", layout.system / "guest" / "init", 0o755)
    for script in SCRIPTS:
        _add_file(archive, f"usr/bin/{script}", layout.system / "guest" / script, 0o755)
    for helper in HELPERS:
        _add_file(archive, f"usr/bin/{helper}", helpers / helper, 0o755)
    _add_file(archive, "usr/sbin/restoremark", program, 0o755)
    _add_file(archive, "usr/sbin/restoremark-check", check, 0o755)
    _add_file(archive, "usr/share/fonts/6x16.bdf", layout.font)

    libc = packages.libc(layout) / "lib" / TRIPLET
    for library in ["ld-linux-armhf.so.3", "libc.so.6"]:
        _add_file(archive, f"lib/{TRIPLET}/{library}", libc / library, 0o755)
    archive.symlink("lib/ld-linux-armhf.so.3", f"{TRIPLET}/ld-linux-armhf.so.3")
    _add_file(archive, f"lib/{TRIPLET}/libfuse3.so.3",
              (packages.libfuse(layout) / "lib" / TRIPLET / "libfuse3.so.3").resolve(), 0o755)

    base = f"lib/modules/{kernel.release}"
    modules = _module_files(kernel)
    for module in modules:
        _add_file(archive, f"{base}/{module}", kernel.modules / module)
    dep_lines = [line for line in (kernel.modules / "modules.dep").read_text().splitlines()
                 if line.split(":", 1)[0] in modules]
    archive.file(f"{base}/modules.dep", ("\n".join(dep_lines) + "\n").encode())

    temporary = target.with_suffix(".partial")
    target.parent.mkdir(parents=True, exist_ok=True)
    temporary.write_bytes(archive.bytes())
    temporary.replace(target)
    return kernel


def plan(boot: Boot, settings: Path, drivers: Path | None, check_platform: bool = True) -> bytes:
    """The archive that tells the guest which drivers to load, whether to
    run the platform check (`check_platform`) and where its volume is, and which
    scenarios to run and how: for each, what run-scenario sets up and the
    twin's settings file (in `settings`, by name) that its tools and power
    driver answer by. A contract boot's archive holds the reference drivers
    from the folder `drivers`."""
    archive = cpio.Archive()
    archive.file("plan/drivers", (boot.board.drivers + "\n").encode())
    archive.file("plan/check-platform", b"yes\n" if check_platform else b"no\n")
    if boot.board.drivers == CONTRACT:
        if drivers is None:
            raise RuntimeError(f"boot {boot.name} needs the reference drivers: give their folder")
        for module in REFERENCE_MODULES:
            _add_file(archive, f"{REFERENCE_FOLDER}/{module}", drivers / module)
    archive.file("plan/order", "".join(s.name + "\n" for s in boot.scenarios).encode())
    # The platform check's volume follows the scenarios' (volumes.make).
    archive.file("plan/check-partition", f"{len(boot.scenarios) + 1}\n".encode())
    for index, scenario in enumerate(boot.scenarios, 1):
        folder = f"plan/{scenario.name}"
        archive.directory(folder)
        setup = {
            "mode": "display" if scenario.display else "leds",
            "trigger": scenario.led_trigger,
            "power": scenario.power,
            "partition": str(index),
            "main-user": "yes" if scenario.main_user else "no",
        }
        for key, value in setup.items():
            archive.file(f"{folder}/{key}", (value + "\n").encode())
        archive.file(f"{folder}/settings", (settings / scenario.name).read_bytes())
    return archive.bytes()
