"""The host line as the guest sees it: each request answered once the host
has acted, a failure with its reason, and nothing left behind."""
import socket
import tempfile
import unittest
from pathlib import Path

from host.channel import HostChannel


class Channel(unittest.TestCase):
    def test_requests_are_answered_after_the_host_acted(self) -> None:
        done: list[list[str]] = []

        def fails(_words: list[str]) -> None:
            raise ValueError("no panel")

        with tempfile.TemporaryDirectory() as folder:
            path = Path(folder) / "line"
            with HostChannel(path, {"act": done.append, "fail": fails}) as line:
                # What qemu does: connect as the port's back end, then pass
                # the guest's bytes on as they come.
                with socket.socket(socket.AF_UNIX) as guest:
                    guest.connect(str(path))
                    guest.sendall(b"act one two\nfa")
                    guest.sendall(b"il\nbeep\n")
                    answers = guest.makefile("r")
                    self.assertEqual([answers.readline() for _ in range(3)],
                                     ["done act\n", "failed fail: no panel\n",
                                      "failed beep: no such request\n"])
            self.assertEqual(done, [["one", "two"]])
            self.assertEqual(line.problems, ["'fail': no panel", "'beep': no such request"])
            self.assertFalse(path.exists())


if __name__ == "__main__":
    unittest.main()
