#!/usr/bin/env bash
# The command lines of velk and velk-plot, run against the built programs: --help, --version, an
# unknown option and a quiet run, whose files must be those of a plain run byte for byte.
# usage: command_line_test.sh VELK VELK_PLOT PROJECT_VERSION SOURCE_ROOT
set -u
velk=$(readlink -f "$1")
plot=$(readlink -f "$2")
version=$3
root=$4
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Runs a program in directory $1 with the rest as its command line; keeps out, err and status.
run_in() {
  local dir=$1
  shift
  (cd "$dir" && "$@" < /dev/null > "$scratch/out" 2> "$scratch/err")
  status=$?
  out=$(cat "$scratch/out")
  err=$(cat "$scratch/err")
}

expect() {  # what expected got
  [ "$2" == "$3" ] || fail "$1: expected '$2', got '$3'"
}

mkdir "$scratch/empty"

# --- velk ---
# The version is the project's, as CMakeLists.txt declares it.
run_in "$scratch/empty" "$velk" --version
expect "velk --version status" 0 "$status"
expect "velk --version" "velk $version" "$out"
expect "velk --version stderr" "" "$err"

run_in "$scratch/empty" "$velk" --help
expect "velk --help status" 0 "$status"
expect "velk --help stderr" "" "$err"
[ "$(head -n 1 "$scratch/out")" == "usage: velk [--quiet] [--verbose] [--threads N]" ] || fail "velk --help: first line"
for needed in velk.inf vel_tran.out --quiet --version "exit status" docs/guide.md; do
  grep -qF -- "$needed" "$scratch/out" || fail "velk --help does not mention $needed"
done

# Refusals read nothing and write nothing, even beside a control file.
cp "$root/examples/co-levels/"* "$scratch/empty/"
before=$(ls "$scratch/empty")
run_in "$scratch/empty" "$velk" --bogus
expect "velk --bogus status" 2 "$status"
expect "velk --bogus stdout" "" "$out"
expect "velk --bogus" "velk: unknown option '--bogus' (velk --help lists the options)" "$err"
run_in "$scratch/empty" "$velk" --quiet velk.inf
expect "velk with a file name status" 2 "$status"
expect "velk with a file name" \
  "velk: unexpected argument 'velk.inf' (velk --help lists the options)" "$err"
expect "files after the refusals" "$before" "$(ls "$scratch/empty")"

# A quiet run writes the same files as a plain one and nothing on either stream.
for example in co-levels na2-x-points-ext; do
  for mode in plain quiet; do
    cp -r "$root/examples/$example" "$scratch/$example-$mode"
  done
  run_in "$scratch/$example-plain" "$velk"
  plain_status=$status
  [ -n "$out" ] || fail "$example: the plain run printed nothing"
  run_in "$scratch/$example-quiet" "$velk" --quiet
  expect "$example --quiet status" "$plain_status" "$status"
  expect "$example --quiet stdout" "" "$out"
  expect "$example --quiet stderr" "" "$err"
  diff -r "$scratch/$example-plain" "$scratch/$example-quiet" > /dev/null ||
    fail "$example: the quiet run's files differ from the plain run's"
done

# A stop is still told: the plain run's last console line goes to standard error instead.
mkdir "$scratch/no-control-plain" "$scratch/no-control-quiet"
run_in "$scratch/no-control-plain" "$velk"
plain_status=$status
plain_last=$(tail -n 1 "$scratch/out")
run_in "$scratch/no-control-quiet" "$velk" -q
expect "missing velk.inf, quiet status" "$plain_status" "$status"
expect "missing velk.inf, quiet stdout" "" "$out"
expect "missing velk.inf, quiet stderr" "$plain_last" "$err"
[ "$plain_status" -eq 2 ] || fail "missing velk.inf: status $plain_status, expected 2"
# The same for one of the program's own stops (status 1): the e2e case that asks for LIF, whose
# expected stdout.txt ends with the message.
for mode in plain quiet; do
  mkdir "$scratch/stop-$mode"
  cp "$root/tests/e2e/lif_stop/"*.* "$scratch/stop-$mode/"
done
run_in "$scratch/stop-plain" "$velk"
plain_last=$(tail -n 1 "$scratch/out")
run_in "$scratch/stop-quiet" "$velk" --quiet
expect "LIF stop, quiet status" 1 "$status"
expect "LIF stop, quiet stdout" "" "$out"
expect "LIF stop, quiet stderr" "Velk3: LIF simulation not supported." "$err"
expect "LIF stop, plain last line" "Velk3: LIF simulation not supported." "$plain_last"
diff -r "$scratch/stop-plain" "$scratch/stop-quiet" > /dev/null ||
  fail "LIF stop: the quiet run's files differ from the plain run's"

# --- velk-plot ---
run_in "$scratch/empty" "$plot" --version
expect "velk-plot --version status" 0 "$status"
expect "velk-plot --version" "velk-plot $version" "$out"
run_in "$scratch/empty" "$plot" --help
expect "velk-plot --help status" 0 "$status"
[ "$(head -n 1 "$scratch/out")" == "usage: velk-plot A | B | transitions" ] ||
  fail "velk-plot --help: first line"
run_in "$scratch/empty" "$plot" A --bogus
expect "velk-plot --bogus status" 2 "$status"
expect "velk-plot --bogus stdout" "" "$out"
expect "velk-plot --bogus" "velk-plot: unknown option '--bogus' (velk-plot --help lists the options)" \
  "$err"
# The pictures' names are kept: a plain run of the example draws its levels.
run_in "$scratch/co-levels-plain" "$plot" A --labels
expect "velk-plot A --labels status" 0 "$status"
[ -s "$scratch/co-levels-plain/plot_A.svg" ] || fail "velk-plot A --labels wrote no picture"

[ "$failures" -eq 0 ] && echo "command lines: all checks passed"
exit $((failures > 0))
