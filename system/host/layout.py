"""Where the full-system suite's sources are and where it builds: made once
by run-system and passed to every step."""
from dataclasses import dataclass
from pathlib import Path


@dataclass(frozen=True)
class Layout:
    system: Path     # the suite's sources: system/
    font: Path       # the device font the guest installs
    twin: Path       # the host build's system-twin program
    debs: Path       # the guest's Debian packages, as fetched ...
    packages: Path   # ... and unpacked
    guest: Path      # the base root file system
    boots: Path      # per boot: its device tree, images, serial log and measurements
    results: Path    # per scenario: what its device saw
    frames: Path     # per scenario: the display memory's pages as PNG files

    @classmethod
    def of_checkout(cls, source: Path, twin: Path | None = None) -> "Layout":
        build = source / "build" / "system"
        return cls(source / "system", source / "fonts" / "6x16.bdf",
                   twin or source / "build" / "default" / "tests" / "system" / "system-twin",
                   build / "debs", build / "packages", build / "guest", build / "boots",
                   build / "results", build / "frames")

    @property
    def scenarios(self) -> Path:
        return self.system / "scenarios"

    @property
    def expected(self) -> Path:
        return self.system / "expected"

    @property
    def power_cuts(self) -> Path:
        """The power cuts' list, and what each cut left (build/system/cuts/NAME)."""
        return self.system / "power-cuts"

    @property
    def cuts(self) -> Path:
        return self.results.parent / "cuts"
