#!/usr/bin/python3
"""The benchmark's poke/Send/Receive exchange done directly on the line with pyserial.

usage: serial_exchange.py DEVICE [COUNT]

Builds the frame from the same text the driver is poked with, drops stale input, writes the frame,
reads its echo and then the station's reply, each up to its known length. Prints one line
"exchange_ms <ms>" per exchange. Exit status: 1 when an echo or a reply is wrong or missing, 2 on
a usage error, 4 when pyserial is not installed.
"""

import sys
import time

try:
    import serial
except ImportError:
    print("pyserial is not installed (Debian: python3-serial)", file=sys.stderr)
    sys.exit(4)

TEXT = "0205 0001 1234AB"
REPLY = bytes.fromhex("01 00 05 02 03 0B 00 12 34 AB F1 00")
PAUSE = 0.2  # lets a late reply of the previous exchange end before the next one


def sum16(data):
    total = sum(data) & 0xFFFF
    return bytes([total & 0xFF, total >> 8])


def frame(text):
    addressee, sender, data = text.split(" ")
    data = bytes.fromhex(data)
    header = bytes.fromhex(addressee)[::-1] + bytes.fromhex(sender)[::-1] + bytes([len(data)])
    return header + sum16(header) + (data + sum16(data) if data else b"")


def exchange(port):
    port.reset_input_buffer()
    sent = frame(TEXT)
    port.write(sent)
    port.flush()
    echo = port.read(len(sent))
    if echo != sent:
        raise RuntimeError("echo %s instead of %s" % (echo.hex(" "), sent.hex(" ")))
    header = port.read(7)
    rest = port.read(header[4] + 2 if len(header) == 7 and header[4] else 0)
    if header + rest != REPLY:
        raise RuntimeError("reply %s instead of %s" % ((header + rest).hex(" "), REPLY.hex(" ")))


def main():
    if len(sys.argv) not in (2, 3):
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    count = int(sys.argv[2]) if len(sys.argv) == 3 else 5
    with serial.Serial(sys.argv[1], 9600, timeout=1.0) as port:
        for _ in range(count):
            start = time.monotonic()
            try:
                exchange(port)
            except RuntimeError as fault:
                print("exchange failed: %s" % fault, file=sys.stderr)
                return 1
            print("exchange_ms %.3f" % ((time.monotonic() - start) * 1000), flush=True)
            time.sleep(PAUSE)
    return 0


if __name__ == "__main__":
    sys.exit(main())
