"""The guest's results, as collected on the host: per scenario
build/system/results/NAME, per boot build/system/boots/BOOT (system/README.md
lists their files). The one reader of them, for the checks and the report."""
from pathlib import Path

from . import panel, screen, trace
from .layout import Layout


def read_text(path: Path) -> str:
    """A file's text as the suite shows and compares it: UTF-8, any byte that
    does not decode replaced."""
    return path.read_bytes().decode("utf-8", "replace")


def read_volume(folder: Path) -> list[tuple[str, bytes]] | None:
    """Every file of a volume read back (or expected), by name; None when
    there is no such folder."""
    if not folder.is_dir():
        return None
    return [(item.name, item.read_bytes()) for item in sorted(folder.iterdir())]


class Files:
    """A folder of result files."""

    def __init__(self, folder: Path) -> None:
        self.folder = folder

    def has(self, name: str) -> bool:
        return (self.folder / name).exists()

    def text(self, name: str, absent: str | None = None) -> str:
        """The file's text; `absent` when it is missing, or OSError if None."""
        if absent is not None and not self.has(name):
            return absent
        return read_text(self.folder / name)


class BootResults(Files):
    """A boot's folder: `seconds` (qemu's wall time), what the guest kept
    once per boot in guest/: `gpio`, `times`, `dmesg` and the platform
    check's results (guest/check), and the panel while the check showed its
    test picture, panels/check.ppm."""

    def __init__(self, layout: Layout, name: str) -> None:
        super().__init__(layout.boots / name)
        self.name = name

    def guest(self, name: str, absent: str | None = None) -> str:
        return Files(self.folder / "guest").text(name, absent)

    def check_files(self) -> Files:
        """The platform check's output and status, what it found and left
        (`leds-`, `fb-memory-`, `volume-before` and `-after`), its journal
        with the `tools` and `power` read from it, and its volume read back
        after power-off (`volume/`)."""
        return Files(self.folder / "guest" / "check")

    def check_panel(self) -> list[str]:
        """The panel while the platform check showed its test picture.
        OSError when there is no screendump, panel.PanelError when it is not
        a panel's."""
        return panel.rows((self.folder / "panels" / "check.ppm").read_bytes())


class Results(Files):
    """A scenario's folder."""

    def __init__(self, layout: Layout, name: str) -> None:
        super().__init__(layout.results / name)
        self.name = name
        self._layout = layout

    @property
    def complete(self) -> bool:
        """Whether the guest ran the program (it wrote the exit status)."""
        return self.has("status")

    def boot(self) -> BootResults:
        return BootResults(self._layout, self.text("boot", "").strip())

    def led_events(self) -> list[trace.Event]:
        """Every LED line set while the program ran, named by the boot's GPIO
        listing. OSError when the trace or the listing is missing."""
        return trace.events(self.text("led-trace"), trace.led_lines(self.boot().guest("gpio")))

    def display(self) -> tuple[screen.Geometry, bytes]:
        """The display's geometry and its whole memory. OSError in LED mode."""
        return screen.Geometry.parse(self.text("fb-info")), (self.folder / "fb-memory").read_bytes()

    def panel(self) -> list[str]:
        """The panel's pixel rows at the scenario's end. OSError when there is
        no screendump (LED mode), panel.PanelError when it is not a panel's."""
        return panel.rows((self.folder / "panel.ppm").read_bytes())

    def volume(self) -> list[tuple[str, bytes]] | None:
        return read_volume(self.folder / "volume")
