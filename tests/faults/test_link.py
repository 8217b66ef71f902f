"""Hostile clients on the link, as outside programs: descriptors run out, the connection cap,
a half-closed connection, and many connections each holding an unfinished large message."""

import os
import socket
import struct
import time
import unittest

import faultkit as kit
from faultkit import Driver, Link


def open_connection(path):
    """A connection queued on the driver's socket; None once its backlog stays full, which
    happens when the driver no longer accepts."""
    try:
        return kit.connect_unix(path, 1.0)
    except (BlockingIOError, FileNotFoundError, ConnectionRefusedError):
        return None


def answered(sock, wait):
    """Whether the driver answered the connect already sent on `sock`."""
    sock.settimeout(wait)
    try:
        return len(sock.recv(64)) > 0
    except (socket.timeout, BlockingIOError, ConnectionResetError):
        return False


class Descriptors(unittest.TestCase):
    def test_out_of_descriptors_the_driver_keeps_listening_and_serves_again(self):
        driver = Driver(self).start(descriptors=256)
        clients = []
        self.addCleanup(lambda: [c.close() for c in clients])
        for ident in range(400):
            sock = open_connection(driver.socket_path)
            if sock is None:
                break
            clients.append(sock)
            sock.send(kit.connect_message(ident + 1))
        time.sleep(1.0)
        served = sum(answered(c, 0) for c in clients)
        kit.print_measure("%d connections opened, %d served before descriptors ran out"
                          % (len(clients), served))
        self.assertLess(served, len(clients), "the driver never ran out of descriptors")

        # Out of descriptors the driver waits: it must neither spin nor give up its listener.
        cpu = driver.cpu_seconds()
        time.sleep(1.0)
        spent = driver.cpu_seconds() - cpu
        kit.print_measure("driver CPU while out of descriptors: %.2f s in 1 s" % spent)
        self.assertTrue(driver.running())
        self.assertTrue(os.path.exists(driver.socket_path), "the socket file was removed")
        self.assertTrue(kit.lock_is_held(driver.lock_path))
        self.assertLess(spent, 0.5, "the driver spins while it cannot accept")

        for sock in clients:
            sock.close()
        clients.clear()
        self.assertTrue(kit.wait_until(lambda: self._served(driver), 5),
                        "no client served after the descriptors were freed")

    @staticmethod
    def _served(driver):
        try:
            return driver.served(timeout=2)
        except (OSError, kit.LinkClosed, AssertionError):
            return False

    def test_beyond_the_cap_a_connection_is_refused_and_closed(self):
        cap = 1024
        if not kit.raise_descriptor_limit(cap + 200):
            self.skipTest("this process cannot open %d descriptors" % (cap + 200))
        driver = Driver(self).start(descriptors=cap + 256)
        links = []
        self.addCleanup(lambda: [link.close() for link in links])
        for ident in range(1, cap + 1):
            links.append(Link(driver.socket_path))
            links[-1].send(kit.connect_message(ident))
        for ident, link in enumerate(links, 1):
            self.assertEqual(link.read(), (b"k", ident, b""), "connection %d" % ident)

        with Link(driver.socket_path) as refused:
            messages = refused.read_until_closed(5)
        self.assertEqual(len(messages), 1, messages)
        kind, unused, reason = messages[0]
        self.assertEqual(kind, b"n")
        self.assertIn(b"too many connections", reason)

        links.pop().close()  # a place comes free
        self.assertTrue(kit.wait_until(lambda: Descriptors._served(driver), 5))
        self.assertEqual(links[0].run("Version"), b"2.32\r\n", "an old connection was lost")


class HalfClose(unittest.TestCase):
    def test_every_answer_queued_before_a_half_close_arrives(self):
        driver = Driver(self).start()
        with Link(driver.socket_path) as link:
            link.send(kit.connect_message(1) +
                      b"".join(kit.request_message(ident) for ident in range(2, 302)))
            link.sock.shutdown(socket.SHUT_WR)
            time.sleep(0.3)
            messages = link.read_until_closed(10)
        kit.print_measure("%d of 301 answers after the half-close" % len(messages))
        self.assertEqual(messages, [(b"k", 1, b"")] + [(b"d", i, b"") for i in range(2, 302)])


class Memory(unittest.TestCase):
    """Connections that each stop one byte short of the largest message."""

    LIMIT_KIB = 150 * 1000

    def test_unfinished_messages_share_one_budget_and_no_answer_is_lost(self):
        # At the connection cap when this process may open that many descriptors (one place is
        # left for the well-behaved client).
        hogs_wanted = 1023 if kit.raise_descriptor_limit(1300) else 300
        driver = Driver(self).start(descriptors=2048)
        started_kib = driver.resident_kib()
        body = b"x" * (kit.MAX_MESSAGE - 5)
        unfinished = struct.pack("<IcI", kit.MAX_MESSAGE, b"E", 2) + body[:-1]
        hogs = []
        self.addCleanup(lambda: [h.close() for h in hogs])
        for unused in range(hogs_wanted):
            hogs.append(Link(driver.socket_path, timeout=30))
            hogs[-1].send(kit.connect_message(1))
        for number, hog in enumerate(hogs):
            self.assertEqual(hog.read(), (b"k", 1, b""), "connection %d" % number)

        began = time.monotonic()
        for hog in hogs:
            hog.send(unfinished)
        took = time.monotonic() - began
        peak_kib = driver.status_field("VmHWM")
        kit.print_measure("%d connections of %d MiB less one byte in %.1f s: resident %d MB at"
                          " start, peak %d MB" % (len(hogs), kit.MAX_MESSAGE >> 20, took,
                                                  started_kib // 1000, peak_kib // 1000))
        self.assertLess(peak_kib, self.LIMIT_KIB)
        with self.subTest("a new well-behaved client while the budget is taken"):
            self.assertTrue(driver.served())

        # Each finishes its message: one answer for it, the large message either carried out or
        # refused for the budget. Then each asks once more: the connection goes on.
        for hog in hogs:
            hog.send(body[-1:])
        outcomes = {}
        for number, hog in enumerate(hogs):
            kind, ident, text = hog.read()
            self.assertEqual(ident, 2, "connection %d" % number)
            self.assertIn((kind, text), [(b"k", b""), (b"n", b"message too large")])
            outcomes[kind] = outcomes.get(kind, 0) + 1
        kit.print_measure("large messages carried out: %d, refused for the budget: %d"
                          % (outcomes.get(b"k", 0), outcomes.get(b"n", 0)))
        self.assertGreater(outcomes.get(b"n", 0), 0, "no message was held to the shared budget")
        for number, hog in enumerate(hogs):
            hog.send(kit.request_message(3))
        for number, hog in enumerate(hogs):
            self.assertEqual(hog.read()[:2], (b"d", 3), "connection %d" % number)
        self.assertTrue(driver.served())

if __name__ == "__main__":
    unittest.main(verbosity=2)
