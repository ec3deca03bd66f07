"""The real panel read from qemu's screendump: two colours, nothing else."""
import unittest

from host.panel import CLEAR, SET, PanelError, rows, set_pixels, set_rows


def ppm(pixels: list[bytes], width: int, height: int) -> bytes:
    return f"P6\n{width} {height}\n255\n".encode() + b"".join(pixels)


class Panel(unittest.TestCase):
    def test_rows(self) -> None:
        image = ppm([SET, CLEAR, CLEAR, CLEAR, CLEAR, SET], 3, 2)
        self.assertEqual(rows(image), ["#..", "..#"])
        self.assertEqual(set_rows(rows(image)), ["0 #..", "1 ..#"])
        self.assertEqual([set_pixels(r) for r in ["#.#", "..."]], ["x = 0, 2", "none"])
        # A comment in the header is allowed.
        self.assertEqual(rows(b"P6 # qemu\n1 1 255\n" + SET), ["#"])

    def test_anything_else_is_refused(self) -> None:
        cases = [
            b"P5\n1 1\n255\n\0",                       # greyscale
            b"P6\n1 1\n65535\n" + bytes(6),             # 16-bit colours
            b"P6\n2 1\n255\n" + SET,                    # pixels missing
            b"P6\n1 1\n255\n" + bytes.fromhex("ff0000"),  # a colour a 1-bit panel does not show
            b"P6\n1",                                   # the header cut short
        ]
        for image in cases:
            with self.subTest(image=image), self.assertRaises(PanelError):
                rows(image)


if __name__ == "__main__":
    unittest.main()
