"""The Python side of the tests' support library (the C++ side: namespace vtest in
tests/support): the plug-in's log as it writes it, and finding Chromium.

The log lines are the twin of log_lines.h; tests/report/log_lines_test.cpp runs
`vtest.py sample` and checks that both write the same bytes."""
import os
import shutil
import sys
import time

# --- the plug-in's log ---------------------------------------------------------------------


def ended(mode, wins, losses, start, delta=0.0):
    return (f"Match ended: ModeIndex: {mode}, Wins: {wins}, Losses: {losses}, Starting MMR: {start:.2f}, "
            f"Delta MMR: {delta:+06.2f}")


def won_line(won):
    """The result line written right before a match's line (log_lines.h's Won)."""
    return f"OnMatchEnd: wonMatch: {1 if won else 0}"


def rating(mmr, initial, count):
    return f"CheckMMRUpdate: mmr: {mmr:.2f}, initialMMR: {initial:.2f}, count: {count}"


def limit(retries):
    return f"Check MMR Update: maxRetries reached the limit ({retries})"


def stamp(seconds):
    """The log's time stamp of `seconds` after 1970-01-01 00:00:00 (the log's local time)."""
    return time.strftime("%Y-%m-%d %H:%M:%S", time.gmtime(seconds))


class LogText:
    """A log written line by line, the clock advancing as asked (log_lines.h's LogText)."""

    def __init__(self, start=1_709_672_400, eol="\n"):  # 2024-03-05 21:00:00
        self.time = start
        self.eol = eol
        self.text = ""

    def line(self, message, advance=1):
        self.text += f"{stamp(self.time)} - {message}{self.eol}"
        self.time += advance
        return self

    def raw(self, data):
        self.text += data
        return self

    def wait(self, seconds):
        self.time += seconds
        return self

    def crlf(self):
        self.eol = "\r\n"
        return self


# The live server's tests: a session every so often, a match every 10 s from a fixed day,
# with CR LF as on Windows.
SERVE_EPOCH = 1_796_000_000


def match_lines(n, mode=1, before=1000.0, won=True, wins=1, losses=0):
    """The lines of match n: its result, its 'Match ended' line, and the poll's rating 3 s later."""
    after = before + (10.0 if won else -10.0)
    log = LogText(SERVE_EPOCH + n * 10, "\r\n")
    log.line(won_line(won), 0).line(ended(mode, wins, losses, before), 3).line(rating(after, before, 3))
    return log.text


def session_start(n):
    """A start-up poll's line at match n's time: a new session."""
    return LogText(SERVE_EPOCH + n * 10, "\r\n").line(rating(900, 0, 2)).text


# --- Chromium ----------------------------------------------------------------------------


def find_chromium():
    """The browser to drive: $VANTREL_CHROMIUM, else chromium on PATH; None when there is none."""
    given = os.environ.get("VANTREL_CHROMIUM")
    return given or shutil.which("chromium") or shutil.which("chromium-browser")


def sample():
    """The lines log_lines_test.cpp writes with the C++ generator."""
    log = LogText()
    log.line(rating(700, 0, 0)).line(won_line(True), 0).line(ended(1, 1, 0, 1000.5), 3).line(rating(1012.25, 1000.5, 3))
    log.wait(3600).crlf().line(won_line(False)).line(ended(3, 0, 1, 0, -7.5), 5).line(limit(5)).line(limit(120))
    return log.text


if __name__ == "__main__" and sys.argv[1:] == ["sample"]:
    sys.stdout.write(sample())
