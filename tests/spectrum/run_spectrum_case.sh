#!/usr/bin/env bash
# Whole runs of the two spectrum examples: velk, the line list (velk-props transitions, which
# leaves FCF and moment empty when a state is a Dunham state), velk-props spectrum and velk-plot;
# then check_spectrum_run.py checks the files against an independent computation.
# Usage: run_spectrum_case.sh VELK VELK_PROPS VELK_PLOT EXAMPLES_DIR. Exit 77 without python3.
set -u
velk=$1
props=$2
plot=$3
examples=$4
here=$(cd "$(dirname "$0")" && pwd)
command -v python3 > /dev/null || exit 77
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
run_case() {  # example options...
  local example=$1
  shift
  cp -r "$examples/$example" "$work/$example"
  cd "$work/$example" || exit 1
  if ! "$velk" > velk.log 2>&1 < /dev/null; then
    echo "$example: velk failed"
    cat velk.log
    status=1
    return
  fi
  if ! "$props" transitions > transitions.log 2>&1; then
    echo "$example: velk-props transitions failed"
    cat transitions.log
    status=1
    return
  fi
  if ! "$props" spectrum "$@" > spectrum.log 2> spectrum.err; then
    echo "$example: the spectrum command failed"
    cat spectrum.log spectrum.err
    status=1
    return
  fi
  "$plot" transitions > plot.log || { echo "$example: velk-plot failed"; cat plot.log; status=1; }
  python3 "$here/check_spectrum_run.py" "$example" "$@" || status=1
}
run_case na2-absorb-500k --temperature 500 --fwhm 0.3
run_case na2-lif --shape voigt --fwhm 0.05 --temperature 400
[ $status -eq 0 ] && echo "spectrum runs: files agree with the independent checks"
exit $status
