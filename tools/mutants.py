#!/usr/bin/python3
"""Makes one-line faults from the C++ lines a change touched, for tools/mutate.

The faults are the ones developers make: a comparison moved by one or flipped, an integer
constant off by one, "and" and "or" swapped, a negation dropped, and a statement that assigns,
clears, resets, releases or returns left out. Each names the test targets that link the
changed file, taken from the build tree, so tools/mutate runs all of them.

    tools/mutants.py > /tmp/faults.txt && tools/mutate /tmp/faults.txt
    tools/mutants.py --base HEAD~3 --sample 40 --seed 7

Comments, string and character literals and preprocessor lines are never touched. Faults
listed in tools/mutants-equivalent.txt (ones that cannot change behaviour) are left out.
"""

import argparse
import json
import os
import random
import re
import shlex
import subprocess
import sys
import tempfile
from collections import namedtuple

CPP_SUFFIXES = (".cpp", ".cc", ".cxx", ".h", ".hpp", ".hh", ".inl")
# Faults in the tests themselves or the benchmarks say nothing about what the tests catch.
SKIPPED_FOLDERS = ("tests", "bench")

Token = namedtuple("Token", "kind text line col")
Mutant = namedtuple("Mutant", "path line what original faulty")

# Longest first, so that "<<=" is not read as "<" "<=".
OPERATORS = sorted(
    """<=> <<= >>= ... ->* :: -> ++ -- << >> <= >= == != && || += -= *= /= %= &= |= ^= .*
    { } [ ] ( ) ; : ? , . + - * / % ^ & | ~ ! = < > #""".split(),
    key=len,
    reverse=True,
)
STRING_START = re.compile(r'(?:u8|u|U|L)?"')
RAW_STRING_START = re.compile(r'(?:u8|u|U|L)?R"([^()\\ \n]{0,16})\(')
CHAR_START = re.compile(r"(?:u8|u|U|L)?'")
NUMBER = re.compile(r"\.?[0-9](?:[eEpP][+-]|'[0-9A-Za-z_]|[0-9A-Za-z_.])*")
IDENTIFIER = re.compile(r"[A-Za-z_][A-Za-z_0-9]*")
INTEGER = re.compile(r"^(0[xX][0-9a-fA-F']+|0[bB][01']+|[0-9][0-9']*)([uUlLzZ]*)$")


def is_cpp_source(path):
    """A C++ file whose faults the test suite should catch."""
    parts = path.split("/")
    return path.endswith(CPP_SUFFIXES) and parts[0] not in SKIPPED_FOLDERS


def tokenize(text):
    """The code tokens of a C++ file, with the numbers of the preprocessor lines.

    Comments are dropped; literals are kept as single tokens so that nothing inside them is
    taken for an operator."""
    tokens = []
    pp_lines = set()
    i, n = 0, len(text)
    line, line_start, fresh_line = 1, 0, True

    def skip_to(end):
        nonlocal i, line, line_start
        newlines = text.count("\n", i, end)
        if newlines:
            line += newlines
            line_start = text.rfind("\n", i, end) + 1
        i = end

    def quoted_end(start, quote):
        j = start
        while j < n and text[j] != quote and text[j] != "\n":
            j += 2 if text[j] == "\\" else 1
        return min(j + 1, n)

    while i < n:
        c = text[i]
        if c == "\n":
            skip_to(i + 1)
            fresh_line = True
            continue
        if c in " \t\r\f\v":
            i += 1
            continue
        if c == "\\" and text.startswith("\n", i + 1):
            skip_to(i + 2)
            continue
        if fresh_line and c == "#":
            # A directive runs to the first newline that no backslash continues.
            j = i
            while True:
                pp_lines.add(line + text.count("\n", i, j))
                k = text.find("\n", j)
                if k == -1:
                    k = n
                    break
                if text[k - 1] != "\\":
                    break
                j = k + 1
            skip_to(k)
            continue
        fresh_line = False
        if text.startswith("//", i):
            end = text.find("\n", i)
            skip_to(n if end == -1 else end)
            continue
        if text.startswith("/*", i):
            end = text.find("*/", i + 2)
            skip_to(n if end == -1 else end + 2)
            continue
        start_line, col = line, i - line_start
        m = RAW_STRING_START.match(text, i)
        if m:
            end = text.find(")" + m.group(1) + '"', m.end())
            end = n if end == -1 else end + len(m.group(1)) + 2
            tokens.append(Token("str", text[i:end], start_line, col))
            skip_to(end)
            continue
        m = STRING_START.match(text, i) or CHAR_START.match(text, i)
        if m:
            end = quoted_end(m.end(), text[m.end() - 1])
            kind = "str" if text[m.end() - 1] == '"' else "chr"
            tokens.append(Token(kind, text[i:end], start_line, col))
            i = end
            continue
        m = NUMBER.match(text, i) or IDENTIFIER.match(text, i)
        if m:
            kind = "id" if IDENTIFIER.match(m.group()) else "num"
            tokens.append(Token(kind, m.group(), start_line, col))
            i = m.end()
            continue
        op = next((o for o in OPERATORS if text.startswith(o, i)), c)
        tokens.append(Token("op", op, start_line, col))
        i += len(op)
    return tokens, pp_lines


CONTROL_WORDS = {"if", "for", "while", "switch", "catch"}
TYPE_WORDS = {"class", "struct", "union", "enum", "namespace", "extern"}


def block_kinds(tokens):
    """For each token, what the innermost braces around it hold: "type" (a class or
    namespace body), "control" (the body of an if, loop, else or case), "function" or "init"
    (a braced initializer)."""
    kinds = []
    stack = []
    head_start = 0
    for idx, tok in enumerate(tokens):
        kinds.append(stack[-1] if stack else "type")
        if tok.text == "{" and tok.kind == "op":
            stack.append(opened_block(tokens, head_start, idx))
        elif tok.text == "}" and tok.kind == "op" and stack:
            stack.pop()
        if tok.kind == "op" and tok.text in ("{", "}", ";"):
            head_start = idx + 1
    return kinds


def opened_block(tokens, head_start, brace):
    head = [t.text for t in tokens[head_start:brace]]
    if not head:
        return "control"  # a bare block inside a function
    if TYPE_WORDS.intersection(head) and "(" not in head:
        return "type"
    last = head[-1]
    if last in ("else", "do", "try", ":"):
        return "control"
    if last == ")":
        depth = 0
        for j in range(brace - 1, head_start - 1, -1):
            text = tokens[j].text
            depth += {")": 1, "(": -1}.get(text, 0)
            if depth == 0:
                before = tokens[j - 1].text if j > head_start else ""
                return "control" if before in CONTROL_WORDS else "function"
        return "function"
    if last in ("const", "noexcept", "override", "final", "mutable", "]"):
        return "function"
    return "init"


def space_around(line_text, col, width):
    """Whether an operator stands alone between spaces (or the line's ends), as clang-format
    writes a binary operator and never a template's angle brackets or a reference."""
    before = line_text[:col]
    after = line_text[col + width :]
    return (before == "" or before[-1] == " " or not before.strip()) and (
        after == "" or after[0] == " "
    )


SWAPS = {
    "<": "<=",
    "<=": "<",
    ">": ">=",
    ">=": ">",
    "==": "!=",
    "!=": "==",
    "&&": "||",
    "||": "&&",
}
# Only these need the spacing test: the others are never anything but binary operators.
AMBIGUOUS = {"<", ">", "<=", ">=", "&&", "||"}
RESETTING = re.compile(
    r"clear|reset|release|invalidate|erase|remove|free|close|cancel|abort|stop|flush|forget|"
    r"drop|discard|fill|swap|pop|unref|disconnect",
    re.IGNORECASE,
)
ASSIGNMENTS = {"=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=", "<<=", ">>="}
NOT_STATEMENTS = CONTROL_WORDS | TYPE_WORDS | {
    "else", "do", "case", "default", "using", "typedef", "template", "static_assert",
    "friend", "public", "private", "protected", "goto", "break", "continue", "co_return",
}
DECLARING_WORDS = {
    "auto", "const", "constexpr", "static", "thread_local", "volatile", "inline", "mutable",
    "unsigned", "signed", "int", "long", "short", "char", "bool", "float", "double", "void",
}


def changed_number(text):
    """The same integer literal one more and one less (not below zero), in its own base."""
    m = INTEGER.match(text)
    if not m:
        return []
    digits, suffix = m.group(1).replace("'", ""), m.group(2)
    if digits[:2] in ("0x", "0X"):
        value, prefix = int(digits[2:], 16), digits[:2]
        upper = any(ch in "ABCDEF" for ch in digits[2:])
        width = len(digits) - 2  # leading zeros say how wide the field is
        spell = lambda v: prefix + format(v, f"0{width}{'X' if upper else 'x'}")
    elif digits[:2] in ("0b", "0B"):
        value, prefix = int(digits[2:], 2), digits[:2]
        spell = lambda v: prefix + format(v, "b")
    elif len(digits) > 1 and digits[0] == "0":
        value = int(digits, 8)
        spell = lambda v: "0" + format(v, "o")
    else:
        value = int(digits)
        spell = str
    return [spell(v) + suffix for v in (value + 1, value - 1) if v >= 0]


def splice(line_text, col, width, replacement):
    return line_text[:col] + replacement + line_text[col + width :]


DATA_PUNCTUATION = {"{", "}", ",", ";", "(", ")", "-"}


def is_data_row(toks):
    """Whether a line is a row of a table (only literals and punctuation, three numbers or
    more). Each of its constants off by one would flood the list with faults that only a
    test comparing the whole table tells apart, so its constants are left alone."""
    numbers = sum(1 for t in toks if t.kind == "num")
    plain = all(t.kind in ("num", "str", "chr") or t.text in DATA_PUNCTUATION for t in toks)
    # A braced row that also names constants (a colour, a kind of face) is a row all the same.
    braced = bool(toks) and toks[0].text == "{" and all(
        t.kind in ("num", "str", "chr", "id") or t.text in DATA_PUNCTUATION - {";"} for t in toks
    )
    return (plain or braced) and numbers >= 3


def is_initialised_bound(toks, k):
    """Whether constant k is the bound of an array its declaration fills from a list: one
    more only adds a zero element nobody reads, one less does not build."""
    if not (2 <= k < len(toks) - 2 and toks[k - 2].kind == "id"):
        return False
    after = [t.text for t in toks[k + 2 : k + 4]]
    return toks[k - 1].text == "[" and toks[k + 1].text == "]" and (
        after[:1] == ["{"] or after == ["=", "{"]
    )


def line_mutants(line_text, toks):
    """The operator and constant faults of one line: (what, faulty line) pairs."""
    found = []
    data_row = is_data_row(toks)
    for k, tok in enumerate(toks):
        prev = toks[k - 1].text if k else ""
        if tok.kind == "op" and tok.text in SWAPS and prev != "operator":
            if tok.text in AMBIGUOUS and not space_around(line_text, tok.col, len(tok.text)):
                continue
            swapped = SWAPS[tok.text]
            found.append(
                (f"{tok.text} to {swapped}", splice(line_text, tok.col, len(tok.text), swapped))
            )
        elif tok.kind == "op" and tok.text == "!" and prev != "operator" and k + 1 < len(toks):
            found.append(("negation dropped", splice(line_text, tok.col, 1, "")))
        elif tok.kind == "num" and not data_row and not is_initialised_bound(toks, k):
            for other in changed_number(tok.text):
                found.append(
                    (f"{tok.text} to {other}", splice(line_text, tok.col, len(tok.text), other))
                )
    return found


def is_declaration(lhs):
    """Whether the tokens before an "=" declare something (two names in a row, a keyword
    that only starts a declaration, a template's closing bracket or a pointer's star before
    a name) rather than name something that exists."""
    for k in range(len(lhs) - 1):
        a, b = lhs[k], lhs[k + 1]
        if b.kind != "id":
            continue
        if a.kind == "id" or (a.kind == "op" and a.text == ">"):
            return True
        if a.text in ("*", "&", "&&") and k > 0 and lhs[k - 1].kind == "id":
            return True
    return any(t.text in DECLARING_WORDS for t in lhs)


def removal_reason(toks, next_tok, block):
    """Why the statement on this line may be left out ("assignment removed" and so on), or
    None when leaving it out would not be a fault a developer makes or would not build."""
    if block not in ("control", "function") or not toks or toks[-1].text != ";":
        return None
    if toks[0].text in NOT_STATEMENTS or toks[0].text in ("{", "}"):
        return None
    depth = 0
    for t in toks:
        if t.kind == "op" and t.text in "([{":
            depth += 1
        elif t.kind == "op" and t.text in ")]}":
            depth -= 1
            if depth < 0:
                return None
    if depth:
        return None
    texts = [t.text for t in toks]
    if texts[0] == "return":
        # Leaving out the last statement of a function would not build, or change nothing.
        if len(texts) == 2 or (next_tok == "}" and block == "function"):
            return None
        return "return removed"
    if texts[0] == "delete":
        return "release removed"
    if texts[0] in ("++", "--") or texts[-2] in ("++", "--"):
        return "assignment removed"
    depth = 0
    for k, t in enumerate(toks):
        if t.kind == "op" and t.text in "([{":
            depth += 1
        elif t.kind == "op" and t.text in ")]}":
            depth -= 1
        elif depth == 0 and t.kind == "op" and t.text in ASSIGNMENTS:
            if k == 0 or is_declaration(toks[:k]) or texts[k + 1] in ("default", "delete"):
                return None
            return "assignment removed"
    for a, b in zip(toks, toks[1:]):
        if a.kind == "id" and b.text == "(" and RESETTING.search(a.text):
            if is_declaration(toks[: texts.index("(")]):
                return None
            return f"{a.text} removed"
    return None


def file_mutants(path, text, lines_wanted):
    """Every fault of the wanted lines (numbered from 1) of one file."""
    tokens, pp_lines = tokenize(text)
    kinds = block_kinds(tokens)
    lines = text.split("\n")
    by_line = {}
    for idx, tok in enumerate(tokens):
        by_line.setdefault(tok.line, []).append(idx)
    mutants = []
    for number in sorted(lines_wanted):
        if number in pp_lines or number not in by_line or number > len(lines):
            continue
        idxs = by_line[number]
        # A literal or comment that began on an earlier line is not this line's to change.
        toks = [tokens[j] for j in idxs]
        line_text = lines[number - 1]
        for what, faulty in line_mutants(line_text, toks):
            mutants.append(Mutant(path, number, what, line_text, faulty))
        starts_statement = idxs[0] == 0 or tokens[idxs[0] - 1].text in (";", "{", "}", ":")
        if not starts_statement and tokens[idxs[0] - 1].text == ")":
            starts_statement = tokens[by_line[tokens[idxs[0] - 1].line][0]].text in (
                CONTROL_WORDS | {"else"}
            )
        next_tok = tokens[idxs[-1] + 1].text if idxs[-1] + 1 < len(tokens) else ""
        reason = starts_statement and removal_reason(toks, next_tok, kinds[idxs[0]])
        if reason:
            indent = line_text[: len(line_text) - len(line_text.lstrip())]
            mutants.append(Mutant(path, number, reason, line_text, indent + "{}"))
    return mutants


def changed_lines(diff_text):
    """The added or changed lines of each C++ file outside the tests in a unified diff:
    {path: set of line numbers in the new file}."""
    result = {}
    path, old_left, new_left, new_line = None, 0, 0, 0
    for row in diff_text.split("\n"):
        if old_left > 0 or new_left > 0:
            if row.startswith("+"):
                result.setdefault(path, set()).add(new_line)
                new_line += 1
                new_left -= 1
            elif row.startswith("-"):
                old_left -= 1
            elif row.startswith(" ") or row == "":
                new_line += 1
                old_left -= 1
                new_left -= 1
            continue
        if row.startswith("+++ "):
            name = row[4:].split("\t")[0]
            path = None if name == "/dev/null" else re.sub(r"^[a-z]/", "", name, count=1)
        elif row.startswith("@@") and path:
            m = re.match(r"@@ -\d+(?:,(\d+))? \+(\d+)(?:,(\d+))? @@", row)
            if m:
                old_left = int(m.group(1) or 1)
                new_line = int(m.group(2))
                new_left = int(m.group(3) or 1)
    return {p: s for p, s in result.items() if p and is_cpp_source(p)}


def ninja_statements(text):
    """(outputs, rule, explicit inputs, implicit inputs, variables) of each build statement."""
    text = text.replace("$\n", "")
    lines = text.split("\n")

    def split(part):
        words = re.split(r"(?<!\$) ", part.strip())
        return [w.replace("$ ", " ").replace("$:", ":").replace("$$", "$") for w in words if w]

    for k, line in enumerate(lines):
        if not line.startswith("build "):
            continue
        m = re.match(r"build ((?:\$.|[^:$])*):\s*(\S+)(.*)$", line)
        if not m:
            continue
        outputs = split(m.group(1).split(" | ")[0])
        inputs = m.group(3).split(" || ")[0]
        explicit, _, implicit = inputs.partition(" | ")
        variables = {}
        for var in lines[k + 1 :]:
            if not var.startswith("  "):
                break
            name, _, value = var.strip().partition(" = ")
            variables[name] = value
        yield outputs, m.group(2), split(explicit), split(implicit), variables


def test_targets_by_object(ninja_text, source_root):
    """{source path from the tree's root: set of objects} and {object: set of test targets
    that link it}. A test target is an executable whose cases go to CTest."""
    root = source_root.rstrip("/") + "/"
    objects_of = {}
    archives = {}
    tests_of = {}
    executables = []
    for outputs, rule, explicit, implicit, variables in ninja_statements(ninja_text):
        if rule.startswith("CXX_COMPILER__") and explicit:
            source = explicit[0]
            if source.startswith(root):
                source = source[len(root) :]
            objects_of.setdefault(source, set()).add(outputs[0])
        elif rule.startswith("CXX_STATIC_LIBRARY_LINKER__"):
            archives[outputs[0]] = set(explicit)
        elif rule.startswith("CXX_EXECUTABLE_LINKER__"):
            if any(o.endswith("_tests.cmake") for o in outputs):
                linked = explicit + implicit + variables.get("LINK_LIBRARIES", "").split()
                executables.append((os.path.basename(outputs[0]), linked))
    for name, linked in executables:
        for item in linked:
            for obj in archives.get(item, {item}):
                tests_of.setdefault(obj, set()).add(name)
    return objects_of, tests_of


def header_users(deps_text, source_root):
    """{header path from the tree's root: set of objects that include it}, from
    `ninja -t deps`."""
    root = source_root.rstrip("/") + "/"
    users = {}
    obj = None
    for row in deps_text.split("\n"):
        if row and not row.startswith(" "):
            obj = row.split(":")[0]
        elif row.strip().startswith(root) and obj:
            users.setdefault(row.strip()[len(root) :], set()).add(obj)
    return users


def nearest_first(path, tests):
    """The test targets named after the file, then those named most like its folder, first:
    tools/mutate stops at the first that fails, and the file's own tests are the likeliest to."""
    folder = os.path.dirname(path).replace("/include", "").replace("/", "_") + "_"
    stem = os.path.splitext(os.path.basename(path))[0].lower()

    def shared(name):
        n = 0
        while n < min(len(name), len(folder)) and name[n] == folder[n]:
            n += 1
        return n

    return sorted(tests, key=lambda name: (stem not in name, -shared(name), name))


class BuildTree:
    """Which test targets link a source file, read from a configured (ideally built) tree."""

    def __init__(self, build_dir):
        self.build_dir = build_dir
        with open(os.path.join(build_dir, "build.ninja")) as f:
            ninja_text = f.read()
        self.source_root = ""
        with open(os.path.join(build_dir, "CMakeCache.txt")) as f:
            for row in f:
                if row.startswith("CMAKE_HOME_DIRECTORY:"):
                    self.source_root = row.split("=", 1)[1].strip()
        self.objects_of, self.tests_of = test_targets_by_object(ninja_text, self.source_root)
        self._headers = None

    def tests_for(self, path):
        objects = set(self.objects_of.get(path, ()))
        if not path.endswith((".cpp", ".cc", ".cxx")):
            if self._headers is None:
                deps = subprocess.run(
                    ["ninja", "-C", self.build_dir, "-t", "deps"],
                    capture_output=True, text=True, check=False,
                ).stdout
                self._headers = header_users(deps, self.source_root)
            objects = self._headers.get(path, set())
            if not objects:
                # Not built yet: take the sources of the folder that owns the header.
                folder = path.split("/include/")[0] if "/include/" in path else os.path.dirname(path)
                objects = {
                    o for s, os_ in self.objects_of.items() if s.startswith(folder + "/") for o in os_
                }
        tests = set()
        for obj in objects:
            tests |= self.tests_of.get(obj, set())
        return nearest_first(path, tests)


def read_equivalents(text):
    """{(file, original, faulty)} of the faults marked equivalent, spaces at the ends aside."""
    found = set()
    path = original = None
    for row in text.split("\n"):
        if row.startswith("file "):
            path = row[5:].strip()
        elif row.startswith("- "):
            original = row[2:].strip()
        elif row.startswith("+ ") and path and original is not None:
            found.add((path, original, row[2:].strip()))
            original = None
    return found


def pick(mutants, sample, seed):
    """At most `sample` of the mutants, the same ones for the same seed, in file order."""
    if sample is None or sample >= len(mutants):
        return list(mutants)
    chosen = random.Random(seed).sample(range(len(mutants)), sample)
    return [mutants[k] for k in sorted(chosen)]


def builds(build_dir, mutant, compile_db):
    """Whether the file with the fault planted still compiles (a syntax and type check with
    the file's own compile command). Headers are taken on trust."""
    entry = compile_db.get(mutant.path)
    if entry is None:
        return True
    args = entry.get("arguments") or shlex.split(entry["command"])
    kept = []
    skip = False
    for a in args:
        if skip:
            skip = False
        elif a in ("-o", "-MF", "-MT", "-MQ"):
            skip = True
        elif a not in ("-c", "-MD", "-MMD") and a != entry["file"]:
            kept.append(a)
    with open(mutant.path) as f:
        lines = f.read().split("\n")
    lines[mutant.line - 1] = mutant.faulty
    suffix = os.path.splitext(mutant.path)[1]
    with tempfile.NamedTemporaryFile("w", suffix=suffix) as tmp:
        tmp.write("\n".join(lines))
        tmp.flush()
        cmd = kept + ["-iquote", os.path.abspath(os.path.dirname(mutant.path))]
        cmd += ["-fsyntax-only", tmp.name]
        lock = os.environ.get("MAREVO_BUILD_LOCK", "/tmp/marevo-build.lock")
        if os.path.exists(lock):
            cmd = ["flock", "-o", lock] + cmd
        done = subprocess.run(cmd, cwd=entry["directory"], capture_output=True, check=False)
    return done.returncode == 0


def format_block(mutant, tests):
    out = [f"# {mutant.path}:{mutant.line}: {mutant.what}", f"file {mutant.path}"]
    out.append(f"line {mutant.line}")
    out += [f"test {t}" for t in tests]
    out += [f"- {mutant.original}", f"+ {mutant.faulty}", ""]
    return "\n".join(out)


def git(*args):
    done = subprocess.run(["git", *args], capture_output=True, text=True, check=False)
    if done.returncode:
        sys.exit(f"mutants.py: git {' '.join(args)}: {done.stderr.strip()}")
    return done.stdout


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--base", help="compare with this commit (default: where HEAD left main)")
    parser.add_argument("--diff", help="read this unified diff instead ('-' for standard input)")
    parser.add_argument("--build", default="build/default", help="configured build tree")
    parser.add_argument("--sample", type=int, help="keep at most this many faults")
    parser.add_argument("--seed", type=int, default=1, help="which sample (default 1)")
    parser.add_argument("--equivalent", default="tools/mutants-equivalent.txt")
    parser.add_argument(
        "--check", action="store_true", help="drop faults whose source file does not compile"
    )
    args = parser.parse_args(argv)
    os.chdir(git("rev-parse", "--show-toplevel").strip())

    if args.diff:
        diff = sys.stdin.read() if args.diff == "-" else open(args.diff).read()
        untracked = []
    else:
        base = args.base or git("merge-base", "HEAD", "main").strip()
        diff = git("diff", "-U0", "--no-color", "--no-ext-diff", base)
        # A new file not yet added is part of the change too.
        untracked = git("ls-files", "--others", "--exclude-standard").split("\n")
    wanted = changed_lines(diff)
    for path in untracked:
        if path and is_cpp_source(path):
            with open(path) as f:
                wanted[path] = set(range(1, f.read().count("\n") + 2))

    equivalents = set()
    if os.path.exists(args.equivalent):
        with open(args.equivalent) as f:
            equivalents = read_equivalents(f.read())
    if not os.path.exists(os.path.join(args.build, "build.ninja")):
        sys.exit(f"no configured build tree in {args.build}: run cmake --preset default first")
    tree = BuildTree(args.build)

    mutants = []
    tests_of = {}
    for path in sorted(wanted):
        if not os.path.exists(path):
            continue
        tests = tree.tests_for(path)
        if not tests:
            print(f"mutants.py: no test target links {path}; its lines are left out",
                  file=sys.stderr)
            continue
        tests_of[path] = tests
        with open(path) as f:
            for m in file_mutants(path, f.read(), wanted[path]):
                if (m.path, m.original.strip(), m.faulty.strip()) not in equivalents:
                    mutants.append(m)
    picked = pick(mutants, args.sample, args.seed)
    if args.check:
        with open(os.path.join(args.build, "compile_commands.json")) as f:
            db = {}
            for entry in json.load(f):
                rel = os.path.relpath(entry["file"], tree.source_root)
                db[rel] = entry
        kept = [m for m in picked if builds(args.build, m, db)]
        print(f"mutants.py: {len(picked) - len(kept)} faults do not compile", file=sys.stderr)
        picked = kept

    how = " ".join(sys.argv[1:]) if argv is None else " ".join(argv)
    print(f"## generated by tools/mutants.py {how}".rstrip())
    print(f"## {len(picked)} of {len(mutants)} faults in {len(tests_of)} files")
    print()
    for m in picked:
        print(format_block(m, tests_of[m.path]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
