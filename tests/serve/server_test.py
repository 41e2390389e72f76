"""vantrel-report --serve as a whole program: bad and hostile requests answered or refused
while an event client keeps receiving its events; the file followed through its changes,
with the terminal and the text files telling; exit statuses."""
import http.client
import json
import os
import socket
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, os.path.dirname(__file__))
from serve_support import REPORT, Events, Serve, match_lines, session_start  # noqa: E402
from vtest import SERVE_EPOCH, stamp  # noqa: E402  (on the path through serve_support)


class ServeTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory(prefix="vantrel-serve-")
        self.log = Path(self.dir.name) / "VantrelLog.txt"

    def tearDown(self):
        self.dir.cleanup()

    def append(self, text):
        with open(self.log, "a", newline="") as log:
            log.write(text)

    def test_hostile_requests_are_refused_while_events_flow(self):
        self.append(session_start(0) + match_lines(1))
        serve = Serve(self.log)
        try:
            events = Events(serve)
            self.assertEqual(events.status, 200)
            hostile = {
                "GET /../etc/passwd HTTP/1.1\r\nHost: {host}\r\n\r\n": {404},
                "GET /overlay/../../../etc/passwd HTTP/1.1\r\nHost: {host}\r\n\r\n": {404},
                "GET /" + "a" * 100_000 + " HTTP/1.1\r\nHost: {host}\r\n\r\n": {431, 0},
                "GET / HTTP/1.1\r\nHost: {host}\r\n" + "X-Big: " + "b" * 100_000 + "\r\n\r\n": {431, 0},
                "GET / HTTP/1.1\r\nHost: {host}\r\n" + "X-Many: c\r\n" * 5000 + "\r\n": {431, 0},
                "POST / HTTP/1.1\r\nHost: {host}\r\nContent-Length: 2\r\n\r\nhi": {405},
                "DELETE /api/history.json HTTP/1.1\r\nHost: {host}\r\n\r\n": {405},
                "GET /api/history.json HTTP/1.1\r\nHost: rebound.example:%d\r\n\r\n" % serve.port: {403},
                "GET /events HTTP/1.1\r\nHost: rebound.example:%d\r\n\r\n" % serve.port: {403},
                "GET /api/history.json HTTP/1.0\r\n\r\n": {403},
                "BREW / HTCPCP/1.0\r\n\r\n": {400, 0},
            }
            for raw, codes in hostile.items():
                code, reply = serve.request(raw)
                self.assertIn(code, codes, raw[:80])
                if code == 405:
                    self.assertIn(b"\r\nAllow: GET, HEAD\r\n", reply)
                self.assertNotIn(b"Access-Control", reply)
                self.assertNotIn(b"root:", reply)
            # A thousand connections opened and left idle: the oldest make room, a new
            # client is still answered, and the event client still receives.
            idle = [socket.create_connection((serve.host, serve.port)) for _ in range(1000)]
            code, body = serve.get("/api/history.json")
            self.assertEqual(code, 200)
            self.assertEqual(len(json.loads(body)["matches"]), 1)
            for n in range(2, 5):
                self.append(match_lines(n, before=990.0 + n, wins=n))
            deadline = time.time() + 3
            while time.time() < deadline and sum(e[1] == "match" for e in events.pump(0.05)) < 3:
                pass
            got = events.events
            # A rating read with its match comes in the match's event; a later one in its own.
            self.assertEqual([json.loads(e[2])["index"] for e in got if e[1] == "match"], [1, 2, 3])
            self.assertEqual([e[0] for e in got], list(range(1, len(got) + 1)))
            # A client that reconnects gets exactly the events after the last it had.
            resumed = Events(serve, last_id=2)
            self.assertEqual(resumed.wait(len(got) - 2, 3), got[2:])
            resumed.close()
            for sock in idle:
                sock.close()
            # Event clients beyond the limit (256) get 503; the first keeps receiving.
            more = [Events(serve) for _ in range(255)]
            self.assertEqual({e.status for e in more}, {200})
            self.assertEqual(Events(serve).status, 503)
            for stream in more:
                stream.close()
            self.append(match_lines(5, before=995.0, wins=5))
            deadline = time.time() + 3
            while time.time() < deadline and sum(e[1] == "match" for e in events.pump(0.05)) < 4:
                pass
            self.assertEqual(sum(e[1] == "match" for e in events.events), 4)
            # HEAD: the length of GET's body, no body.
            code, reply = serve.request("HEAD /api/history.json HTTP/1.1\r\nHost: {host}\r\nConnection: close\r\n\r\n")
            self.assertEqual(code, 200)
            head, _, rest = reply.partition(b"\r\n\r\n")
            _, body = serve.get("/api/history.json")
            self.assertIn(b"Content-Length: %d" % len(body), head)
            self.assertEqual(rest, b"")
            events.close()
        finally:
            self.assertEqual(serve.stop(), 0)
        self.assertIn("stopped", serve.lines)
        refusals = [line for line in serve.lines if line.startswith("refused")]
        self.assertLessEqual(len(refusals), 3, serve.lines)  # told, not flooded

    def test_follows_a_late_truncated_and_replaced_file_and_keeps_text_files(self):
        obs = Path(self.dir.name) / "obs"
        serve = Serve(self.log, "--obs-text", str(obs))
        try:
            serve.wait_for("waiting for .*VantrelLog.txt to appear")
            events = Events(serve)
            self.append(session_start(0) + match_lines(1, won=False, wins=0, losses=1)[:-30])
            serve.wait_for("appeared")
            events.wait(2)  # the match read without its rating line, whose end comes next
            self.append(match_lines(1, won=False, wins=0, losses=1)[-30:])
            got = events.wait(3)
            self.assertEqual([e[1] for e in got], ["session", "match", "rating"])
            serve.wait_for(r"2vs2 lost, rating before 1000.00 \(session 1\)")
            serve.wait_for(r"2vs2 rating after 990.00 \(-10.00\)")
            deadline = time.time() + 3
            last = obs / "last-result.txt"  # the last file written
            while time.time() < deadline and not (last.exists() and last.read_text() == "Lost -10.00 2vs2"):
                time.sleep(0.05)
            self.assertEqual((obs / "2vs2-record.txt").read_text(), "0-1")
            self.assertEqual((obs / "2vs2-change.txt").read_text(), "-10.00")
            self.assertEqual((obs / "last-result.txt").read_text(), "Lost -10.00 2vs2")

            # Cut short, then a new file renamed over it: each time read from the start.
            with open(self.log, "w", newline="") as log:
                log.write(session_start(5))
            serve.wait_for("cut short")
            got = events.wait(5)
            self.assertEqual(got[3][1], "reset")
            other = Path(self.dir.name) / "new.txt"
            other.write_text(session_start(9) + match_lines(10, mode=2) + match_lines(11, mode=2, wins=2), newline="")
            os.replace(other, self.log)
            serve.wait_for("is a new file")
            code, body = serve.get("/api/history.json")
            history = json.loads(body)
            self.assertEqual([m["mode"] for m in history["matches"]], ["3vs3", "3vs3"])
            self.log.unlink()
            serve.wait_for("is gone")
            events.close()
        finally:
            self.assertEqual(serve.stop(), 0)

    def test_a_long_history_comes_in_pieces_while_others_are_answered(self):
        # Over 20,000 matches: the JSON is made while it is sent, in chunked coding.
        count = 20_500
        self.append(session_start(0) + "".join(match_lines(n, wins=n) for n in range(1, count + 1)))
        serve = Serve(self.log)
        try:
            connection = http.client.HTTPConnection(serve.host, serve.port, timeout=60)
            connection.request("GET", "/api/history.json")
            reply = connection.getresponse()
            self.assertEqual(reply.getheader("Transfer-Encoding"), "chunked")
            first = reply.read(1000)  # the rest still to come: another client is answered
            self.assertEqual(serve.get("/api/session.json")[0], 200)
            history = json.loads(first + reply.read())
            self.assertEqual(len(history["matches"]), count)
            self.assertEqual(history["matches"][-1]["before"], 1000.0)
            self.assertEqual(history["sessions"][0]["matches"], count)
            connection.close()
        finally:
            self.assertEqual(serve.stop(), 0)

    def test_a_client_that_reads_nothing_delays_no_one(self):
        self.append(session_start(0))
        serve = Serve(self.log)
        try:
            stuck = socket.socket()
            stuck.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
            stuck.connect((serve.host, serve.port))
            stuck.sendall(f"GET /events HTTP/1.1\r\nHost: {serve.host}:{serve.port}\r\n\r\n".encode())
            events = Events(serve)
            # Megabytes of events, a few hundred matches a look.
            count = 0
            for _ in range(60):
                self.append("".join(match_lines(n, wins=n) for n in range(count + 1, count + 401)))
                count += 400
                events.pump(0.1)
            # The reader kept up to the end: every event, ids without a gap, the last one
            # covering every match (looks that read too much at once send a reset instead).
            def done(event):
                data = json.loads(event[2])
                return data.get("index") == count - 1 if event[1] == "match" else data.get("matches") == count
            deadline = time.time() + 60
            while time.time() < deadline and not (events.pump(0.2) and done(events.events[-1])):
                pass
            self.assertFalse(events.closed)
            self.assertTrue(done(events.events[-1]))
            self.assertEqual([e[0] for e in events.events], list(range(1, len(events.events) + 1)))
            stuck.close()
            events.close()
        finally:
            self.assertEqual(serve.stop(), 0)

    def test_a_file_replaced_or_appended_at_length_is_one_reset_not_an_event_a_match(self):
        self.append(session_start(0))
        serve = Serve(self.log)
        try:
            events = Events(serve)
            self.append("".join(match_lines(n, wins=n) for n in range(1, 5001)))
            serve.wait_for("the history was rebuilt: 1 sessions, 5000 matches")
            other = Path(self.dir.name) / "new.txt"
            other.write_text(session_start(0) + "".join(match_lines(n, wins=n) for n in range(1, 3001)), newline="")
            os.replace(other, self.log)
            serve.wait_for("is a new file")
            deadline = time.time() + 5
            while time.time() < deadline and not any(e[1] == "reset" and "replaced" in e[2] for e in events.pump(0.1)):
                pass
            resets = [json.loads(e[2])["reason"] for e in events.events if e[1] == "reset"]
            self.assertEqual(resets, ["many", "replaced"])
            # Read in one look or two, never an event for each of thousands of matches.
            self.assertLess(sum(e[1] == "match" for e in events.events), 1000)
            self.assertEqual(events.events[-1][1], "reset")
            events.close()
        finally:
            self.assertEqual(serve.stop(), 0)

    def test_a_look_tells_twenty_events_and_counts_the_rest(self):
        self.append(session_start(0))
        serve = Serve(self.log)
        try:
            # Each write is one look: its matches, each with its rating, are one event each.
            self.append("".join(match_lines(n, wins=n) for n in range(1, 21)))
            serve.wait_for(stamp(SERVE_EPOCH + 200) + "  2vs2 won")
            self.append("".join(match_lines(n, wins=n) for n in range(21, 46)))
            serve.wait_for(r"^\.\.\. and 5 more$")
        finally:
            self.assertEqual(serve.stop(), 0)
        self.assertEqual(sum(" won, rating before " in line for line in serve.lines), 40, serve.lines)
        self.assertEqual([line for line in serve.lines if line.startswith("...")], ["... and 5 more"])

    def test_a_busy_port_a_bad_address_or_a_bad_session_exits_2(self):
        self.append(session_start(0))
        serve = Serve(self.log)
        try:
            for address in (f"127.0.0.1:{serve.port}", "300.1.1.1:80", "media-pc.lan:80"):
                run = subprocess.run([REPORT, str(self.log), "--serve", address], capture_output=True, text=True,
                                     timeout=30)
                self.assertEqual(run.returncode, 2, address)
                self.assertEqual(len(run.stderr.strip().splitlines()), 1, run.stderr)
            for wrong in (["--stream-session", "gap:0"], ["--stream-session", "since:7pm"]):
                run = subprocess.run([REPORT, str(self.log), "--serve", "127.0.0.1:0", *wrong], capture_output=True,
                                     text=True, timeout=30)
                self.assertEqual(run.returncode, 2, wrong)
                self.assertIn("--stream-session wants load, gap:MINUTES or since:HH:MM", run.stderr)
        finally:
            self.assertEqual(serve.stop(), 0)


if __name__ == "__main__":
    unittest.main()
