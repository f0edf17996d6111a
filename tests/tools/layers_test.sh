#!/usr/bin/env bash
# The layers include only downwards: velk-plot (src/plot) uses io, numlib and pec but not the run
# layer or the solvers; velk-props (src/props) uses those, the solvers, velk-plot's readers and the
# spectrum command, not the run layer; the spectrum command (src/spectrum) reads through io, pec
# and run but solves nothing; nothing below src/run includes any of them. A wrong include is named
# with its file.
# usage: layers_test.sh SOURCE_DIR
set -u
src="$1/src"
status=0
check() {  # check LAYER FORBIDDEN...
  local layer=$1
  shift
  for forbidden in "$@"; do
    if grep -rn "#include \"$forbidden/" "$src/$layer"; then
      echo "src/$layer must not include src/$forbidden"
      status=1
    fi
  done
}
check plot run solver props
check props run
check spectrum solver plot props
check solver run plot props spectrum
check pec run solver plot props spectrum
check numlib run solver pec plot props io spectrum
check io run solver pec numlib plot props spectrum
[ $status -eq 0 ] && echo "layers: every include points downwards"
exit $status
