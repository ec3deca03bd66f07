"""Where the full-system suite keeps its sources and what it builds."""
from pathlib import Path

SYSTEM = Path(__file__).resolve().parent.parent
REPO = SYSTEM.parent
BUILD = REPO / "build" / "system"
DEBS = BUILD / "debs"
PACKAGES = BUILD / "packages"
GUEST = BUILD / "guest"
BOOTS = BUILD / "boots"
RESULTS = BUILD / "results"
FRAMES = BUILD / "frames"
SCENARIOS = SYSTEM / "scenarios"
EXPECTED = SYSTEM / "expected"
FONT = REPO / "fonts" / "6x16.bdf"
