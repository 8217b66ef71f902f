"""Shared by the Win32 windows' suite and scripts/screenshots-windows: the programs' resource ids,
gui_probe.exe, the pictures it takes, and the driver with the test client in one folder of a
prefix that draws on its own Xvfb screen."""

import os
import re
import shutil
import struct
import subprocess
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
import winekit  # noqa: E402

kit = winekit.kit
ROOT = os.path.join(HERE, "..", "..", "..")
HEADERS = ["driver/front/win32/DriverResources.h", "driver/port/win32/SetupDialogResources.h",
           "common/win32/WriteBarResources.h", "client/win32/ClientResources.h"]

MAIN = "ZEL"
SETUP = "Async port configuration"
BAR = 'Press "OK" to continue'
ABOUT = "About ZEL driver"
CLIENT = "ZEL test-client"
ERROR = "Error"
MESSAGE_TEXT = "65535"  # a message box's text: the static control without an id of its own
MESSAGE_OK = "1"  # IDOK


def resource_ids():
    """Each program's ids by their names in its resource header; the headers name the same id
    only with the same number."""
    ids = {}
    for header in HEADERS:
        with open(os.path.join(ROOT, header), encoding="utf-8") as f:
            for name, value in re.findall(r"^#define\s+(ID\w+)\s+(\d+)\s*$", f.read(), re.M):
                ids.setdefault(name, value)
    return ids


ID = resource_ids()


def probe(prefix, *actions, timeout=120):
    """gui_probe.exe's lines, exit status and complaint for these actions; it waits up to 30 s
    for a window or a handler."""
    result = prefix.wine(["wine", winekit.win_program("gui_probe.exe"), "-t", "30000"]
                         + list(actions), timeout=timeout, stdin=subprocess.DEVNULL,
                         capture_output=True)
    return result.stdout.decode("utf-8").splitlines(), result.returncode, result.stderr.decode()


def read_picture(path):
    """Width, height and the RGB rows of the binary netpbm picture gui_probe takes."""
    with open(path, "rb") as f:
        kind, width, height, depth, pixels = f.read().split(maxsplit=4)
    width, height = int(width), int(height)
    assert (kind, depth, len(pixels)) == (b"P6", b"255", 3 * width * height), path
    return width, height, [pixels[y * 3 * width:(y + 1) * 3 * width] for y in range(height)]


def write_png(path, width, rows):
    """The picture as a PNG, compressed as far as zlib goes."""
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xffffffff))

    header = struct.pack(">IIBBBBB", width, len(rows), 8, 2, 0, 0, 0)
    body = zlib.compress(b"".join(b"\0" + row for row in rows), 9)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", body)
                + chunk(b"IEND", b""))


class Programs:
    """ZELcli.exe and ZELdrv.exe in one folder, the driver's ZELdrv.ini naming COM5, which is
    the line of zelsim with `options`. `test` cleans up."""

    def __init__(self, test, prefix, *options):
        self.prefix = prefix
        link = os.path.join(kit.scratch(test), "ttyZEL")
        self.sim = kit.Sim(test, *options, "--link", link)
        prefix.map_port("COM5", link)
        self.folder = kit.scratch(test)
        for name in ("ZELcli.exe", "ZELdrv.exe"):
            shutil.copy2(winekit.win_program(name), self.folder)
        with open(os.path.join(self.folder, "ZELdrv.ini"), "w", newline="") as f:
            f.write(kit.configuration_text("COM5"))

    def start(self, name):
        """ZELcli.exe or ZELdrv.exe, running; its window may not be there yet."""
        return subprocess.Popen(["wine", os.path.join(self.folder, name)], env=self.prefix.env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, preexec_fn=kit._die_with_parent())

    def zelctl(self, *arguments):
        return self.prefix.wine(["wine", winekit.win_program("zelctl.exe")] + list(arguments),
                                stdin=subprocess.DEVNULL, capture_output=True)
