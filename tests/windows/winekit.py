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


def win_bench(name):
    return os.path.join(WIN_BIN_DIR, "..", "bench", name)


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
        self._start()

    def wine(self, command, timeout=60, **options):
        return subprocess.run(command, env=self.env, timeout=timeout,
                              preexec_fn=kit._die_with_parent(), **options)

    def _start(self):
        """The wineserver and the prefix's own services, up before any program under test. They
        outlive the program that started them and keep its standard streams open: started by a
        program of ours with captured output, they would keep its pipes from ever ending."""
        quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                     stderr=subprocess.DEVNULL)
        self.wine(["wineserver", "-p"], **quiet)
        self.wine(["wine", "cmd", "/c", "exit"], **quiet)

    def map_ports(self, ports):
        """Each COM port of `ports` (name: pseudo-terminal) opens its terminal for the programs
        started next. Raises unless Wine made every link as asked."""
        entries = []
        for name, device in ports.items():
            assert device.startswith(("/dev/pts/", "/tmp/")), device
            entries.append('"%s"="%s"' % (name, device))
        registry = os.path.join(self.path, "zel-ports.reg")
        with open(registry, "w") as file:
            file.write("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n" +
                       "\n".join(entries) + "\n")
        self.wine(["wine", "reg", "import", registry], capture_output=True, check=True)
        self.restart()  # Wine's mount manager reads the mappings as the server starts

        def mapped(name):
            link = os.path.join(self.path, "dosdevices", name.lower())
            return os.path.islink(link) and os.readlink(link) == ports[name]

        for name in ports:
            if not kit.wait_until(lambda: mapped(name), 30, 0.1):
                raise RuntimeError("%s is not mapped to its terminal; no COM port is opened" % name)

    def map_port(self, name, device):
        self.map_ports({name: device})

    def is_mapped(self, name):
        return os.path.lexists(os.path.join(self.path, "dosdevices", name.lower()))

    def restart(self):
        """Ends every program of the prefix and its wineserver: the next start reads the
        registry afresh."""
        self._stop()
        self._start()

    def _stop(self):
        self.wine(["wineserver", "-k"])
        self.wine(["wineserver", "-w"])

    def close(self):
        self._stop()
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
