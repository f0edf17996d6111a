#!/usr/bin/env bash
# Plants one include in a copy of the source tree and runs the layer check on the copy: an include
# its layer may not make must fail and be named with its file and line; one it may make must pass.
# FILE is created when it does not exist (a folder the check does not know).
# usage: layers_planted_test.sh LAYERS_TEST SOURCE_DIR FILE INCLUDE fail|pass
set -u
check=$1 source=$2 file=$3 include=$4 expect=$5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$source/src" "$work/src"
mkdir -p "$(dirname "$work/src/$file")"
if [ -s "$work/src/$file" ]; then
  # After the first line, so that the line the check names is known.
  line=2
  sed -i "1a #include \"$include\"" "$work/src/$file"
else
  line=1
  echo "#include \"$include\"" > "$work/src/$file"
fi

output=$(bash "$check" "$work" 2>&1)
status=$?
echo "$output"
if [ "$expect" = pass ]; then
  [ $status -eq 0 ] || { echo "FAIL: an allowed include was refused"; exit 1; }
  exit 0
fi
[ $status -ne 0 ] || { echo "FAIL: the check passed on $file including $include"; exit 1; }
grep -qE "^src/($file:$line: includes src/${include%%/*},|${file%%/*}: the layer)" <<< "$output" ||
  { echo "FAIL: the refusal does not name src/$file:$line"; exit 1; }
# Nothing but the planted include is refused.
[ "$(grep -c '^src/' <<< "$output")" -eq 1 ] || { echo "FAIL: more than the planted include"; exit 1; }
echo "refused as expected"
