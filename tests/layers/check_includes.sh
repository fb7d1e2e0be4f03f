#!/usr/bin/env bash
# No source file includes from a layer above its own. Folders, lowest first:
# platform, common, settings, scan, then safety and inspect, finders, stats,
# app (src/main.cpp may include anything). Within the folders above
# platform, a logic file (any name but T<Capital>... and Tfrm...) includes no
# window file. Prints each offending include and fails when there is one.
set -u
src=${1:?usage: check_includes.sh SOURCE_DIR}/src
rank() {
  case $1 in
    platform) echo 0 ;; common) echo 1 ;; settings) echo 2 ;; scan) echo 3 ;;
    safety|inspect) echo 4 ;; finders) echo 5 ;; stats) echo 6 ;; app) echo 7 ;;
    *) echo 99 ;;
  esac
}
window() { [[ $1 =~ ^T[A-Z] || $1 =~ ^Tfrm ]]; }
bad=0
while IFS= read -r file; do
  rel=${file#"$src"/}
  folder=${rel%%/*}
  [ "$folder" = "$rel" ] && continue # src/main.cpp
  own=$(rank "$folder")
  base=$(basename "$rel")
  while IFS= read -r inc; do
    ifolder=${inc%%/*}
    [ "$ifolder" = "$inc" ] && continue
    if [ "$(rank "$ifolder")" -gt "$own" ] \
       || { [ "$ifolder" != platform ] && ! window "$base" && window "$(basename "$inc")"; } \
       || { [ "$folder" = platform ] && [ "$ifolder" != platform ]; }; then
      echo "$rel includes $inc"
      bad=1
    fi
  done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done < <(find "$src" -name '*.cpp' -o -name '*.h' | sort)
exit $bad
