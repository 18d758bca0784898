#!/usr/bin/env bash
# The core's stages include only the stages below them: picture, then input,
# then decode, render and output side by side, none of which includes
# another. Prints every include that breaks the rule and fails when there is
# one.
set -euo pipefail
core=${1:?usage: include_rule_test.sh CORE_FOLDER}
rank() {
  case $1 in
    picture) echo 0 ;; input) echo 1 ;; decode | render | output) echo 2 ;; *) echo -1 ;;
  esac
}
broken=0
while IFS= read -r file; do
  stage=${file#"$core"/}
  stage=${stage%%/*}
  own=$(rank "$stage")
  [ "$own" -ge 0 ] || continue
  while IFS= read -r included; do
    other=$(rank "${included%%/*}")
    [ "$other" -ge 0 ] || continue
    if [ "$other" -gt "$own" ] || { [ "$other" -eq 2 ] && [ "${included%%/*}" != "$stage" ]; }; then
      echo "$file includes $included"
      broken=1
    fi
  done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done < <(find "$core" -name '*.h' -o -name '*.cpp')
exit $broken
