"""The configuration file under disk faults: a read-only folder, a full disk, the driver killed
while it saves. The driver writes ZELdrv.ini only when the user confirms the port setup dialog,
so these tests show the driver's windows on Qt's VNC screen and work the dialog with keys, as a
person would: Alt+S opens "Setup", two Tabs reach OK, Space presses it.

Mounting needs privileges: as root the module runs itself in a private mount namespace, so no
mount outlives it; elsewhere the cases that mount are skipped with the reason."""

import errno
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

import faultkit as kit
from faultkit import Driver, Link, Pty, ScreenUser

PRIVATE_MOUNTS = "ZEL_FAULTS_PRIVATE_MOUNTS"
TEMPORARY = "ZELdrv.ini.tmp"


def mount_refusal():
    """Why this process cannot mount, or None when it can."""
    if os.environ.get(PRIVATE_MOUNTS) != "1":
        return "not in a private mount namespace (needs root and unshare)"
    probe = tempfile.mkdtemp(prefix="zelfaults-mount-")
    try:
        done = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", probe],
                              capture_output=True, text=True)
        if done.returncode != 0:
            return "mount refused: " + done.stderr.strip()
        subprocess.run(["umount", probe], check=True)
        return None
    finally:
        os.rmdir(probe)


def mount(test, *arguments):
    subprocess.run(["mount"] + list(arguments), check=True, capture_output=True)
    test.addCleanup(subprocess.run, ["umount", "-l", arguments[-1]], capture_output=True)


class ConfigurationStore(unittest.TestCase):
    def setUp(self):
        self.pty = Pty(self)  # a line that opens, since only working settings are stored
        self.root = kit.scratch(self)
        self.folder = os.path.join(self.root, "bin")
        os.makedirs(self.folder)
        # Written by hand with LF endings: a store rewrites it with CR LF.
        self.old = kit.configuration_text(self.pty.path, ending="\n").encode()
        self.new = kit.configuration_text(self.pty.path).encode()

    def configuration(self):
        with open(os.path.join(self.folder, "ZELdrv.ini"), "rb") as f:
            return f.read()

    def install(self):
        """The driver's copy and the old file in the folder."""
        Driver(self, root=self.root, configuration=self.old.decode())

    def start(self):
        driver = Driver(self, root=self.root, configuration=False)
        port = kit.free_tcp_port()
        driver.start(platform="vnc:size=640x480:port=%d" % port)
        user = ScreenUser(port)
        self.addCleanup(user.close)
        return driver, user

    def open_setup(self, driver, user):
        emptied = driver.errors().count("status: \n")
        user.press("s", "alt")  # "Setup" empties the status before it shows the dialog
        self.assertTrue(kit.wait_until(lambda: driver.errors().count("status: \n") > emptied, 5),
                        "the setup dialog did not open: " + driver.errors())
        time.sleep(0.3)
        user.press("tab")
        user.press("tab")

    def confirm_setup(self, driver, user):
        self.open_setup(driver, user)
        user.press("space")

    def assert_refused_store(self, reason):
        driver, user = self.start()
        self.confirm_setup(driver, user)
        self.assertTrue(driver.wait_for_errors("settings: ", 5), driver.errors())
        self.assertIn("ZELdrv.ini: " + reason, driver.errors())
        # The message bar is up now; the driver serves on inside its loop.
        self.assertTrue(driver.served())
        self.assertEqual(self.configuration(), self.old)
        self.assertNotIn(TEMPORARY, os.listdir(self.folder))
        user.press("enter")  # OK on the message bar
        with Link(driver.socket_path) as link:
            link.converse()
            self.assertEqual(link.run("PortState"), b"OK\r\n")
            link.execute("Close")
        self.assertEqual(driver.wait(5), 0)

    def test_a_confirmed_dialog_stores_the_settings_whole(self):
        self.install()
        driver, user = self.start()
        self.confirm_setup(driver, user)
        self.assertTrue(kit.wait_until(lambda: self.configuration() == self.new, 5),
                        self.configuration())
        self.assertEqual(sorted(os.listdir(self.folder)), ["ZELdrv", "ZELdrv.ini"])
        self.assertNotIn("settings: ", driver.errors())

    def test_a_read_only_folder_keeps_the_old_file_and_the_driver_serves_on(self):
        refusal = mount_refusal()
        if refusal:
            self.skipTest(refusal)
        self.install()
        mount(self, "--bind", self.folder, self.folder)
        mount(self, "-o", "remount,bind,ro", self.folder)
        self.assert_refused_store("Read-only file system")

    def test_a_full_disk_keeps_the_old_file_and_the_driver_serves_on(self):
        refusal = mount_refusal()
        if refusal:
            self.skipTest(refusal)
        size = os.path.getsize(kit.program("ZELdrv")) + (1 << 20)
        mount(self, "-t", "tmpfs", "-o", "size=%d" % size, "tmpfs", self.folder)
        self.install()
        filler = os.open(os.path.join(self.folder, "filler"), os.O_WRONLY | os.O_CREAT, 0o600)
        try:
            while os.write(filler, b"\0" * 4096) > 0:
                pass
        except OSError as full:
            self.assertEqual(full.errno, errno.ENOSPC)
        finally:
            os.close(filler)
        self.assert_refused_store("No space left on device")

    def test_a_driver_killed_while_it_saves_leaves_the_old_file_or_the_new(self):
        # How long a store takes after OK, to aim the kills at it.
        self.install()
        driver, user = self.start()
        self.open_setup(driver, user)
        began = time.monotonic()
        user.press("space", settle=0)
        self.assertTrue(kit.wait_until(lambda: self.configuration() == self.new, 5, 0.001))
        store_s = time.monotonic() - began
        driver.kill()

        seen = {"old": 0, "new": 0, "temporary left": 0}
        for attempt in range(8):
            with open(os.path.join(self.folder, "ZELdrv.ini"), "wb") as f:
                f.write(self.old)
            driver, user = self.start()
            self.open_setup(driver, user)
            user.press("space", settle=0)
            time.sleep(random.uniform(0, 2 * store_s))
            driver.kill()
            found = self.configuration()
            self.assertIn(found, (self.old, self.new), "attempt %d left a broken file" % attempt)
            seen["old" if found == self.old else "new"] += 1
            seen["temporary left"] += TEMPORARY in os.listdir(self.folder)
        kit.print_measure("a store takes about %.0f ms after OK; kills within twice that left"
                          " %s" % (store_s * 1000, seen))
        driver, unused = self.start()  # whatever was left, the next driver starts from it
        self.assertTrue(driver.served())


if __name__ == "__main__":
    private = ["unshare", "-m", "--propagation", "private"]
    if (os.environ.get(PRIVATE_MOUNTS) is None and os.geteuid() == 0 and shutil.which("unshare")
            and subprocess.run(private + ["true"]).returncode == 0):
        os.environ[PRIVATE_MOUNTS] = "1"
        os.execvp("unshare", private + [sys.executable, os.path.abspath(__file__)] + sys.argv[1:])
    os.environ.setdefault(PRIVATE_MOUNTS, "0")
    unittest.main(verbosity=2)
