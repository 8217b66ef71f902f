"""The Win32 serial port under Wine, on the pseudo-terminals Wine maps COM ports to.

win32_port_probe.exe runs the port's operations and prints one line for each; this suite plays
the instrument on each terminal's other side and watches the line from there (its termios
settings, the bytes that arrive, when they arrive). Every probe is killed when its test ends, and
the Wine prefix, a copy of ZEL_WINE_TEMPLATE or a fresh one, is removed with its server at the
end. The suite opens no COM port the prefix does not map to one of its own terminals, apart from
one it first makes sure is mapped to nothing.
"""

import os
import queue
import select
import subprocess
import sys
import termios
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
from winekit import WinePrefix, win_program  # noqa: E402

PROBE = win_program("win32_port_probe.exe")

# The COM ports of the suite, each on a terminal of its own. Wine maps no port above COM256 (its
# mount manager may give any lower number to a real serial device, or to a stand-in that is none).
PORTS = ("COM5", "COM6", "COM8", "COM9", "COM12")
MISSING = "COM300"
ERROR_FILE_NOT_FOUND = 2
ERROR_NOT_SUPPORTED = 50

SETUP = {}  # prefix, env, lines


class Line:
    """One pseudo-terminal: the master is the instrument's end, the slave the COM port's."""

    def __init__(self):
        self.master, self.slave = os.openpty()
        self.path = os.ttyname(self.slave)

    def send(self, data):
        os.write(self.master, data)

    def take(self, count, timeout=5.0):
        """Up to `count` bytes the port wrote, waiting at most `timeout` for them."""
        data = b""
        deadline = time.monotonic() + timeout
        while len(data) < count:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.master], [], [], left)[0]:
                break
            data += os.read(self.master, count - len(data))
        return data

    def drain(self, quiet=0.5):
        """Everything the port wrote, until it has been quiet for `quiet` seconds."""
        data = b""
        while select.select([self.master], [], [], quiet)[0]:
            data += os.read(self.master, 65536)
        return data

    def rate_and_stop_bits(self):
        attributes = termios.tcgetattr(self.slave)
        rates = {getattr(termios, name): int(name[1:]) for name in dir(termios)
                 if name.startswith("B") and name[1:].isdigit()}
        return rates[attributes[5]], 2 if attributes[2] & termios.CSTOPB else 1

    def hang_up(self):
        for fd in (self.master, self.slave):
            os.close(fd)
        self.master = self.slave = None

    def close(self):
        if self.master is not None:
            self.hang_up()


class Result:
    """One line of the probe: operation, PortError name, key=value fields, error text."""

    def __init__(self, line, at):
        self.at = at
        head, _, self.text = line.rstrip("\n").partition(" | ")
        words = head.split(" ", 2)
        self.op = words[0]
        self.code = words[1] if len(words) > 1 else ""
        self.rest = words[2] if len(words) > 2 else ""
        self.fields = dict(word.split("=", 1) for word in self.rest.split() if "=" in word)

    def number(self, key):
        return int(self.fields[key])

    def __repr__(self):
        return "%s %s %s | %s" % (self.op, self.code, self.rest, self.text)


class Probe:
    """One run of the probe under Wine; its lines are read as they come."""

    def __init__(self, test, *operations):
        self.process = subprocess.Popen(
            ["wine", PROBE] + list(operations), env=SETUP["env"], stdin=subprocess.PIPE,
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        test.addCleanup(self.kill)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.put(Result(line, time.monotonic()))
        self.lines.put(None)

    def next(self, op=None, timeout=30):
        """The next result; with `op`, the next of that operation, which must come next (the
        line that announces a read is passed over unless it is asked for)."""
        result = self.lines.get(timeout=timeout)
        while result is not None and result.op == "reading" and op not in (None, "reading"):
            result = self.lines.get(timeout=timeout)
        if result is None:
            raise AssertionError("the probe ended early")
        if op is not None and result.op != op:
            raise AssertionError("expected %s, the probe said %r" % (op, result))
        return result

    def go_on(self):
        self.process.stdin.write("\n")
        self.process.stdin.flush()

    def finish(self, timeout=30):
        results = []
        while True:
            result = self.lines.get(timeout=timeout)
            if result is None:
                break
            results.append(result)
        self.process.wait(timeout=timeout)
        return results

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.process.stdin.close()
        self.process.stdout.close()


def run(test, *operations):
    """The probe's results for operations that need no instrument."""
    return [result for result in Probe(test, *operations).finish() if result.op != "reading"]


def message(test, code):
    """The system's text for an error code, as the port puts it into its error texts."""
    return run(test, "message", str(code))[0].rest


def setUpModule():
    if not os.path.isfile(PROBE):
        raise unittest.SkipTest("%s not built" % PROBE)
    SETUP["prefix"] = WinePrefix()
    try:
        SETUP["lines"] = {name: Line() for name in PORTS}
        SETUP["prefix"].map_ports({name: line.path for name, line in SETUP["lines"].items()})
        if SETUP["prefix"].is_mapped(MISSING):
            raise RuntimeError("%s is mapped; it might open a real device" % MISSING)
        SETUP["env"] = SETUP["prefix"].env
    except BaseException:
        tearDownModule()  # unittest does not when this fails
        raise


def tearDownModule():
    if "prefix" in SETUP:
        SETUP["prefix"].close()
    for line in SETUP.get("lines", {}).values():
        line.close()


class BytesAndSettings(unittest.TestCase):
    def test_every_byte_value_passes_unchanged_both_ways(self):
        line = SETUP["lines"]["COM5"]
        line.drain(0.1)
        sent = bytes(range(256))
        probe = Probe(self, "open", "COM5", "timeouts", "0", "0", "5000", "0", "0",
                      "write", sent.hex(), "read", "256", "close")
        self.assertEqual(probe.next("open").code, "None")
        probe.next("timeouts")
        self.assertEqual(probe.next("write").number("n"), 256)
        self.assertEqual(line.take(256), sent)
        probe.next("reading")
        line.send(sent[::-1])
        read = probe.next("read")
        self.assertEqual((read.code, read.fields["hex"]), ("None", sent[::-1].hex()))
        self.assertLess(read.number("ms"), 4000, "the read waited on after the last byte")
        probe.finish()

    def test_line_settings_reach_the_terminal_and_refused_ones_change_nothing(self):
        line = SETUP["lines"]["COM5"]
        # settings, what the port answers, and the (rate, stop bits) the terminal has afterwards.
        # A pseudo-terminal carries 8 data bits without parity only; Wine has codes for the
        # standard rates only (and quietly runs 38400 for any other).
        table = [
            ("9600 8 N 1", "None", (9600, 1)),
            ("19200 8 N 2", "None", (19200, 2)),
            ("115200 8 N 1", "None", (115200, 1)),
            ("1200 8 N 2", "None", (1200, 2)),
            ("9600 7 N 2", "Rejected", (1200, 2)),
            ("9600 8 E 1", "Rejected", (1200, 2)),
            ("9600 8 O 1", "Rejected", (1200, 2)),
            ("9600 8 M 1", "Rejected", (1200, 2)),
            ("9600 8 S 2", "Rejected", (1200, 2)),
            ("12345 8 N 1", "Rejected", (1200, 2)),
            ("9600 8 N 1.5", "BadArgument", (1200, 2)),
            ("9600 5 N 2", "BadArgument", (1200, 2)),
            ("9600 9 N 1", "BadArgument", (1200, 2)),
            ("9600 4 N 1", "BadArgument", (1200, 2)),
            ("0 8 N 1", "BadArgument", (1200, 2)),
            ("9600 8 X 1", "BadArgument", (1200, 2)),
            ("4800 8 N 1", "None", (4800, 1)),
        ]
        operations = ["open", "COM5"]
        for settings, _, _ in table:
            operations += ["set"] + settings.split() + ["get", "wait"]
        probe = Probe(self, *operations)
        self.assertEqual(probe.next("open").code, "None")
        for settings, answer, terminal in table:
            with self.subTest(settings=settings):
                result = probe.next("set")
                state = probe.next("get")
                seen = line.rate_and_stop_bits()
                probe.go_on()
                probe.next("wait")
                self.assertEqual(result.code, answer, result)
                if answer != "None":
                    self.assertTrue(result.text.startswith("COM5: "), result)
                self.assertEqual(seen, terminal)
                self.assertEqual(state.rest, "rate=%d bits=8 parity=N stop=%d" % terminal)
        probe.finish()

    def test_modem_lines_a_terminal_lacks_are_refused_with_the_systems_reason(self):
        reason = message(self, ERROR_NOT_SUPPORTED)
        line = SETUP["lines"]["COM5"]
        line.drain(0.1)
        results = run(self, "open", "COM5", "escape", "setdtr", "escape", "clrdtr", "escape",
                      "setrts", "escape", "clrrts", "escape", "sideways", "write", "4f4b", "close")
        escapes = [result for result in results if result.op == "escape"]
        self.assertEqual([result.code for result in escapes], ["Unsupported"] * 4 + ["BadArgument"])
        for result in escapes[:4]:
            self.assertEqual(result.text, "COM5: the device has no such function (%s)" % reason)
        self.assertEqual(results[-2].code, "None", "the port is still usable")
        self.assertEqual(line.take(2), b"OK")


class ReadTimeOuts(unittest.TestCase):
    def test_a_read_with_nothing_arriving_lasts_its_total_time_out(self):
        # (interval, multiplier, constant), the read's length in ms under COMMTIMEOUTS' rule for a
        # 256-byte read, and the tolerance around it. Without any time-out the port still ends
        # the read after twice the line time of 256 bytes plus 2 s (9600 baud, 8N1: 2534 ms).
        table = [
            ((50, 0, 25), 25, (-10, 250)),
            ((50, 1, 25), 281, (-30, 600)),
            ((0, 2, 100), 612, (-50, 800)),
            ((0xFFFFFFFF, 0, 0), 0, (0, 200)),
            ((50, 0, 0), 2534, (-200, 2500)),
            ((0, 0, 0), 2534, (-200, 2500)),
        ]
        operations = ["open", "COM5", "set", "9600", "8", "N", "1"]
        for timeouts, _, _ in table:
            operations += ["timeouts"] + [str(value) for value in timeouts] + ["0", "0"]
            operations += ["read", "256"]
        probe = Probe(self, *operations)
        probe.next("open")
        probe.next("set")
        for timeouts, expected, (below, above) in table:
            with self.subTest(timeouts=timeouts):
                self.assertEqual(probe.next("timeouts").code, "None")
                probe.next("reading")
                read = probe.next("read")
                self.assertEqual((read.code, read.number("n")), ("None", 0))
                self.assertGreaterEqual(read.number("ms"), expected + below)
                self.assertLessEqual(read.number("ms"), expected + above)
        probe.finish()

    def test_a_reply_followed_by_silence_ends_the_read_an_interval_after_its_last_byte(self):
        # interval, the gaps before each piece of the reply (all shorter than the interval), and
        # the total time-out (constant 25 + 256 x 10 = 2585 ms) that must not be what ends it.
        table = [(50, (0.2, 0.02)), (300, (0.1, 0.1, 0.1))]
        line = SETUP["lines"]["COM5"]
        operations = ["open", "COM5"]
        for interval, _ in table:
            operations += ["timeouts", str(interval), "10", "25", "0", "0", "read", "256"]
        probe = Probe(self, *operations)
        probe.next("open")
        for interval, gaps in table:
            with self.subTest(interval=interval):
                probe.next("timeouts")
                probe.next("reading")
                sent = b""
                for index, gap in enumerate(gaps):
                    time.sleep(gap)
                    piece = bytes([0x30 + index]) * 5
                    line.send(piece)
                    sent += piece
                last_byte = time.monotonic()
                read = probe.next("read")
                self.assertEqual(read.fields["hex"], sent.hex(), "one read takes the whole reply")
                after_last = (read.at - last_byte) * 1000
                self.assertGreaterEqual(after_last, interval * 0.7)
                self.assertLess(after_last, interval + 700)
                self.assertLess(read.number("ms"), 2585 - 300, "the total time-out ended it")
        probe.finish()


class Writes(unittest.TestCase):
    def test_a_write_into_a_line_that_never_frees_ends_and_counts_true(self):
        # Nobody reads the terminal: its buffer fills and the write can go no further. Without
        # a write time-out the port ends it after twice the line time of 256 bytes plus 2 s
        # (9600 baud, 8N1: 2534 ms); with one, after it.
        line = SETUP["lines"]["COM8"]
        probe = Probe(self, "open", "COM8", "set", "9600", "8", "N", "1",
                      "timeouts", "50", "0", "25", "0", "0", "flood", "1000",
                      "timeouts", "50", "0", "25", "0", "300", "flood", "5", "close")
        for op in ("open", "set", "timeouts"):
            self.assertEqual(probe.next(op).code, "None")
        unbounded = probe.next("flood")
        probe.next("timeouts")
        bounded = probe.next("flood")
        for flood, expected in ((unbounded, 2534), (bounded, 300)):
            with self.subTest(expected=expected):
                self.assertEqual(flood.code, "TimedOut", flood)
                self.assertEqual(flood.text, "COM8: the write timed out")
                self.assertGreaterEqual(flood.number("ms"), expected - 100)
                self.assertLess(flood.number("ms"), expected + 2500)
        stream = bytes(k % 251 for k in range(256 * 1000))
        counted = [flood.number("frames") * 256 + flood.number("n")
                   for flood in (unbounded, bounded)]
        self.assertGreater(counted[0], 1000, "the terminal's buffer took nothing")
        arrived = line.drain()
        self.assertEqual(arrived, stream[:counted[0]] + stream[:counted[1]],
                         "the counts the port gave are not what reached the line")
        probe.finish()


class OpeningAndClosing(unittest.TestCase):
    def test_names_that_open_nothing_say_why(self):
        not_found = message(self, ERROR_FILE_NOT_FOUND)
        results = run(self, "read", "1", "open", MISSING, "open", "COM1x", "open",
                      r"C:\windows\win.ini", "write", "41")
        self.assertEqual([(result.op, result.code) for result in results],
                         [("read", "NotOpen"), ("open", "NoSuchDevice"), ("open", "NoSuchDevice"),
                          ("open", "NotATerminal"), ("write", "NotOpen")])
        self.assertEqual(results[1].text, "%s: %s" % (MISSING, not_found))
        self.assertEqual(results[2].text, "COM1x: %s" % not_found)
        self.assertEqual(results[3].text, r"C:\windows\win.ini: not a serial device")

    def test_a_port_is_held_by_one_program_at_a_time(self):
        line = SETUP["lines"]["COM6"]
        holder = Probe(self, "open", "COM6", "wait", "write", "31", "close", "wait")
        self.assertEqual(holder.next("open").code, "None")
        refused = run(self, "open", "COM6")[0]
        self.assertEqual(refused.code, "InUse")
        self.assertEqual(refused.text, "COM6: in use by another program")
        holder.go_on()
        holder.next("wait")
        self.assertEqual(holder.next("write").code, "None", "the refusal disturbed the holder")
        self.assertEqual(line.take(1), b"1")
        holder.next("close")
        self.assertEqual(run(self, "open", "COM6", "write", "32")[0].code, "None")
        self.assertEqual(line.take(1), b"2")
        holder.go_on()
        holder.finish()

    def test_com_numbers_above_nine_reach_their_device(self):
        line = SETUP["lines"]["COM12"]
        results = run(self, "open", "COM12", "write", "3132", "close", "open", r"\\.\COM12",
                      "write", "3334")
        self.assertEqual([result.code for result in results], ["None"] * 5)
        self.assertEqual(line.take(4), b"1234")

    def test_device_names_map_as_the_table_says(self):
        rows = []
        with open(os.path.join(HERE, "device-names.txt")) as table:
            for row in table:
                if row.strip() and not row.startswith("#"):
                    rows.append(row.split())
        self.assertGreater(len(rows), 8)
        operations = []
        for typed, _ in rows:
            operations += ["map", typed]
        results = run(self, *operations)
        self.assertEqual([result.fields["name"] for result in results],
                         [opened for _, opened in rows])


class Vanishing(unittest.TestCase):
    def test_a_line_that_hangs_up_is_seen_gone_and_nothing_blocks_on_it(self):
        line = SETUP["lines"]["COM9"]
        probe = Probe(self, "open", "COM9", "timeouts", "50", "10", "25", "0", "0", "vanished",
                      "read", "256", "vanished", "read", "16", "write", "4142", "escape",
                      "setdtr", "get", "close", "vanished")
        probe.next("open")
        probe.next("timeouts")
        self.assertEqual(probe.next("vanished").fields["gone"], "0")
        probe.next("reading")
        time.sleep(0.3)
        line.hang_up()
        read = probe.next("read")
        self.assertEqual((read.code, read.number("n")), ("DeviceGone", 0), read)
        # Wine does not end the read at the hang-up, only at its time-out (2585 ms).
        self.assertLess(read.number("ms"), 2585 + 1500)
        gone = probe.next("vanished")
        self.assertEqual((gone.code, gone.fields["gone"]), ("DeviceGone", "1"))
        self.assertTrue(gone.text.startswith("COM9: device vanished"), gone)
        started = time.monotonic()
        for op in ("read", "write", "escape", "get"):
            self.assertEqual(probe.next(op).code, "DeviceGone")
        self.assertLess(time.monotonic() - started, 2.0, "a vanished device still held a call")
        self.assertEqual(probe.next("close").code, "None")
        self.assertEqual(probe.next("vanished").fields["gone"], "0")
        probe.finish()


if __name__ == "__main__":
    unittest.main()
