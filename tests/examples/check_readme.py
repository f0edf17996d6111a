#!/usr/bin/env python3
"""Runs one example as its README says and checks every claim of the README against the run.

A README marks its code blocks with an HTML comment on the line before the block (the comment is
invisible when the README is rendered):

  <!-- check: run -->             the commands to run, one a line (`# ...` is a comment); they run
                                  in order in a scratch copy of the example folder, with the
                                  build's programs first on the PATH, and must exit with status 0
  <!-- check: file NAME -->       the block quotes the file NAME as the run leaves it
  <!-- check: output COMMAND -->  the block quotes the standard output of the command of the run
                                  block that starts with COMMAND (`stderr COMMAND`: its standard
                                  error)
  <!-- check: none -->            the block is no output (a formula, a command to adapt)

A quoted block is the output with `...` lines standing for the lines left out: without a leading
`...` it starts at the first line of the output, without a trailing one it ends at the last, and
lines next to each other in the block are next to each other in the output (trailing blanks
aside).

Every figure of the prose (a number with a decimal point and at least 5 significant digits) must
be a number the run printed or wrote, or one of the input files, rounded to the digits the README
gives; or the result of an arithmetic written out in the prose (`a − b = c`, with +, −, ×, /)
whose value it is to the digits given; or a number quoted by the checked blocks of another
example of the same folder. A figure the run cannot give (a published constant, a value from a
formula in words) is named in a comment `<!-- check: not from the run: 1081.58 0.15427 -->` in
the paragraph that uses it.

A claim on the run's CPU time ("takes less than 0.1 s of CPU time", "under a second of CPU time")
is checked against the user and system time of the commands, unless --no-timing is given (for
builds that are slow on purpose, such as the sanitizers').

The example folder itself must hold nothing but README.md, velk.inf and the data files velk.inf
names (records 2 and 5), so that no output of a run is left behind in it.

usage: check_readme.py EXAMPLE_DIR BIN_DIR [--no-timing]
"""

import argparse
import bisect
import itertools
import math
import os
import pathlib
import re
import resource
import shutil
import subprocess
import sys
import tempfile

DIRECTIVE = re.compile(r"^<!--\s*check:\s*(.*?)\s*-->\s*$")
NOT_FROM_RUN = re.compile(r"<!--\s*check:\s*not from the run:(.*?)-->", re.S)
COMMENT = re.compile(r"<!--.*?-->", re.S)
NUMBER = r"-?(?:\d+\.\d*|\.\d+|\d+)(?:[eE][-+]?\d+)?"
NUMBER_TOKEN = re.compile(r"(?<![\w.])[-+]?(?:\d+\.\d*|\.\d+|\d+)(?:[eE][-+]?\d+)?")
FIGURE = re.compile(r"(?<![\w.^])-?\d+\.\d+(?:[eE][-+]?\d+)?(?![\w.])")
ARITHMETIC = re.compile(r"(?<![\w.(,])(" + NUMBER + r"(?:\s*[-+×*/]\s*" + NUMBER + r")+)\s*=\s*(" +
                        NUMBER + r")(?![\w.])")
CPU_CLAIM = re.compile(
    r"(?:less than|under)\s+(a|one|\d+(?:\.\d+)?)\s+(?:s|second)s?\s+of\s+CPU\s+time", re.I)
MINIMUM_DIGITS = 4


class Block:
    def __init__(self, directive, lines, line_number):
        self.directive = directive
        self.lines = lines
        self.line_number = line_number


def parse_readme(text):
    """The code blocks (with the directive before each) and the paragraphs of prose."""
    blocks, paragraphs, prose = [], [], []
    lines = text.split("\n")
    directive = None
    i = 0
    previous_blank = True
    while i < len(lines):
        line = lines[i]
        match = DIRECTIVE.match(line)
        if match and not match.group(1).startswith("not from the run"):
            directive = (match.group(1), i + 1)
            i += 1
            continue
        if line.startswith("```"):
            start = i
            i += 1
            body = []
            while i < len(lines) and not lines[i].startswith("```"):
                body.append(lines[i])
                i += 1
            blocks.append(Block(directive, body, start + 1))
            directive = None
            i += 1
            previous_blank = False
            continue
        if line.startswith("    ") and previous_blank:
            start = i
            body = []
            while i < len(lines) and (lines[i].startswith("    ") or not lines[i].strip()):
                body.append(lines[i][4:])
                i += 1
            while body and not body[-1].strip():
                body.pop()
            blocks.append(Block(directive, body, start + 1))
            directive = None
            previous_blank = True
            continue
        if not line.strip():
            if prose:
                paragraphs.append(" ".join(prose))
                prose = []
            previous_blank = True
        else:
            prose.append(line)
            previous_blank = False
        i += 1
    if prose:
        paragraphs.append(" ".join(prose))
    return blocks, paragraphs


def unit(written):
    """Half a unit of the last digit of a number as written."""
    mantissa, _, exponent = written.lower().partition("e")
    decimals = len(mantissa.partition(".")[2])
    return 0.5 * 10.0 ** (-decimals + (int(exponent) if exponent else 0))


def significant_digits(written):
    mantissa = written.lower().partition("e")[0].lstrip("-+").replace(".", "").lstrip("0")
    return len(mantissa)


def plain(paragraph):
    """A paragraph's text with its markup and comments removed and minus signs made ASCII."""
    text = COMMENT.sub(" ", paragraph)
    text = text.replace("**", "").replace("`", "").replace("−", "-").replace("\u2009", " ")
    return re.sub(r"\s+", " ", text)


def matches(block_lines, output_lines):
    """Where the quoted block fails to be the output with elisions, or None."""
    quote = [line.rstrip() for line in block_lines]
    output = [line.rstrip() for line in output_lines]
    while output and not output[-1]:
        output.pop()
    segments = [list(group) for is_gap, group in itertools.groupby(quote, lambda l: l == "...")
                if not is_gap]
    open_start = bool(quote) and quote[0] == "..."
    open_end = bool(quote) and quote[-1] == "..."
    position = 0
    for index, segment in enumerate(segments):
        anchored_start = index == 0 and not open_start
        anchored_end = index == len(segments) - 1 and not open_end
        candidates = [position] if anchored_start else range(position, len(output) - len(segment) + 1)
        if anchored_end:
            candidates = [c for c in candidates if c == len(output) - len(segment)]
        found = next((c for c in candidates if output[c:c + len(segment)] == segment), None)
        if found is None:
            if anchored_start and output[:1] != segment[:1]:
                return f"the output starts with {output[:1]!r}, not {segment[0]!r} (a leading ... is missing?)"
            if anchored_end and output[-len(segment):] != segment:
                missing = next((l for l in segment if l not in output), None)
                if missing is not None:
                    return f"the output has no line {missing!r}"
                return f"the output does not end with these lines (last: {output[-1:]!r}; a trailing ... is missing?)"
            missing = next((l for l in segment if l not in output[position:]), None)
            if missing is not None:
                return f"the output has no line {missing!r} here"
            return f"the lines from {segment[0]!r} are not consecutive in the output"
        position = found + len(segment)
    return None


def numbers_in(text):
    values = []
    for token in NUMBER_TOKEN.findall(text):
        try:
            values.append(float(token))
        except ValueError:
            pass
    return values


def checked_numbers_of_other_examples(example):
    """The numbers the sibling examples' READMEs quote in their checked blocks or derive by a
    written arithmetic that holds (each README's own check holds them to its run)."""
    values = []
    for readme in sorted(example.parent.glob("*/README.md")):
        if readme.parent == example:
            continue
        blocks, paragraphs = parse_readme(readme.read_text())
        for block in blocks:
            if block.directive and block.directive[0].split()[0] in ("file", "output", "stderr"):
                values.extend(numbers_in("\n".join(block.lines)))
        for paragraph in paragraphs:
            for expression, result in ARITHMETIC.findall(plain(paragraph)):
                if arithmetic_holds(expression, result):
                    values.append(float(result))
    return values


def arithmetic_holds(expression, result):
    """Whether expression equals result to the digits written (each operand and the result
    within half a unit of its last digit)."""
    tokens = re.findall(NUMBER + r"|[-+×*/]", expression)
    # A sign belongs to the number when it follows an operator or starts the expression.
    items, expect_number = [], True
    for token in tokens:
        if expect_number and token not in "+×*/" and token != "-":
            items.append(("number", token))
            expect_number = False
        elif token in "+-×*/" and not expect_number:
            items.append(("operator", token.replace("×", "*")))
            expect_number = True
        else:
            return False
    numbers = [t for kind, t in items if kind == "number"]
    if len(numbers) > 6:
        return False
    low, high = math.inf, -math.inf
    for signs in itertools.product((-1, 1), repeat=len(numbers)):
        values = iter(float(n) + s * unit(n) for n, s in zip(numbers, signs))
        source = "".join(repr(next(values)) if kind == "number" else token for kind, token in items)
        value = eval(source, {"__builtins__": {}})  # only numbers and + - * / reach here
        low, high = min(low, value), max(high, value)
    target, margin = float(result), unit(result) * (1 + 1e-9)
    return target + margin >= low and target - margin <= high


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("example", type=pathlib.Path)
    parser.add_argument("bin_dir", type=pathlib.Path)
    parser.add_argument("--no-timing", action="store_true")
    args = parser.parse_args()
    example = args.example.resolve()
    name = example.name
    failures = []
    readme_path = example / "README.md"
    readme = readme_path.read_text()
    blocks, paragraphs = parse_readme(readme)

    # The folder holds its inputs only.
    control = (example / "velk.inf").read_text().split("\n")
    data_files = {control[1][:12].rstrip(), control[4][:12].rstrip()}
    for entry in sorted(example.iterdir()):
        if entry.name not in {"README.md", "velk.inf"} | data_files:
            failures.append(f"{entry.name} is neither README.md, velk.inf nor a data file that "
                            "velk.inf names")

    for block in blocks:
        if block.directive is None:
            failures.append(f"README.md:{block.line_number}: a code block without a "
                            "<!-- check: ... --> comment before it")
    commands = [line.partition(" #")[0].strip() for block in blocks
                if block.directive and block.directive[0] == "run" for line in block.lines]
    commands = [c for c in commands if c and not c.startswith("#")]
    if not commands:
        failures.append("README.md: no <!-- check: run --> block says how to run the example")

    with tempfile.TemporaryDirectory(prefix="velk-readme-") as scratch:
        work = pathlib.Path(scratch) / name
        shutil.copytree(example, work)
        environment = dict(os.environ, PATH=f"{args.bin_dir.resolve()}{os.pathsep}{os.environ['PATH']}")
        results = []
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        for command in commands:
            completed = subprocess.run(["bash", "-c", command], cwd=work, env=environment,
                                       stdin=subprocess.DEVNULL, capture_output=True, text=True,
                                       timeout=600)
            results.append((command, completed))
            print(f"$ {command}: status {completed.returncode}")
            if completed.returncode != 0:
                failures.append(f"`{command}` exits with status {completed.returncode}: "
                                f"{(completed.stdout + completed.stderr).strip()[-400:]}")
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
        print(f"CPU time of the commands: {cpu:.3f} s")

        def command_output(prefix, stream):
            for command, completed in results:
                if command.startswith(prefix):
                    return getattr(completed, stream)
            return None

        for block in blocks:
            if block.directive is None:
                continue
            directive, at = block.directive
            kind, _, target = directive.partition(" ")
            where = f"README.md:{block.line_number}"
            if kind in ("run", "none"):
                continue
            if kind == "file":
                path = work / target
                if not path.is_file():
                    failures.append(f"{where}: the run wrote no file {target}")
                    continue
                output = path.read_text(errors="replace").split("\n")
            elif kind in ("output", "stderr"):
                text = command_output(target, "stdout" if kind == "output" else "stderr")
                if text is None:
                    failures.append(f"{where}: no command of the run starts with `{target}`")
                    continue
                output = text.split("\n")
            else:
                failures.append(f"README.md:{at}: unknown check `{directive}`")
                continue
            problem = matches(block.lines, output)
            if problem:
                failures.append(f"{where} ({directive}): {problem}")

        # The numbers the run gives: its files (pictures aside) and what the commands printed.
        pool = []
        for path in sorted(work.iterdir()):
            if path.is_file() and path.suffix != ".svg" and path.name != "README.md":
                pool.extend(numbers_in(path.read_text(errors="replace")))
        for _, completed in results:
            pool.extend(numbers_in(completed.stdout + completed.stderr))
        pool.extend(checked_numbers_of_other_examples(example))
        pool = sorted(set(pool))

        def in_pool(written):
            # Prose gives a spacing or a correction without the sign a column prints it with.
            margin = unit(written) * (1 + 1e-9)
            for value in {float(written), -float(written)}:
                k = bisect.bisect_left(pool, value - margin)
                if k < len(pool) and pool[k] <= value + margin:
                    return True
            return False

        for paragraph in paragraphs:
            exempt = set()
            for listed in NOT_FROM_RUN.findall(paragraph):
                for written in listed.split():
                    exempt.add(written.replace("−", "-"))
            text = plain(paragraph)
            for written in exempt:
                if written not in text:
                    failures.append(f"README.md: `not from the run: {written}` names no figure "
                                    f"of its paragraph")
            derived, wrong = set(), set()
            for expression, result in ARITHMETIC.findall(text):
                if arithmetic_holds(expression, result):
                    derived.add(result)
                else:
                    wrong.add(result)
                    failures.append(f"README.md: {expression} = {result} does not hold")
            for written in dict.fromkeys(FIGURE.findall(text)):
                if significant_digits(written) < MINIMUM_DIGITS or written in wrong:
                    continue
                if written in derived or written in exempt or in_pool(written):
                    continue
                failures.append(f"README.md: the figure {written} is nowhere in the run's output "
                                f"(\"...{text[max(0, text.find(written) - 50):text.find(written) + 20]}...\")")
            for claim in CPU_CLAIM.findall(text):
                limit = 1.0 if claim.lower() in ("a", "one") else float(claim)
                if args.no_timing:
                    print(f"CPU time claim of {limit} s not checked (--no-timing)")
                elif not cpu < limit:
                    failures.append(f"README.md: the commands take {cpu:.3f} s of CPU time, "
                                    f"the README says less than {limit} s")

    for failure in failures:
        print(f"FAIL: {name}: {failure}")
    if failures:
        return 1
    print(f"{name}: the run prints and writes what its README says")
    return 0


if __name__ == "__main__":
    sys.exit(main())
