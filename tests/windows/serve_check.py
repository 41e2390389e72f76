"""vantrel-report.exe --serve under Wine:
  equal LOG LINUX_REPORT WINDOWS_REPORT  both builds serve LOG; their /api/history.json must be equal
  follow HOST_EXE WINDOWS_REPORT DIR     vantrel-host.exe plays a match into DIR/VantrelLog.txt while
                                         vantrel-report.exe follows that same file: the match's event
                                         must arrive while the host still has the file open
Prints one line; exit status 0 when it holds."""
import os
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "serve"))
from serve_support import Events, Serve  # noqa: E402


def equal(log, linux, windows):
    bodies = []
    for command in ([linux], ["wine", windows]):
        serve = Serve(Path(log).name, command=command, cwd=str(Path(log).parent))
        try:
            code, body = serve.get("/api/history.json")
            if code != 200:
                sys.exit(f"{command[-1]}: /api/history.json answered {code}")
            bodies.append(body)
        finally:
            serve.proc.terminate()
            serve.proc.wait(timeout=30)
    if bodies[0] != bodies[1]:
        sys.exit(f"the JSON differs: Linux {len(bodies[0])} bytes, Windows {len(bodies[1])} bytes")
    print(f"equal JSON ({len(bodies[0])} bytes)")


def follow(host_exe, report_exe, work):
    work = Path(work)
    work.mkdir(parents=True, exist_ok=True)
    host = subprocess.Popen(["wine", host_exe, "--workdir", ".", "-"], cwd=str(work), stdin=subprocess.PIPE,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, text=True)
    serve = None
    try:
        host.stdin.write("mmr 11 1000.5 rank 15 0\nunload\nload\nwait 3\n")
        host.stdin.flush()
        serve = Serve("VantrelLog.txt", command=["wine", report_exe], cwd=str(work))
        events = Events(serve)
        host.stdin.write("match start 11 team 0\nwait 30\nmatch end win\nmmr 11 1012.25 rank 15 1 after 3\nwait 6\n")
        host.stdin.flush()
        deadline = time.time() + 30
        while time.time() < deadline and not any(e[1] == "match" for e in events.pump(0.1)):
            pass
        kinds = [e[1] for e in events.events]
        if "match" not in kinds:
            sys.exit(f"no match event while vantrel-host.exe played (events: {kinds}; terminal: {serve.lines})")
        # The host is still running with its log open: it can go on appending.
        host.stdin.write("match start 11 team 0\nwait 30\nmatch end loss\nwait 6\n")
        host.stdin.flush()
        while time.time() < deadline and sum(e[1] == "match" for e in events.pump(0.1)) < 2:
            pass
        matches = sum(e[1] == "match" for e in events.events)
        if matches != 2:
            sys.exit(f"{matches} match events for 2 matches (terminal: {serve.lines})")
        print("vantrel-report.exe followed the log vantrel-host.exe was writing: 2 matches, as played")
    finally:
        host.stdin.close()
        host.wait(timeout=60)
        if serve:
            serve.proc.terminate()
            serve.proc.wait(timeout=30)


if __name__ == "__main__":
    {"equal": equal, "follow": follow}[sys.argv[1]](*sys.argv[2:])
