"""Shared by the Windows suites: a private Wine prefix and the driver ZELdrv.exe run in it.

Each suite copies the template prefix (tests/windows/make-wine-template) into a folder of its
own, so no suite sees another's registry, COM ports or wineserver. COM ports are mapped only to
the suite's own pseudo-terminals, through the registry; never to a real serial device.
"""

import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "faults"))
import faultkit as kit  # noqa: E402

WIN_BIN_DIR = os.environ.get("ZEL_WIN_BIN_DIR") or os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "..", "build-win", "bin")


def win_program(name):
    return os.path.join(WIN_BIN_DIR, name)


class WinePrefix:
    """A copy of the template prefix, with its own wineserver; `close` ends and removes both."""

    def __init__(self):
        template = os.environ.get("ZEL_WINE_TEMPLATE")
        self.path = tempfile.mkdtemp(prefix="zelwine-")
        if template and os.path.exists(os.path.join(template, ".ready")):
            subprocess.run(["cp", "-a", template + "/.", self.path], check=True)
        else:
            subprocess.run([os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                         "make-wine-template"), self.path], check=True)
        self.env = dict(os.environ, WINEPREFIX=self.path, WINEDEBUG="-all")
        self.env.pop("DISPLAY", None)
        self.env.pop("WAYLAND_DISPLAY", None)
        self.wine(["wineserver", "-p5"])  # stays up between the programs, for 5 s of idle

    def wine(self, command, timeout=60, **options):
        return subprocess.run(command, env=self.env, timeout=timeout,
                              preexec_fn=kit._die_with_parent(), **options)

    def map_port(self, name, device):
        """COM port `name` opens `device` (a pseudo-terminal) for the programs started next."""
        assert device.startswith(("/dev/pts/", "/tmp/")), device
        self.wine(["wine", "reg", "add", r"HKLM\Software\Wine\Ports", "/v", name, "/d", device,
                   "/f"], capture_output=True, check=True)
        self.restart()

    def restart(self):
        """Ends every program of the prefix and its wineserver: the next start reads the
        registry afresh."""
        self.wine(["wineserver", "-k"])
        self.wine(["wineserver", "-w"])

    def close(self):
        self.restart()
        shutil.rmtree(self.path, True)


class WineDriver(kit.Driver):
    """ZELdrv.exe in a private folder of the prefix's machine, commanded by zelctl.exe."""

    def __init__(self, test, prefix, port="COM9", **options):
        self.prefix = prefix
        super().__init__(test, port=port, name="ZELdrv.exe", **options)

    def _copy_program(self):
        shutil.copy2(win_program("ZELdrv.exe"), self.program)

    def launch(self, descriptors=None, platform=None):
        self._errors = open(self._error_path, "ab")
        self.process = subprocess.Popen(["wine", self.program], env=self.prefix.env,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=self._errors, preexec_fn=kit._die_with_parent())
        return self

    def _answers(self):
        if self.process.poll() is not None:
            raise AssertionError("driver ended with %s at start; it wrote:\n%s"
                                 % (self.process.returncode, self.errors()))
        return self.zelctl("request", timeout=10).returncode == 0

    def zelctl(self, *arguments, timeout=30):
        return subprocess.run(["wine", win_program("zelctl.exe")] + list(arguments),
                              env=self.prefix.env, stdin=subprocess.DEVNULL, capture_output=True,
                              timeout=timeout, preexec_fn=kit._die_with_parent())

    def zelctl_process(self, *arguments):
        return subprocess.Popen(["wine", win_program("zelctl.exe")] + list(arguments),
                                env=self.prefix.env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                preexec_fn=kit._die_with_parent())
