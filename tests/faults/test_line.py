"""The driver's commands on zelsim's line, end to end and commanded by zelctl: the rows of
tests/data/e2e/serial-commands.txt (what each word answers, how often each frame goes on the wire,
when the line is busy), and how long reads take."""

import os
import re
import time
import unittest

import faultkit as kit
from faultkit import Driver, Sim

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")
FRAME = "05 02 01 00 03 0B 00 12 34 AB F1 00"  # the worked example "0205 0001 1234AB"
DUMP = "02 05 00 01 12 34 AB"
ESCAPES = {"r": "\r", "n": "\n", "t": "\t", "0": "\0"}


def words(cell):
    """Bare words, or quoted texts with their escapes undone and an optional *N repeat."""
    found = []
    for quoted, times, bare in re.findall(r'"((?:[^"\\]|\\.)*)"(?:\*(\d+))?|(\S+)', cell):
        text = re.sub(r"\\x([0-9A-Fa-f]{2})|\\(.)",
                      lambda m: chr(int(m[1], 16)) if m[1] else ESCAPES.get(m[2], m[2]), quoted)
        found.append(bare or text * int(times or 1))
    return found


class Line:
    """zelsim behind a link name, and a driver on it at `rate` that has been poked the example."""

    def __init__(self, test, options, latency="Approximately 0.25 second", rate="9600 baud"):
        name = os.path.join(kit.scratch(test), "ttyZEL")
        self.sim = Sim(test, *options, "--link", name)
        self.driver = self.make_driver(test, name, latency, rate)
        self.driver.start()
        test.assertEqual(self.driver.zelctl("poke", "0205 0001 1234AB").returncode, 0)

    @staticmethod
    def make_driver(test, device, latency, rate):
        return Driver(test, configuration=kit.configuration_text(device, latency, rate))

    def run(self, *commands):
        """What zelctl prints for "run" of each word ("+word": executed without waiting for an
        answer), and how long it took in ms."""
        began = time.monotonic()
        result = self.driver.zelctl(*[part for word in commands for part in (
            ("execute", word[1:]) if word.startswith("+") else ("run", word))])
        return result.stdout.decode("latin-1"), (time.monotonic() - began) * 1000

    def written(self, hex_bytes):
        """How many transmissions were exactly these bytes (logged once the line fell quiet)."""
        return self.sim.log().count("wrote by driver: %s\n" % hex_bytes)


class SerialCommands(unittest.TestCase):
    line_kind = Line

    def test_the_echo_decides_how_often_the_worked_example_goes_on_the_wire(self):
        with open(os.path.join(DATA, "e2e", "serial-commands.txt")) as f:
            rows = [row for row in f.read().splitlines() if row.strip() and row[0] != "#"]
        self.assertEqual(len(rows), 11, "serial-commands.txt not read")
        for row in rows:
            cells = [cell.strip() for cell in row.split("|")]
            with self.subTest(row):
                line = self.line_kind(self, words(cells[0]), rate=cells[5] if len(cells) > 5 else "9600 baud")
                self.assertEqual(line.run(*words(cells[1]))[0], "".join(words(cells[2])))
                frames, dumps = (int(count) for count in cells[3].split())
                self.assertEqual((line.written(FRAME), line.written(DUMP)), (frames, dumps))
                self.assertEqual("status: Busy" in line.driver.errors(), cells[4] == "yes")

    def test_reads_end_soon_after_the_reply_or_the_latency_and_the_driver_outlives_its_device(self):
        # The bounds are generous: the machine is shared.
        line = self.line_kind(self, ["--station", "0205"],
                              "Approximately 1.25 seconds")  # 25 + 256 x 5 ms
        self.assertEqual(line.run("Send")[0], "sended\r\n")
        answer, took = line.run("Receive")
        self.assertEqual(answer, "0001 0205 1234AB\r\n")
        self.assertLess(took, 1000)  # the reply came 100 ms after the frame; 50 ms of quiet end it
        answer, took = line.run("Receive")
        self.assertEqual(answer, "00\r\n")
        self.assertTrue(1250 <= took < 5000, took)
        line.sim.stop()
        answer, took = line.run("Receive", "EasySend", "Version")
        self.assertEqual(answer, "00\r\nerror\r\n2.32\r\n")
        self.assertLess(took, 3000)
        answer, took = line.run("Close")
        self.assertEqual(answer, "OK\r\n")
        self.assertGreaterEqual(took, 95)
        self.assertEqual(line.driver.wait(5), 0)


class LineMonitor(unittest.TestCase):
    line_kind = Line

    def test_a_listener_sees_each_write_and_read_in_order(self):
        line = self.line_kind(self, [])
        monitor = line.driver.zelctl_process("monitor", "--count", "2")
        # Transactions are served one at a time, so the monitor's advise falls between two whole
        # "Send"s: whichever it sees first gives its frame, then the echo.
        deadline = time.monotonic() + 15
        while monitor.poll() is None and time.monotonic() < deadline:
            self.assertEqual(line.run("Send")[0], "sended\r\n")
            time.sleep(0.1)
        out, err = monitor.communicate(timeout=10)
        self.assertEqual(monitor.returncode, 0, err)
        lines = out.decode("latin-1").splitlines()
        ascii_text = "|........4...|"
        self.assertEqual(len(lines), 2, lines)
        for got, direction in zip(lines, "WR"):
            self.assertRegex(got, r"^\d+\.\d{3} %s %s  %s$" % (direction, FRAME, re.escape(ascii_text)))
        self.assertLessEqual(*(float(got.split()[0]) for got in lines))


if __name__ == "__main__":
    unittest.main()
