"""Running vantrel-report --serve in tests: the program on a log, raw HTTP requests, an
event-stream client; and (from the support library, tests/support/vtest.py) the log lines
of matches as the plug-in writes them."""
import os
import re
import select
import signal
import socket
import struct
import subprocess
import threading
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from vtest import match_lines, session_start  # noqa: E402,F401  (the log's lines, for the tests that use this)

REPORT = os.environ.get("VANTREL_REPORT", "vantrel-report")


class Serve:
    """vantrel-report --serve on `log`, on a free port; its terminal lines are collected."""

    def __init__(self, log, *args, address="127.0.0.1:0", command=None, cwd=None):
        self.proc = subprocess.Popen([*(command or [REPORT]), str(log), "--serve", address, *args],
                                     stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, cwd=cwd)
        self.lines = []
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        found = self.wait_for(r"serving http://([\d.]+):(\d+)/", 30)
        self.host, self.port = found.group(1), int(found.group(2))

    def _read(self):
        for line in self.proc.stdout:
            self.lines.append(line.rstrip("\r\n"))

    def wait_for(self, pattern, timeout=5.0):
        deadline = time.time() + timeout
        while time.time() < deadline:
            for line in list(self.lines):
                found = re.search(pattern, line)
                if found:
                    return found
            if self.proc.poll() is not None and not self._reader.is_alive():
                break
            time.sleep(0.02)
        raise AssertionError(f"no line like {pattern!r} in {self.lines}")

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
        code = self.proc.wait(timeout=30)
        self._reader.join(timeout=5)
        return code

    def rss_kib(self):
        with open(f"/proc/{self.proc.pid}/status") as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        return 0

    def request(self, raw, host=None, timeout=10.0):
        """Sends raw request bytes; returns the status code (0: closed without an answer) and the whole reply."""
        with socket.create_connection((self.host, self.port), timeout=timeout) as sock:
            if isinstance(raw, str):
                raw = raw.replace("{host}", host or f"{self.host}:{self.port}").encode()
            try:
                sock.sendall(raw)
            except OSError:
                pass  # the server may close before it has read everything: the answer is what counts
            reply = b""
            try:
                while True:
                    chunk = sock.recv(65536)
                    if not chunk:
                        break
                    reply += chunk
            except OSError:
                pass
        found = re.match(rb"HTTP/1\.1 (\d+)", reply)
        return (int(found.group(1)) if found else 0), reply

    def get(self, path, host=None):
        code, reply = self.request(f"GET {path} HTTP/1.1\r\nHost: {{host}}\r\nConnection: close\r\n\r\n", host)
        return code, reply.partition(b"\r\n\r\n")[2]


# Linux's SO_TIMESTAMPNS (Python names it nowhere): the kernel stamps received data.
SO_TIMESTAMPNS = 35


class Events:
    """An /events client: the events it has received, as (id, type, data); with `last_id`,
    one that reconnects after the event of that id. `arrived` is when the data last read
    reached this machine's socket (the kernel's stamp where the system gives one, else when
    it was read): the server's delay, without the time this client takes to read many
    streams in turn. `stamps` holds, for each event, that time when the event was the last
    one of its read, else None: the kernel stamps a read with its newest data, so an event
    read together with a later one arrived at some time before, unknown."""

    def __init__(self, serve, host=None, last_id=None):
        self.sock = socket.create_connection((serve.host, serve.port), timeout=10)
        try:
            self.sock.setsockopt(socket.SOL_SOCKET, SO_TIMESTAMPNS, 1)
            self.stamped = True
        except OSError:
            self.stamped = False
        self.arrived = 0.0
        self.stamps = []
        resume = "" if last_id is None else f"Last-Event-ID: {last_id}\r\n"
        self.sock.sendall(f"GET /events HTTP/1.1\r\nHost: {host or f'{serve.host}:{serve.port}'}\r\n{resume}\r\n".encode())
        self.buffer = b""
        self.status = 0
        self.events = []
        self.closed = False
        while b"\r\n\r\n" not in self.buffer and not self.closed:
            self._receive(10)
        head, _, self.buffer = self.buffer.partition(b"\r\n\r\n")
        found = re.match(rb"HTTP/1\.1 (\d+)", head)
        self.status = int(found.group(1)) if found else 0

    def _receive(self, timeout):
        ready, _, _ = select.select([self.sock], [], [], timeout)
        if not ready:
            return False
        chunk, extra, _, _ = self.sock.recvmsg(1 << 20, 64)
        self.arrived = time.time()
        for level, kind, data in extra:
            if self.stamped and level == socket.SOL_SOCKET and kind == SO_TIMESTAMPNS and len(data) >= 16:
                seconds, nanoseconds = struct.unpack("qq", data[:16])
                self.arrived = seconds + nanoseconds / 1e9
        if not chunk:
            self.closed = True
            return False
        self.buffer += chunk
        return True

    def pump(self, timeout=0.0):
        """Reads what has arrived (waiting up to `timeout` for something) and parses whole events."""
        self._receive(timeout)
        first = len(self.events)
        while b"\n\n" in self.buffer:
            block, _, self.buffer = self.buffer.partition(b"\n\n")
            fields = {}
            for line in block.decode().split("\n"):
                name, _, value = line.partition(": ")
                fields[name] = value
            if "event" in fields:
                self.events.append((int(fields["id"]), fields["event"], fields["data"]))
                self.stamps.append(None)
        if len(self.events) > first and not self.buffer:
            self.stamps[-1] = self.arrived
        return self.events

    def wait(self, count, timeout=5.0):
        deadline = time.time() + timeout
        while len(self.events) < count and time.time() < deadline and not self.closed:
            self.pump(0.05)
        return self.events

    def close(self):
        self.sock.close()
