"""The real panel: qemu's screendump of the PL111's scanout, a P6 image of
the 128x64 panel in which a set bit shows as (a8,a8,a8) and a clear one as
black, read as rows of '#' (set) and '.' (clear), as screen.art_rows gives
the display memory."""
from pathlib import Path

from . import png

SET = bytes.fromhex("a8a8a8")
CLEAR = bytes(3)


class PanelError(ValueError):
    pass


def _header(data: bytes) -> tuple[int, int, int]:
    """Width, height and where the pixels start, of a P6 image with a
    maximum value of 255."""
    fields: list[bytes] = []
    at = 0
    while len(fields) < 4:
        while at < len(data) and data[at:at + 1].isspace():
            at += 1
        if data[at:at + 1] == b"#":  # a comment, to the line's end
            at = data.find(b"\n", at) + 1 or len(data)
            continue
        start = at
        while at < len(data) and not data[at:at + 1].isspace():
            at += 1
        if start == at:
            raise PanelError("the image ends inside its header")
        fields.append(data[start:at])
    if fields[0] != b"P6" or not all(f.isdigit() for f in fields[1:]) or fields[3] != b"255":
        raise PanelError(f"not a P6 image of 8-bit colours: {b' '.join(fields)!r}")
    return int(fields[1]), int(fields[2]), at + 1


def rows(data: bytes) -> list[str]:
    """The panel's pixel rows. PanelError for anything but a whole P6 image
    of the two colours a 1-bit panel shows."""
    width, height, start = _header(data)
    pixels = data[start:]
    if len(pixels) != width * height * 3:
        raise PanelError(f"{len(pixels)} bytes of pixels for {width}x{height}")
    art = []
    for y in range(height):
        row = ""
        for x in range(width):
            colour = pixels[(y * width + x) * 3:(y * width + x + 1) * 3]
            if colour not in (SET, CLEAR):
                raise PanelError(f"pixel ({x}, {y}) has the colour {colour.hex()}, "
                                 f"neither set ({SET.hex()}) nor clear ({CLEAR.hex()})")
            row += "#" if colour == SET else "."
        art.append(row)
    return art


def set_rows(art: list[str]) -> list[str]:
    """'ROW ART' for every row with a set pixel."""
    return [f"{y} {row}" for y, row in enumerate(art) if "#" in row]


def set_pixels(row: str) -> str:
    """The x of every set pixel of a row: "x = 7, 120", or "none"."""
    found = [str(x) for x, c in enumerate(row) if c == "#"]
    return "x = " + ", ".join(found) if found else "none"


def write_png(art: list[str], target: Path) -> None:
    """The panel as a person sees it: set pixels in its grey on black."""
    png.write(target, art, ink=SET[0], paper=CLEAR[0])


def keep_png(screendump: Path, target: Path) -> None:
    """The screendump as a PNG at `target` when it reads as a panel; nothing
    otherwise (the checks say why there is no picture)."""
    try:
        write_png(rows(screendump.read_bytes()), target)
    except (OSError, PanelError):
        pass
