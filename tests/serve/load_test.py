"""Load: many event clients while a match is written every 100 ms. Every client must
receive every event, in order, none lost, and the server's memory must stay flat. With
--bench it prints the delay from a line's write to its event's arrival (p50, p99)
instead of judging it; tests never judge time.

    load_test.py [--clients N] [--seconds S] [--bench]
"""
import argparse
import json
import os
import select
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, os.path.dirname(__file__))
from serve_support import Events, Serve, match_lines, session_start  # noqa: E402


def run(clients, seconds, period=0.1):
    with tempfile.TemporaryDirectory(prefix="vantrel-load-") as work:
        log = Path(work) / "VantrelLog.txt"
        log.write_text(session_start(0), newline="")
        serve = Serve(log)
        try:
            streams = [Events(serve) for _ in range(clients)]
            assert all(s.status == 200 for s in streams)
            by_socket = {s.sock: s for s in streams}
            written = {}   # match index -> when its line was written
            arrived = []   # delays of match events, every client
            rss = []
            start = time.time()
            next_write, n = start, 0
            while time.time() - start < seconds:
                now = time.time()
                if now >= next_write:
                    lines = match_lines(n + 1, wins=n + 1)
                    written[n] = time.time()
                    with open(log, "a", newline="") as out:
                        out.write(lines)
                    n += 1
                    next_write += period
                if not rss and now - start >= min(5.0, seconds / 2):
                    rss.append(serve.rss_kib())  # once warmed up
                ready, _, _ = select.select(list(by_socket), [], [], max(0.0, next_write - time.time()))
                for sock in ready:
                    stream = by_socket[sock]
                    before = len(stream.events)
                    stream.pump(0)
                    for (_, kind, data), stamp in zip(stream.events[before:], stream.stamps[before:]):
                        if kind == "match" and stamp is not None:
                            arrived.append(stamp - written[json.loads(data)["index"]])
            # The last events still on their way.
            deadline = time.time() + 5
            while time.time() < deadline and any(sum(e[1] == "match" for e in s.events) < n for s in streams):
                for sock in select.select(list(by_socket), [], [], 0.1)[0]:
                    by_socket[sock].pump(0)
            rss.append(serve.rss_kib())
            received = sum(1 for s in streams for e in s.events if e[1] == "match")
            results = {"written": n, "streams": streams, "delays": sorted(arrived), "rss": rss,
                       "unstamped": received - len(arrived)}
            for s in streams:
                s.close()
        finally:
            results["exit"] = serve.stop()
        return results


class LoadTest(unittest.TestCase):
    clients = 200
    seconds = 60

    def test_every_client_receives_every_event_in_order(self):
        results = run(self.clients, self.seconds)
        self.assertEqual(results["exit"], 0)
        n = results["written"]
        self.assertGreater(n, self.seconds * 5)
        first = [(e[0], e[1], json.loads(e[2])["index"]) for e in results["streams"][0].events]
        self.assertEqual([index for _, kind, index in first if kind == "match"], list(range(n)))
        self.assertEqual([eid for eid, _, _ in first], list(range(1, len(first) + 1)))
        for stream in results["streams"]:
            self.assertFalse(stream.closed)
            self.assertEqual([(e[0], e[1], json.loads(e[2])["index"]) for e in stream.events], first)
        # Flat: after the first seconds, what the history itself adds (a few hundred
        # matches) and no more than the allocator's slack.
        rss = results["rss"]
        self.assertLess(rss[-1] - rss[0], 16 * 1024, rss)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--clients", type=int, default=200)
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--bench", action="store_true")
    args, rest = parser.parse_known_args()
    if args.bench:
        results = run(args.clients, args.seconds)
        delays = results["delays"]
        pick = lambda q: delays[min(len(delays) - 1, int(q * len(delays)))] * 1000  # noqa: E731
        print(f"clients {args.clients}: {len(delays)} events ({results['unstamped']} read with a later one, not timed), "
              f"line to event p50 {pick(0.5):.1f} ms, "
              f"p99 {pick(0.99):.1f} ms, max {delays[-1] * 1000:.1f} ms; rss {results['rss'][0]} -> {results['rss'][-1]} KiB")
        sys.exit(0)
    LoadTest.clients, LoadTest.seconds = args.clients, args.seconds
    unittest.main(argv=[sys.argv[0], *rest])
