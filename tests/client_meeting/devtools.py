"""Reads a client's page from outside: the web engine's own protocol on 127.0.0.1 (the engine
writes its port to "DevToolsActivePort" in its data folder, see platform/browser/engine/
engine_keeper.h). The test only reads the page with it (script results); input goes through the
client's window as a person gives it.

    page = PageReader.wait(prefix, "/cla/pc", timeout=60)
    page.value("document.title")
"""

import base64
import glob
import json
import os
import socket
import struct
import time
import urllib.request


class ProtocolError(Exception):
    pass


class WebSocket:
    """A small client of RFC 6455 text messages, enough for the engine's protocol."""

    def __init__(self, url, timeout=10.0):
        assert url.startswith("ws://")
        host_port, _, path = url[5:].partition("/")
        host, _, port = host_port.partition(":")
        self.sock = socket.create_connection((host, int(port)), timeout=timeout)
        key = base64.b64encode(os.urandom(16)).decode()
        request = ("GET /%s HTTP/1.1\r\nHost: %s\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                   "Sec-WebSocket-Key: %s\r\nSec-WebSocket-Version: 13\r\n\r\n" % (path, host_port, key))
        self.sock.sendall(request.encode())
        head = b""
        while b"\r\n\r\n" not in head:
            chunk = self.sock.recv(1)
            if not chunk:
                raise ProtocolError("the engine closed the connection during the handshake")
            head += chunk
        if b" 101 " not in head.split(b"\r\n", 1)[0]:
            raise ProtocolError("handshake refused: %r" % head[:200])

    def _exact(self, n):
        data = b""
        while len(data) < n:
            chunk = self.sock.recv(n - len(data))
            if not chunk:
                raise ProtocolError("the engine closed the connection")
            data += chunk
        return data

    def send(self, text):
        payload = text.encode()
        head = bytearray([0x81])
        n = len(payload)
        if n < 126:
            head.append(0x80 | n)
        elif n < 65536:
            head.append(0x80 | 126)
            head += struct.pack(">H", n)
        else:
            head.append(0x80 | 127)
            head += struct.pack(">Q", n)
        mask = os.urandom(4)
        head += mask
        self.sock.sendall(bytes(head) + bytes(b ^ mask[i % 4] for i, b in enumerate(payload)))

    def receive(self):
        """The next whole text message."""
        parts = []
        while True:
            b0, b1 = self._exact(2)
            opcode = b0 & 0x0F
            n = b1 & 0x7F
            if n == 126:
                n = struct.unpack(">H", self._exact(2))[0]
            elif n == 127:
                n = struct.unpack(">Q", self._exact(8))[0]
            mask = self._exact(4) if b1 & 0x80 else None
            payload = self._exact(n)
            if mask:
                payload = bytes(b ^ mask[i % 4] for i, b in enumerate(payload))
            if opcode == 0x8:
                raise ProtocolError("the engine closed the connection")
            if opcode == 0x9:  # Ping: answered with the same bytes.
                self.sock.sendall(bytes([0x8A, 0x80 | len(payload)]) + b"\0\0\0\0" + payload)
                continue
            if opcode in (0x1, 0x0):
                parts.append(payload)
                if b0 & 0x80:
                    return b"".join(parts).decode()

    def close(self):
        try:
            self.sock.close()
        except OSError:
            pass


def engine_port(prefix):
    """The engine's protocol port of the client in the Wine prefix |prefix|, or None."""
    # The temporary folder is "users\<name>\Temp" in Wine's own prefixes, "AppData\Local\Temp"
    # on Windows.
    paths = []
    for temp in (("Temp",), ("AppData", "Local", "Temp")):
        paths += glob.glob(os.path.join(prefix, "drive_c", "users", "*", *temp, "TarvoLive-web-*", "data",
                                        "DevToolsActivePort"))
    for path in paths:
        try:
            with open(path) as f:
                first = f.readline().strip()
            if first.isdigit():
                return int(first)
        except OSError:
            pass
    return None


class PageReader:
    """One page of the engine, read through script results."""

    def __init__(self, ws_url):
        self.ws = WebSocket(ws_url)
        self.next_id = 1

    @classmethod
    def wait(cls, prefix, url_part, timeout=60.0):
        """Connects to the page whose address holds |url_part| once the engine shows it."""
        deadline = time.monotonic() + timeout
        last = None
        while time.monotonic() < deadline:
            port = engine_port(prefix)
            if port:
                try:
                    with urllib.request.urlopen("http://127.0.0.1:%d/json/list" % port, timeout=5) as r:
                        targets = json.load(r)
                    for t in targets:
                        if t.get("type") == "page" and url_part in t.get("url", ""):
                            return cls(t["webSocketDebuggerUrl"])
                    last = [t.get("url") for t in targets]
                except (OSError, ValueError, ProtocolError) as e:
                    last = e
            time.sleep(0.5)
        raise ProtocolError("no page with %r within %.0f s (last seen: %r)" % (url_part, timeout, last))

    def call(self, method, params=None):
        ident = self.next_id
        self.next_id += 1
        self.ws.send(json.dumps({"id": ident, "method": method, "params": params or {}}))
        while True:
            message = json.loads(self.ws.receive())
            if message.get("id") == ident:
                if "error" in message:
                    raise ProtocolError("%s: %s" % (method, message["error"]))
                return message.get("result", {})

    def value(self, expression):
        """The JSON value of |expression| in the page (None for undefined)."""
        result = self.call("Runtime.evaluate", {"expression": expression, "returnByValue": True})
        if "exceptionDetails" in result:
            raise ProtocolError("%s: %s" % (expression, result["exceptionDetails"].get("text")))
        return result.get("result", {}).get("value")

    def close(self):
        self.ws.close()
