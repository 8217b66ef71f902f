"""Talk to the ZEL driver (ZELdrv) over its local link, from Python.

A `Link` is one conversation on the driver's service and topic. It pokes a line of text into
the driver's one item, executes one-word commands and requests the item to read their outcomes.
Texts are 8-bit (Latin-1) and come back exactly as the driver answers them: every line of the
item followed by CR LF.

    from zel_link import Link, LinkError, NoDriver

    try:
        with Link() as link:                    # service "ZELdrv", topic "ZELdriver"
            print(repr(link.run("Version")))    # '2.32\\r\\n'
            link.poke("0205 0001 1234AB")       # the driver loads its frames, empties the item
            print(repr(link.run("Send")))       # the command's outcome, e.g. 'sended\\r\\n'
    except NoDriver:
        print("no driver is running")
    except LinkError as error:
        print("refused:", error.reason)

Watching the item from another program:

    with Link() as link:
        for text in link.watch():               # one text per setting of the item
            print(repr(text))

The line monitor, what crosses the serial line:

    with Link() as link:
        for line in link.monitor():             # "12.345 W 05 02 01 00 ...  |....|"
            print(line)

Standard library only; Linux and other Unix systems (the driver listens on a Unix socket).
"""

import errno
import os
import socket
import stat
import struct
import time
from collections import deque
from typing import Iterator, Optional, Union

__all__ = ["Link", "LinkError", "NoDriver", "LinkClosed", "LinkTimeout", "socket_path",
           "SERVICE", "TOPIC", "ITEM", "MONITOR_TOPIC", "MONITOR_ITEM"]

SERVICE = "ZELdrv"
TOPIC = "ZELdriver"
ITEM = "ZELDDEItem"
MONITOR_TOPIC = "ZELmonitor"
MONITOR_ITEM = "ZELmonitorItem"
TEXT_FORMAT = 1
WATCH_REQUEST_TIMEOUT = 1.0  # a watcher's request after a notice

_HEADER = struct.Struct("<IcI")  # size, kind, id
_MIN_SIZE = 5
_MAX_SIZE = 1024 * 1024
_RETRY_DELAY = 0.005  # after a full backlog


class LinkError(Exception):
    """The driver refused a transaction, or the link failed. `reason` is the driver's own text
    when it gave one."""

    def __init__(self, reason: str):
        super().__init__(reason)
        self.reason = reason


class NoDriver(LinkError):
    """No driver serves the service."""


class LinkClosed(LinkError):
    """The driver ended the connection (it closed, or dropped this client)."""


class LinkTimeout(LinkError, TimeoutError):
    """The driver did not answer in time."""


def socket_path(service: str = SERVICE) -> str:
    """Where the driver serving `service` listens."""
    runtime = os.environ.get("XDG_RUNTIME_DIR")
    if runtime:
        return os.path.join(runtime, service)
    return os.path.join("/tmp", "zel-%d" % os.getuid(), service)


def _check_private_directory(path: str) -> None:
    # Under the shared /tmp anyone could have made the directory first and put their own
    # socket in it: trust it only as the driver does.
    try:
        info = os.lstat(path)
    except FileNotFoundError:
        raise NoDriver("no driver serves %s (%s does not exist)" % (path, path)) from None
    if (not stat.S_ISDIR(info.st_mode) or info.st_uid != os.getuid()
            or info.st_mode & 0o077):
        raise LinkError("%s is not a private directory of this user" % path)


def _encode(text: Union[str, bytes]) -> bytes:
    data = text.encode("latin-1") if isinstance(text, str) else bytes(text)
    # The driver reads a text up to its first NUL: refuse rather than lose the rest.
    if b"\0" in data:
        raise ValueError("a text for the driver cannot hold a NUL character")
    return data


def _item_field(item: str, fmt: int = TEXT_FORMAT) -> bytes:
    name = item.encode("latin-1")
    if len(name) > 0xFFFF:
        raise ValueError("item name too long")
    return struct.pack("<H", len(name)) + name + struct.pack("<I", fmt)


def _deadline(timeout: Optional[float]) -> Optional[float]:
    return None if timeout is None else time.monotonic() + timeout


def _connect(path: str, timeout: float) -> socket.socket:
    deadline = time.monotonic() + timeout
    while True:
        sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        sock.setblocking(False)
        try:
            sock.connect(path)
        except OSError as error:
            sock.close()
            if error.errno == errno.EAGAIN:  # the listen backlog is full
                if time.monotonic() >= deadline:
                    raise LinkTimeout("the driver's backlog stayed full") from None
                time.sleep(_RETRY_DELAY)
                continue
            if error.errno in (errno.ENOENT, errno.ECONNREFUSED, errno.ENOTDIR):
                raise NoDriver("no driver serves %s" % path) from None
            raise LinkError("cannot connect to %s: %s" % (path, error.strerror)) from error
        return sock


class Link:
    """A conversation with the driver. Connects on construction; raises `NoDriver` when no
    driver serves `service`, `LinkError` when the driver refuses the topic. `timeout` (seconds)
    bounds connecting and each transaction. `path` overrides where the socket is looked for."""

    def __init__(self, service: str = SERVICE, topic: str = TOPIC, timeout: float = 10.0, *,
                 item: str = ITEM, path: Optional[str] = None):
        self.service = service
        self.topic = topic
        self.item = item
        self.timeout = timeout
        if path is None:
            path = socket_path(service)
            if not os.environ.get("XDG_RUNTIME_DIR"):
                _check_private_directory(os.path.dirname(path))
        self.path = path
        self._buffer = bytearray()
        self._notices = deque()
        self._advised = False
        self._next_id = 1
        self._sock = _connect(path, timeout)
        try:
            self._transact(b"C", _encode(topic), timeout)
        except BaseException:
            self.close()
            raise

    def __enter__(self) -> "Link":
        return self

    def __exit__(self, *unused) -> None:
        self.close()

    def close(self) -> None:
        if self._sock is not None:
            self._sock.close()
            self._sock = None

    @property
    def closed(self) -> bool:
        return self._sock is None

    def poke(self, text: Union[str, bytes]) -> None:
        """Sets the item to `text`; the driver loads its frames from the first line and empties
        the item."""
        self._transact(b"P", _item_field(self.item) + _encode(text), self.timeout)

    def execute(self, word: Union[str, bytes]) -> None:
        """Runs a command; returns once the driver has carried it out. Any word is acknowledged,
        also one that names no command."""
        self._transact(b"E", _encode(word), self.timeout)

    def request(self, timeout: Optional[float] = None) -> str:
        """The item's text: each of its lines followed by CR LF; empty while it has no line."""
        timeout = self.timeout if timeout is None else timeout
        return self._transact(b"R", _item_field(self.item), timeout)

    def run(self, word: Union[str, bytes], timeout: Optional[float] = None) -> str:
        """Executes `word`, then requests the item until it is not empty: the command's outcome.
        `timeout` (default: the link's) bounds the whole; `LinkTimeout` when it passes."""
        deadline = _deadline(self.timeout if timeout is None else timeout)
        # Answers come in order: the request is served after the command has run.
        executed = self._send(b"E", _encode(word))
        requested = self._send(b"R", _item_field(self.item))
        self._await(executed, deadline)
        text = self._await(requested, deadline)
        pause = 0.01
        while not text:
            if deadline is not None and time.monotonic() + pause >= deadline:
                raise LinkTimeout("no outcome of %r in time" % word)
            time.sleep(pause)
            pause = min(pause * 2, 0.2)
            text = self._await(self._send(b"R", _item_field(self.item)), deadline)
        return text

    def watch(self, timeout: Optional[float] = None,
              request_timeout: float = WATCH_REQUEST_TIMEOUT) -> Iterator[str]:
        """Opens a warm link on the item and returns an iterator over it: for each notice, the
        item's text requested right after it (which may already be a later value: a notice
        carries none). The link is open when this returns. Iteration ends when no notice comes
        for `timeout` seconds (None: wait for ever); closing the iterator closes the link."""
        self._transact(b"A", _item_field(self.item), self.timeout)
        self._advised = True
        return self._watching(timeout, request_timeout)

    def monitor(self, timeout: Optional[float] = None,
                request_timeout: float = WATCH_REQUEST_TIMEOUT) -> Iterator[str]:
        """What crosses the serial line, one line per read or write of the driver (time in ms,
        "W" or "R", the bytes in hex and as text), without its line end. Listens on a
        connection of its own to the monitor's topic, open when this returns; iteration ends
        when no line comes for `timeout` seconds (None: wait for ever) or the iterator is
        closed."""
        listener = Link(self.service, MONITOR_TOPIC, self.timeout, item=MONITOR_ITEM,
                        path=self.path)
        try:
            texts = listener.watch(timeout, request_timeout)
        except BaseException:
            listener.close()
            raise
        return self._monitoring(listener, texts)

    @staticmethod
    def _monitoring(listener: "Link", texts: Iterator[str]) -> Iterator[str]:
        with listener:
            for text in texts:  # all lines queued since the last request
                yield from text.splitlines()

    def _watching(self, timeout: Optional[float], request_timeout: float) -> Iterator[str]:
        try:
            while True:
                if not self._notices and not self._wait_notice(_deadline(timeout)):
                    return
                self._notices.popleft()
                yield self.request(request_timeout)
        finally:
            self._advised = False
            self._notices.clear()
            if not self.closed:
                try:
                    self._transact(b"U", _item_field(self.item), self.timeout)
                except LinkError:
                    pass

    # The wire.

    def _take_id(self) -> int:
        ident = self._next_id
        # Id 0 is the driver's for refusals that end the connection: never use it.
        self._next_id = ident % 0xFFFFFFFF + 1
        return ident

    def _send(self, kind: bytes, body: bytes) -> int:
        if self._sock is None:
            raise LinkClosed("the link is closed")
        ident = self._take_id()
        message = _HEADER.pack(_MIN_SIZE + len(body), kind, ident) + body
        self._sock.settimeout(self.timeout)
        try:
            self._sock.sendall(message)
        except socket.timeout:
            self.close()  # part of the message may have left: the framing is lost
            raise LinkTimeout("the driver does not read") from None
        except OSError as error:
            self.close()
            raise LinkClosed("the driver closed the link (%s)" % error.strerror) from None
        return ident

    def _transact(self, kind: bytes, body: bytes, timeout: Optional[float]) -> str:
        return self._await(self._send(kind, body), _deadline(timeout))

    def _await(self, ident: int, deadline: Optional[float]) -> str:
        """The answer to message `ident`: its text, or `LinkError` with the refusal's reason."""
        while True:
            kind, answer, text = self._receive(deadline)
            if kind == b"v":
                continue
            if answer == ident and kind in b"kd":
                return text
            if answer == ident and kind == b"n":
                raise LinkError(text)
            # Anything else answers a message whose waiter gave up: it is stale.

    def _wait_notice(self, deadline: Optional[float]) -> bool:
        while not self._notices:
            try:
                self._receive(deadline)  # answers arriving here are stale
            except LinkTimeout:
                return False
        return True

    def _receive(self, deadline: Optional[float]):
        """The next message as (kind, id, text); a notice is also queued while watching."""
        message = self._read(deadline)
        kind, ident = message[4:5], _HEADER.unpack_from(message)[2]
        text = message[_HEADER.size:].decode("latin-1")
        if kind == b"n" and ident == 0:
            self.close()  # such a refusal ends the connection
            raise LinkClosed(text)
        if kind == b"v" and self._advised:
            self._notices.append(ident)
        return kind, ident, text

    def _read(self, deadline: Optional[float]) -> bytes:
        while True:
            if len(self._buffer) >= 4:
                size = struct.unpack_from("<I", self._buffer)[0]
                if not _MIN_SIZE <= size <= _MAX_SIZE:
                    self.close()
                    raise LinkError("malformed answer from the driver (size %d)" % size)
                if len(self._buffer) >= 4 + size:
                    message = bytes(self._buffer[:4 + size])
                    del self._buffer[:4 + size]
                    return message
            if self._sock is None:
                raise LinkClosed("the link is closed")
            if deadline is None:
                self._sock.settimeout(None)
            else:
                left = deadline - time.monotonic()
                if left <= 0:
                    raise LinkTimeout("the driver did not answer in time")
                self._sock.settimeout(left)
            try:
                data = self._sock.recv(65536)
            except socket.timeout:
                raise LinkTimeout("the driver did not answer in time") from None
            except OSError as error:
                self.close()
                raise LinkClosed("the link failed (%s)" % error.strerror) from None
            if not data:
                self.close()
                raise LinkClosed("the driver closed the link")
            self._buffer += data
