"""Storing ZELdrv.ini under Wine: the file is replaced whole, or stays as it was, and no
temporary is left beside it. settings_store_probe.exe stores the default settings with a port
name of the test's choosing, as the setup dialog's OK does."""

import os
import stat
import subprocess
import sys
import tempfile
import threading
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from winekit import WinePrefix, win_program  # noqa: E402

PREFIX = None
OLD = b"PortNumber=COM1\r\nTransferRate=9600 baud\r\n"


def stored_text(port):
    lines = ["PortNumber=" + port, "TransferRate=75 baud", "StopBits=1 bit", "Paritet=None",
             "LatencyPeriod=Immediately answer", "DTRControl=HandShake", "RTSControl=HandShake",
             "WriteTimeOutMultiplier=0", "WriteTimeOutConstant=0"]
    return "".join(line + "\r\n" for line in lines).encode()


def setUpModule():
    global PREFIX
    PREFIX = WinePrefix()


def tearDownModule():
    PREFIX.close()


class SettingsStore(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="zelstore-")
        self.addCleanup(subprocess.run, ["rm", "-rf", self.folder])
        self.path = os.path.join(self.folder, "ZELdrv.ini")

    def store(self, path, port):
        result = PREFIX.wine(["wine", win_program("settings_store_probe.exe"),
                              "Z:" + path.replace("/", "\\"), port],
                             stdin=subprocess.DEVNULL, capture_output=True)
        return result.returncode, result.stdout.decode().strip()

    def content(self):
        with open(self.path, "rb") as f:
            return f.read()

    def assertNoTemporary(self):
        self.assertEqual(os.listdir(self.folder), ["ZELdrv.ini"] if os.path.exists(self.path)
                         else [])

    def test_a_new_file_and_a_replaced_one_hold_the_nine_lines(self):
        # Nothing there, then a file to replace.
        for port in ("COM7", "COM12"):
            with self.subTest(port=port):
                self.assertEqual(self.store(self.path, port), (0, "stored"))
                self.assertEqual(self.content(), stored_text(port))
                self.assertNoTemporary()

    def test_readers_always_find_a_whole_file_while_it_is_replaced(self):
        with open(self.path, "wb") as f:
            f.write(OLD)
        seen = set()
        done = threading.Event()

        def watch():
            while not done.is_set():
                try:
                    with open(self.path, "rb") as f:
                        seen.add(f.read())
                except FileNotFoundError:
                    seen.add(None)

        watcher = threading.Thread(target=watch)
        watcher.start()
        try:
            results = [self.store(self.path, "COM%d" % n) for n in range(5, 15)]
        finally:
            done.set()
            watcher.join()
        self.assertEqual(results, [(0, "stored")] * 10)
        self.assertEqual(seen - {OLD} - {stored_text("COM%d" % n) for n in range(5, 15)}, set())

    def test_a_read_only_file_stays_as_it_was_and_the_failure_says_so(self):
        with open(self.path, "wb") as f:
            f.write(OLD)
        os.chmod(self.path, stat.S_IRUSR | stat.S_IRGRP | stat.S_IROTH)
        code, said = self.store(self.path, "COM7")
        self.assertEqual(code, 1)
        self.assertTrue(said.startswith("failed: ") and "Permission denied" in said, said)
        self.assertEqual(self.content(), OLD)
        self.assertNoTemporary()

    def test_a_missing_folder_fails_and_creates_nothing(self):
        code, said = self.store(os.path.join(self.folder, "absent", "ZELdrv.ini"), "COM7")
        self.assertEqual(code, 1)
        self.assertTrue(said.startswith("failed: "), said)
        self.assertEqual(os.listdir(self.folder), [])


if __name__ == "__main__":
    unittest.main()
