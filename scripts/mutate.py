#!/usr/bin/env python3
"""Mutation run over the library, the application core, the interpreter and the pages.

Picks a fixed, seeded set of single mutants from the source text (flip a
comparison, change a constant by one, swap two bytes, drop a statement, invert
a condition, remove a bounds check), then for each one: applies it to a scratch
copy of the tree, rebuilds that copy incrementally, runs the tests that can
reach the mutated file and reports the mutant as killed, survived or timed out.
The working tree itself is never changed. Python 3 standard library only.
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
    return chosen


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


def test_programs(build):
    """Each test program's ctest numbers, and the sources of the tree it is built from."""
    listing = json.loads(subprocess.run(["ctest", "--show-only=json-v1"], cwd=build, check=True,
                                        capture_output=True, text=True).stdout)
    tests = {}
    for number, test in enumerate(listing["tests"], 1):
        program = "python" if test["name"].startswith("python") else None
        for arg in test.get("command", []):
            if os.path.basename(arg).startswith("test_"):
                program = os.path.basename(arg)[len("test_"):]
        if program:
            tests.setdefault(program, []).append(number)
    reach = {}
    for program in tests:
        target = "rerodada" if program == "python" else "test_" + program
        inputs = subprocess.run(["ninja", "-C", str(build), "-t", "inputs", target], check=True,
                                capture_output=True, text=True).stdout.split()
        scratch = build.parent
        files = set()
        for item in inputs:
            path = Path(item) if os.path.isabs(item) else (build / item)
            try:
                files.add(path.resolve().relative_to(scratch.resolve()).as_posix())
            except ValueError:
                pass
        reach[program] = files
    return tests, reach


def programs_reaching(rel, reach, scratch):
    if rel.endswith(".cpp"):
        return sorted(p for p, files in reach.items() if rel in files)
    # A header reaches what the files including it reach.
    name = os.path.basename(rel)
    pattern = re.compile(r'#include\s+"([^"]*/)?%s"' % re.escape(name))
    programs = set()
    for folder in FOLDERS + ["tools", "sim"]:
        for path in (scratch / folder).rglob("*.cpp"):
            if pattern.search(path.read_text(errors="replace")):
                source = path.relative_to(scratch).as_posix()
                programs.update(p for p, files in reach.items() if source in files)
    return sorted(programs)


def build_targets(build, programs, jobs, log):
    targets = ["rerodada" if p == "python" else "test_" + p for p in programs]
    result = subprocess.run(["cmake", "--build", str(build), "-j%d" % min(jobs, 2), "--target"]
                            + targets, stdout=log, stderr=subprocess.STDOUT)
    return result.returncode == 0


def ctest(build, numbers, jobs, limit, log, everything=()):
    """Runs the tests; returns ("passed" | "failed" | "timeout", first failing test, seconds)."""
    # By number: a name pattern over hundreds of tests is too big for ctest's regex engine,
    # and an empty selection must fail, not pass.
    cmd = ["ctest", "-j%d" % jobs, "--stop-on-failure", "--no-tests=error"]
    if set(numbers) != set(everything):
        cmd += ["-I", "0,0,0," + ",".join(str(n) for n in sorted(numbers))]
    env = dict(os.environ, GTEST_FAIL_FAST="1")
    started = time.monotonic()
    proc = subprocess.Popen(cmd, cwd=build, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            env=env, start_new_session=True)
    outcome, failing = "passed", ""
    deadline = started + limit
    try:
        buffer = ""
        while True:
            ready, _, _ = select.select([proc.stdout], [], [], 0.2)
            chunk = os.read(proc.stdout.fileno(), 65536).decode(errors="replace") if ready else ""
            if chunk:
                log.write(chunk)
                buffer += chunk
                m = re.search(r"Test\s+#\d+: (\S+)[^\n]*?\*\*\*(\w+)", buffer)
                if m:
                    outcome = "timeout" if m.group(2) == "Timeout" else "failed"
                    failing = m.group(1)
                    break
                buffer = buffer[buffer.rfind("\n") + 1:]
            elif ready or proc.poll() is not None:
                proc.wait()
                if proc.returncode != 0:
                    outcome = "failed"
                break
            elif time.monotonic() > deadline:
                outcome = "timeout"
                break
    finally:
        if proc.poll() is None:
            os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
        proc.stdout.close()
    return outcome, failing, time.monotonic() - started


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--count", type=int, default=80)
    parser.add_argument("--list", action="store_true", help="print the mutants, run nothing")
    parser.add_argument("--only", default="",
                        help="run only these mutants (numbers, comma-separated)")
    parser.add_argument("--jobs", type=int, default=8,
                        help="tests run at once (builds use at most 2)")
    parser.add_argument("--dir", default="build-mutate", help="scratch copy and its build")
    parser.add_argument("--results", default="", help="write the outcomes to this JSON file")
    parser.add_argument("--programs", default="",
                        help="run only these test programs (comma-separated, e.g. bus,python)")
    parser.add_argument("--commit", default="",
                        help="measure this commit's tree instead of the working tree")
    args = parser.parse_args()

    files = tree_files(args.commit)
    mutants = choose(args.seed, args.count, files)
    if args.only:
        wanted = {int(n) for n in args.only.split(",")}
        mutants = [m for m in mutants if m.number in wanted]
    if args.list:
        for mutant in mutants:
            print(mutant.describe())
        return 0

    scratch = ROOT / args.dir / "src"
    build = scratch / "build"
    scratch.mkdir(parents=True, exist_ok=True)
    log_path = ROOT / args.dir / "mutate.log"
    log = open(log_path, "w")
    print("seed %d, %d mutants; scratch copy in %s, log in %s"
          % (args.seed, len(mutants), scratch, log_path), flush=True)
    started = time.monotonic()
    sync_scratch(scratch, files)
    run(["cmake", "-S", str(scratch), "-B", str(build)] + CMAKE_OPTIONS, stdout=log)
    if subprocess.run(["cmake", "--build", str(build), "-j%d" % min(args.jobs, 2)],
                      stdout=log, stderr=subprocess.STDOUT).returncode != 0:
        print("the unmutated tree does not build; see the log")
        return 2
    tests, reach = test_programs(build)
    all_names = [n for names in tests.values() for n in names]
    if args.programs:
        chosen = set(args.programs.split(","))
        tests = {p: names for p, names in tests.items() if p in chosen}
        reach = {p: files for p, files in reach.items() if p in chosen}
    everything = sorted(n for names in tests.values() for n in names)
    outcome, failing, baseline = ctest(build, everything, args.jobs, 1800, log, all_names)
    if outcome != "passed":
        print("the unmutated tree fails its tests (%s); nothing to measure" % (failing or outcome))
        return 2
    limit = 2 * baseline + 60
    print("unmutated suite: %d tests pass in %.0f s; limit per mutant %.0f s"
          % (len(everything), baseline, limit), flush=True)

    counts = {"killed": 0, "survived": 0, "timed out": 0, "build failed": 0, "unreached": 0}
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
        programs = programs_reaching(mutant.path, reach, scratch)
        names = [n for p in programs for n in tests[p]]
        failing, seconds = "", 0.0
        if not names:
            status = "unreached"
        else:
            current.update(file=path, text=text)
            try:
                path.write_bytes(mutant.apply(text).encode())
                log.write("\n=== %s\n" % mutant.describe())
                log.flush()
                if not build_targets(build, programs, args.jobs, log):
                    status = "build failed"
                else:
                    outcome, failing, seconds = ctest(build, names, args.jobs, limit, log,
                                                      all_names)
                    status = {"passed": "survived", "failed": "killed",
                              "timeout": "timed out"}[outcome]
            finally:
                restore()
        counts[status] += 1
        results.append({"number": mutant.number, "mutant": mutant.describe(), "status": status,
                        "test": failing, "programs": programs})
        print("%-60s %s%s" % (mutant.describe(), status, " (%s)" % failing if failing else ""),
              flush=True)
    # The scratch copy goes back to the unmutated build, for the next run.
    subprocess.run(["cmake", "--build", str(build), "-j%d" % min(args.jobs, 2)], stdout=log,
                   stderr=subprocess.STDOUT)

    detected = counts["killed"] + counts["timed out"]
    counted = detected + counts["survived"]
    print("%d killed, %d survived" % (detected, counts["survived"]))
    print("of the killed, %d timed out; not counted: %d failed to build, %d reached by no test"
          % (counts["timed out"], counts["build failed"], counts["unreached"]))
    score = 100.0 * detected / counted if counted else 0.0
    minutes = (time.monotonic() - started) / 60
    print("score %.1f%% (%d of %d); %.0f min" % (score, detected, counted, minutes))
    if args.results:
        with open(args.results, "w") as out:
            json.dump({"seed": args.seed, "count": args.count, "counts": counts,
                       "results": results}, out, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
