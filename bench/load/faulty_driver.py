#!/usr/bin/python3
"""A stand-in driver that serves the link protocol and breaks it once, on purpose.

zelload runs it in place of ZELdrv (same socket, same protocol) to show that each kind of fault is
caught. ZEL_LOAD_FAULT picks the fault, on the 50th request (or notice) served:

  none      serve correctly
  misroute  send the answer to another connection, with its id
  reorder   send the answer after the connection's next answer
  drop      never send the answer
  leak      answer with the text poked last, as if a poke's text showed through
  notice    leave out one notice
  close     close the connection instead of answering
"""

import os
import selectors
import socket
import struct
import sys

ITEM = b"ZELDDEItem"
RELEASE = b"2.32"
FAULT = os.environ.get("ZEL_LOAD_FAULT", "none")
FAULT_AT = 50


def message(kind, ident, body=b""):
    return struct.pack("<IcI", 5 + len(body), kind, ident) + body


def item_field(name):
    return struct.pack("<H", len(name)) + name + struct.pack("<I", 1)


class Driver:
    def __init__(self, path):
        self.selector = selectors.DefaultSelector()
        self.listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.listener.bind(path)
        self.listener.listen(64)
        self.listener.setblocking(False)
        self.selector.register(self.listener, selectors.EVENT_READ)
        # [socket, input bytes, output bytes, advise id or None, where the last answer starts]
        self.connections = []
        self.item = None  # no line yet
        self.poked = b""
        self.requests = 0
        self.notices = 0
        self.faulted = False
        self.closing = False

    def send(self, connection, data):
        connection[4] = len(connection[2])
        connection[2] += data

    def set_item(self, text):
        self.item = text
        for connection in self.connections:
            if connection[3] is None:
                continue
            self.notices += 1
            if FAULT == "notice" and self.notices == FAULT_AT:
                self.faulted = True
                continue
            self.send(connection, message(b"v", connection[3], item_field(ITEM)))

    def request(self, connection, ident, name):
        if name != ITEM:
            self.send(connection, message(b"n", ident, b"no such item"))
            return
        self.requests += 1
        text = b"" if self.item is None else self.item + b"\r\n"
        answer = message(b"d", ident, text)
        others = [c for c in self.connections if c is not connection]
        due = FAULT != "none" and not self.faulted and self.requests >= FAULT_AT
        if due and FAULT == "reorder" and connection[2]:
            # Before the answer still waiting to go out on this connection.
            at = connection[4]
            connection[2][at:at] = answer
        elif due and FAULT == "misroute" and others:
            self.send(others[0], answer)
        elif due and FAULT == "leak":
            self.send(connection, message(b"d", ident, self.poked + b"\r\n"))
        elif due and FAULT == "close":
            self.drop(connection)
        elif due and FAULT == "drop":
            pass
        else:
            self.send(connection, answer)
            return
        self.faulted = True

    def serve(self, connection, kind, ident, body):
        if kind in b"PRAU":
            length = struct.unpack_from("<H", body)[0]
            name, text = body[2 : 2 + length], body[6 + length :]
        if kind == b"C" or kind in b"AU":
            if kind == b"A":
                connection[3] = ident
            self.send(connection, message(b"k", ident))
        elif kind == b"P":
            self.poked = text.split(b"\0")[0]
            self.set_item(self.poked)
            self.set_item(b"")
            self.send(connection, message(b"k", ident))
        elif kind == b"R":
            self.request(connection, ident, name)
        elif kind == b"E":
            word = body.split(b"\0")[0].splitlines()[0] if body else b""
            if word == b"Version":
                self.set_item(RELEASE)
            elif word == b"Close":
                self.set_item(b"OK")
                self.closing = True
            self.send(connection, message(b"k", ident))

    def drop(self, connection):
        self.selector.unregister(connection[0])
        connection[0].close()
        self.connections.remove(connection)

    def read(self, connection):
        try:
            data = connection[0].recv(65536)
        except BlockingIOError:
            return
        if not data:
            self.drop(connection)
            return
        connection[1] += data
        while len(connection[1]) >= 4 and connection in self.connections:
            size = struct.unpack_from("<I", connection[1])[0]
            if len(connection[1]) < 4 + size:
                break
            kind, ident = connection[1][4:5], struct.unpack_from("<I", connection[1], 5)[0]
            body = bytes(connection[1][9 : 4 + size])
            del connection[1][: 4 + size]
            self.serve(connection, kind, ident, body)

    def flush(self):
        for connection in list(self.connections):
            if connection[2]:
                try:
                    sent = connection[0].send(connection[2])
                    del connection[2][:sent]
                except BlockingIOError:
                    pass
                except OSError:
                    self.drop(connection)

    def run(self):
        while not (self.closing and not any(c[2] for c in self.connections)):
            waiting = self.closing or any(c[2] for c in self.connections)
            for key, _ in self.selector.select(timeout=0.01 if waiting else None):
                if key.fileobj is self.listener:
                    client, _ = self.listener.accept()
                    client.setblocking(False)
                    connection = [client, bytearray(), bytearray(), None, 0]
                    self.connections.append(connection)
                    self.selector.register(client, selectors.EVENT_READ, connection)
                elif key.data in self.connections:
                    self.read(key.data)
            self.flush()


def main():
    path = os.path.join(os.environ["XDG_RUNTIME_DIR"], os.path.basename(sys.argv[0]))
    if os.path.exists(path):
        os.unlink(path)
    Driver(path).run()
    os.unlink(path)


if __name__ == "__main__":
    main()
