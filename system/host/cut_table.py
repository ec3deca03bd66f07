"""What each power cut left, as one row: what the device showed at the cut,
the flags set before it, the volume's files and log and fsck.fat -n's
verdict after it, the second run's end and what a supporter should do.
The rows, made from the runs, are recorded in system/expected/power-cuts.tsv
(one row a line, tab-separated KEY=VALUE fields), the one source of the
power-cut table in docs/power-cuts.md and of the atlas's power cuts
(restoremark-sim --atlas). `check` holds a cut's results to the rules and
to its recorded rows.

A cut may leave one of several volumes: where the kernel was still writing
when the cut point came (its flusher finishing a sync's work), it has
written what came after in some runs and not in others. Such a cut has a
row for each volume seen, alike in everything else (VOLUME_KEYS)."""
from pathlib import Path

from . import check as scenario_check, cuts, fsck
from .layout import Layout
from .results import Files, read_volume
from .scenarios import Scenario, load

TSV = Path("expected") / "power-cuts.tsv"
PAGE = Path("docs") / "power-cuts.md"
LOG_NAME = "K300-RESTOREMARK-V1-0.log"
PACKAGE = ("K300-RESTOREMARK-V1-0.tar.gz", "install", "install.sig", "main-user.crt")
# A row's fields, in the order of the file.
KEYS = ("name", "indicator", "moment", "delay", "knobs", "shown", "flags", "main-user", "volume",
        "log", "fsck", "second-run", "second-fsck", "advice")
# What may differ between the rows of one cut: the volume it left.
VOLUME_KEYS = ("volume", "log", "fsck", "advice")


def visible(data: bytes) -> str:
    """Bytes as one line of text: printable ASCII as it is, a backslash
    doubled, a line feed as \\n and any other byte as \\xNN."""
    out = ""
    for byte in data:
        char = chr(byte)
        if char == "\\":
            out += "\\\\"
        elif char == "\n":
            out += "\\n"
        elif 0x20 <= byte < 0x7F:
            out += char
        else:
            out += f"\\x{byte:02x}"
    return out


def whole_lines(log: bytes) -> bool:
    """A log of whole lines: empty, or ending in a line feed, and no NUL
    byte (a cluster that was allocated but never written reads as zeros)."""
    return b"\0" not in log and (not log or log.endswith(b"\n"))


def _log_text(files: list[tuple[str, bytes]]) -> str:
    log = dict(files).get(LOG_NAME)
    if log is None:
        return "no log"
    return "an empty log" if not log else f'the log "{visible(log)}"'


def _volume_cell(files: list[tuple[str, bytes]]) -> str:
    """The volume's files as one table cell: each name and size."""
    return ", ".join(f"{name} {len(data)} B" for name, data in files) or "no file"


def _flags_text(flags: str) -> str:
    return {"none": "none", "factory": "the factory flag",
            "factory restore": "both flags"}.get(flags, flags)


def _second_run(results: Files) -> str:
    """How the second run ended, in words."""
    out = results.text("stdout").splitlines()
    words = [f"exit {results.text('status').strip()}"]
    words += [f'"{line}"' for line in out if line in ("Success.", "Error.")] or ["no outcome word"]
    words.append("the power request made" if "ioctl" in results.text("power") else "no power request")
    tools = results.text("tools").splitlines()
    words.append("the export restarted" if tools and tools[-1] == "orvex-msd\t--start" else "the export stays stopped")
    words.append(_log_text(read_volume(results.folder / "volume") or []) + " left")
    return ", ".join(words)


def _advice(files: list[tuple[str, bytes]], flags: str, verdict: fsck.Verdict) -> str:
    """What a supporter should do, from what the cut left."""
    names = [name for name, _ in files]
    log = dict(files).get(LOG_NAME)
    if any(name in names for name in PACKAGE):
        told = "The volume still holds the package: nothing the run did had reached it."
    elif log == b"" and flags == "factory restore":
        told = ("An empty log, no package and both flags set: the power went after the success, "
                "before the log's deletion reached the volume.")
    elif log == b"":
        told = ("An empty log and no package: the power went before the run's outcome (a volume "
                "too full for a log line looks the same, and says so on standard output).")
    elif log is None:
        told = "No package and no log: the volume looks as a successful run leaves it."
    else:
        told = "The log holds the run's failure, as an uninterrupted run leaves it."
    dirty = " Then clear the volume's dirty bit (fsck.fat -a): no mount clears it." if verdict.dirty else ""
    return f"{told} Run the package again: the next run ends as an uninterrupted one.{dirty}"


def row(layout: Layout, scenario: Scenario) -> dict[str, str]:
    """The row of a cut, from its results and its second run's. OSError
    when a result file is missing."""
    cut = Files(layout.cuts / scenario.name)
    again = Files(layout.results / (scenario.name + cuts.AGAIN))
    point = cuts.cut_points(layout)[scenario.cut]
    look = cuts.fields(cut.text("look"))
    record = cuts.fields(cut.text("record"))
    files = read_volume(cut.folder / "volume") or []
    verdict = fsck.verdict(cut.text("fsck"))
    second = _second_run(again)
    shown = (f"screen: {look['screen']}; " if "screen" in look else "") + f"LEDs: {look['leds']}"
    return {
        "name": scenario.name,
        "indicator": "display" if scenario.display else "LEDs",
        "moment": point.moment,
        "delay": str(scenario.cut_delay),
        "knobs": " ".join(scenario.knobs),
        "shown": shown,
        "flags": _flags_text(record["flags"]),
        "main-user": record["main-user"],
        "volume": _volume_cell(files),
        "log": _log_text(files),
        "fsck": verdict.text,
        "second-run": second,
        "second-fsck": fsck.verdict(again.text("fsck")).text,
        "advice": _advice(files, record["flags"], verdict),
    }


def read_rows(path: Path) -> list[dict[str, str]]:
    """The recorded rows, in order; none when there is no file."""
    if not path.exists():
        return []
    rows = []
    for line in path.read_text().splitlines():
        fields = dict(field.partition("=")[::2] for field in line.split("\t"))
        if list(fields) != list(KEYS):
            raise RuntimeError(f"{path}: a row without the fields {', '.join(KEYS)}: {line[:60]!r}")
        rows.append(fields)
    return rows


def _same_but_volume(a: dict[str, str], b: dict[str, str]) -> bool:
    return all(a[key] == b[key] for key in KEYS if key not in VOLUME_KEYS)


def merged(recorded: list[dict[str, str]], made: dict[str, str]) -> list[dict[str, str]]:
    """The rows of made's cut once `made` is recorded: `made` with the other
    volumes seen of that cut, unless anything else about it has changed."""
    kept = [r for r in recorded if r["name"] == made["name"] and r != made and _same_but_volume(r, made)]
    return sorted(kept + [made], key=lambda r: (r["volume"], r["log"]))


def _tsv(rows: list[dict[str, str]]) -> str:
    return "".join("\t".join(f"{key}={r[key]}" for key in KEYS) + "\n" for r in rows)


def _cell(text: str) -> str:
    return text.replace("|", "\\|").replace("<", "&lt;")


def page(rows: list[dict[str, str]]) -> str:
    """docs/power-cuts.md: the table of every recorded row."""
    columns = [("cut", "name"), ("when the power went", "moment"), ("delay (ms)", "delay"),
               ("the device showed", "shown"), ("flags set before", "flags"),
               ("the volume after the cut", "volume"), ("its log", "log"),
               ("fsck.fat -n after the cut", "fsck"), ("the second run", "second-run"),
               ("fsck.fat -n after it", "second-fsck"), ("what to do", "advice")]
    head = ("# Power cuts\n\n"
            "Generated from the runs of `scripts/test-power-cuts` (`system/power-cuts`, "
            "`system/README.md`) by `system/run-system power-cuts --write`, from the rows in "
            "`system/expected/power-cuts.tsv`; nothing here is written by hand. Each cut kills the "
            "guest (qemu-system-arm, reference drivers) at its moment, after the delay; the volume "
            "is then read as it is, and the program runs again on it. A cut that has left "
            "different volumes in different runs (the kernel had written what came after its "
            "last sync in some of them, not in others) has a row for each.\n\n")
    table = "| " + " | ".join(title for title, _ in columns) + " |\n" \
        + "|" + "---|" * len(columns) + "\n"
    for r in rows:
        table += "| " + " | ".join(_cell(r[key]) if key != "name" else f"`{r[key]}`"
                                   for _, key in columns) + " |\n"
    return head + table


def check(layout: Layout, scenario: Scenario) -> int:
    """A cut's results against the rules (fsck finds nothing but the dirty
    bit, after the cut and after the second run; every log holds whole
    lines) and against its recorded row."""
    name = scenario.name
    cut = layout.cuts / name
    again = layout.results / (name + cuts.AGAIN)
    if not (cut / "record").exists() or not (again / "status").exists():
        print(f"{name}: no results of the cut or of its second run in {cut} and {again}")
        return 1
    problems = []
    for when, folder in (("after the cut", cut), ("after the second run", again)):
        verdict = fsck.verdict((folder / "fsck").read_text())
        if verdict.errors:
            problems.append(f"fsck.fat -n {when}: " + "; ".join(verdict.errors))
        log = dict(read_volume(folder / "volume") or []).get(LOG_NAME)
        if log is not None and not whole_lines(log):
            problems.append(f"the log {when} holds more than whole lines: {visible(log)}")
    made = row(layout, scenario)
    recorded = [r for r in read_rows(layout.system / TSV) if r["name"] == name]
    if not recorded:
        problems.append(f"no row recorded in system/{TSV}: run-system power-cuts --write {name}")
    elif made not in recorded:
        closest = min(recorded, key=lambda r: sum(r[key] != made[key] for key in KEYS))
        problems += [f"{key}: recorded {closest[key]!r}, now {made[key]!r}"
                     for key in KEYS if closest[key] != made[key]]
    return scenario_check.said(name, problems, f"as recorded: {made['advice']}")


def table(layout: Layout, scenarios: list[Scenario], write: bool) -> int:
    """Without `write`: every cut listed has a recorded row, and
    docs/power-cuts.md is the page of the recorded rows. With it: the rows of
    the cuts named are made from their results and recorded, in the list's
    order, and the page is written."""
    path, target = layout.system / TSV, layout.system.parent / PAGE
    recorded = read_rows(path)
    if write:
        made = {s.name: merged(recorded, row(layout, s)) for s in scenarios}
        order = [s.name for s in load(layout, [], listing=layout.power_cuts)]
        rows = [r for name in order
                for r in made.get(name, [r for r in recorded if r["name"] == name])]
        path.write_text(_tsv(rows))
        target.write_text(page(rows))
        print(f"wrote {path} and {target}: {len(rows)} rows")
        return 0
    names = {r["name"] for r in recorded}
    problems = [f"{s.name}: no row recorded in {path}" for s in scenarios if s.name not in names]
    if not target.exists() or target.read_text() != page(recorded):
        problems.append(f"{target} is not the page of {path}: run-system power-cuts --write")
    for problem in problems:
        print(problem)
    return 1 if problems else 0
