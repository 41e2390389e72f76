#!/usr/bin/env python3
"""The mutation lane: small faults made in product files, each built and tested.

The lane works on a copy of the tree of its own (build/mutants/source: the files git
tracks or would track, as they are in the working tree), so the working tree never holds
a mutant, whatever else builds from it meanwhile and however a run ends. For every mutant
(one change on one line) the copy's file is rewritten, the programs of the quick tests
that cover it are rebuilt (no sanitizers, ccache: only the objects the file is part of
are compiled again, then relinked), and those tests run under a time limit. A test that
fails or times out kills the mutant; one that passes leaves a survivor, a fault our tests
would not notice. Lines for another platform (#if _WIN32 ...) are left alone: nothing
here compiles them.

    scripts/mutants.sh report/serve/routes.cpp
    scripts/mutants.sh --sample 40 --seed 7 report/
    scripts/mutants.sh --list report/rules.cpp      # the mutants, nothing built
    scripts/mutants.sh --only 3f9a2c1b7e,0cc845f5a1 report/serve   # survivors, after a new test

Known equivalent mutants (no test could tell them apart from the original) are listed in
tests/mutants-equivalent.txt by the id printed for each survivor.
"""

import argparse
import hashlib
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time
from dataclasses import dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
SOURCE = ROOT / "build" / "mutants" / "source"   # the copy of the tree the mutants are made in
BUILD = SOURCE / "build" / "mutants"             # its build (preset mutants, run in the copy)
EQUIVALENTS = ROOT / "tests" / "mutants-equivalent.txt"

# Which quick tests cover a file (CTest names), and the programs they need: the first
# prefix that matches the file's path decides.
COVERAGE = [
    ("report/serve/", r"^serve\.", ["vantrel_serve_tests", "vantrel-report"]),
    ("report/outputs/", r"^(report|page|serve)\.",
     ["vantrel_report_tests", "vantrel_report_host_tests", "vantrel_page_tests", "vantrel_serve_tests",
      "vantrel-report"]),
    ("report/app/", r"^report\.", ["vantrel_report_tests", "vantrel_report_host_tests"]),
    ("report/", r"^(report|page|serve)\.",
     ["vantrel_report_tests", "vantrel_report_host_tests", "vantrel_page_tests", "vantrel_serve_tests",
      "vantrel-report"]),
    ("MMR/", r"^(?!(report|page|serve|snapshot|host|gui)\.)",
     ["vantrel_plugin_tests", "vantrel_e2e_tests", "vantrel_reliability_tests", "vantrel_panel_tests"]),
    ("host/", r"^(host|snapshot|gui|e2e|panel|reliability)\.",
     ["vantrel_host_tests", "vantrel_host_session_tests", "vantrel_snapshot_tests", "vantrel_gui_tests",
      "vantrel_e2e_tests", "vantrel_panel_tests", "vantrel_reliability_tests"]),
]


@dataclass
class Mutant:
    path: str        # relative to the repository
    line: int        # 1-based
    column: int      # 0-based, where the change starts
    old: str
    new: str
    kind: str
    occurrence: int = 1   # the how-manieth line of the file with the same text

    def describe(self):
        if self.kind == "delete":
            return "statement deleted"
        return f"'{self.old}' -> '{self.new}'"

    def ident(self, source_line):
        key = f"{self.path}\0{source_line.strip()}\0{self.column - (len(source_line) - len(source_line.lstrip()))}" \
              f"\0{self.old}\0{self.new}\0{self.occurrence}"
        return hashlib.sha1(key.encode()).hexdigest()[:10]


# --- finding the mutants -----------------------------------------------------------------

def code_mask(text):
    """For each character of `text`: True where it is code (not a comment, string,
    character literal or preprocessor line)."""
    mask = [True] * len(text)
    i, n = 0, len(text)
    line_start = True
    while i < n:
        c = text[i]
        if line_start and text[i:].lstrip(" \t").startswith("#"):
            end = text.find("\n", i)
            end = n if end < 0 else end
            while end > 0 and text[end - 1] == "\\" and end < n:  # continued directive
                nxt = text.find("\n", end + 1)
                end = n if nxt < 0 else nxt
            for k in range(i, end):
                mask[k] = False
            i = end
            continue
        line_start = False
        if c == "\n":
            line_start = True
            i += 1
        elif text.startswith("//", i):
            end = text.find("\n", i)
            end = n if end < 0 else end
            for k in range(i, end):
                mask[k] = False
            i = end
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            for k in range(i, end):
                mask[k] = False
            i = end
        elif c == 'R' and text.startswith('R"', i):
            m = re.match(r'R"([^(\s]*)\(', text[i:])
            close = text.find(")" + m.group(1) + '"', i) if m else -1
            end = n if close < 0 else close + len(m.group(1)) + 2
            for k in range(i, end):
                mask[k] = False
            i = end
        elif c in "\"'":
            if c == "'" and i > 0 and text[i - 1].isalnum():  # digit separator 1'000
                i += 1
                continue
            k = i + 1
            while k < n and text[k] != c and text[k] != "\n":
                k += 2 if text[k] == "\\" else 1
            for j in range(i, min(k + 1, n)):
                mask[j] = False
            i = k + 1
        else:
            i += 1
    return mask


# Code for another platform: not compiled here, so no test here could notice a fault in it.
OTHER_PLATFORM = re.compile(r"\b(_WIN32|_WIN64|_MSC_VER|__MINGW32__|__APPLE__)\b")


def other_platform_lines(text):
    """Numbers of the lines inside #if branches for another platform (Windows, macOS)."""
    lines = set()
    stack = []  # per open #if: [this branch is another platform's, the condition was understood]
    for number, line in enumerate(text.split("\n"), start=1):
        directive = line.strip()
        if directive.startswith("#"):
            words = directive[1:].split(None, 1)
            keyword = words[0] if words else ""
            condition = words[1] if len(words) > 1 else ""
            if keyword in ("if", "ifdef", "ifndef"):
                if OTHER_PLATFORM.search(condition) and "&&" not in condition:
                    negated = keyword == "ifndef" or "!" in condition
                    stack.append([not negated, True])
                else:
                    stack.append([False, False])
            elif keyword == "elif" and stack:
                stack[-1] = [False, False]
            elif keyword == "else" and stack and stack[-1][1]:
                stack[-1][0] = not stack[-1][0]
            elif keyword == "endif" and stack:
                stack.pop()
            continue
        if any(other for other, _ in stack):
            lines.add(number)
    return lines


COMPARISONS = {"==": "!=", "!=": "==", "<": "<=", "<=": "<", ">": ">=", ">=": ">"}
LOGICAL = {"&&": "||", "||": "&&"}
NOT_STATEMENTS = re.compile(
    r"^(return|if|else|for|while|do|switch|case|default|break|continue|goto|using|typedef|namespace|template|"
    r"class|struct|enum|public|private|protected|static_assert|const|constexpr|static|inline|extern|auto|"
    r"unsigned|signed|int|long|short|bool|char|double|float|void|std::|fmt::|throw)\b")
DECLARATION = re.compile(r"^[A-Za-z_][\w:<>,\s*&]*[\s*&]+[A-Za-z_]\w*(\s*[=({[]|;)")


def line_mutants(path, number, line, mask):
    found = []
    code = "".join(ch if ok else " " for ch, ok in zip(line, mask))

    def add(col, old, new, kind):
        found.append(Mutant(path, number, col, old, new, kind))

    # Comparisons and && / ||, written with a blank on each side (so that template brackets,
    # shifts and -> are never taken for one).
    for m in re.finditer(r"(?<=\s)(==|!=|<=|>=|<|>|&&|\|\|)(?=\s)", code):
        op = m.group(1)
        if op in COMPARISONS:
            add(m.start(), op, COMPARISONS[op], "comparison")
        else:
            add(m.start(), op, LOGICAL[op], "logical")
    # Constants: whole integer literals (not part of a name or a floating number).
    for m in re.finditer(r"(?<![\w.'])(\d[\d']*)([uUlL]*)(?![\w.'])", code):
        digits = m.group(1).replace("'", "")
        if not digits.isdigit() or (len(digits) > 1 and digits.startswith("0")):
            continue
        value = int(digits)
        new = "1" if value == 0 else ("0" if value == 1 else str(value + 1))
        add(m.start(), m.group(1), new, "constant")
    for m in re.finditer(r"\b(true|false)\b", code):
        add(m.start(), m.group(1), "false" if m.group(1) == "true" else "true", "constant")
    # Defaults: a string literal that is a whole initializer, made empty.
    m = re.search(r'(=\s*|\{\s*)("(?:[^"\\]|\\.)+")(\s*[;}])', line)
    if m and not mask[m.start(2)] and "R\"" not in line:
        add(m.start(2), m.group(2), '""', "default")
    # Deleted statements: one whole expression statement on its own line.
    stripped = code.strip()
    if (stripped.endswith(";") and not NOT_STATEMENTS.match(stripped) and not DECLARATION.match(stripped)
            and code.count("(") == code.count(")") and code.count("{") == code.count("}")
            and line.strip() == stripped.rstrip() and not stripped.startswith(("}", ")", "{"))
            and not stripped.endswith(("= delete;", "= default;"))):
        add(len(line) - len(line.lstrip()), line.strip(), "", "delete")
    return found


def file_mutants(path):
    text = (ROOT / path).read_text()
    mask = code_mask(text)
    skipped = other_platform_lines(text)
    mutants = []
    pos = 0
    depth_paren = 0
    previous_end = "{"   # how the last line with code ended
    seen = {}
    for number, line in enumerate(text.split("\n"), start=1):
        line_mask = mask[pos:pos + len(line)]
        code = "".join(ch if ok else " " for ch, ok in zip(line, line_mask))
        found = [] if number in skipped else line_mutants(path, number, line, line_mask)
        # A whole statement begins outside parentheses, after another statement or a brace.
        if depth_paren or previous_end not in ";{}:":
            found = [m for m in found if m.kind != "delete"]
        # Identical lines of one file are told apart by their order.
        key = line.strip()
        seen[key] = seen.get(key, 0) + 1
        for m in found:
            m.occurrence = seen[key]
        mutants.extend(found)
        depth_paren = max(depth_paren + code.count("(") - code.count(")"), 0)
        if code.strip():
            previous_end = code.strip()[-1]
        pos += len(line) + 1
    return mutants


def apply(text, mutant):
    lines = text.split("\n")
    line = lines[mutant.line - 1]
    assert line[mutant.column:mutant.column + len(mutant.old)] == mutant.old, (mutant, line)
    lines[mutant.line - 1] = line[:mutant.column] + mutant.new + line[mutant.column + len(mutant.old):]
    return "\n".join(lines)


def expand(arguments):
    files = []
    for argument in arguments:
        p = (ROOT / argument) if not Path(argument).is_absolute() else Path(argument)
        p = p.resolve()
        if p.is_dir():
            files.extend(sorted(f for f in p.rglob("*") if f.suffix in (".cpp", ".h")))
        elif p.is_file():
            files.append(p)
        else:
            sys.exit(f"mutants: no such file or directory: {argument}")
    return [str(f.relative_to(ROOT)) for f in files]


def coverage(path):
    for prefix, tests, targets in COVERAGE:
        if path.startswith(prefix):
            return tests, targets
    return None


def equivalents():
    known = {}
    if EQUIVALENTS.exists():
        for line in EQUIVALENTS.read_text().splitlines():
            line = line.strip()
            if line and not line.startswith("#"):
                known[line.split()[0]] = line
    return known


# --- building and testing ----------------------------------------------------------------

def run(command, timeout, log):
    with open(log, "w") as out:
        try:
            p = subprocess.Popen(command, cwd=SOURCE, stdout=out, stderr=subprocess.STDOUT, start_new_session=True)
            return p.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(p.pid, signal.SIGKILL)
            p.wait()
            return None


def sync_copy():
    """Brings the copy up to the working tree: the files git tracks or would track, a file
    copied only when its bytes differ (so the build compiles only what changed), files gone
    from the tree removed. A mutant an earlier run left in the copy differs, and goes."""
    listed = subprocess.run(["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"], cwd=ROOT,
                            check=True, capture_output=True).stdout.decode().split("\0")
    wanted = {name for name in listed if name and (ROOT / name).is_file()}
    for name in wanted:
        source, copy = ROOT / name, SOURCE / name
        if not copy.is_file() or copy.read_bytes() != source.read_bytes():
            copy.parent.mkdir(parents=True, exist_ok=True)
            shutil.copyfile(source, copy)
            shutil.copymode(source, copy)
    for copy in SOURCE.rglob("*"):
        relative = copy.relative_to(SOURCE)
        if relative.parts[0] != "build" and copy.is_file() and str(relative) not in wanted:
            copy.unlink()


def configure():
    if (BUILD / "build.ninja").exists():
        return
    print(f"mutants: configuring {BUILD.relative_to(ROOT)} (preset mutants)", flush=True)
    subprocess.run(["cmake", "--preset", "mutants"], cwd=SOURCE, check=True, stdout=subprocess.DEVNULL)


def build(targets, timeout):
    return run(["cmake", "--build", str(BUILD), "-j2", "--target", *targets], timeout, BUILD / "mutant-build.log")


def test(regex, timeout):
    return run(["ctest", "--test-dir", str(BUILD), "-L", "^quick$", "-R", regex, "-j2", "--stop-on-failure",
                "--timeout", str(timeout), "--no-tests=error"], timeout * 4, BUILD / "mutant-test.log")


def main():
    parser = argparse.ArgumentParser(description="Small faults made in product files, each built and tested.")
    parser.add_argument("files", nargs="+", help="product files or directories (their .cpp and .h files)")
    parser.add_argument("--sample", type=int, help="test only N mutants, drawn at random")
    parser.add_argument("--seed", type=int, default=1, help="the draw's seed (default 1)")
    parser.add_argument("--timeout", type=int, default=120, help="seconds a test may take (default 120)")
    parser.add_argument("--list", action="store_true", help="print the mutants, build and test nothing")
    parser.add_argument("--only", help="only the mutants of these ids (comma-separated), e.g. survivors again")
    args = parser.parse_args()

    files = expand(args.files)
    mutants = []
    for path in files:
        if coverage(path) is None:
            print(f"mutants: no tests are mapped to {path} (scripts/mutants.py, COVERAGE); left out")
            continue
        mutants.extend(file_mutants(path))
    if args.only:
        wanted = set(args.only.split(","))
        texts = {path: (ROOT / path).read_text().split("\n") for path in files}
        mutants = [m for m in mutants if m.ident(texts[m.path][m.line - 1]) in wanted]
    total = len(mutants)
    if args.sample and args.sample < total:
        mutants = random.Random(args.seed).sample(mutants, args.sample)
    mutants.sort(key=lambda m: (m.path, m.line, m.column, m.new))
    sources = {path: (ROOT / path).read_text() for path in {m.path for m in mutants}}
    known = equivalents()

    if args.list:
        for m in mutants:
            line = sources[m.path].split("\n")[m.line - 1]
            print(f"{m.ident(line)} {m.path}:{m.line}: {m.kind}: {m.describe()}")
        print(f"{len(mutants)} of {total} mutants")
        return 0

    SOURCE.mkdir(parents=True, exist_ok=True)
    print(f"mutants: copying the tree to {SOURCE.relative_to(ROOT)}", flush=True)
    sync_copy()
    configure()
    targets = sorted({t for path in sources for t in coverage(path)[1]})
    print(f"mutants: {len(mutants)} of {total} mutants in {len(files)} files; first build of "
          f"{' '.join(targets)}", flush=True)
    if build(targets, 3600) != 0:
        print(f"mutants: the unchanged build fails; see {BUILD / 'mutant-build.log'}")
        return 1
    for path in sources:
        if test(coverage(path)[0], args.timeout) != 0:
            print(f"mutants: the tests of {path} fail unchanged; see {BUILD / 'mutant-test.log'}")
            return 1

    stopping = []
    signal.signal(signal.SIGTERM, lambda *_: stopping.append(1) or (_ for _ in ()).throw(KeyboardInterrupt()))
    results = {}   # path -> {"killed": n, "survived": [...], "equivalent": [...], "broken": n}
    current = None
    started = time.monotonic()
    try:
        for index, m in enumerate(mutants, start=1):
            original = sources[m.path]
            source_line = original.split("\n")[m.line - 1]
            ident = m.ident(source_line)
            r = results.setdefault(m.path, {"killed": 0, "survived": [], "equivalent": [], "broken": 0})
            if current not in (None, m.path):
                (SOURCE / current).write_text(sources[current])
            current = m.path
            (SOURCE / m.path).write_text(apply(original, m))
            tests, targets = coverage(m.path)
            built = build(targets, 1200)
            if built != 0:
                outcome = "did not compile"
                r["broken"] += 1
            else:
                status = test(tests, args.timeout)
                if status != 0:
                    outcome = "killed" if status is not None else "killed (time-out)"
                    r["killed"] += 1
                elif ident in known:
                    outcome = "equivalent"
                    r["equivalent"].append((m, ident))
                else:
                    outcome = "SURVIVED"
                    r["survived"].append((m, ident, source_line.strip()))
            print(f"[{index}/{len(mutants)}] {m.path}:{m.line} {m.describe()}: {outcome}", flush=True)
    except KeyboardInterrupt:
        print("mutants: stopped; the results so far", flush=True)
    finally:
        if current is not None:
            (SOURCE / current).write_text(sources[current])
        # The build left as the sources are, so that the next run starts from it.
        build(targets, 3600)

    print(f"\nmutants: {time.monotonic() - started:.0f} s")
    all_killed = all_scored = 0
    for path, r in results.items():
        scored = r["killed"] + len(r["survived"])
        all_killed += r["killed"]
        all_scored += scored
        score = f"{100 * r['killed'] / scored:.0f}%" if scored else "-"
        print(f"  {path}: {score} ({r['killed']} of {scored} killed; {len(r['equivalent'])} known equivalent, "
              f"{r['broken']} did not compile)")
    for path, r in results.items():
        for m, ident, text in r["survived"]:
            print(f"survivor {ident} {path}:{m.line}: {m.describe()}   | {text}")
    score = f"{100 * all_killed / all_scored:.1f}%" if all_scored else "-"
    print(f"mutation score: {score} ({all_killed} of {all_scored} killed)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
