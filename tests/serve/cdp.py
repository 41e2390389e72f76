"""Headless Chromium driven through its DevTools protocol (python3-websocket), and PNG
pictures read without any imaging library."""
import json
import os
import re
import signal
import struct
import subprocess
import tempfile
import time
import urllib.parse
import urllib.request
import zlib

import websocket


class Chromium:
    """One headless browser with a fresh profile; tabs are opened with open()."""

    def __init__(self, binary):
        # Chromium's helper processes can still write to the profile for a moment after the
        # browser ends: they run in a process group of their own, ended with it, and what
        # they leave does not fail the clean-up.
        self.profile = tempfile.TemporaryDirectory(prefix="vantrel-chromium-", ignore_cleanup_errors=True)
        self.proc = subprocess.Popen(
            [binary, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
             "--disable-component-update", "--disable-sync", "--hide-scrollbars", "--force-device-scale-factor=1",
             "--remote-debugging-port=0", f"--user-data-dir={self.profile.name}", "about:blank"],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, start_new_session=True)
        deadline = time.time() + 60
        self.port = None
        while time.time() < deadline and self.port is None:
            line = self.proc.stderr.readline()
            if not line and self.proc.poll() is not None:
                break
            found = re.search(r"DevTools listening on ws://127\.0\.0\.1:(\d+)/", line)
            if found:
                self.port = int(found.group(1))
        if self.port is None:
            raise RuntimeError("chromium did not start its DevTools server")

    def open(self, url):
        # The address is one query value: its own query must not be read as the endpoint's.
        quoted = urllib.parse.quote(url, safe=":/")
        request = urllib.request.Request(f"http://127.0.0.1:{self.port}/json/new?{quoted}", method="PUT")
        with urllib.request.urlopen(request, timeout=30) as reply:
            target = json.load(reply)
        return Tab(target["webSocketDebuggerUrl"])

    def close(self):
        self.proc.terminate()
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        try:
            os.killpg(self.proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.profile.cleanup()


class Tab:
    def __init__(self, ws_url):
        self.ws = websocket.create_connection(ws_url, timeout=30, suppress_origin=True)
        self.next_id = 0
        self.notices = []  # events of the protocol, kept for the caller

    def call(self, method, **params):
        self.next_id += 1
        self.ws.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            message = json.loads(self.ws.recv())
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise RuntimeError(f"{method}: {message['error']}")
                return message.get("result", {})
            self.notices.append(message)

    def eval(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True)
        return result.get("result", {}).get("value")

    def wait_for(self, expression, timeout):
        """Polls `expression` until it is true; returns the seconds it took, or None."""
        start = time.time()
        while time.time() - start < timeout:
            if self.eval(expression):
                return time.time() - start
            time.sleep(0.02)
        return None

    def close(self):
        self.ws.close()


def read_png(data):
    """(width, height, rows of RGBA tuples) of an 8-bit RGB or RGBA PNG."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    at, idat, width, height, kind = 8, b"", 0, 0, 6
    while at < len(data):
        length, name = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if name == b"IHDR":
            width, height, depth, kind = struct.unpack(">IIBB", body[:10])
            assert depth == 8 and kind in (2, 6)
        elif name == b"IDAT":
            idat += body
        at += 12 + length
    channels = 4 if kind == 6 else 3
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        filter_type = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            left = line[x - channels] if x >= channels else 0
            up = previous[x]
            corner = previous[x - channels] if x >= channels else 0
            if filter_type == 1:
                line[x] = (line[x] + left) & 0xFF
            elif filter_type == 2:
                line[x] = (line[x] + up) & 0xFF
            elif filter_type == 3:
                line[x] = (line[x] + (left + up) // 2) & 0xFF
            elif filter_type == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[x] = (line[x] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 0xFF
        rows.append([tuple(line[i:i + channels]) + ((255,) if channels == 3 else ()) for i in range(0, stride, channels)])
        previous = line
    return width, height, rows
