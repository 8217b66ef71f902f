"""The Debian package as a user gets it: CPack makes it from the build into a scratch folder, it is
unpacked into a private root (dpkg -x), and the programs it installed are run from there: zelctl,
and the driver on a simulated instrument line (zelsim from the build).

Usage: test_package_install.py BUILD_DIR VERSION CPACK
"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest

BUILD_DIR, VERSION, CPACK = sys.argv[1:4]
del sys.argv[1:4]
os.environ.setdefault("ZEL_BIN_DIR", os.path.join(BUILD_DIR, "bin"))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "faults"))
import faultkit as kit  # noqa: E402

PROGRAMS = ["ZELdrv", "ZELcli", "zelctl", "zelsim"]
# Where each installed file belongs, below the root the package is unpacked into.
PLACES = [os.path.join("usr/bin", name) for name in PROGRAMS] + [
    "usr/share/applications/zeldrv.desktop",
    "usr/share/applications/zelcli.desktop",
    "usr/share/icons/hicolor/scalable/apps/zel.svg",
    "usr/share/doc/zel/examples/ZELdrv.ini",
]
FHS_USR = ["bin", "lib", "share"]
SETTING_KEYS = ["PortNumber", "TransferRate", "StopBits", "Paritet", "LatencyPeriod",
                "DTRControl", "RTSControl", "WriteTimeOutMultiplier", "WriteTimeOutConstant"]
# Linked by the programs, so dpkg-shlibdeps must have put them among the dependencies.
LINKED = ["libc6", "libstdc++6", "libqt6core6", "libqt6network6", "libqt6widgets6"]


def run(command, timeout=60, **options):
    return subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True,
                          timeout=timeout, **options)


def built_programs(folder):
    """The executables CMake built into `folder` (tests and benchmarks), by file name."""
    names = set()
    for parent, _, files in os.walk(folder):
        if "CMakeFiles" in parent:
            continue
        for name in files:
            path = os.path.join(parent, name)
            if os.access(path, os.X_OK) and not name.endswith((".py", ".sh", ".cmake")):
                names.add(name)
    return names


class PackageInstall(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp(prefix="zelpackage-")
        out = os.path.join(cls.scratch, "out")
        made = run([CPACK, "--config", os.path.join(BUILD_DIR, "CPackConfig.cmake"), "-B", out],
                   timeout=100)
        if made.returncode != 0:
            shutil.rmtree(cls.scratch, True)
            raise AssertionError("cpack failed:\n" + made.stdout.decode() + made.stderr.decode())
        architecture = run(["dpkg", "--print-architecture"]).stdout.decode().strip()
        cls.package = os.path.join(out, "zel_%s_%s.deb" % (VERSION, architecture))
        cls.root = os.path.join(cls.scratch, "root")
        unpacked = run(["dpkg", "-x", cls.package, cls.root])
        if unpacked.returncode != 0:
            shutil.rmtree(cls.scratch, True)
            raise AssertionError("dpkg -x failed: " + unpacked.stderr.decode())
        cls.installed = sorted(
            os.path.relpath(os.path.join(parent, name), cls.root)
            for parent, _, files in os.walk(cls.root) for name in files)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.scratch, True)

    def field(self, name):
        return run(["dpkg-deb", "--field", self.package, name]).stdout.decode().strip()

    def test_control_fields(self):
        self.assertEqual(self.field("Package"), "zel")
        self.assertEqual(self.field("Version"), VERSION)
        self.assertTrue(self.field("Maintainer"))
        self.assertEqual(self.field("Section"), "electronics")
        self.assertIn("RS-232", self.field("Description").splitlines()[0])
        depends = [entry.split()[0] for entry in self.field("Depends").split(", ")]
        for library in LINKED:
            self.assertIn(library, depends)

    def test_files_in_their_places(self):
        for place in PLACES:
            self.assertIn(place, self.installed)
        for name in PROGRAMS:
            self.assertTrue(os.access(os.path.join(self.root, "usr/bin", name), os.X_OK), name)
        # Everything in the distribution's own tree: nothing in /usr/local, /etc or /opt.
        outside = [path for path in self.installed
                   if path.split("/")[:1] != ["usr"] or path.split("/")[1] not in FHS_USR]
        self.assertEqual(outside, [])
        with open(os.path.join(self.root, "usr/share/doc/zel/examples/ZELdrv.ini"), "rb") as f:
            lines = f.read().split(b"\r\n")
        self.assertEqual(lines[-1], b"", "the last line does not end in CR LF")
        self.assertEqual([line.split(b"=", 1)[0].decode() for line in lines[:-1]], SETTING_KEYS)
        self.assertFalse(any(b"\n" in line for line in lines), "a line ends in LF alone")

    def test_no_test_or_benchmark_program(self):
        unwanted = (built_programs(os.path.join(BUILD_DIR, "tests"))
                    | built_programs(os.path.join(BUILD_DIR, "bench")) | {"zelshots"})
        self.assertTrue(unwanted, "found no test programs in the build to compare with")
        leaked = [path for path in self.installed if os.path.basename(path) in unwanted]
        self.assertEqual(leaked, [])

    def test_desktop_entries(self):
        entries = [os.path.join(self.root, "usr/share/applications", name)
                   for name in ("zeldrv.desktop", "zelcli.desktop")]
        for entry, program in zip(entries, ("ZELdrv", "ZELcli")):
            with open(entry, encoding="utf-8") as f:
                self.assertIn("Exec=%s\n" % program, f.read())
        if not shutil.which("desktop-file-validate"):
            self.skipTest("desktop-file-validate (desktop-file-utils) is not installed")
        checked = run(["desktop-file-validate"] + entries)
        self.assertEqual(checked.returncode, 0, checked.stdout.decode() + checked.stderr.decode())
        self.assertEqual(checked.stdout + checked.stderr, b"")

    def test_installed_programs_run(self):
        bin_dir = os.path.join(self.root, "usr/bin")
        zelctl = os.path.join(bin_dir, "zelctl")
        shown = run([zelctl, "--help"])
        self.assertEqual(shown.returncode, 0, shown.stderr.decode())
        self.assertIn(b"request", shown.stdout + shown.stderr)

        sim = kit.Sim(self, "--station", "0205")
        # The driver reads the file beside its program; a private configuration folder keeps the
        # user's own settings out of the test.
        with open(os.path.join(bin_dir, "ZELdrv.ini"), "w", newline="") as f:
            f.write(kit.configuration_text(sim.device))
        self.addCleanup(os.unlink, os.path.join(bin_dir, "ZELdrv.ini"))
        links = tempfile.mkdtemp(prefix="run-", dir=self.scratch)
        os.chmod(links, 0o700)
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=links,
                   XDG_CONFIG_HOME=tempfile.mkdtemp(prefix="config-", dir=self.scratch))
        env.pop("DISPLAY", None)
        env.pop("WAYLAND_DISPLAY", None)
        errors = open(os.path.join(self.scratch, "driver.err"), "wb+")
        self.addCleanup(errors.close)
        driver = subprocess.Popen([os.path.join(bin_dir, "ZELdrv")], env=env,
                                  stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                  stderr=errors)
        self.addCleanup(lambda: driver.poll() is None and (driver.kill(), driver.wait(10)))

        def zelctl_says(*actions):
            done = run([zelctl, "--timeout", "5000"] + list(actions), env=env, timeout=30)
            return done.returncode, done.stdout

        def served():
            self.assertIsNone(driver.poll(), "the driver ended at start")
            return zelctl_says("request")[0] == 0
        self.assertTrue(kit.wait_until(served, 15, 0.05), "the installed driver did not serve")

        self.assertEqual(zelctl_says("run", "PortState"), (0, b"OK\r\n"))
        self.assertEqual(zelctl_says("run", "Version"), (0, VERSION.encode() + b"\r\n"))
        self.assertEqual(zelctl_says("poke", "0205 0001 1234AB", "run", "Send"),
                         (0, b"sended\r\n"))
        code, reply = zelctl_says("run", "Receive")
        self.assertEqual(code, 0)
        self.assertTrue(reply.startswith(b"0001 0205 "), reply)
        self.assertEqual(zelctl_says("run", "Close"), (0, b"OK\r\n"))
        try:
            self.assertEqual(driver.wait(10), 0)
        except subprocess.TimeoutExpired:
            driver.send_signal(signal.SIGKILL)
            self.fail("the driver did not end after Close")


if __name__ == "__main__":
    unittest.main(verbosity=2)
