#!/usr/bin/env bash
# A long fuzzing session, by hand: each harness for 20 minutes (or the seconds given), with the
# corpus growing in build-fuzz/corpus/<harness> from one session to the next. Findings land in
# build-fuzz/findings/<harness>/ as with the short run of the CI; docs/fuzzing.md says how to
# turn one into a regression case.
#
#   tools/fuzz_long.sh                  # every harness, 1200 s each (about 2 h 40 min)
#   tools/fuzz_long.sh 600 run level_driver
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-1200}
shift || true
if [ $# -gt 0 ]; then
  export VELK_FUZZ_HARNESSES="$*"
fi
VELK_FUZZ_SECONDS=$seconds VELK_FUZZ_GROW=build-fuzz/corpus exec .ci/fuzz
