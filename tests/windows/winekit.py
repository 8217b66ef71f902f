"""Shared by the Windows suites: a private Wine prefix and the driver ZELdrv.exe run in it.

Each suite copies the template prefix (tests/windows/make-wine-template) into a folder of its
own, so no suite sees another's registry, COM ports or wineserver. COM ports are mapped only to
the suite's own pseudo-terminals, through the registry; never to a real serial device. The windows
are drawn nowhere, unless a suite asks for a display: then the prefix draws them on an Xvfb screen
of its own.
"""

import os
import select
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "faults"))
import faultkit as kit  # noqa: E402

WIN_BIN_DIR = os.environ.get("ZEL_WIN_BIN_DIR") or os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "..", "build-win", "bin")


WINE_FONTS = "/usr/share/wine/fonts"


def win_program(name):
    return os.path.join(WIN_BIN_DIR, name)


def win_bench(name):
    return os.path.join(WIN_BIN_DIR, "..", "bench", name)


class Xvfb:
    """A virtual X screen of its own: Xvfb picks a display number that is free and says which."""

    def __init__(self, size="1024x768x24"):
        if shutil.which("Xvfb") is None:
            raise RuntimeError("Xvfb is missing: scripts/setup windows installs it")
        ready, told = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(told), "-nolisten", "tcp", "-noreset", "-screen", "0", size],
            pass_fds=(told,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, preexec_fn=kit._die_with_parent())
        os.close(told)
        number = b""
        try:
            while not number.endswith(b"\n") and select.select([ready], [], [], 30)[0]:
                chunk = os.read(ready, 16)
                if not chunk:
                    break
                number += chunk
        finally:
            os.close(ready)
        if not number.strip().isdigit():
            self.stop()
            raise RuntimeError("Xvfb did not start")
        self.name = ":" + number.strip().decode()

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(10)


class WinePrefix:
    """A copy of the template prefix, with its own wineserver; `close` ends and removes both.
    `display=True`: the windows are drawn on an Xvfb screen of the prefix's own, by Wine itself,
    caption and frame included (no window manager)."""

    def __init__(self, display=False):
        self.screen = Xvfb() if display else None
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
        if self.screen:
            self.env["DISPLAY"] = self.screen.name
            self._add_wine_fonts()
            for change in (["delete", r"HKCU\Software\Wine\Drivers", "/v", "Graphics", "/f"],
                           ["add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N",
                            "/f"]):
                self.wine(["wine", "reg"] + change, capture_output=True, check=True)
            self.restart()  # the desktop takes its driver as it starts

    def _add_wine_fonts(self):
        """Wine's own fonts (fonts-wine: Tahoma, Marlett for the caption buttons...), which
        Debian's Wine does not find by itself, as the system's fonts folder gives them."""
        fonts = os.path.join(self.path, "drive_c", "windows", "Fonts")
        for name in os.listdir(WINE_FONTS) if os.path.isdir(WINE_FONTS) else []:
            if not os.path.lexists(os.path.join(fonts, name)):
                os.symlink(os.path.join(WINE_FONTS, name), os.path.join(fonts, name))

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
        if self.screen:
            self.screen.stop()


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
        # On a busy machine a first connect can wait long for a driver still making its windows.
        try:
            return self.zelctl("request", timeout=20).returncode == 0
        except subprocess.TimeoutExpired:
            return False

    def start(self, descriptors=None, platform=None, timeout=60):
        return super().start(descriptors, platform, timeout)

    def zelctl(self, *arguments, timeout=30):
        return subprocess.run(["wine", win_program("zelctl.exe")] + list(arguments),
                              env=self.prefix.env, stdin=subprocess.DEVNULL, capture_output=True,
                              timeout=timeout, preexec_fn=kit._die_with_parent())

    def zelctl_process(self, *arguments):
        return subprocess.Popen(["wine", win_program("zelctl.exe")] + list(arguments),
                                env=self.prefix.env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                preexec_fn=kit._die_with_parent())
