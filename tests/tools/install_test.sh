#!/usr/bin/env bash
# cmake --install puts the three programs under bin/ and the guide under share/doc/velk/ of a prefix,
# the examples beside the guide with every link of the installed pages leading somewhere, and the
# installed programs run from there.
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
doc=$prefix/share/doc/velk
# The installed pages are the sources' with the links to the examples, which sit beside the
# guide once installed, made to fit.
for page in guide.md plotting.md props.md; do
  sed -e 's|](\.\./examples/|](examples/|g' -e 's|](\.\./examples)|](examples)|g' \
    "$root/docs/$page" | cmp -s - "$doc/$page" ||
    { echo "share/doc/velk/$page is not docs/$page"; status=1; }
done
[ -d "$doc/images" ] || { echo "the guide's images are missing"; status=1; }
for example in "$root"/examples/*/; do
  name=$(basename "$example")
  diff -rq -x README.md "$example" "$doc/examples/$name" > /dev/null ||
    { echo "share/doc/velk/examples/$name is not examples/$name"; status=1; }
done
python3 "$(dirname "$0")/check_links.py" "$doc" || status=1
[ "$status" -eq 0 ] && echo "install: all checks passed"
exit "$status"
