#!/usr/bin/env python3
"""The same round trips over both links, in turns: link_roundtrip against a private Linux driver
(local socket) and link_roundtrip.exe against a private ZELdrv.exe under Wine (DDE). Both drivers
name a port that does not exist, so no line is touched; each run prints its two medians.

    compare_links.py [--runs R] [--count N]     (defaults: 3 runs of 2000 round trips)
"""

import argparse
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "windows"))
import winekit  # noqa: E402
from winekit import kit  # noqa: E402


class Cleanups:
    """What the drivers register to be undone, run in reverse at the end."""

    def __init__(self):
        self.steps = []

    def addCleanup(self, step, *arguments):  # noqa: N802 (the name the drivers call)
        self.steps.append((step, arguments))

    def run(self):
        for step, arguments in reversed(self.steps):
            step(*arguments)


def figures(output):
    """{"poke+request": us, "request": us} from link_roundtrip's two lines."""
    return {line.rsplit(" ", 2)[0]: int(line.rsplit(" ", 2)[1]) for line in output.splitlines()}


def measure(command, env, count):
    result = subprocess.run(command + [str(count)], env=env, stdin=subprocess.DEVNULL,
                            capture_output=True, text=True, timeout=600)
    if result.returncode != 0:
        raise RuntimeError("%s failed: %s" % (command[-1], result.stderr.strip()))
    return figures(result.stdout)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--count", type=int, default=2000)
    options = parser.parse_args()

    cleanups = Cleanups()
    prefix = winekit.WinePrefix()
    try:
        linux = kit.Driver(cleanups).start()
        wine = winekit.WineDriver(cleanups, prefix, port="COM300").start(timeout=60)
        sides = [
            ("local link", [kit.program(os.path.join("..", "bench", "link_roundtrip"))],
             linux.environment()),
            ("DDE, Wine", ["wine", winekit.win_bench("link_roundtrip.exe")], prefix.env),
        ]
        print("median of %d round trips, microseconds" % options.count)
        for run in range(1, options.runs + 1):
            for name, command, env in sides:
                result = measure(command, env, options.count)
                print("run %d  %-10s  poke+request %6d  request %6d"
                      % (run, name, result["poke+request"], result["request"]), flush=True)
        wine.zelctl("run", "Close")
        wine.wait(10)
    finally:
        cleanups.run()
        prefix.close()


if __name__ == "__main__":
    main()
