"""SIGTERM, SIGINT and SIGHUP end the driver as the command "Close" does: its port closed, its
socket file and lock gone, exit status 0, and a new driver starts in its place."""

import os
import signal
import shutil
import tempfile
import time
import unittest

import faultkit as kit
from faultkit import Driver, Link, Pty

# How each ending is asked for; None: the command "Close", the reference.
ENDINGS = [
    ("Close", None),
    ("SIGTERM", signal.SIGTERM),
    ("SIGINT", signal.SIGINT),
    ("SIGHUP", signal.SIGHUP),
]

# The issue asks for 500 ms; the machine is shared, so the test allows more and prints the time.
ALLOWED_S = 2.0


class Signals(unittest.TestCase):
    def test_each_signal_ends_the_driver_as_close_does(self):
        pty = Pty(self)
        root = tempfile.mkdtemp(prefix="zelfaults-")
        self.addCleanup(shutil.rmtree, root, True)
        for name, number in ENDINGS:
            with self.subTest(name):
                driver = Driver(self, port=pty.path, root=root).start()
                watcher = Link(driver.socket_path)
                self.addCleanup(watcher.close)
                watcher.converse()
                self.assertEqual(watcher.run("PortState"), b"OK\r\n")
                self.assertTrue(pty.exclusive(), "the open port is not held exclusively")

                began = time.monotonic()
                if number is None:
                    watcher.send(kit.execute_message(99, "Close"))
                else:
                    driver.signal(number)
                status = driver.wait(10)
                took = time.monotonic() - began
                kit.print_measure("%s: ended in %.0f ms with status %s"
                                  % (name, took * 1000, status))
                if status is None:
                    driver.kill()
                self.assertEqual(status, 0)
                self.assertLess(took, ALLOWED_S)
                self.assertFalse(os.path.exists(driver.socket_path), "socket file left behind")
                self.assertFalse(kit.lock_is_held(driver.lock_path))
                self.assertFalse(pty.exclusive(), "the port was not closed: still held exclusively")
                self.assertFalse(os.path.exists(driver.lock_path), "lock file left behind")
                # A connected client sees the end of its connection, not silence.
                self.assertEqual(watcher.read_until_closed(5),
                                 [(b"k", 99, b"")] if number is None else [])

        successor = Driver(self, port=pty.path, root=root).start()
        with Link(successor.socket_path) as link:
            link.converse()
            self.assertEqual(link.run("PortState"), b"OK\r\n", successor.errors())


if __name__ == "__main__":
    unittest.main(verbosity=2)
