"""The link's wire end to end, as any outside program meets it: a golden conversation sent all at
once, bad input that touches only its own connection, the service's name and lock, and a stranger
who is turned away."""

import os
import re
import socket
import unittest

import faultkit as kit
from faultkit import Driver, Link

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")


def golden_conversation():
    """The bytes of tests/data/front/conversation.link and the answers it lists, in order."""
    burst, answers = b"", []
    with open(os.path.join(DATA, "front", "conversation.link")) as f:
        for line in f:
            if not line.strip() or line.startswith("#"):
                continue
            sent, expected = line.split("->")
            for token in sent.split():
                byte, _, times = token.partition("*")
                burst += bytes([int(byte, 16)]) * int(times or 1)
            for answer in expected.split("|"):
                kind, ident, text = (answer.strip() + "  ").split(" ", 2)
                text = text.strip().replace("\\r", "\r").replace("\\n", "\n")
                answers.append((kind.encode(), int(ident), text.encode("latin-1")))
    return burst, answers


def shown(messages):
    return [(kind, ident, body[6 + body[0]:] if kind == b"v" else body)
            for kind, ident, body in messages]


class Conversation(unittest.TestCase):
    def test_answers_come_in_order_also_to_a_client_that_half_closed(self):
        driver = Driver(self).start()
        burst, answers = golden_conversation()
        for pairs, half_close in ((150, False), (0, True)):
            with self.subTest(half_close=half_close), Link(driver.socket_path, 20) as link:
                expected = list(answers)
                data = burst
                for ident in range(100, 100 + 2 * pairs, 2):
                    data += kit.poke_message(ident, "12") + kit.request_message(ident + 1)
                    expected += [(b"k", ident, b""), (b"d", ident + 1, b"\r\n")]
                link.send(data)
                if half_close:
                    link.sock.shutdown(socket.SHUT_WR)
                    self.assertEqual(shown(link.read_until_closed(20)), expected)
                else:
                    self.assertEqual(shown([link.read() for _ in expected]), expected)

    def test_bad_input_touches_only_its_own_connection(self):
        driver = Driver(self).start()
        bystander = Link(driver.socket_path)
        self.addCleanup(bystander.close)
        bystander.converse()
        largest = "1" * (kit.MAX_MESSAGE - 21)  # with kind, id and item: the largest message
        with Link(driver.socket_path, 20) as raw:
            raw.send(kit.connect_message(1) + kit.poke_message(2, largest + "1") +
                     kit.poke_message(3, largest) + kit.request_message(4) +
                     kit.message(b"Z", 9) +  # an unknown kind
                     b"\2\0\0\0xx")  # shorter than kind and id
            self.assertEqual(raw.read_until_closed(20), [
                (b"k", 1, b""), (b"n", 2, b"message too large"), (b"k", 3, b""),
                (b"d", 4, b"\r\n"), (b"n", 9, b"unknown transaction kind"),
                (b"n", 0, b"message shorter than its kind and id")])
        self.assertEqual(bystander.request(), b"\r\n")


class Service(unittest.TestCase):
    def test_taken_over_from_a_killed_driver_but_not_from_a_live_one(self):
        driver = Driver(self).start()
        second = Driver(self, root=driver.root).launch()
        self.assertEqual(second.wait(10), 1)
        self.assertIn("already served", second.errors())
        # A copy under another name serves that name beside the first.
        other = Driver(self, root=driver.root, name="ZELdrv2").start()
        poked = other.zelctl("--service", "ZELdrv2", "poke", "12", "request")
        self.assertEqual(poked.stdout, b"\r\n")
        self.assertEqual(driver.zelctl("request").stdout, b"", "the first driver's item was touched")

        driver.kill()
        self.assertTrue(os.path.exists(driver.socket_path))
        following = Driver(self, root=driver.root).start()
        self.assertEqual(following.zelctl("run", "PortState").stdout, b"Fail\r\n")
        self.assertTrue(re.search(r"port: \S+: No such file or directory", following.errors()),
                        "the status echo says why the port failed")


class Strangers(unittest.TestCase):
    @unittest.skipUnless(os.geteuid() == 0, "needs root to connect as another user")
    def test_connections_from_another_user_are_refused(self):
        driver = Driver(self).start()
        # Open the way through the file system, so only the driver's own check stands.
        for folder in (driver.root, driver.links):
            os.chmod(folder, 0o755)
        os.chmod(driver.socket_path, 0o777)
        child = os.fork()
        if child == 0:
            try:
                os.setgid(65534)
                os.setuid(65534)
                with Link(driver.socket_path, 10) as link:
                    link.send(kit.connect_message(1))
                    os._exit(0 if link.read_until_closed(10) == [] else 11)
            except (BrokenPipeError, ConnectionResetError):
                os._exit(0)  # closed unanswered, even before the connect was read
            except BaseException as error:  # a child must never return into the test runner
                print("stranger:", error)
            os._exit(10)
        self.assertEqual(os.waitpid(child, 0)[1], 0)


if __name__ == "__main__":
    unittest.main()
