"""velk-fit --threads: the J blocks on one thread or several give the same fit, byte for byte.

Usage: fit_threads_test.py VELK VELK_FIT EXAMPLES. The data and start are those of the cli cases
(term values of the Na2 X MLJ curve, the start 1 % off); the fit is run with --threads 1, 2 and
3 into folders of their own, and every file of each must equal the one-thread run's, as must the
console lines. A bad count is refused with status 2 and nothing written.
"""
import pathlib
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import fit_cli_test as cli  # noqa: E402


def main():
    velk, fit, examples = sys.argv[1], sys.argv[2], pathlib.Path(sys.argv[3])
    with tempfile.TemporaryDirectory() as scratch:
        folder = pathlib.Path(scratch)
        cli.prepare(folder, velk, examples)
        outputs = {}
        for threads in ("1", "2", "3"):
            result = cli.run(folder, fit, "data.csv", "--free", cli.FREE, "--threads", threads,
                             "--out", f"fit{threads}")
            cli.expect(result.returncode == 0, f"--threads {threads}: status "
                       f"{result.returncode}: {result.stdout}")
            files = {p.name: p.read_bytes() for p in sorted((folder / f"fit{threads}").iterdir())}
            cli.expect(len(files) >= 5, f"--threads {threads}: only {sorted(files)}")
            outputs[threads] = (files, result.stdout.replace(f"fit{threads}/", "fit/"))
        for threads in ("2", "3"):
            for name, text in outputs["1"][0].items():
                cli.expect(outputs[threads][0].get(name) == text,
                           f"fit{threads}/{name} differs from the one-thread fit")
            cli.expect(outputs[threads][1] == outputs["1"][1],
                       f"--threads {threads}: other console lines")
        for bad in ("0", "257", "two"):
            result = cli.run(folder, fit, "data.csv", "--free", cli.FREE, "--threads", bad,
                             "--out", "refused")
            cli.expect(result.returncode == 2, f"--threads {bad}: status {result.returncode}")
            cli.expect("--threads" in result.stdout, f"--threads {bad}: {result.stdout!r}")
            cli.expect(not (folder / "refused").exists(), f"--threads {bad} wrote its folder")


if __name__ == "__main__":
    main()
