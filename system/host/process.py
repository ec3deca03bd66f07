"""Every command the runner starts, started one way: under a time limit, in a
process group of its own that is killed when the command outlives its limit
or the runner leaves before it ends, and with the command's own error text in
the exception when it fails."""
import os
import signal
import subprocess
from pathlib import Path
from typing import IO, Any, Callable, Mapping, Sequence

Argument = str | Path
Stream = int | IO[bytes] | IO[str] | None


class CommandError(RuntimeError):
    """A command that failed: its exit status and its standard error."""

    def __init__(self, message: str, returncode: int | None = None, stderr: str = "") -> None:
        super().__init__(message)
        self.returncode = returncode
        self.stderr = stderr


class CommandTimedOut(CommandError):
    """A command ended by its time limit."""


def _kill_group(process: "subprocess.Popen[Any]") -> None:
    # Only while the process is not yet reaped (returncode None): until then
    # its group id cannot belong to anyone else.
    if process.returncode is None:
        try:
            os.killpg(process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
    process.communicate()


def run(command: Sequence[Argument], *, timeout: float, check: bool = True,
        input: str | bytes | None = None, stdout: Stream = subprocess.PIPE,
        stderr: Stream = subprocess.PIPE, cwd: Path | None = None,
        env: Mapping[str, str] | None = None, text: bool = True,
        started: "Callable[[subprocess.Popen[Any]], None] | None" = None) -> "subprocess.CompletedProcess[Any]":
    """Runs `command` to its end and returns what it gave. Raises
    CommandTimedOut when it takes longer than `timeout` seconds, and
    CommandError (with its standard error) when it fails to start or, with
    `check`, exits with a status other than 0. `started` is given the
    process as soon as it runs (to signal it from another thread)."""
    args = [str(word) for word in command]
    try:
        process = subprocess.Popen(args, stdin=subprocess.DEVNULL if input is None else subprocess.PIPE,
                                   stdout=stdout, stderr=stderr, cwd=cwd, env=env, text=text,
                                   start_new_session=True)
    except OSError as error:
        raise CommandError(f"cannot run {args[0]}: {error.strerror}") from None
    try:
        if started is not None:
            started(process)
        out, err = process.communicate(input, timeout=timeout)
    except subprocess.TimeoutExpired:
        _kill_group(process)
        raise CommandTimedOut(f"{' '.join(args)}: still running after {timeout:g} s, killed") from None
    except BaseException:
        _kill_group(process)
        raise
    if check and process.returncode != 0:
        said = err.strip() if isinstance(err, str) else (err or b"").decode(errors="replace").strip()
        raise CommandError(f"{' '.join(args)} exited with status {process.returncode}"
                           + (f": {said}" if said else ""), process.returncode, said)
    return subprocess.CompletedProcess(args, process.returncode, out, err)
