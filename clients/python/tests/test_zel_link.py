"""zel_link against a real driver: a private copy of ZELdrv serving its own socket directory,
its port absent."""

import os
import socket
import sys
import tempfile
import tomllib

import pytest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))
sys.path.insert(0, os.path.join(HERE, "..", "..", "..", "tests", "faults"))

import faultkit  # noqa: E402
import zel_link  # noqa: E402
from zel_link import Link, LinkError, NoDriver  # noqa: E402

with open(os.path.join(HERE, "..", "pyproject.toml"), "rb") as f:
    VERSION = tomllib.load(f)["project"]["version"]


class _Cleanups:
    """What faultkit expects of a test case, for a pytest fixture."""

    def __init__(self):
        self.calls = []

    def addCleanup(self, function, *arguments):
        self.calls.append((function, arguments))

    def run(self):
        for function, arguments in reversed(self.calls):
            function(*arguments)


@pytest.fixture(scope="module")
def driver():
    cleanups = _Cleanups()
    try:
        yield faultkit.Driver(cleanups).start()
    finally:
        cleanups.run()


@pytest.fixture(autouse=True)
def runtime_dir(driver, monkeypatch):
    monkeypatch.setenv("XDG_RUNTIME_DIR", driver.links)


@pytest.mark.parametrize("runtime, expected", [
    ("/run/user/7", "/run/user/7/ZELdrv2"),
    ("", "/tmp/zel-%d/ZELdrv2" % os.getuid()),
    (None, "/tmp/zel-%d/ZELdrv2" % os.getuid()),
])
def test_socket_path(monkeypatch, runtime, expected):
    if runtime is None:
        monkeypatch.delenv("XDG_RUNTIME_DIR")
    else:
        monkeypatch.setenv("XDG_RUNTIME_DIR", runtime)
    assert zel_link.socket_path("ZELdrv2") == expected


def test_poke_then_request_reads_the_emptied_item():
    with Link() as link:
        link.poke("0205 0001 1234AB")
        assert link.request() == "\r\n"


@pytest.mark.parametrize("word, outcome", [
    ("Version", VERSION + "\r\n"),
    ("PortState", "Fail\r\n"),
])
def test_run_answers_the_outcome(word, outcome):
    with Link() as link:
        assert link.run(word) == outcome
        assert link.request() == outcome  # the outcome stays in the item


@pytest.mark.parametrize("options, transaction, reason", [
    ({"topic": "ZELelsewhere"}, None, "no such topic"),
    ({"item": "OtherItem"}, "request", "no such item"),
    ({"item": "OtherItem"}, "poke", "no such item"),
])
def test_refusals_carry_the_reason(options, transaction, reason):
    with pytest.raises(LinkError) as refused:
        with Link(**options) as link:
            if transaction == "poke":
                link.poke("0205 0001 1234AB")
            else:
                getattr(link, transaction)()
    assert refused.type is LinkError
    assert refused.value.reason == reason


def test_topic_is_matched_regardless_of_case():
    with Link(topic="zeldriver") as link:
        assert link.run("PortState") == "Fail\r\n"


def test_watch_sees_the_pokes_of_another_link():
    with Link() as watcher:
        notices = watcher.watch(timeout=5)
        with Link() as poker:
            poker.poke("0205 0001 1234AB")
        # The poke sets the item, then empties it: two notices, each read after the poke.
        assert [next(notices), next(notices)] == ["\r\n", "\r\n"]
        assert list(watcher.watch(timeout=0.5)) == []  # nothing more
        notices.close()
        assert watcher.run("PortState") == "Fail\r\n"  # the link goes on after the watch


def test_monitor_shows_the_frame_written_and_its_echo(monkeypatch):
    cleanups = _Cleanups()
    try:
        sim = faultkit.Sim(cleanups, "--station", "0205")
        line = faultkit.Driver(cleanups, port=sim.device).start()
        monkeypatch.setenv("XDG_RUNTIME_DIR", line.links)
        with Link() as link:
            lines = link.monitor(timeout=5)
            link.poke("0205 0001 1234AB")
            assert link.run("Send") == "sended\r\n"
            written, echoed = next(lines), next(lines)
            lines.close()
    finally:
        cleanups.run()
    frame = "05 02 01 00 03 0B 00 12 34 AB F1 00  |........4...|"
    assert written.split(" ", 2)[1:] == ["W", frame]
    assert echoed.split(" ", 2)[1:] == ["R", frame]
    assert float(written.split()[0]) <= float(echoed.split()[0])


def test_no_driver(monkeypatch):
    with tempfile.TemporaryDirectory() as empty:
        monkeypatch.setenv("XDG_RUNTIME_DIR", empty)
        with pytest.raises(NoDriver):
            Link()
        # A socket file left behind by a killed driver: nobody listens on it.
        with socket.socket(socket.AF_UNIX) as stale:
            stale.bind(os.path.join(empty, "ZELdrv"))
        with pytest.raises(NoDriver):
            Link()


def test_close_answers_then_no_driver_serves(monkeypatch):
    cleanups = _Cleanups()
    try:
        closing = faultkit.Driver(cleanups, name="ZELdrv2").start()
        monkeypatch.setenv("XDG_RUNTIME_DIR", closing.links)
        with Link("ZELdrv2") as link:
            assert link.run("Close") == "OK\r\n"  # asked before the driver ended
            assert closing.wait(10) == 0
            with pytest.raises(zel_link.LinkClosed):
                link.request()
        with pytest.raises(NoDriver):
            Link("ZELdrv2")
    finally:
        cleanups.run()
