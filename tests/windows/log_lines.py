#!/usr/bin/env python3
"""Checks the plug-in's log as the Windows build writes it and prints its messages.

    log_lines.py FILE

Every line must be "YYYY-MM-DD HH:MM:SS - MESSAGE" and end in CR LF, with no other CR or
LF anywhere: the file is written in text mode, so each newline the plug-in writes becomes
CR LF on Windows. Prints the messages (time stamps removed), one a line, for comparison
with another run; exit status 1 with the first fault on standard error.
"""
import re
import sys

STAMP = re.compile(rb"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d - ")


def main(argv):
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    try:
        with open(argv[1], "rb") as f:
            data = f.read()
    except OSError as e:
        print(f"{argv[1]}: {e.strerror}", file=sys.stderr)
        return 1
    if not data:
        print(f"{argv[1]}: empty", file=sys.stderr)
        return 1
    if not data.endswith(b"\r\n"):
        print(f"{argv[1]}: the last line does not end in CR LF", file=sys.stderr)
        return 1
    messages = []
    for number, line in enumerate(data[:-2].split(b"\r\n"), start=1):
        if b"\r" in line or b"\n" in line:
            print(f"{argv[1]}:{number}: a line break other than CR LF: {line!r}", file=sys.stderr)
            return 1
        if not STAMP.match(line):
            print(f"{argv[1]}:{number}: no time stamp: {line!r}", file=sys.stderr)
            return 1
        messages.append(line[22:].decode("utf-8", "replace"))
    print("\n".join(messages))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
