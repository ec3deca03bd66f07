"""Writes a page of 1-bit display memory as a PNG: set pixels black on
white (or in the grey levels given), each pixel a scale x scale block (8-bit
greyscale, zlib only)."""
import struct
import zlib
from pathlib import Path


def _chunk(kind: bytes, data: bytes) -> bytes:
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def write(path: Path, rows: list[str], scale: int = 4, ink: int = 0x00, paper: int = 0xFF) -> None:
    """`rows`: strings of '#' (set) and '.' (clear), as screen.art_rows gives;
    set pixels in the grey level `ink`, clear ones in `paper`."""
    width = len(rows[0]) * scale
    set_pixel, clear_pixel = bytes([ink]) * scale, bytes([paper]) * scale
    raw = bytearray()
    for row in rows:
        line = b"\0" + b"".join(set_pixel if c == "#" else clear_pixel for c in row)
        raw += line * scale
    header = struct.pack(">IIBBBBB", width, len(rows) * scale, 8, 0, 0, 0, 0)
    path.write_bytes(b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", header)
                     + _chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + _chunk(b"IEND", b""))
