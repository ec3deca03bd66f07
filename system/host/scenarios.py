"""The scenario list (system/scenarios), read by the twin itself: the host
build's system-twin parses each line with the twin's knob table, refuses any
knob the guest cannot set up, and says what the guest sets up; here the
scenarios are grouped into boots."""
from dataclasses import dataclass, field
from pathlib import Path

from .layout import Layout
from .process import Argument, CommandError, run

TWIN_SECONDS = 60


class ScenarioError(Exception):
    pass


# The kernel's drivers a boot runs on: Debian's stock ones, or the reference
# drivers of the platform contract (drivers/) loaded into the same kernel.
STOCK = "stock"
CONTRACT = "contract"


@dataclass(frozen=True)
class Board:
    """What a boot's guest is made with, the same for each of its scenarios:
    a new kind of boot is a field here (and in its name)."""
    fb_memory: int  # the display memory, bytes
    drivers: str = STOCK

    @property
    def name(self) -> str:
        return ("" if self.drivers == STOCK else f"{self.drivers}-") + f"fb-{self.fb_memory}"


@dataclass(frozen=True)
class Scenario:
    name: str
    knobs: tuple[str, ...]  # the twin's knobs, as listed
    display: bool           # a writable /dev/fb0; else LED mode, no display at all
    fb_memory: int
    led_trigger: str        # the trigger every LED has selected at start
    power: str              # accept, refuse or missing
    platform: str = "linux"  # the twin's platform: linux (stock drivers) or device (the contract's)
    main_user: bool = True   # /usr/local/main-user/install is there at the start
    cut: str = "none"        # where the host cuts the power (a --cut point), or none
    cut_delay: int = 0       # ms the guest runs on at the cut point before the cut

    @property
    def board(self) -> Board:
        return Board(self.fb_memory, CONTRACT if self.platform == "device" else STOCK)


@dataclass
class Boot:
    board: Board
    scenarios: list[Scenario] = field(default_factory=list)
    label: str = ""  # the boot's own name, where boots of one board must not share a folder
    listing: Path | None = None  # the list its scenarios come from (None: system/scenarios)

    @property
    def name(self) -> str:
        return self.label or self.board.name


def parse(text: str) -> list[Scenario]:
    """system-twin's lines: tab-separated KEY=VALUE fields, one scenario a line."""
    scenarios = []
    for line in text.splitlines():
        fields = dict(f.partition("=")[::2] for f in line.split("\t"))
        try:
            scenarios.append(Scenario(fields["name"], tuple(fields["knobs"].split()),
                                      fields["display"] == "yes", int(fields["fb-memory"]),
                                      fields["led-trigger"], fields["power"], fields["platform"],
                                      fields["main-user"] == "yes", fields["cut"],
                                      int(fields["cut-delay"])))
        except (KeyError, ValueError) as error:
            raise ScenarioError(f"system-twin gave a line without {error}: {line!r}") from None
    return scenarios


def load(layout: Layout, names: list[str], settings: Path | None = None,
         listing: Path | None = None) -> list[Scenario]:
    """The scenarios of `listing` (system/scenarios unless given) in its
    order, or those named in the order given. With `settings`, each one's
    settings file is written to settings/NAME."""
    if not layout.twin.is_file():
        raise RuntimeError(f"{layout.twin} is missing: build it first (scripts/test-system does)")
    command: list[Argument] = [layout.twin, "scenarios", listing or layout.scenarios]
    if settings is not None:
        command += ["--settings", settings]
    try:
        return parse(run([*command, *names], timeout=TWIN_SECONDS).stdout)
    except CommandError as error:
        if error.returncode == 2:  # the list or a name is wrong
            raise ScenarioError(error.stderr.removeprefix("system-twin: ")) from None
        raise


def boots(scenarios: list[Scenario]) -> list[Boot]:
    """Display scenarios share a boot when their boards are the same; LED
    scenarios, which do not use the display, then join whichever boot on the
    same drivers has the fewest scenarios so far, to keep the boots (run side
    by side) about as long."""
    grouped: dict[Board, Boot] = {}
    for scenario in scenarios:
        if scenario.display:
            grouped.setdefault(scenario.board, Boot(scenario.board)).scenarios.append(scenario)
    for scenario in scenarios:
        if not scenario.display:
            same = [boot for boot in grouped.values() if boot.board.drivers == scenario.board.drivers]
            if not same:
                same = [grouped.setdefault(scenario.board, Boot(scenario.board))]
            min(same, key=lambda boot: len(boot.scenarios)).scenarios.append(scenario)
    return list(grouped.values())
