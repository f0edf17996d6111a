#!/usr/bin/env python3
"""The README check refuses a README that no longer tells the truth: each case plants one fault in
a copy of examples/co-levels and expects check_readme.py to fail, naming the fault.

usage: check_readme_planted.py SOURCE_ROOT BIN_DIR CASE [--no-timing]

--no-timing is passed on to the check (builds that are slow on purpose); the cpu_time case keeps
the timing, since its planted claim fails on any build.
"""

import pathlib
import shutil
import subprocess
import sys
import tempfile

# CASE: (text in README.md, its replacement, words the failure must hold)
CASES = {
    # The result of an arithmetic of the prose ten units off in its last digit (one unit is within
    # the rounding of the operands).
    "arithmetic": ("2147.081447 cm-1", "2147.081457 cm-1", "does not hold"),
    # A figure of the prose that the run never printed.
    "figure": ("B0 = 1.922529 cm-1", "B0 = 1.922539 cm-1", "the figure 1.922539"),
    # The first header line of Astate.dat left out without a leading ... line.
    "header_dropped": ("```\n  341 !number of levels\n", "```\n", "the output starts with"),
    # Two quoted lines that are not neighbours in the file, without ... between them.
    "lines_apart": ("    2   1   0    3224.857452  1 10  1\n...\n",
                    "    2   1   0    3224.857452  1 10  1\n", "not consecutive"),
    # A quoted line the file does not hold.
    "changed_line": ("   12   0   1    1085.431064", "   12   0   1    1085.431065", "no line"),
    # A CPU time far below the run's.
    "cpu_time": ("less than 0.1 s of CPU time", "less than 0.000001 s of CPU time", "CPU time"),
    # A block that says nothing of what it quotes.
    "no_directive": ("<!-- check: file Astate.dat -->\n", "", "without a <!-- check"),
    # The run's output left in the example folder.
    "stray_output": (None, "Astate.dat", "neither README.md"),
}


def main():
    root, bin_dir, case = pathlib.Path(sys.argv[1]), sys.argv[2], sys.argv[3]
    timing = [a for a in sys.argv[4:] if a == "--no-timing" and case != "cpu_time"]
    old, new, expected = CASES[case]
    with tempfile.TemporaryDirectory(prefix="velk-planted-") as scratch:
        example = pathlib.Path(scratch) / "examples" / "co-levels"
        shutil.copytree(root / "examples" / "co-levels", example)
        readme = example / "README.md"
        if old is None:
            (example / new).write_text("planted\n")
        else:
            text = readme.read_text()
            if old not in text:
                print(f"the README no longer holds {old!r}: update the case")
                return 1
            readme.write_text(text.replace(old, new, 1))
        completed = subprocess.run(
            [sys.executable, str(root / "tests" / "examples" / "check_readme.py"), str(example),
             bin_dir] + timing, capture_output=True, text=True, timeout=300)
    print(completed.stdout + completed.stderr)
    if completed.returncode != 1:
        print(f"{case}: the check exits with status {completed.returncode}, not 1")
        return 1
    failures = [l for l in completed.stdout.splitlines() if l.startswith("FAIL:")]
    if len(failures) != 1 or expected not in failures[0]:
        print(f"{case}: expected one failure naming {expected!r}")
        return 1
    print(f"{case}: refused as it should be")
    return 0


if __name__ == "__main__":
    sys.exit(main())
