"""vantrel-report --serve, measured as a program (the release build):
  - from a match line written to its event received: p50 and p99 with 1 and 200 clients;
  - idle: 10 clients, nothing written: CPU used;
  - a 1,000,000-match log: the server's memory against the batch report's peak, and the
    delay from an appended match's line to its event (the system's change notification
    wakes the follower; the work alone is vantrel_serve_bench's).
A delay runs from just before the line's write to the moment the event's bytes reached the
client's socket (the kernel's receive stamp, SO_TIMESTAMPNS): the server's delay, not the
time this one Python client takes to read 200 streams in turn. The kernel stamps a read
with its newest data, so an event the client read together with a later one (it fell
behind) is not timed; their number is printed.

    serve_bench.py REPORT LOG_1M [--seconds S]
"""
import argparse
import os
import re
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "serve"))
import load_test  # noqa: E402
import serve_support  # noqa: E402
from serve_support import Events, Serve, match_lines, session_start  # noqa: E402


def cpu_seconds(pid):
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def status_kib(pid, name):
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith(name + ":"):
            return int(line.split()[1])
    return 0


def percentiles(delays):
    delays = sorted(delays)
    pick = lambda q: delays[min(len(delays) - 1, int(q * len(delays)))] * 1000  # noqa: E731
    return f"p50 {pick(0.5):.1f} ms, p99 {pick(0.99):.1f} ms, max {delays[-1] * 1000:.1f} ms ({len(delays)} events)"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("report")
    parser.add_argument("log_1m")
    parser.add_argument("--seconds", type=float, default=30)
    parser.add_argument("--only-long-log", action="store_true")
    args = parser.parse_args()
    serve_support.REPORT = args.report

    for clients in () if args.only_long_log else (1, 200):
        results = load_test.run(clients, args.seconds)
        print(f"line to event, {clients} client(s): {percentiles(results['delays'])}; "
              f"{results['unstamped']} read together with a later one, not timed", flush=True)

    if not args.only_long_log:
        with __import__("tempfile").TemporaryDirectory() as work:
            log = Path(work) / "VantrelLog.txt"
            log.write_text(session_start(0) + match_lines(1), newline="")
            serve = Serve(log, command=[args.report])
            streams = [Events(serve) for _ in range(10)]
            time.sleep(2)
            before, start = cpu_seconds(serve.proc.pid), time.time()
            time.sleep(args.seconds)
            used = cpu_seconds(serve.proc.pid) - before
            print(f"idle, 10 clients: {100 * used / (time.time() - start):.3f}% of a core over {args.seconds:.0f} s", flush=True)
            for s in streams:
                s.close()
            serve.stop()

    batch = subprocess.run(["/usr/bin/time", "-v", args.report, args.log_1m], capture_output=True, text=True)
    peak = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", batch.stderr).group(1))
    print(f"1M-match log: batch report peak {peak} KiB", flush=True)
    copy = Path(args.log_1m).with_suffix(".serve.txt")
    copy.write_bytes(Path(args.log_1m).read_bytes())
    started = time.time()
    serve = Serve(copy, command=[args.report])
    ready = time.time() - started
    events = Events(serve)
    delays = []
    for n in range(40):
        written = time.time()
        with open(copy, "a", newline="") as out:
            out.write(match_lines(10_000_000 + n, wins=n + 1)[:-80])  # the rating line comes later
        while sum(e[1] == "match" for e in events.events) <= n:
            events.pump(0.5)
        delays.append(events.arrived - written)
        with open(copy, "a", newline="") as out:
            out.write(match_lines(10_000_000 + n, wins=n + 1)[-80:])
        time.sleep(0.25)
    print(f"1M-match log: served after {ready:.1f} s; appended match to event {percentiles(delays)}; "
          f"server memory {status_kib(serve.proc.pid, 'VmRSS')} KiB now, "
          f"peak {status_kib(serve.proc.pid, 'VmHWM')} KiB", flush=True)
    events.close()
    serve.stop()
    copy.unlink()


if __name__ == "__main__":
    main()
