"""The guest's line to the host: a virtio serial port ("restoremark.host" in
the guest, guest/ask-host) on which the guest asks the host to act and waits
until the host says it has. One request a line, "REQUEST [ARGUMENT...]";
one answer a line, "done REQUEST" or "failed REQUEST: WHY". The host listens
on a Unix socket before qemu starts, and qemu connects to it as the port's
back end, so no request can come before the host is there to answer it.

A handler may also end the guest (a power cut): it then answers nothing, and
the line closes with qemu."""
import socket
import threading
from pathlib import Path
from typing import Callable, Mapping

PORT_NAME = "restoremark.host"
ACCEPT_SECONDS = 0.2  # how often the waiting thread looks whether it should stop

Handler = Callable[[list[str]], None]


class HostChannel:
    """Serves one guest's requests from a thread of its own while it is
    open (a `with` block around the guest's run)."""

    def __init__(self, path: Path, handlers: Mapping[str, Handler]) -> None:
        self.path = path
        self._handlers = dict(handlers)
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._serve, daemon=True)
        self._listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.problems: list[str] = []  # what the host could not do for the guest

    def qemu_args(self) -> list[str]:
        """qemu's arguments for the port: a virtio serial device whose one
        port connects to this channel."""
        return ["-chardev", f"socket,id=host-line,path={self.path}",
                "-device", "virtio-serial-device",
                "-device", f"virtserialport,chardev=host-line,name={PORT_NAME}"]

    def __enter__(self) -> "HostChannel":
        self.path.unlink(missing_ok=True)
        self._listener.bind(str(self.path))
        self._listener.listen(1)
        self._listener.settimeout(ACCEPT_SECONDS)
        self._thread.start()
        return self

    def __exit__(self, *_exception: object) -> None:
        self._stop.set()
        self._thread.join()
        self._listener.close()
        self.path.unlink(missing_ok=True)

    def _serve(self) -> None:
        while not self._stop.is_set():
            try:
                connection, _ = self._listener.accept()
            except socket.timeout:
                continue
            except OSError:
                return
            with connection:
                connection.settimeout(ACCEPT_SECONDS)
                self._answer_lines(connection)

    def _answer_lines(self, connection: socket.socket) -> None:
        pending = b""
        while not self._stop.is_set():
            try:
                received = connection.recv(4096)
            except socket.timeout:
                continue
            except OSError:
                return
            if not received:
                return  # qemu closed the line: the guest is gone
            pending += received
            while b"\n" in pending:
                line, pending = pending.split(b"\n", 1)
                answer = self._act(line.decode("utf-8", "replace").strip())
                try:
                    connection.sendall(answer.encode() + b"\n")
                except OSError:
                    return

    def _act(self, line: str) -> str:
        words = line.split()
        request = words[0] if words else "(empty)"
        handler = self._handlers.get(request)
        if handler is None:
            why = "no such request"
        else:
            try:
                handler(words[1:])
                return f"done {request}"
            except Exception as error:  # the guest hears why; the run reports it
                why = str(error) or type(error).__name__
        self.problems.append(f"{line!r}: {why}")
        return f"failed {request}: {why}"
