"""The scenario list (system/scenarios): one scenario a line, its name and the
restoremark-sim options that describe the same device. Only the options the
guest can set up are understood; any other is an error."""
from dataclasses import dataclass, field

from . import paths

DEFAULT_FB_MEMORY = 8 * 1024 * 1024

TOOL_KNOBS = {
    "--stop": ("orvex-msd", "--stop"),
    "--start": ("orvex-msd", "--start"),
    "--factory": ("orvex-auth", "--make-factory"),
    "--restore": ("orvex-auth", "--make-restore"),
    "--remove": ("orvex-auth", "--remove"),
}


class ScenarioError(Exception):
    pass


@dataclass
class Scenario:
    name: str
    knobs: list
    display: bool = True
    fb_memory: int = DEFAULT_FB_MEMORY
    led_trigger: str = "none"
    power: str = "accept"
    answers: list = field(default_factory=list)  # (tool, option, exit status)



def _exit_status(knob, value):
    if not value.isdigit() or int(value) > 255:
        raise ScenarioError(f"{knob} {value}: the guest's tools answer with an exit status 0-255 only")
    return int(value)


def parse_line(line):
    words = line.split()
    name, knobs = words[0], words[1:]
    scenario = Scenario(name, knobs)
    platform = None
    i = 0
    while i < len(knobs):
        knob = knobs[i]
        if knob == "--no-display":
            scenario.display = False
            i += 1
            continue
        if i + 1 >= len(knobs):
            raise ScenarioError(f"{name}: {knob} needs a value")
        value = knobs[i + 1]
        i += 2
        if knob == "--platform":
            platform = value
        elif knob == "--fb-memory":
            if not value.isdigit() or int(value) == 0:
                raise ScenarioError(f"{name}: --fb-memory {value}: a positive byte count")
            scenario.fb_memory = int(value)
        elif knob == "--led-trigger":
            if value not in ("none", "timer"):
                raise ScenarioError(f"{name}: --led-trigger {value}: none or timer")
            scenario.led_trigger = value
        elif knob == "--max-brightness":
            # The board's LEDs are GPIO lines: on or off, max_brightness 1.
            if value != "1":
                raise ScenarioError(f"{name}: --max-brightness {value}: the guest's GPIO LEDs have 1")
        elif knob == "--power":
            if value not in ("accept", "refuse", "missing"):
                raise ScenarioError(f"{name}: --power {value}: the guest has accept, refuse or missing")
            scenario.power = value
        elif knob in TOOL_KNOBS:
            tool, option = TOOL_KNOBS[knob]
            scenario.answers.append((tool, option, _exit_status(knob, value)))
        else:
            raise ScenarioError(f"{name}: {knob}: not an option the guest can set up")
    if platform != "linux":
        raise ScenarioError(f"{name}: every scenario runs on --platform linux")
    return scenario


def load(names=None):
    """The scenarios in file order, or those named (in the order given)."""
    scenarios = {}
    for line in paths.SCENARIOS.read_text().splitlines():
        if line.strip() and not line.lstrip().startswith("#"):
            scenario = parse_line(line)
            if scenario.name in scenarios:
                raise ScenarioError(f"{scenario.name}: listed twice")
            scenarios[scenario.name] = scenario
    if not names:
        return list(scenarios.values())
    unknown = [n for n in names if n not in scenarios]
    if unknown:
        raise ScenarioError("no such scenario: " + " ".join(unknown))
    return [scenarios[n] for n in names]


def boots(scenarios):
    """{boot name: [scenario, ...]}: display scenarios share a boot when their
    boards have the same display memory ("fb-BYTES"); the LED scenarios, which
    do not use the display, then join whichever boot has the fewest scenarios
    so far, to keep the boots (run side by side) about as long."""
    grouped = {}
    for scenario in scenarios:
        if scenario.display:
            grouped.setdefault(f"fb-{scenario.fb_memory}", []).append(scenario)
    for scenario in scenarios:
        if not scenario.display:
            if not grouped:
                grouped[f"fb-{scenario.fb_memory}"] = []
            min(grouped.values(), key=len).append(scenario)
    return grouped
