"""The DDE link between real processes under Wine: ZELdrv.exe serving, with a port that is not
there, and as its clients dde_probe.exe (a plain DDEML client on one conversation), zelctl.exe,
dde_roundtrip.exe and dde_late_answer.exe (the link's own client); dde_nest_server.exe stands in
for a driver whose handler runs a window's loop."""

import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import winekit  # noqa: E402
from winekit import WineDriver, WinePrefix, win_program  # noqa: E402

kit = winekit.kit
PREFIX = None
POKED = "0205 0001 1234AB"


def setUpModule():
    global PREFIX
    PREFIX = WinePrefix()


def tearDownModule():
    PREFIX.close()


class NamedDriver(WineDriver):
    """ZELdrv.exe copied under another file name, which names its service."""

    def __init__(self, test, name):
        self.prefix = PREFIX
        kit.Driver.__init__(self, test, port="COM9", name=name)

    @property
    def service(self):
        return self.name.split(".")[0]


def probe(*arguments, timeout=60):
    return PREFIX.wine(["wine", win_program("dde_probe.exe")] + list(arguments),
                       timeout=timeout, stdin=subprocess.DEVNULL, capture_output=True)


class Link(unittest.TestCase):
    def setUp(self):
        self.driver = WineDriver(self, PREFIX, port="COM9").start()

    def tearDown(self):
        if self.driver.running():
            self.driver.zelctl("execute", "Close")
            self.driver.wait(10)

    def probe_ok(self, *arguments):
        result = probe(*arguments)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result.stdout.decode("latin-1").splitlines()

    def test_a_plain_ddeml_client_on_one_conversation_gets_every_answer_and_notice(self):
        # A poke sets the item and the driver empties it: two notices, both after the poke's
        # acknowledgement, on the conversation that poked. So does each command's outcome.
        self.assertEqual(self.probe_ok(
            "advise", "poke", POKED, "notices", "2", "request",
            "exec", "Version", "notices", "1", "request",
            "exec", "PortState", "notices", "1", "request",
            "request", "poke", "", "notices", "2", "request"), [
            "advise ok", "poke ok", "notices 2", r'request "\r\n"',
            "exec ok", "notices 1", r'request "2.32\r\n"',
            "exec ok", "notices 1", r'request "Fail\r\n"',
            r'request "Fail\r\n"', "poke ok", "notices 2", r'request "\r\n"'])
        self.assertIn("port: COM9: ", self.driver.errors())

    def test_names_formats_and_topics_that_are_refused_or_matched(self):
        # (probe options and actions, exit status, what it prints or says)
        table = [
            (["-i", "NoSuchItem", "request"], 2, "dde_probe: request: DMLERR_NOTPROCESSED"),
            (["-i", "NoSuchItem", "poke", "x"], 2, "dde_probe: poke: DMLERR_NOTPROCESSED"),
            (["-i", "NoSuchItem", "advise"], 2, "dde_probe: advise: DMLERR_NOTPROCESSED"),
            (["-f", "13", "request"], 2, "dde_probe: request: DMLERR_NOTPROCESSED"),
            (["-f", "13", "poke", "x"], 2, "dde_probe: poke: DMLERR_NOTPROCESSED"),
            (["-f", "13", "advise"], 2, "dde_probe: advise: DMLERR_NOTPROCESSED"),
            (["-t", "ZELdriverX", "request"], 3, "dde_probe: connect: DMLERR_NO_CONV_ESTABLISHED"),
            (["-s", "ZELdrvX", "request"], 3, "dde_probe: connect: DMLERR_NO_CONV_ESTABLISHED"),
            (["-t", "zeldriver", "request"], 0, r'request ""'),
            (["-t", "ZELDRIVER", "request"], 0, r'request ""'),
            (["-s", "", "request"], 0, r'request ""'),  # any service with this topic
            (["-t", "", "request"], 0, r'request ""'),  # any topic of this service
        ]
        for arguments, status, said in table:
            with self.subTest(arguments=arguments):
                result = probe(*arguments)
                self.assertEqual(result.returncode, status, result.stderr)
                self.assertIn(said, (result.stdout + result.stderr).decode("latin-1"))
        # None of the refused pokes reached the item.
        self.assertEqual(self.probe_ok("request"), [r'request ""'])

    def test_zelctl_answers_exactly_and_exits_as_documented(self):
        refused = b"zelctl: request: refused (DMLERR_NOTPROCESSED: the transaction failed)"
        absent = b" is not running or refused topic "
        # (arguments, exit status, standard output, what standard error says)
        table = [
            (["run", "Version", "poke", POKED, "request", "run", "PortState"], 0,
             b"2.32\r\n\r\nFail\r\n", b""),
            (["--item", "NoSuchItem", "request"], 1, b"", refused),
            (["--topic", "Other", "request"], 3, b"", b"service ZELdrv" + absent + b'"Other"'),
            (["--service", "Nobody", "request"], 3, b"", b"service Nobody" + absent),
            (["--timeout"], 2, b"", b"--timeout needs a value"),
        ]
        for arguments, status, out, said in table:
            with self.subTest(arguments=arguments):
                result = self.driver.zelctl(*arguments)
                self.assertEqual((result.returncode, result.stdout), (status, out), result.stderr)
                self.assertIn(said, result.stderr)

    def watching_probe(self, *actions):
        """dde_probe with its advise link open, running `actions` next."""
        watcher = subprocess.Popen(
            ["wine", win_program("dde_probe.exe"), "advise"] + list(actions), env=PREFIX.env,
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
            preexec_fn=kit._die_with_parent())
        self.assertEqual(watcher.stdout.readline(), b"advise ok\r\n")
        return watcher

    def test_several_clients_at_once_each_get_their_own_answers_and_every_notice(self):
        # Each client sets the item four times: its poke and the driver emptying it, then the
        # outcomes of its two commands.
        watcher = self.watching_probe("notices", "16")
        clients = [self.driver.zelctl_process("poke", POKED, "request", "run", "Version",
                                              "run", "PortState")
                   for _ in range(4)]
        for client in clients:
            out, errors = client.communicate(timeout=60)
            self.assertEqual(client.returncode, 0, errors)
            # Another client may set the item between this one's command and its request (a
            # poke leaves one empty line): each answer is one of the texts the item ever holds.
            answers = out.split(b"\r\n")
            self.assertEqual(len(answers), 4, out)
            for answer in answers[:3]:
                self.assertIn(answer, (b"", b"2.32", b"Fail"), out)
        self.assertEqual(watcher.communicate(timeout=60)[0], b"notices 16\r\n")

    def test_zelctl_watch_requests_the_item_after_each_notice(self):
        watcher = self.driver.zelctl_process("watch", "2")
        # Its advise link opens some time after it starts: poke until it has seen two notices.
        # The driver empties the poked item before the notices leave.
        deadline = time.monotonic() + 20
        while watcher.poll() is None and time.monotonic() < deadline:
            probe("poke", POKED)
            time.sleep(0.2)
        self.assertEqual(watcher.communicate(timeout=30), (b"\r\n\r\n", b""))

    def test_close_ends_the_driver_after_answering_ok_to_its_client_and_watcher(self):
        watcher = self.watching_probe("notices", "1", "request")
        result = self.driver.zelctl("run", "Close")
        self.assertEqual((result.returncode, result.stdout), (0, b"OK\r\n"), result.stderr)
        self.assertEqual(watcher.communicate(timeout=30)[0],
                         b'notices 1\r\nrequest "OK\\r\\n"\r\n')
        self.assertEqual(self.driver.wait(10), 0)
        after = self.driver.zelctl("request")
        self.assertEqual(after.returncode, 3)
        self.assertIn(b"DMLERR_NO_CONV_ESTABLISHED", after.stderr)

    def test_round_trips_of_the_link_client(self):
        result = PREFIX.wine(["wine", winekit.win_bench("link_roundtrip.exe"), "1000"], timeout=240,
                             stdin=subprocess.DEVNULL, capture_output=True)
        self.assertEqual(result.returncode, 0, result.stderr)
        figures = dict(line.rsplit(" ", 2)[:2] for line in result.stdout.decode().splitlines())
        sys.stderr.write("\nDDE round trips (median of 1000): %s\n" % figures)
        # Generous: a shared two-core machine; about 1 ms is usual.
        for name, microseconds in figures.items():
            self.assertLess(int(microseconds), 50000, name)


class Nesting(unittest.TestCase):
    """A handler that runs a window's loop, as a modal dialog does, while more transactions come:
    they are served after it, in order, never inside it."""

    def setUp(self):
        self.server = subprocess.Popen(["wine", win_program("dde_nest_server.exe")],
                                       env=PREFIX.env, stdin=subprocess.DEVNULL,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                       preexec_fn=kit._die_with_parent())
        self.addCleanup(self.server.kill)
        self.assertTrue(kit.wait_until(lambda: probe("-s", "ZELnest").returncode == 0, 20, 0.1))

    def tearDown(self):
        probe("-s", "ZELnest", "exec", "Close")
        self.assertEqual(self.server.wait(10), 0)

    def background_probe(self, *arguments):
        return subprocess.Popen(["wine", win_program("dde_probe.exe"), "-s", "ZELnest"]
                                + list(arguments), env=PREFIX.env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                preexec_fn=kit._die_with_parent())

    def test_transactions_arriving_during_a_handler_wait_their_turn(self):
        nest = self.background_probe("exec", "Nest")
        time.sleep(0.5)  # the handler runs its loop for 2 s
        poker = self.background_probe("poke", "x", "request")
        refused = self.background_probe("-f", "13", "poke", "y")
        self.assertEqual(poker.stdout.readline(), b"poke ok\r\n")
        self.assertIsNone(nest.poll(), "the poke came after the handler's loop had ended")
        self.assertEqual(nest.communicate(timeout=30)[0], b"exec ok\r\n")
        # The poke was taken during the loop and carried out after "Nest"; the request waited
        # behind it. Served inside the loop, it would have found the item still empty.
        self.assertEqual(poker.communicate(timeout=30)[0], b'request "poked x\\r\\n"\r\n')
        out, errors = refused.communicate(timeout=30)
        self.assertEqual(refused.returncode, 2, errors)
        self.assertIn(b"dde_probe: poke: DMLERR_NOTPROCESSED", errors)
        depth = probe("-s", "ZELnest", "exec", "Depth", "request")
        self.assertEqual(depth.stdout, b'exec ok\r\nrequest "1\\r\\n"\r\n')

    def test_the_link_client_recovers_from_an_answer_that_came_too_late(self):
        result = PREFIX.wine(["wine", win_program("dde_late_answer.exe")], timeout=60,
                             stdin=subprocess.DEVNULL, capture_output=True)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout.decode().splitlines(), [
            "execute Nest: ok",
            "request: no answer within 300 ms (DMLERR_DATAACKTIMEOUT: a synchronous request "
            "timed out)",
            "poke: ok",
            r'request: "poked late\r\n"',
            "execute Depth: ok",
            r'request: "1\r\n"',
            r'request: "1\r\n"'])


class Service(unittest.TestCase):
    def test_a_second_driver_of_the_same_name_leaves_the_first_alone(self):
        first = WineDriver(self, PREFIX).start()
        for name in ("ZELdrv.exe", "zeldrv.exe"):  # DDE names ignore case
            with self.subTest(name=name):
                second = NamedDriver(self, name).launch()
                self.assertEqual(second.wait(30), 1)
                self.assertIn("%s: service %s is already served by a running program"
                              % (second.service, second.service), second.errors())
        self.assertEqual(first.zelctl("run", "Version").stdout, b"2.32\r\n")
        other = NamedDriver(self, "ZELdrv2.exe").launch()
        self.assertTrue(kit.wait_until(
            lambda: other.zelctl("--service", "ZELdrv2", "run", "Version").stdout == b"2.32\r\n",
            20, 0.2))
        for driver in (first, other):
            driver.zelctl("--service", driver.name.split(".")[0], "execute", "Close")
            self.assertEqual(driver.wait(10), 0)

    def test_drivers_started_together_leave_exactly_one_serving(self):
        drivers = [WineDriver(self, PREFIX) for _ in range(3)]
        for driver in drivers:
            driver.launch()
        time.sleep(5)
        running = [driver for driver in drivers if driver.running()]
        self.assertEqual(len(running), 1, [d.errors() for d in drivers])
        for driver in drivers:
            if driver is not running[0]:
                self.assertEqual(driver.wait(1), 1)
        running[0].zelctl("execute", "Close")
        self.assertEqual(running[0].wait(10), 0)

    def test_a_killed_driver_does_not_block_its_successor(self):
        killed = WineDriver(self, PREFIX).start()
        killed.kill()
        successor = WineDriver(self, PREFIX).start()
        self.assertEqual(successor.zelctl("run", "Version").stdout, b"2.32\r\n")
        successor.zelctl("execute", "Close")
        self.assertEqual(successor.wait(10), 0)

    def test_zelctl_without_a_driver_says_so(self):
        result = subprocess.run(["wine", win_program("zelctl.exe"), "request"], env=PREFIX.env,
                                stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
        self.assertEqual(result.returncode, 3)
        self.assertIn(b"service ZELdrv is not running or refused topic", result.stderr)


if __name__ == "__main__":
    unittest.main()
