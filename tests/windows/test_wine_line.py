"""ZELdrv.exe on zelsim's line under Wine: the same table and timings as the Linux driver's
(tests/faults/test_line.py), with the pseudo-terminal mapped as COM5 and every command sent over
DDE by zelctl.exe; the line monitor's topic over DDE; and a missing COM port."""

import unittest

import winekit
from winekit import WineDriver, WinePrefix
import test_line  # beside faultkit, on the path winekit set

PREFIX = None


def setUpModule():
    global PREFIX
    PREFIX = WinePrefix()


def tearDownModule():
    PREFIX.close()


class WineLine(test_line.Line):
    @staticmethod
    def make_driver(test, device, latency, rate):
        PREFIX.map_port("COM5", device)
        return WineDriver(test, PREFIX,
                          configuration=winekit.kit.configuration_text("COM5", latency, rate))


class WineSerialCommands(test_line.SerialCommands):
    line_kind = WineLine


class WineLineMonitor(test_line.LineMonitor):
    line_kind = WineLine


class MissingPort(unittest.TestCase):
    def test_a_port_that_is_not_there_answers_fail_and_says_why(self):
        driver = WineDriver(self, PREFIX, port="COM300").start()
        result = driver.zelctl("run", "PortState", "run", "setDTR", "run", "Version")
        self.assertEqual(result.stdout, b"Fail\r\nerror\r\n2.32\r\n")
        self.assertIn("port: COM300: ", driver.errors())
        self.assertEqual(driver.zelctl("run", "Close").stdout, b"OK\r\n")
        self.assertEqual(driver.wait(5), 0)


if __name__ == "__main__":
    unittest.main()
