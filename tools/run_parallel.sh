#!/usr/bin/env bash
# Runs velk in many working directories at once, one run per directory, on this machine.
#
# usage: tools/run_parallel.sh [-j JOBS] [-b VELK] [-f LIST] [DIR...]
#
#   -j  how many runs at a time (default: the number of cores, from nproc)
#   -b  the velk binary (default: $VELK, else velk on the PATH, else build/velk of this checkout)
#   -f  a file listing working directories, one per line ("-" reads the list from standard input);
#       directories given as arguments are added to the list
#
# Each directory must hold a velk.inf and the data files it names, as for a single run. In each,
# velk runs with its standard input from /dev/null (so a pause of the numerical library goes on
# at once instead of waiting for an answer), its console output goes to console.txt and its exit
# status to status.txt, beside the files the run writes. The runs share nothing: velk reads and
# writes only its own working directory.
#
# GNU parallel is used when it is installed, otherwise xargs -P; VELK_PARALLEL_TOOL=parallel or
# xargs forces one of them. When all runs are done, one line per directory gives its status, and
# a closing line counts them. The exit status is 0 when every run ended with status 0, 1 when any
# run failed, 2 when the command line is wrong.
set -uo pipefail

# Worker mode: one run in one directory (the script calls itself this way).
if [ "${1:-}" = "--one" ]; then
  velk=$2
  dir=$3
  if ! cd "$dir" 2>/dev/null; then
    echo "run_parallel: cannot enter $dir" >&2
    exit 0
  fi
  "$velk" </dev/null >console.txt 2>&1
  echo $? >status.txt
  exit 0
fi

usage() {
  sed -n '4,11p' "$0" >&2
  exit 2
}

here=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)
velk=${VELK:-}
list=
while getopts "j:b:f:h" opt; do
  case $opt in
    j) jobs=$OPTARG ;;
    b) velk=$OPTARG ;;
    f) list=$OPTARG ;;
    *) usage ;;
  esac
done
shift $((OPTIND - 1))
case $jobs in '' | *[!0-9]* | 0) echo "run_parallel: -j needs a positive number" >&2; exit 2 ;; esac

if [ -z "$velk" ]; then
  velk=$(command -v velk || true)
  [ -n "$velk" ] || velk=$here/build/velk
fi
if [ ! -x "$velk" ] || [ -d "$velk" ]; then
  echo "run_parallel: no velk binary at $velk (build it, or give -b)" >&2
  exit 2
fi
velk=$(readlink -f "$velk")

# The working directories, as absolute paths, one per array entry (blanks in names are kept).
dirs=()
add_dir() {
  [ -n "$1" ] || return 0
  if [ ! -f "$1/velk.inf" ]; then
    echo "run_parallel: $1 holds no velk.inf" >&2
    exit 2
  fi
  dirs+=("$(readlink -f "$1")")
}
if [ -n "$list" ]; then
  if [ "$list" = - ]; then
    while IFS= read -r d || [ -n "$d" ]; do add_dir "$d"; done
  else
    [ -f "$list" ] || { echo "run_parallel: no list file $list" >&2; exit 2; }
    while IFS= read -r d || [ -n "$d" ]; do add_dir "$d"; done <"$list"
  fi
fi
for d in "$@"; do add_dir "$d"; done
[ ${#dirs[@]} -gt 0 ] || usage

# Two runs in one directory would overwrite each other's files.
duplicates=$(printf '%s\n' "${dirs[@]}" | sort | uniq -d)
if [ -n "$duplicates" ]; then
  echo "run_parallel: a directory is listed twice: $(head -1 <<<"$duplicates")" >&2
  exit 2
fi

tool=${VELK_PARALLEL_TOOL:-}
if [ -z "$tool" ]; then
  if parallel --version 2>/dev/null | grep -q 'GNU parallel'; then tool=parallel; else tool=xargs; fi
fi

for d in "${dirs[@]}"; do rm -f "$d/status.txt"; done
self=$(readlink -f "$0")
case $tool in
  parallel)
    printf '%s\0' "${dirs[@]}" |
      parallel -0 -q --will-cite -j "$jobs" bash "$self" --one "$velk" ;;
  xargs)
    printf '%s\0' "${dirs[@]}" |
      xargs -0 -n 1 -P "$jobs" bash "$self" --one "$velk" ;;
  *)
    echo "run_parallel: VELK_PARALLEL_TOOL must be parallel or xargs, found $tool" >&2
    exit 2 ;;
esac

failed=0
for d in "${dirs[@]}"; do
  status=$(cat "$d/status.txt" 2>/dev/null || echo "not run")
  echo "$status $d"
  [ "$status" = 0 ] || failed=$((failed + 1))
done
echo "${#dirs[@]} runs with $tool: $((${#dirs[@]} - failed)) ended with status 0, $failed failed"
[ "$failed" -eq 0 ]
