#!/usr/bin/env python3
"""Gathers the working directories of the e2e cases into seeds of the whole-run fuzz harness,
and their potential files into seeds of the level-driver harness.

    python3 tools/seed_fuzz_corpus.py            # writes fuzz/corpus/run/e2e_<case> and
                                                 # fuzz/corpus/level_driver/e2e_<case>_<file>
    python3 tools/seed_fuzz_corpus.py --check    # fails if a seed differs from its case
    python3 tools/seed_fuzz_corpus.py --unpack BUNDLE DIR   # a bundle back into a directory

Every folder under tests/e2e and tests/e2e/bad that holds an expected/ folder is one working
directory. Its seed is one bundle, the input format of fuzz/run_fuzzer.cpp: velk.inf, then each
other input file after a marker line "%%file NAME". README.md, expected/ and files whose names a
bundle cannot carry are left out, and so are directories whose bundle would exceed MAX_SEED bytes
(a seed that large slows every mutation of it). Seeds of cases that no longer exist are removed.

Every distinct potential file (*.pot) of those directories is also a seed of the level-driver
harness, e2e_<case>_<file>: the direction byte 'n' (forward), then the file.

--unpack writes the files of one bundle (a seed or a finding of the run harness) into DIR as the
harness would lay them out, without the two Dunham files it keeps at hand (dunA.dat, dunB.dat:
see fuzz/run_fuzzer.cpp), so that `velk` can be run there.
Standard library only.
"""

import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
E2E = os.path.join(ROOT, "tests", "e2e")
CORPUS = os.path.join(ROOT, "fuzz", "corpus", "run")
LEVEL_DRIVER_CORPUS = os.path.join(ROOT, "fuzz", "corpus", "level_driver")
PREFIX = "e2e_"
MARKER = b"%%file "
MAX_SEED = 64 * 1024
# The names split_bundle accepts (fuzz/fuzz_support.cpp).
NAME = re.compile(r"^[A-Za-z0-9._-]{1,12}$")


def case_dirs():
    for base in (E2E, os.path.join(E2E, "bad")):
        for name in sorted(os.listdir(base)):
            path = os.path.join(base, name)
            if os.path.isdir(os.path.join(path, "expected")):
                yield (name if base == E2E else "bad_" + name), path


def bundle(path):
    """The seed of one working directory, or None when it has no velk.inf or is too large."""
    control = os.path.join(path, "velk.inf")
    if not os.path.isfile(control):
        return None
    with open(control, "rb") as f:
        data = f.read()
    files = []
    for name in sorted(os.listdir(path)):
        file_path = os.path.join(path, name)
        if name in ("velk.inf", "README.md") or not os.path.isfile(file_path):
            continue
        if not NAME.match(name) or name in (".", ".."):
            continue
        with open(file_path, "rb") as f:
            files.append((name, f.read()))
    # A marker starts a line, so a file without a final line end gains one unless it comes last:
    # such files go to the end.
    files.sort(key=lambda item: not item[1].endswith(b"\n") and item[1] != b"")
    for name, content in files:
        if data and not data.endswith(b"\n"):
            data += b"\n"  # a marker starts a line
        data += MARKER + name.encode() + b"\n" + content
    return data if len(data) <= MAX_SEED else None


def split(data):
    """velk.inf and the named files of a bundle, as split_bundle in fuzz/fuzz_support.cpp."""
    files = {"velk.inf": b""}
    current = "velk.inf"
    for line in data.splitlines(keepends=True):
        if line.startswith(MARKER):
            name = line[len(MARKER):].rstrip(b"\r\n").decode("latin-1")
            current = name if NAME.match(name) and name not in (".", "..", "velk.inf") else None
            if current is not None:
                files[current] = b""
        elif current is not None:
            files[current] += line
    return files


def unpack(bundle_path, directory):
    with open(bundle_path, "rb") as f:
        files = split(f.read())
    os.makedirs(directory, exist_ok=True)
    for name, content in files.items():
        with open(os.path.join(directory, name), "wb") as out:
            out.write(content)
    print("wrote %s into %s" % (", ".join(sorted(files)), directory))


def potential_seeds():
    """Level-driver seeds: each distinct potential file once, named after the first case that
    holds it."""
    seeds, seen = {}, set()
    for case, path in case_dirs():
        for name in sorted(os.listdir(path)):
            if not name.endswith(".pot") or not os.path.isfile(os.path.join(path, name)):
                continue
            with open(os.path.join(path, name), "rb") as f:
                data = b"n" + f.read()
            if data in seen or len(data) > MAX_SEED:
                continue
            seen.add(data)
            seeds["%s%s_%s" % (PREFIX, case, name)] = data
    return seeds


def sync(corpus, wanted, check):
    """Writes the wanted seeds into `corpus` and removes stale ones (or, with `check`, only
    reports them); returns the names that differ or are stale."""
    present = {n for n in os.listdir(corpus) if n.startswith(PREFIX)}
    stale = sorted(present - set(wanted))
    differing = []
    for name, data in sorted(wanted.items()):
        target = os.path.join(corpus, name)
        current = None
        if os.path.exists(target):
            with open(target, "rb") as f:
                current = f.read()
        if current != data:
            differing.append(name)
            if not check:
                with open(target, "wb") as f:
                    f.write(data)
    if not check:
        for name in stale:
            os.remove(os.path.join(corpus, name))
    size = sum(len(d) for d in wanted.values())
    print("%s: %d seeds of %d bytes; %d %s, %d stale" % (
        os.path.relpath(corpus, ROOT), len(wanted), size, len(differing),
        "differ" if check else "written", len(stale)))
    return differing + stale


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--unpack":
        unpack(sys.argv[2], sys.argv[3])
        return
    check = sys.argv[1:] == ["--check"]
    if sys.argv[1:] and not check:
        raise SystemExit(__doc__)
    wanted = {}
    for name, path in case_dirs():
        data = bundle(path)
        if data is not None:
            wanted[PREFIX + name] = data
    out_of_date = sync(CORPUS, wanted, check) + sync(LEVEL_DRIVER_CORPUS, potential_seeds(), check)
    if check and out_of_date:
        for name in out_of_date:
            print("out of date: %s" % name)
        sys.exit(1)


if __name__ == "__main__":
    main()
