#!/usr/bin/env python3
"""Runs a console program on a terminal of its own and checks that it holds its window.

    console_hold.py COMMAND...

Under Wine a program started on a terminal gets a console of its own, as one started from
Explorer does. The program must print "press Enter to close" at the end, still be running
a few seconds later, and end with status 0 once Enter is pressed. Enter is typed only
after the prompt has appeared: Wine's console may drop what is typed earlier.

Exit status 0 when it behaved so; 1 otherwise, with what happened on standard output.
"""
import os
import pty
import re
import select
import signal
import sys
import time

PROMPT = "pressEntertoclose"  # Wine draws blanks as cursor moves: compared without them
ESCAPES = re.compile(rb"\x1b\[[0-9;?]*[A-Za-z]")


def shown(raw):
    return ESCAPES.sub(b"", raw).decode("utf-8", "replace").replace("\r", "").replace(" ", "")


def read_until(fd, pid, test, seconds, raw):
    """Reads the terminal until test(raw) holds, the program ends or the time is up."""
    deadline = time.time() + seconds
    while time.time() < deadline and not test(raw):
        ready, _, _ = select.select([fd], [], [], 0.2)
        if ready:
            try:
                chunk = os.read(fd, 65536)
            except OSError:
                return raw, True
            if not chunk:
                return raw, True
            raw += chunk
        done, _ = os.waitpid(pid, os.WNOHANG)
        if done:
            return raw, True
    return raw, False


def main():
    pid, fd = pty.fork()
    if pid == 0:
        os.execvp(sys.argv[1], sys.argv[1:])
    raw = b""
    failure = None
    raw, ended = read_until(fd, pid, lambda r: PROMPT in shown(r), 120, raw)
    if PROMPT not in shown(raw):
        failure = "no \"press Enter to close\" " + ("before it ended" if ended else "within 120 s")
    else:
        raw, ended = read_until(fd, pid, lambda r: False, 3, raw)
        if ended:
            failure = "it ended within 3 s of the prompt, without Enter"
        else:
            os.write(fd, b"\r")
            deadline = time.time() + 30
            status = None
            while time.time() < deadline:
                try:
                    os.read(fd, 65536) if select.select([fd], [], [], 0.2)[0] else None
                except OSError:
                    pass
                done, code = os.waitpid(pid, os.WNOHANG)
                if done:
                    status = os.waitstatus_to_exitcode(code)
                    break
            if status is None:
                failure = "still running 30 s after Enter"
            elif status != 0:
                failure = f"exit status {status} after Enter"
            pid = 0
    if pid:
        os.kill(pid, signal.SIGKILL)
        os.waitpid(pid, 0)
    if failure:
        print(failure)
        print("\n".join(shown(raw).splitlines()[-5:]))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
