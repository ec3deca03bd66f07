"""The display memory as the kernel holds it: 1 bit per pixel, rows of
xres_virtual/8 bytes, most significant bit leftmost; shown page by page,
one page being one screen (xres_virtual x yres)."""
from dataclasses import dataclass


@dataclass
class Geometry:
    xres: int
    yres: int
    xres_virtual: int
    yres_virtual: int
    bits_per_pixel: int
    smem_len: int

    @classmethod
    def parse(cls, text: str) -> "Geometry":
        return cls(*map(int, text.split()))

    @property
    def row_bytes(self) -> int:
        return self.xres_virtual * self.bits_per_pixel // 8

    @property
    def page_bytes(self) -> int:
        return self.row_bytes * self.yres


def pages(memory: bytes, geometry: Geometry) -> list[tuple[int, bytes]]:
    """[(page index, bytes)] for the visible screen (page 0) and every later
    page holding a set bit."""
    size = geometry.page_bytes
    found = []
    for index in range(0, (len(memory) + size - 1) // size):
        page = memory[index * size:(index + 1) * size]
        if index == 0 or any(page):
            found.append((index, page))
    return found


def art_rows(page: bytes, geometry: Geometry) -> list[str]:
    """One string per pixel row: '#' for a set bit, '.' for a clear one."""
    rows = []
    for y in range(len(page) // geometry.row_bytes):
        row = page[y * geometry.row_bytes:(y + 1) * geometry.row_bytes]
        rows.append("".join("#" if byte & (0x80 >> bit) else "." for byte in row for bit in range(8)))
    return rows


def set_rows(memory: bytes, geometry: Geometry) -> list[str]:
    """'PAGE ROW ART' for every pixel row that holds a set bit: the whole
    memory, compactly."""
    lines = []
    for index, page in pages(memory, geometry):
        for y, art in enumerate(art_rows(page, geometry)):
            if "#" in art:
                lines.append(f"{index} {y} {art}")
    return lines
