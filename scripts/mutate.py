#!/usr/bin/env python3
"""Mutation run over the library, the application core, the interpreter and the pages.

Picks a fixed, seeded set of single mutants from the source text (flip a
comparison, change a constant by one, swap two bytes, drop a statement, invert
a condition, remove a bounds check), then for each one: applies it to a scratch
copy of the tree, rebuilds that copy incrementally, runs the tests that can
reach the mutated file and reports the mutant as killed, survived or timed out;
a failure counts as a kill only if the test passes on the unmutated code (else
the mutant is flaky), and a ctest run that fails with no failing test is an
error. The working tree itself is never changed. Python 3 standard library only.
"""

import argparse
import json
import os
import random
import re
import select
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
FOLDERS = ["QtShared/RERODADA", "app", "console", "ui"]
# The operating-system layer and the code that points the programs at the
# simulated kit stay unmutated: a fault there could send a test to the
# machine's real serial ports or D2XX library.
EXCLUDED_PREFIXES = (
    "QtShared/RERODADA/platform/",
    "app/SimulatedKit.",
    "app/cli/PortListing.",
    "app/main.cpp",
    "app/cli/main.cpp",
)
EXCLUDED_LINE = re.compile(r"getenv|RERODADA_SERIAL_PORTS|RERODADA_D2XX_LIBRARY|PODLINK_SIM")
# Flags shared with a plain Debug build of the tree, so that ccache serves the
# scratch copy's first build.
CMAKE_OPTIONS = [
    "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug",
    "-DCMAKE_CXX_FLAGS_DEBUG=-O0", "-DCMAKE_C_FLAGS_DEBUG=-O0",
]

OPERATORS = ["comparison", "constant", "swap", "drop", "invert", "bounds"]
FLIPPED = {"==": "!=", "!=": "==", "<": "<=", "<=": "<", ">": ">=", ">=": ">"}
KEYWORDS = {"return", "break", "continue", "case", "default", "goto", "if", "else", "for",
            "while", "do", "switch", "throw", "delete", "emit"}


class Mutant:
    def __init__(self, path, offset, line, operator, original, replacement):
        self.path, self.offset, self.line = path, offset, line
        self.operator, self.original, self.replacement = operator, original, replacement
        self.number = 0

    def key(self):
        return (self.path, self.offset, self.operator, self.replacement)

    def apply(self, text):
        end = self.offset + len(self.original)
        assert text[self.offset:end] == self.original
        return text[:self.offset] + self.replacement + text[end:]

    def describe(self):
        return "#%d %s:%d %s: %s -> %s" % (self.number, self.path, self.line, self.operator,
                                           self.original.strip(), self.replacement.strip())


def mask(text):
    """The text with comments, string and character literals blanked (same offsets)."""
    out = list(text)
    n, i = len(text), 0

    def blank(a, b):
        for k in range(a, b):
            if out[k] != "\n":
                out[k] = " "

    while i < n:
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            blank(i, j)
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            blank(i, j)
            i = j
        elif text.startswith('R"', i) and not (i > 0 and (text[i - 1].isalnum()
                                                          or text[i - 1] == "_")):
            paren = text.find("(", i)
            end = text.find(")" + text[i + 2:paren] + '"', paren)
            j = n if end < 0 else end + len(text[i + 2:paren]) + 2
            blank(i, j)
            i = j
        elif text[i] in "\"'" and not (text[i] == "'" and i > 0 and text[i - 1].isalnum()):
            quote, j = text[i], i + 1
            while j < n and text[j] != quote and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            blank(i, min(j + 1, n))
            i = j + 1
        else:
            i += 1
    return "".join(out)


def matching_paren(line, start):
    depth = 0
    for k in range(start, len(line)):
        if line[k] == "(":
            depth += 1
        elif line[k] == ")":
            depth -= 1
            if depth == 0:
                return k
    return -1


def sites_in_file(rel, text):
    masked = mask(text)
    lines = masked.split("\n")
    raw_lines = text.split("\n")
    sites = []
    offset = 0
    continued = False
    previous = ";"
    for number, line in enumerate(lines, 1):
        start = offset
        offset += len(line) + 1
        stripped = line.strip()
        preprocessor = continued or stripped.startswith("#")
        continued = preprocessor and line.rstrip().endswith("\\")
        if preprocessor or not stripped or EXCLUDED_LINE.search(raw_lines[number - 1]):
            if stripped:
                previous = stripped
            continue
        first_word = re.match(r"\s*(\w*)", line).group(1)

        def add(col, operator, original, replacement):
            sites.append(Mutant(rel, start + col, number, operator, original, replacement))

        for m in re.finditer(r"(?<=\s)(==|!=|<=|>=|<|>)(?=\s)", line):
            add(m.start(), "comparison", m.group(1), FLIPPED[m.group(1)])

        if first_word not in ("case", "static_assert", "template"):
            for m in re.finditer(r"(?<![\w.])(0[xX][0-9A-Fa-f]+|\d+)([uUlL]*)(?![\w.])", line):
                literal = m.group(1)
                if literal.lower().startswith("0x"):
                    digits = literal[2:]
                    value = "%0*X" % (len(digits), int(digits, 16) + 1)
                    lower = any(c in "abcdef" for c in digits)
                    replacement = literal[:2] + (value.lower() if lower else value)
                else:
                    replacement = str(int(literal) + 1)
                add(m.start(1), "constant", literal, replacement)

        for m in re.finditer(r"\{([^{}]*)\}", line):
            items = m.group(1).split(",")
            if len(items) < 2 or not all(re.fullmatch(r"\s*[\w:.]+\s*", it) for it in items):
                continue
            # Only like with like: two values or two names, which still compiles.
            kinds = {bool(re.fullmatch(r"\s*(\d\w*|true|false)\s*", it)) for it in items}
            if len(kinds) > 1:
                continue
            position = m.start(1)
            for a, b in zip(items, items[1:]):
                if a.strip() != b.strip():
                    original = a + "," + b
                    swapped = (a.replace(a.strip(), b.strip()) + ","
                               + b.replace(b.strip(), a.strip()))
                    add(position, "swap", original, swapped)
                    break
                position += len(a) + 1

        statement = re.fullmatch(r"(\s*)(\S.*;)\s*", line)
        if (statement and first_word not in KEYWORDS and previous[-1:] in (";", "{", "}", ":", ")")
                and not re.fullmatch(r"[A-Z][A-Z0-9_]+", first_word)
                and line.count("(") == line.count(")")):
            body = statement.group(2)
            assignment = re.match(r"[\w.:\->\[\]*]+\s*(=|\+=|-=|\|=|&=|\^=|<<=|>>=)[^=]", body)
            first_call = re.match(r"[\w.:\->\[\]]+\(", body)
            close = matching_paren(body, first_call.end() - 1) if first_call else -1
            # A call, maybe chained; not a declaration such as "API(int) Name(...);".
            call = close >= 0 and re.fullmatch(r"((\.|->)\w+\(.*\))*;", body[close + 1:])
            if (assignment or call) and not rel.endswith(".h"):
                col = len(statement.group(1))
                add(col, "drop", raw_lines[number - 1][col:col + len(body)], "{}")

        for m in re.finditer(r"\b(if|while)\s*\(", line):
            open_paren = m.end() - 1
            close = matching_paren(line, open_paren)
            if close < 0:
                continue
            condition = line[open_paren + 1:close]
            if ";" in condition or re.match(r"\s*(const\s+)?[\w:<>]+[\s*&]+\w+\s*=[^=]", condition):
                continue
            raw_condition = raw_lines[number - 1][open_paren + 1:close]
            add(open_paren + 1, "invert", raw_condition, "!(" + raw_condition + ")")
            after = line[close + 1:].strip()
            if not after and number < len(lines):
                after = lines[number].strip()
            guard = re.match(r"(return|continue|break|throw)\b", after)
            bound = r"\s(<|>|<=|>=)\s|size|length|count|len|Count|Size|Length|max|Max"
            if m.group(1) == "if" and guard and re.search(bound, condition):
                add(open_paren + 1, "bounds", raw_condition, "false")
        if stripped:
            previous = stripped
    return sites


def tree_files(commit):
    """Path -> (content, executable) of the working tree's files, or of a commit's."""
    def git(*args):
        return subprocess.run(["git"] + list(args), cwd=ROOT, check=True,
                              capture_output=True).stdout
    files = {}
    if not commit:
        for rel in git("ls-files", "-co", "--exclude-standard", "-z").decode().split("\0"):
            path = ROOT / rel
            if rel and path.is_file():
                files[rel] = (path.read_bytes(), os.access(path, os.X_OK))
        return files
    for entry in git("ls-tree", "-r", "-z", commit).decode().split("\0"):
        if not entry:
            continue
        meta, rel = entry.split("\t", 1)
        mode, kind, sha = meta.split()
        if kind == "blob":
            files[rel] = (git("cat-file", "blob", sha), mode == "100755")
    return files


def choose(seed, count, files):
    by_folder = {folder: [] for folder in FOLDERS}
    for rel in sorted(files):
        folder = next((f for f in FOLDERS if rel.startswith(f + "/")), None)
        if folder and rel.endswith((".cpp", ".h")) and not rel.startswith(EXCLUDED_PREFIXES):
            by_folder[folder].extend(sites_in_file(rel, files[rel][0].decode()))
    total = sum(len(s) for s in by_folder.values())
    rng = random.Random(seed)
    chosen = []
    # Every folder gets at least an eighth of the mutants, the rest by its share of sites.
    floor = count // 8
    quotas = {f: floor for f in FOLDERS}
    rest = count - floor * len(FOLDERS)
    for f in FOLDERS:
        quotas[f] += round(rest * len(by_folder[f]) / total)
    quotas[FOLDERS[0]] += count - sum(quotas.values())
    for folder in FOLDERS:
        groups = {op: sorted((s for s in by_folder[folder] if s.operator == op), key=Mutant.key)
                  for op in OPERATORS}
        for group in groups.values():
            rng.shuffle(group)
        used_lines = set()
        picked = 0
        while picked < quotas[folder] and any(groups.values()):
            for op in OPERATORS:
                while groups[op] and picked < quotas[folder]:
                    site = groups[op].pop()
                    if (site.path, site.line) not in used_lines:
                        used_lines.add((site.path, site.line))
                        chosen.append(site)
                        picked += 1
                        break
    chosen.sort(key=Mutant.key)
    for number, mutant in enumerate(chosen, 1):
        mutant.number = number
        mutant.source = files[mutant.path][0].decode()
    return chosen


def relocate(mutants, files):
    """The same faults in another version of the sources: each mutant goes to the
    line nearest its old place that still holds its text, preferring a line that
    is unchanged as a whole. A mutant whose text is gone from the file is dropped
    and reported."""
    moved = []
    for m in mutants:
        old_text = m.source.splitlines()
        old_line = old_text[m.line - 1]
        column = m.offset - sum(len(l) + 1 for l in old_text[:m.line - 1])
        text = files.get(m.path, (b"", False))[0].decode()
        lines = text.splitlines()
        starts = [0]
        for line in lines:
            starts.append(starts[-1] + len(line) + 1)
        candidates = []
        for number, line in enumerate(lines, 1):
            if line == old_line:
                candidates.append((0, abs(number - m.line), number, column))
            else:
                # Same expression on an edited line: at the same place relative
                # to the line's first non-blank character.
                at = line.find(m.original.strip())
                if at >= 0 and m.original.strip():
                    shift = at - old_line.find(m.original.strip())
                    candidates.append((1, abs(number - m.line), number, column + shift))
        if not candidates:
            print("not in the measured tree: %s" % m.describe(), flush=True)
            continue
        _, _, number, col = min(candidates)
        moved_mutant = Mutant(m.path, starts[number - 1] + col, number, m.operator,
                              m.original, m.replacement)
        moved_mutant.number = m.number
        moved_mutant.source = text
        if text[moved_mutant.offset:moved_mutant.offset + len(m.original)] != m.original:
            print("not in the measured tree: %s" % m.describe(), flush=True)
            continue
        moved.append(moved_mutant)
    return moved


def run(cmd, **kwargs):
    return subprocess.run(cmd, check=True, **kwargs)


def sync_scratch(scratch, files):
    """Copies the files to the scratch copy, writing only what differs."""
    for rel, (data, executable) in files.items():
        target = scratch / rel
        if not target.exists() or target.read_bytes() != data:
            target.parent.mkdir(parents=True, exist_ok=True)
            target.write_bytes(data)
            target.chmod(0o755 if executable else 0o644)
    for path in scratch.rglob("*"):
        rel = path.relative_to(scratch).as_posix()
        if rel == "build" or rel.startswith("build/"):
            continue
        if path.is_file() and rel not in files:
            path.unlink()


def test_name(listed):
    """A test's name without the value of its parameter, which may print an address."""
    return listed.split("  # GetParam() = ")[0]


def test_programs(build, env):
    """Each test's name by ctest number, each test program's numbers, and the files of the
    tree each program is built from: its sources and every header they include."""
    listing = json.loads(subprocess.run(["ctest", "--show-only=json-v1"], cwd=build, env=env,
                                        check=True, capture_output=True, text=True).stdout)
    names, tests = {}, {}
    for number, test in enumerate(listing["tests"], 1):
        names[number] = test_name(test["name"])
        program = "python" if test["name"].startswith("python") else None
        for arg in test.get("command", []):
            if os.path.basename(arg).startswith("test_"):
                program = os.path.basename(arg)[len("test_"):]
        if program:
            tests.setdefault(program, []).append(number)

    def ninja(*args):
        return subprocess.run(["ninja", "-C", str(build), "-t"] + list(args), check=True,
                              capture_output=True, text=True).stdout

    scratch, generated = str(build.parent) + os.sep, str(build) + os.sep

    def in_tree(paths):
        paths = (os.path.normpath(os.path.join(build, p)) for p in paths)
        return {p[len(scratch):] for p in paths
                if p.startswith(scratch) and not p.startswith(generated)}

    # The headers each object was compiled with, as the compiler reported them to ninja.
    headers = {}
    for line in ninja("deps").splitlines():
        if line and not line[0].isspace():
            included = headers.setdefault(line.split(": #deps")[0], [])
        elif line.strip():
            included.append(line.strip())
    headers = {target: in_tree(paths) for target, paths in headers.items()}
    reach = {}
    for program in tests:
        inputs = ninja("inputs", "rerodada" if program == "python" else "test_" + program).split()
        reach[program] = in_tree(inputs).union(*(headers.get(i, ()) for i in inputs))
    return names, tests, reach


def build_targets(build, programs, jobs, log):
    targets = ["rerodada" if p == "python" else "test_" + p for p in programs]
    result = subprocess.run(["cmake", "--build", str(build), "-j%d" % min(jobs, 2), "--target"]
                            + targets, stdout=log, stderr=subprocess.STDOUT)
    return result.returncode == 0


# A test's line in ctest's progress output, such as
# "  3/10 Test  #3: Suite.Name ..........***Skipped   0.02 sec".
# A crash reads "Subprocess aborted***Exception", "SegFault***Exception" and so on.
RESULT = re.compile(r"Test\s+#(\d+): (.+?) \.+\s*(?:[^*\n]*\*\*\*)?"
                    r"(Passed|Failed|Exception|Timeout|Skipped|Not Run)")
FAILED = ("Failed", "Exception")


def ctest(build, numbers, names, jobs, limit, log, env, stop=True):
    """Runs the tests by number; returns the outcome, each test's result by number, seconds.

    The outcome is "failed" (a test failed or crashed), "timeout", "passed", or "error" when
    ctest fails with no failing test (a test program's listing timed out, a program is
    missing) or runs other tests than these. Skipped and not-run tests are no failures.
    With stop, ctest is stopped at the first failure or time-out.
    """
    # By number: a name pattern over hundreds of tests is too big for ctest's regex engine,
    # and an empty selection must fail, not pass.
    cmd = ["ctest", "-j%d" % jobs, "--no-tests=error"] + (["--stop-on-failure"] if stop else [])
    if set(numbers) != set(names):
        cmd += ["-I", "0,0,0," + ",".join(str(n) for n in sorted(numbers))]
    started = time.monotonic()
    proc = subprocess.Popen(cmd, cwd=build, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            env=dict(env, GTEST_FAIL_FAST="1"), start_new_session=True)
    results, outcome = {}, ""

    def failure():
        if any(r in FAILED for r in results.values()):
            return "failed"
        return "timeout" if "Timeout" in results.values() else ""

    deadline = started + limit
    try:
        buffer = ""
        while not outcome:
            ready, _, _ = select.select([proc.stdout], [], [], 0.2)
            chunk = os.read(proc.stdout.fileno(), 65536).decode(errors="replace") if ready else ""
            if chunk:
                log.write(chunk)
                lines = (buffer + chunk).split("\n")
                buffer = lines.pop()
                for m in filter(None, map(RESULT.search, lines)):
                    number = int(m.group(1))
                    results[number] = m.group(3)
                    if names.get(number) != test_name(m.group(2)) or number not in numbers:
                        outcome = "error"
                outcome = outcome or (failure() if stop else "")
            elif ready or proc.poll() is not None:
                proc.wait()
                unfinished = proc.returncode != 0 or set(numbers) - set(results)
                outcome = failure() or ("error" if unfinished else "passed")
            elif time.monotonic() > deadline:
                outcome = "timeout"
    finally:
        if proc.poll() is None:
            os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
        proc.stdout.close()
        log.flush()
    return outcome, results, time.monotonic() - started


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--count", type=int, default=80)
    parser.add_argument("--list", action="store_true", help="print the mutants, run nothing")
    parser.add_argument("--only", default="",
                        help="run only these mutants (numbers, comma-separated)")
    parser.add_argument("--jobs", type=int, default=8,
                        help="tests run at once (builds use at most 2)")
    parser.add_argument("--dir", default="",
                        help="scratch copy and its build (default build-mutate, or "
                        "build-mutate-asan with --sanitize)")
    parser.add_argument("--results", default="", help="write the outcomes to this JSON file")
    parser.add_argument("--programs", default="",
                        help="run only these test programs (comma-separated, e.g. bus,python)")
    parser.add_argument("--commit", default="",
                        help="measure this commit's tree instead of the working tree")
    parser.add_argument("--mutants-of", default="",
                        help="draw the mutants from this commit's sources and carry each "
                        "onto the measured tree by its text, so that two versions of the "
                        "suite meet the same faults")
    parser.add_argument("--sanitize", action="store_true",
                        help="run the mutants on an AddressSanitizer/UBSan build")
    args = parser.parse_args()

    files = tree_files(args.commit)
    if args.mutants_of:
        mutants = relocate(choose(args.seed, args.count, tree_files(args.mutants_of)), files)
    else:
        mutants = choose(args.seed, args.count, files)
    if args.only:
        wanted = {int(n) for n in args.only.split(",")}
        mutants = [m for m in mutants if m.number in wanted]
    if args.list:
        for mutant in mutants:
            print(mutant.describe())
        return 0

    # Each build has its own scratch copy: the two would rebuild each other's objects.
    scratch = ROOT / (args.dir or ("build-mutate-asan" if args.sanitize else "build-mutate"))
    scratch = scratch / "src"
    build = scratch / "build"
    scratch.mkdir(parents=True, exist_ok=True)
    log_path = scratch.parent / "mutate.log"
    # Line-buffered: the builds and ctest write to the same file between its lines.
    log = open(log_path, "w", buffering=1)
    print("seed %d, %d mutants; scratch copy in %s, log in %s"
          % (args.seed, len(mutants), scratch, log_path), flush=True)
    started = time.monotonic()
    sync_scratch(scratch, files)
    options = CMAKE_OPTIONS + (["-DRERODADA_SANITIZE=ON"] if args.sanitize else [])
    env = dict(os.environ)
    if args.sanitize:
        # As scripts/test.sh runs the sanitizer build.
        env.update(ASAN_OPTIONS="detect_leaks=1", UBSAN_OPTIONS="print_stacktrace=1",
                   LSAN_OPTIONS="suppressions=%s" % (scratch / "tests" / "lsan.supp"))
    run(["cmake", "-S", str(scratch), "-B", str(build)] + options, stdout=log)
    if subprocess.run(["cmake", "--build", str(build), "-j%d" % min(args.jobs, 2)],
                      stdout=log, stderr=subprocess.STDOUT).returncode != 0:
        print("the unmutated tree does not build; see the log")
        return 2
    names, tests, reach = test_programs(build, env)
    if args.programs:
        chosen = set(args.programs.split(","))
        tests = {p: numbers for p, numbers in tests.items() if p in chosen}
        reach = {p: files for p, files in reach.items() if p in chosen}
    program_of = {n: p for p, numbers in tests.items() for n in numbers}
    everything = sorted(program_of)
    outcome, _, baseline = ctest(build, everything, names, args.jobs, 1800, log, env)
    if outcome != "passed":
        print("the unmutated tree fails its tests (%s); nothing to measure" % outcome)
        return 2
    limit = 2 * baseline + 60
    print("unmutated suite: %d tests pass in %.0f s; limit per mutant %.0f s"
          % (len(everything), baseline, limit), flush=True)

    def confirm(failing):
        """The verdict on a mutant that failed these tests, from the unmutated build."""
        if not build_targets(build, sorted({program_of[n] for n in failing}), args.jobs, log):
            return "error", []
        rerun, results, _ = ctest(build, failing, names, args.jobs, limit, log, env, stop=False)
        passing = [names[n] for n in failing if results.get(n) == "Passed"]
        if passing:
            return "killed", passing
        return ("error" if rerun == "error" else "flaky"), [names[n] for n in failing]

    counts = dict.fromkeys(["killed", "survived", "timed out", "flaky", "error", "build failed",
                            "unreached"], 0)
    results = []
    current = {}

    def restore(*_):
        if current:
            current["file"].write_bytes(current["text"].encode())
            current.clear()
        if _:
            sys.exit(130)

    signal.signal(signal.SIGINT, restore)
    signal.signal(signal.SIGTERM, restore)
    for mutant in mutants:
        path = scratch / mutant.path
        text = path.read_bytes().decode()
        programs = sorted(p for p, files in reach.items() if mutant.path in files)
        numbers = [n for p in programs for n in tests[p]]
        outcome, found = "", {}
        if not numbers:
            status = "unreached"
        else:
            current.update(file=path, text=text)
            try:
                path.write_bytes(mutant.apply(text).encode())
                log.write("\n=== %s\n" % mutant.describe())
                if build_targets(build, programs, args.jobs, log):
                    outcome, found, _ = ctest(build, numbers, names, args.jobs, limit, log, env)
                else:
                    outcome = "build failed"
            finally:
                restore()
        shown = [names[n] for n, result in found.items() if result == "Timeout"]
        # A failing test or build counts against the mutant only if the unmutated code,
        # rebuilt, passes that test or builds.
        if outcome in ("failed", "build failed"):
            log.write("\n=== unmutated, after %s\n" % outcome)
        if outcome == "failed":
            status, shown = confirm([n for n, result in found.items() if result in FAILED])
        elif outcome == "build failed":
            status = "build failed" if build_targets(build, programs, args.jobs, log) else "error"
        elif outcome:
            status = {"passed": "survived", "timeout": "timed out", "error": "error"}[outcome]
        counts[status] += 1
        test = ", ".join(shown)
        results.append({"number": mutant.number, "mutant": mutant.describe(), "status": status,
                        "test": test, "programs": programs})
        print("%-60s %s%s" % (mutant.describe(), status, " (%s)" % test if test else ""),
              flush=True)
    # The scratch copy goes back to the unmutated build, for the next run.
    subprocess.run(["cmake", "--build", str(build), "-j%d" % min(args.jobs, 2)], stdout=log,
                   stderr=subprocess.STDOUT)

    detected = counts["killed"] + counts["timed out"]
    counted = detected + counts["survived"]
    print("%d killed, %d survived, %d flaky, %d errors"
          % (detected, counts["survived"], counts["flaky"], counts["error"]))
    print("of the killed, %d timed out; not counted: the flaky, the errors, %d failed to build, "
          "%d reached by no test" % (counts["timed out"], counts["build failed"],
                                     counts["unreached"]))
    score = 100.0 * detected / counted if counted else 0.0
    minutes = (time.monotonic() - started) / 60
    print("score %.1f%% (%d of %d); %.0f min" % (score, detected, counted, minutes))
    if args.results:
        with open(args.results, "w") as out:
            json.dump({"seed": args.seed, "count": args.count, "sanitize": args.sanitize,
                       "counts": counts, "results": results}, out, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
