#!/usr/bin/env bash
# Each layer includes only the layers it names below; any other `#include "<dir>/...` fails, named
# with its file and line, and so does a layer's static library that links another layer's library
# (CMakeLists.txt). A header-only include would link fine: the include check is what keeps the
# layers apart.
# usage: layers_test.sh SOURCE_DIR
set -u
src="$1/src"

# The layers each layer may include, itself first. "main" is the top of src/ (velk's main.cpp);
# velk-plot's and velk-props' mains live in their own folders.
declare -A allowed=(
  [io]="io"
  [numlib]="numlib"
  [pec]="pec numlib io"
  [solver]="solver pec numlib io"
  [run]="run solver pec numlib io"
  [plot]="plot pec numlib io"
  [spectrum]="spectrum run pec numlib io"
  [props]="props spectrum solver pec numlib io"
  [rkr]="rkr run solver pec numlib io"
  [fit]="fit props spectrum run solver pec numlib io"
  [python]="python fit props rkr run solver pec numlib io"
  [main]="run io"
)

status=0
cd "$src" || exit 2
# Every folder of src/ is a layer the table names.
for dir in */; do
  layer=${dir%/}
  if [ -z "${allowed[$layer]+set}" ]; then
    echo "src/$layer: the layer '$layer' has no entry in $(basename "$0"); name what it may include"
    status=1
  fi
done
while IFS=: read -r file line target; do
  file=${file#./}
  layer=${file%%/*}
  [ "$layer" = "$file" ] && layer=main
  [ -n "${allowed[$layer]+set}" ] || continue
  case " ${allowed[$layer]} " in
    *" $target "*) ;;
    *)
      echo "src/$file:$line: includes src/$target, which the $layer layer may not" \
        "(it may include: ${allowed[$layer]})"
      status=1
      ;;
  esac
done < <(grep -rnE --include='*.h' --include='*.cpp' --include='*.hpp' --include='*.cc' \
  '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[A-Za-z0-9_]+/' . |
  sed -E 's|^([^:]+):([0-9]+):[^"]*"([A-Za-z0-9_]+)/.*|\1:\2:\3|' | sort)

# The static libraries link as the layers include: a library of a layer names only the libraries
# of layers it may include.
layer_of_library() {
  case $1 in
    velk_plot_lib) echo plot ;;
    velk_props_lib) echo props ;;
    velk_rkr_lib) echo rkr ;;
    velk_fit_lib) echo fit ;;
    velk_core) echo run ;;
    velk_python) echo python ;;
    velk_*) echo "${1#velk_}" ;;
  esac
}
while read -r _ library words; do
  layer=$(layer_of_library "$library")
  [ -n "$layer" ] && [ -n "${allowed[$layer]+set}" ] || continue
  for word in $words; do
    target=$(layer_of_library "$word")
    [ -n "$target" ] || continue
    case " ${allowed[$layer]} " in
      *" $target "*) ;;
      *)
        echo "CMake: $library links $word, which the $layer layer may not include"
        status=1
        ;;
    esac
  done
done < <(cat ../CMakeLists.txt ./*/CMakeLists.txt | tr '\n' ' ' | grep -oE 'target_link_libraries\([^)]*\)' | tr '()' '  ')
[ $status -eq 0 ] && echo "layers: every include and every link is one its layer may make"
exit $status
