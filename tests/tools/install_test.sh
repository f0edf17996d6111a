#!/usr/bin/env bash
# cmake --install puts the three programs under bin/ and the guide under share/doc/velk/ of a prefix,
# and the installed programs run from there.
# usage: install_test.sh CMAKE BUILD_DIR SOURCE_ROOT
set -u
cmake=$1
build=$2
root=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
status=0
"$cmake" --install "$build" --prefix "$prefix" > "$prefix.log" 2>&1 || {
  cat "$prefix.log"
  rm -f "$prefix.log"
  exit 1
}
rm -f "$prefix.log"
for program in velk velk-plot velk-props; do
  [ -x "$prefix/bin/$program" ] || { echo "bin/$program not installed"; status=1; continue; }
  "$prefix/bin/$program" --version > /dev/null || { echo "installed $program fails"; status=1; }
done
for doc in guide.md plotting.md props.md; do
  cmp -s "$root/docs/$doc" "$prefix/share/doc/velk/$doc" ||
    { echo "share/doc/velk/$doc is not docs/$doc"; status=1; }
done
[ -d "$prefix/share/doc/velk/images" ] || { echo "the guide's images are missing"; status=1; }
[ "$status" -eq 0 ] && echo "install: all checks passed"
exit "$status"
