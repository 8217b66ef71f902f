"""Shared by the fault tests: a private driver, a link client, zelsim and pseudo-terminals.

Everything here runs the built programs as real processes. Each process dies with the test
process (PR_SET_PDEATHSIG), and each helper kills what it started when the test cleans up, so a
failing or interrupted test leaves nothing behind.
"""

import ctypes
import errno
import fcntl
import os
import resource
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import termios
import time
import tty

BIN_DIR = os.environ.get("ZEL_BIN_DIR") or os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "..", "build", "bin")

SERVICE = "ZELdrv"
TOPIC = "ZELdriver"
ITEM = "ZELDDEItem"
MAX_MESSAGE = 1024 * 1024
TIOCGEXCL = 0x80045440  # Linux: whether the terminal is held exclusively

_libc = ctypes.CDLL(None, use_errno=True)
_PR_SET_PDEATHSIG = 1


def program(name):
    return os.path.join(BIN_DIR, name)


def _die_with_parent(limits=None):
    def prepare():
        # A runner killed by its time-out takes its children along.
        _libc.prctl(_PR_SET_PDEATHSIG, signal.SIGKILL)
        for which, value in (limits or {}).items():
            resource.setrlimit(which, value)
    return prepare


def wait_until(condition, timeout, step=0.01):
    """Polls `condition` until it is true or `timeout` seconds pass; its last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(step)


def raise_descriptor_limit(wanted):
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    if soft < wanted and (hard == resource.RLIM_INFINITY or hard >= wanted):
        resource.setrlimit(resource.RLIMIT_NOFILE, (wanted, hard))
    return resource.getrlimit(resource.RLIMIT_NOFILE)[0] >= wanted


def configuration_text(port, latency="Approximately 0.25 second", rate="9600 baud",
                       write_constant=0, ending="\r\n"):
    lines = ["PortNumber=" + port, "TransferRate=" + rate, "StopBits=1 bit", "Paritet=None",
             "LatencyPeriod=" + latency, "DTRControl=HandShake", "RTSControl=HandShake",
             "WriteTimeOutMultiplier=0", "WriteTimeOutConstant=%d" % write_constant]
    return "".join(line + ending for line in lines)


def scratch(test):
    """A directory removed when the test ends."""
    root = tempfile.mkdtemp(prefix="zelfaults-")
    test.addCleanup(shutil.rmtree, root, True)
    return root


class Driver:
    """A copy of ZELdrv in a private folder with its own ZELdrv.ini, serving in its own socket
    directory (XDG_RUNTIME_DIR). `test.addCleanup` is registered by the constructor."""

    def __init__(self, test, port="/dev/zel-faults-absent-port",
                 latency="Approximately 0.25 second", configuration=None, root=None,
                 name=SERVICE):
        self.root = root or tempfile.mkdtemp(prefix="zelfaults-")
        self.folder = os.path.join(self.root, "bin")
        self.links = os.path.join(self.root, "run")
        os.makedirs(self.folder, exist_ok=True)
        os.makedirs(self.links, mode=0o700, exist_ok=True)
        self.name = name
        self.program = os.path.join(self.folder, name)
        if not os.path.exists(self.program):
            self._copy_program()
        if configuration is None:
            configuration = configuration_text(port, latency)
        if configuration is not False:
            with open(self.configuration_path, "w", newline="") as f:
                f.write(configuration)
        self.process = None
        self._errors = None
        self._error_path = os.path.join(self.root, "%s-%d.err" % (name, id(self)))
        if root is None:
            test.addCleanup(shutil.rmtree, self.root, True)
        test.addCleanup(self.kill)

    def _copy_program(self):
        shutil.copy2(program("ZELdrv"), self.program)

    @property
    def configuration_path(self):
        return os.path.join(self.folder, "ZELdrv.ini")

    @property
    def socket_path(self):
        return os.path.join(self.links, self.name)

    @property
    def lock_path(self):
        return self.socket_path + ".lock"

    @property
    def pid(self):
        return self.process.pid

    def environment(self, platform="offscreen"):
        env = dict(os.environ, XDG_RUNTIME_DIR=self.links, QT_QPA_PLATFORM=platform)
        env.pop("DISPLAY", None)
        env.pop("WAYLAND_DISPLAY", None)
        return env

    def launch(self, descriptors=None, platform="offscreen"):
        limits = {}
        if descriptors:
            limits[resource.RLIMIT_NOFILE] = (descriptors, descriptors)
        self._errors = open(self._error_path, "ab")
        self.process = subprocess.Popen([self.program], env=self.environment(platform),
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=self._errors, preexec_fn=_die_with_parent(limits))
        return self

    def start(self, descriptors=None, platform="offscreen", timeout=10):
        """Launches and waits until the socket serves a conversation."""
        self.launch(descriptors, platform)
        if not wait_until(self._answers, timeout, 0.02):
            raise AssertionError("driver did not come up; it wrote:\n" + self.errors())
        return self

    def _answers(self):
        if self.process.poll() is not None:
            raise AssertionError("driver ended with %s at start; it wrote:\n%s"
                                 % (self.process.returncode, self.errors()))
        try:
            with Link(self.socket_path, timeout=2) as link:
                link.converse()
            return True
        except OSError:
            return False

    def running(self):
        return self.process is not None and self.process.poll() is None

    def errors(self):
        try:
            with open(self._error_path, "rb") as f:
                return f.read().decode("latin-1")
        except FileNotFoundError:
            return ""

    def wait_for_errors(self, text, timeout=5):
        return wait_until(lambda: text in self.errors(), timeout)

    def wait(self, timeout):
        """The exit status, or None when it is still running after `timeout` seconds."""
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def status_field(self, field):
        with open("/proc/%d/status" % self.pid) as f:
            for line in f:
                if line.startswith(field + ":"):
                    return int(line.split()[1])
        return None

    def resident_kib(self):
        return self.status_field("VmRSS")

    def cpu_seconds(self):
        with open("/proc/%d/stat" % self.pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def descriptors(self):
        return len(os.listdir("/proc/%d/fd" % self.pid))

    def signal(self, number):
        self.process.send_signal(number)

    def kill(self):
        if self.process is not None and self.process.poll() is None:
            self.process.kill()
            self.process.wait(10)
        if self._errors:
            self._errors.close()
            self._errors = None

    def zelctl(self, *arguments, timeout=30):
        return subprocess.run([program("zelctl")] + list(arguments), env=self.environment(),
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout,
                              preexec_fn=_die_with_parent())

    def zelctl_process(self, *arguments):
        """zelctl running in the background; the caller collects it with communicate()."""
        return subprocess.Popen([program("zelctl")] + list(arguments), env=self.environment(),
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, preexec_fn=_die_with_parent())

    def served(self, timeout=10):
        """One fresh client pokes, runs "Version" and requests: True when all its answers came."""
        with Link(self.socket_path, timeout=timeout) as link:
            link.converse()
            link.poke("0205 0001 1234AB")
            return link.request() == b"\r\n" and link.run("Version") == b"2.32\r\n"


# --- the link's wire format (docs/link-protocol.md) ---

def message(kind, ident, body=b""):
    return struct.pack("<IcI", 5 + len(body), kind, ident) + body


def item_field(item=ITEM, fmt=1):
    name = item.encode("latin-1")
    return struct.pack("<H", len(name)) + name + struct.pack("<I", fmt)


def connect_message(ident, topic=TOPIC):
    return message(b"C", ident, topic.encode("latin-1"))


def execute_message(ident, word):
    return message(b"E", ident, word.encode("latin-1"))


def poke_message(ident, text):
    return message(b"P", ident, item_field() + text.encode("latin-1"))


def request_message(ident):
    return message(b"R", ident, item_field())


def advise_message(ident):
    return message(b"A", ident, item_field())


class LinkClosed(Exception):
    pass


def connect_unix(path, timeout):
    """A connection to a Unix socket. A full backlog (EAGAIN) is waited out for up to `timeout`
    seconds, then raised as BlockingIOError."""
    deadline = time.monotonic() + timeout
    while True:
        sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        sock.setblocking(False)
        code = sock.connect_ex(path)
        if code == 0:
            sock.setblocking(True)
            return sock
        sock.close()
        if code not in (errno.EAGAIN, errno.EWOULDBLOCK):
            raise OSError(code, os.strerror(code), path)
        if time.monotonic() >= deadline:
            raise BlockingIOError(code, "backlog stayed full", path)
        time.sleep(0.002)


class Link:
    """One connection to the driver, answers read in order. Every wait is bounded."""

    def __init__(self, path, timeout=10, connect_timeout=None):
        self.timeout = timeout
        self.sock = connect_unix(path, timeout if connect_timeout is None else connect_timeout)
        self.sock.settimeout(timeout)
        self.buffer = b""
        self.next_id = 1

    def __enter__(self):
        return self

    def __exit__(self, *unused):
        self.close()

    def close(self):
        self.sock.close()

    def fileno(self):
        return self.sock.fileno()

    def send(self, data):
        self.sock.sendall(data)

    def take_id(self):
        self.next_id += 1
        return self.next_id - 1

    def _fill(self, deadline):
        left = deadline - time.monotonic()
        if left <= 0:
            raise socket.timeout("no answer in time")
        self.sock.settimeout(left)
        chunk = self.sock.recv(1 << 16)
        if not chunk:
            raise LinkClosed("the driver closed the connection")
        self.buffer += chunk

    def read(self, timeout=None):
        """The next message as (kind, id, body)."""
        deadline = time.monotonic() + (self.timeout if timeout is None else timeout)
        while (len(self.buffer) < 4
               or len(self.buffer) < 4 + struct.unpack_from("<I", self.buffer)[0]):
            self._fill(deadline)
        size = struct.unpack_from("<I", self.buffer)[0]
        kind, ident = struct.unpack_from("<cI", self.buffer, 4)
        body = self.buffer[9:4 + size]
        self.buffer = self.buffer[4 + size:]
        return kind, ident, body

    def read_until_closed(self, timeout):
        """Every message until the driver closes the connection."""
        messages = []
        deadline = time.monotonic() + timeout
        while True:
            try:
                messages.append(self.read(max(deadline - time.monotonic(), 0.001)))
            except LinkClosed:
                return messages
            except socket.timeout:
                raise AssertionError("the connection was still open after %g s, having"
                                     " answered %r" % (timeout, messages[:5])) from None

    def transact(self, data, ident):
        self.send(data)
        kind, got, body = self.read()
        if got != ident:
            raise AssertionError("answer for id %d came for %d" % (got, ident))
        return kind, body

    def converse(self, topic=TOPIC):
        ident = self.take_id()
        kind, body = self.transact(connect_message(ident, topic), ident)
        if kind != b"k":
            raise AssertionError("connect refused: %r" % body)

    def execute(self, word):
        ident = self.take_id()
        return self.transact(execute_message(ident, word), ident)

    def poke(self, text):
        ident = self.take_id()
        kind, body = self.transact(poke_message(ident, text), ident)
        if kind != b"k":
            raise AssertionError("poke refused: %r" % body)

    def request(self):
        ident = self.take_id()
        kind, body = self.transact(request_message(ident), ident)
        if kind != b"d":
            raise AssertionError("request refused: %r" % body)
        return body

    def run(self, word, timeout=None):
        """Execute, then request until the item is not empty, as clients do."""
        self.execute(word)
        deadline = time.monotonic() + (self.timeout if timeout is None else timeout)
        while True:
            text = self.request()
            if text or time.monotonic() >= deadline:
                return text
            time.sleep(0.01)


def lock_is_held(path):
    """Whether a live driver holds this lock file (False when there is no file)."""
    try:
        fd = os.open(path, os.O_RDWR)
    except FileNotFoundError:
        return False
    try:
        fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
        return False
    except BlockingIOError:
        return True
    finally:
        os.close(fd)


# --- the instrument's side of the line ---

class Sim:
    """zelsim with these options; `device` is its pseudo-terminal (or --link path)."""

    def __init__(self, test, *options):
        self._log = tempfile.NamedTemporaryFile(prefix="zelsim-", suffix=".log", delete=False)
        test.addCleanup(os.unlink, self._log.name)
        self.process = subprocess.Popen([program("zelsim")] + list(options),
                                        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                        stderr=self._log, preexec_fn=_die_with_parent())
        test.addCleanup(self.stop)
        line = self.process.stdout.readline().decode().strip()
        if not line:
            raise AssertionError("zelsim did not start: " + self.log())
        self.device = line

    def log(self):
        with open(self._log.name, "rb") as f:
            return f.read().decode("latin-1")

    def wait_for_log(self, text, timeout=5):
        return wait_until(lambda: text in self.log(), timeout)

    def stop(self):
        """Ends zelsim as a user would (SIGTERM): its pseudo-terminal goes with it."""
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(5)
        self.process.stdout.close()
        self._log.close()


class Pty:
    """A pseudo-terminal the test plays the instrument on: the driver opens `path`, the test
    reads and writes `master`. The test keeps the terminal side open too, so it survives the
    driver closing it, and can ask whether someone holds it exclusively."""

    def __init__(self, test):
        self.master, self.slave = os.openpty()
        tty.setraw(self.master)
        tty.setraw(self.slave)
        self.path = os.ttyname(self.slave)
        test.addCleanup(self.close)

    def exclusive(self):
        held = struct.unpack("i", fcntl.ioctl(self.slave, TIOCGEXCL, struct.pack("i", 0)))[0]
        return held != 0

    def write(self, data):
        os.write(self.master, data)

    def read_available(self, wait=0.0):
        """What the driver wrote: everything that arrives within `wait` seconds of quiet."""
        data = b""
        os.set_blocking(self.master, False)
        deadline = time.monotonic() + wait
        while True:
            try:
                chunk = os.read(self.master, 1 << 16)
                data += chunk
                deadline = time.monotonic() + wait
                continue
            except BlockingIOError:
                pass
            except OSError as e:
                if e.errno != errno.EIO:
                    raise
            if time.monotonic() >= deadline:
                return data
            time.sleep(0.005)

    def flush_input(self):
        """Drops what the line holds for the driver and it has not read."""
        termios.tcflush(self.slave, termios.TCIFLUSH)

    def fill_line(self):
        """Fills what the line holds towards the instrument, so that the driver's next write
        waits for room; the number of bytes it took."""
        os.set_blocking(self.slave, False)
        taken = 0
        for attempt in range(3):  # the terminal layer moves bytes on in the background
            while True:
                try:
                    taken += os.write(self.slave, b"\xee" * 4096)
                except BlockingIOError:
                    break
            time.sleep(0.05)
        return taken

    def hang_up(self):
        """The device vanishes: its master side closes."""
        for name in ("master", "slave"):
            fd = getattr(self, name)
            if fd is not None:
                os.close(fd)
                setattr(self, name, None)

    def close(self):
        self.hang_up()


def free_tcp_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class ScreenUser:
    """A person at the driver's screen: Qt's VNC platform shows the windows, and this types on
    them over the RFB protocol (keys only; the pictures are never read)."""

    KEYS = {"tab": 0xff09, "space": 0x20, "enter": 0xff0d, "escape": 0xff1b, "alt": 0xffe9}

    def __init__(self, port, timeout=10):
        deadline = time.monotonic() + timeout
        while True:
            try:
                self.sock = socket.create_connection(("127.0.0.1", port), timeout=timeout)
                break
            except ConnectionRefusedError:
                if time.monotonic() >= deadline:
                    raise
                time.sleep(0.05)
        version = self._take(12)
        if not version.startswith(b"RFB 003."):
            raise AssertionError("not an RFB server: %r" % version)
        minor = int(version[8:11])
        if minor >= 7:
            self.sock.sendall(b"RFB 003.008\n" if minor >= 8 else b"RFB 003.007\n")
            kinds = self._take(self._take(1)[0])
            if 1 not in kinds:
                raise AssertionError("the screen wants a password: %r" % kinds)
            self.sock.sendall(b"\x01")
            if minor >= 8 and self._take(4) != b"\0\0\0\0":
                raise AssertionError("the screen refused us")
        else:
            self.sock.sendall(b"RFB 003.003\n")
            if struct.unpack(">I", self._take(4))[0] != 1:
                raise AssertionError("the screen wants a password")
        self.sock.sendall(b"\x01")  # share the screen
        self._take(20)
        self._take(struct.unpack(">I", self._take(4))[0])  # the screen's name

    def _take(self, count):
        data = b""
        while len(data) < count:
            chunk = self.sock.recv(count - len(data))
            if not chunk:
                raise AssertionError("the screen went away")
            data += chunk
        return data

    def _key(self, name, down):
        symbol = self.KEYS.get(name, ord(name[0]))
        self.sock.sendall(struct.pack(">BBHI", 4, down, 0, symbol))

    def press(self, name, *held, settle=0.05):
        """Presses `name` while holding `held`, then gives the windows `settle` seconds."""
        for key in held:
            self._key(key, 1)
        self._key(name, 1)
        self._key(name, 0)
        for key in reversed(held):
            self._key(key, 0)
        time.sleep(settle)

    def close(self):
        self.sock.close()


def reap(process):
    """Kills a process still running and closes its pipes."""
    if process.poll() is None:
        process.kill()
    process.communicate(timeout=10)


def print_measure(text):
    """Measured figures go to the test's output, for the report."""
    sys.stderr.write("  measured: %s\n" % text)
    sys.stderr.flush()
