"""Faults on the serial line and around the driver, end to end: the device vanishes in the middle
of a read and of a write and comes back, the port is busy, clients or the driver are killed in
the middle of transactions, the line floods, and a reply announces 255 data bytes."""

import os
import subprocess
import sys
import threading
import time
import unittest

import faultkit as kit
from faultkit import Driver, Link, Pty, Sim

EXAMPLE = "0205 0001 1234AB"
EXAMPLE_REPLY = b"0001 0205 1234AB\r\n"
# Without an echo the exchange does not hang on zelsim echoing within the driver's 25 ms, which a
# busy machine does not always manage.
STATION = ("--station", "0205", "--echo", "off")


def client(driver, timeout=10):
    link = Link(driver.socket_path, timeout=timeout)
    link.converse()
    return link


def new_lines(before, after):
    return after[len(before):]


class DeviceVanishes(unittest.TestCase):
    def test_in_the_middle_of_a_read_then_it_is_reopened_when_back(self):
        root = kit.scratch(self)
        line = os.path.join(root, "ttyZEL")
        sim = Sim(self, *STATION, "--link", line)
        driver = Driver(self, port=line, latency="Approximately 5 seconds").start()
        with client(driver) as link:
            self.assertEqual(link.run("PortState"), b"OK\r\n", driver.errors())
            echoed = driver.errors()
            began = time.monotonic()
            link.send(kit.execute_message(50, "Receive"))  # nothing is coming: reads 5145 ms
            time.sleep(0.3)
            sim.stop()
            self.assertEqual(link.read(), (b"k", 50, b""))
            took = time.monotonic() - began
            kit.print_measure("Receive ended %.0f ms after it started, the device gone at 300 ms"
                              % (took * 1000))
            self.assertLess(took, 7.0, "the read was not bounded")
            self.assertEqual(link.request(), b"00\r\n")
            self.assertEqual(link.run("PortState"), b"Fail\r\n")
            self.assertRegex(new_lines(echoed, driver.errors()), "port: .*device vanished",
                             "the status echo does not say why the port failed")
            link.poke(EXAMPLE)
            self.assertEqual(link.run("Send"), b"error\r\n", "a frame that never left was sent")

            back = Sim(self, *STATION, "--link", line)
            time.sleep(1.1)  # a vanished device is looked for at most once a second
            self.assertEqual(link.run("PortState"), b"OK\r\n", driver.errors())
            self.assertTrue(back.wait_for_log("line opened by the driver"))
            link.poke(EXAMPLE)
            self.assertEqual(link.run("Send"), b"sended\r\n")
            self.assertEqual(link.run("Receive"), EXAMPLE_REPLY)

    def test_in_the_middle_of_a_write_then_it_is_reopened_when_back(self):
        root = kit.scratch(self)
        line = os.path.join(root, "ttyW")
        pty = Pty(self)
        os.symlink(pty.path, line)
        # Writes may wait 4 s for room on the line.
        driver = Driver(self, configuration=kit.configuration_text(line, write_constant=4000))
        driver.start()
        with client(driver) as link:
            self.assertEqual(link.run("PortState"), b"OK\r\n", driver.errors())
            link.poke(EXAMPLE)
            room = pty.fill_line()
            echoed = driver.errors()
            began = time.monotonic()
            link.send(kit.execute_message(60, "SendDump"))
            time.sleep(0.5)
            pty.hang_up()
            self.assertEqual(link.read(), (b"k", 60, b""))
            took = time.monotonic() - began
            kit.print_measure("SendDump on a line full after %d bytes ended %.0f ms after it"
                              " started, the device gone at 500 ms" % (room, took * 1000))
            self.assertGreater(took, 0.4, "the write did not wait for room: the line was not full")
            self.assertLess(took, 3.5, "the write went on after the device had gone")
            self.assertEqual(link.run("PortState"), b"Fail\r\n")
            self.assertIn("port: ", new_lines(echoed, driver.errors()),
                          "the status echo does not say why the port failed")

            back = Pty(self)
            os.unlink(line)
            os.symlink(back.path, line)
            time.sleep(1.1)
            self.assertEqual(link.run("PortState"), b"OK\r\n", driver.errors())
            self.assertEqual(link.run("EasySend"), b"sended\r\n")
            self.assertEqual(back.read_available(0.2), bytes.fromhex("0502010003 0B00 1234AB F100"))


class PortBusy(unittest.TestCase):
    def test_a_second_driver_finds_the_port_in_use_and_the_first_works_on(self):
        sim = Sim(self, *STATION)
        first = Driver(self, port=sim.device).start()
        second = Driver(self, port=sim.device).start()  # its own folder and socket directory
        with client(first) as one, client(second) as other:
            self.assertEqual(one.run("PortState"), b"OK\r\n")
            self.assertEqual(other.run("PortState"), b"Fail\r\n")
            self.assertIn("in use by another program", second.errors())
            one.poke(EXAMPLE)
            other.poke(EXAMPLE)
            self.assertEqual(one.run("Send"), b"sended\r\n")
            other.run("Send")
            other.run("Receive")
            self.assertEqual(one.run("Receive"), EXAMPLE_REPLY)
        self.assertEqual(sim.log().count("wrote by driver"), 1, sim.log())


# A client that stops half-way through a request message and waits to be killed.
HALF_A_REQUEST = r"""
import sys, time
sys.path.insert(0, sys.argv[2])
import faultkit as kit
link = kit.Link(sys.argv[1])
link.converse()
link.send(kit.request_message(7)[:11])
print("sent", flush=True)
time.sleep(60)
"""


class ClientsKilled(unittest.TestCase):
    def test_the_next_client_gets_its_own_answers(self):
        sim = Sim(self, "--station", "0205")
        driver = Driver(self, port=sim.device, latency="Approximately 2.5 seconds").start()
        half = subprocess.Popen([sys.executable, "-c", HALF_A_REQUEST, driver.socket_path,
                                 os.path.dirname(os.path.abspath(kit.__file__))],
                                stdout=subprocess.PIPE)
        self.addCleanup(kit.reap, half)
        self.assertEqual(half.stdout.readline(), b"sent\n")
        waiting = driver.zelctl_process("run", "Receive")  # waits 2.5 s for its outcome
        self.addCleanup(kit.reap, waiting)
        time.sleep(0.4)
        self.assertIsNone(waiting.poll(), "the client was done before it could be killed")
        for victim in (waiting, half):
            victim.kill()
            victim.communicate(timeout=5)

        with client(driver) as link:
            link.poke(EXAMPLE)
            self.assertEqual(link.request(), b"\r\n")
            self.assertEqual(link.run("Version"), b"2.32\r\n")
            self.assertEqual(link.run("PortState"), b"OK\r\n")
        self.assertTrue(driver.running())


class DriverKilled(unittest.TestCase):
    def test_every_waiting_client_ends_with_an_error(self):
        sim = Sim(self, "--station", "0205")
        driver = Driver(self, port=sim.device, latency="Approximately 5 seconds").start()
        pending, idle = client(driver), client(driver)
        watcher = driver.zelctl_process("watch", "3")
        self.addCleanup(kit.reap, watcher)
        time.sleep(0.3)
        # The driver now reads for 5 s. The watcher's request after the notice of that command
        # waits 1 s at most, so everything below happens well within that second.
        busy = driver.zelctl_process("run", "Receive")
        self.addCleanup(kit.reap, busy)
        time.sleep(0.2)
        requester = driver.zelctl_process("request")
        self.addCleanup(kit.reap, requester)
        pending.send(kit.request_message(70))
        time.sleep(0.2)
        running = [p.poll() is None for p in (watcher, busy, requester)]
        self.assertEqual(running, [True, True, True], "a client ended before the driver did")

        driver.process.kill()
        began = time.monotonic()
        for name, process in (("watch", watcher), ("run", busy), ("request", requester)):
            with self.subTest(name):
                out, err = process.communicate(timeout=10)
                kit.print_measure("zelctl %s ended %.0f ms after the kill, status %d: %s"
                                  % (name, (time.monotonic() - began) * 1000,
                                     process.returncode, err.decode().strip()))
                self.assertNotEqual(process.returncode, 0)
                self.assertTrue(err.strip(), "no error message")
        for name, link in (("pending request", pending), ("idle", idle)):
            with self.subTest(name), link:
                with self.assertRaises((kit.LinkClosed, ConnectionResetError)):
                    link.read(timeout=5)
        self.assertLess(time.monotonic() - began, 8.0)


class Flood(threading.Thread):
    """Writes `chunk` to the line every `every` seconds (as fast as it goes for 0) until
    stopped."""

    def __init__(self, pty, chunk, every):
        super().__init__(daemon=True)
        self.pty, self.chunk, self.every = pty, chunk, every
        self.halt = threading.Event()

    def run(self):
        os.set_blocking(self.pty.master, False)
        while not self.halt.is_set():
            try:
                os.write(self.pty.master, self.chunk)
            except BlockingIOError:
                self.halt.wait(0.002)
                continue
            if self.every:
                self.halt.wait(self.every)

    def stop(self):
        self.halt.set()
        self.join(5)


CRC_ERROR = (b"0000\r\n", "CRC error")
NO_ANSWER = (b"00\r\n", "no answer")

# What the line does | the command | its answers (with the status each shows) that may come.
# A drip read ends at the read's total time-out with a few bytes (a sum error), or, when this
# test's writer runs late on a busy machine, as fragments that exhaust Receive's patience.
FLOODS = [
    ("bytes without a pause", b"\x55" * 4096, 0, "Receive", [CRC_ERROR]),
    ("bytes without a pause", b"\x55" * 4096, 0, "ReceiveDump",
     [(b"55 " * 256 + b"\r\n", "received 256b")]),
    ("bytes without a pause", b"\x55" * 4096, 0, "Send", [(b"sended\r\n", "Busy")]),
    ("a byte every 30 ms", b"\x55", 0.03, "Receive", [CRC_ERROR, NO_ANSWER]),
    ("two bytes every 80 ms", b"\x55\x55", 0.08, "Receive", [NO_ANSWER, CRC_ERROR]),
]


class LineFaults(unittest.TestCase):
    def test_a_line_that_floods_bytes_without_end_leaves_every_command_bounded(self):
        pty = Pty(self)
        driver = Driver(self, port=pty.path).start()  # reads end after 281 ms without a reply
        with client(driver) as link:
            link.poke(EXAMPLE)
            for legend, chunk, every, word, outcomes in FLOODS:
                with self.subTest(legend + ": " + word):
                    flood = Flood(pty, chunk, every)
                    flood.start()
                    time.sleep(0.15)
                    echoed = driver.errors()
                    began = time.monotonic()
                    text = link.run(word)
                    took = time.monotonic() - began
                    flood.stop()
                    kit.print_measure("%s: %s answered in %.0f ms" % (legend, word, took * 1000))
                    statuses = dict(outcomes)
                    self.assertIn(text, statuses)
                    self.assertLess(took, 3.0)
                    self.assertIn("status: " + statuses[text] + "\n",
                                  new_lines(echoed, driver.errors()))
                    pty.read_available(0.05)
                    pty.flush_input()
            self.assertEqual(link.run("Version"), b"2.32\r\n")

    def test_a_reply_announcing_255_data_bytes_is_a_checksum_error(self):
        # The header sum of 00 00 05 02 FF is 0106.
        header = bytes.fromhex("00000502FF0601")
        rows = [
            ("count 255, the whole read full", header + b"\x11" * 249, b"0000\r\n"),
            ("count 255, the header alone", header, b"0000\r\n"),
            # What a decoder that cut the count to what fits would take for a good frame.
            ("count 255, a frame of 247 bytes after it", bytes.fromhex("00000502FF0601") +
             b"\x01" * 247 + b"\xf7\x00", b"0000\r\n"),
            ("count 247, the largest that fits", bytes.fromhex("00000502F7FE00") +
             b"\x01" * 247 + b"\xf7\x00", b"0000 0205 " + b"01" * 247 + b"\r\n"),
        ]
        pty = Pty(self)
        driver = Driver(self, port=pty.path).start()
        with client(driver) as link:
            for legend, reply, answer in rows:
                with self.subTest(legend):
                    pty.write(reply)
                    time.sleep(0.05)
                    self.assertEqual(link.run("Receive"), answer)
            self.assertEqual(driver.errors().count("status: CRC error"), 3)
            self.assertEqual(link.run("Version"), b"2.32\r\n")


if __name__ == "__main__":
    unittest.main(verbosity=2)
