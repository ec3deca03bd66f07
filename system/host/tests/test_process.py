"""The runner's one way of starting a command: what a failure says, and that
a command past its time limit leaves nothing running."""
import os
import signal
import tempfile
import time
import unittest
from pathlib import Path

from host.process import CommandError, CommandTimedOut, run


def running(pid: int) -> bool:
    try:
        state = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()[0]
    except (FileNotFoundError, ProcessLookupError):
        return False
    return state != "Z"


class Run(unittest.TestCase):
    def test_a_failure_says_what_the_command_said(self) -> None:
        # (command, the start of the error's text, its exit status)
        cases = [
            (["sh", "-c", "echo 'tar: This does not look like a tar archive' >&2; exit 2"],
             "sh -c echo 'tar: This does not look like a tar archive' >&2; exit 2 exited with status 2: "
             "tar: This does not look like a tar archive", 2),
            (["sh", "-c", "exit 1"], "sh -c exit 1 exited with status 1", 1),
            (["/nonexistent/dtc", "-q"], "cannot run /nonexistent/dtc: No such file or directory", None),
        ]
        for command, said, status in cases:
            with self.subTest(command=command), self.assertRaises(CommandError) as caught:
                run(command, timeout=30)
            self.assertEqual((str(caught.exception), caught.exception.returncode), (said, status))

    def test_output_and_status(self) -> None:
        done = run(["sh", "-c", "cat; echo err >&2; exit 3"], input="in\n", check=False, timeout=30)
        self.assertEqual((done.returncode, done.stdout, done.stderr), (3, "in\n", "err\n"))

    def test_a_command_past_its_limit_is_killed_with_its_children(self) -> None:
        with tempfile.TemporaryDirectory() as folder:
            pid_file = Path(folder) / "pid"
            with self.assertRaises(CommandTimedOut):
                # The child holds none of the command's pipes: only the group's
                # end ends it.
                run(["sh", "-c", f"sleep 60 >/dev/null 2>&1 & echo $! > {pid_file}; wait"], timeout=1)
            child = int(pid_file.read_text())
        self.addCleanup(lambda: os.kill(child, signal.SIGKILL) if running(child) else None)
        for _ in range(100):  # until whoever inherited it has reaped it
            if not running(child):
                break
            time.sleep(0.05)
        self.assertFalse(running(child))


if __name__ == "__main__":
    unittest.main()
