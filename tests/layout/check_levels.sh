#!/usr/bin/env bash
# Fails when a source file includes a header from a folder above its own level.
# Each line: a folder, then the folders it may not include from.
set -uo pipefail
top=${1:?usage: check_levels.sh SOURCE_DIR}
cd "$top"
rules=(
  "platform util ui imaging viewer message browser app reader"
  "util ui imaging viewer message browser app reader"
  "ui imaging viewer message browser app reader"
  "imaging ui viewer message browser app reader"
  "viewer message browser app reader"
  "message browser app reader"
  "browser app reader"
  "reader app browser"
  "plugins ui viewer message browser app reader"
)
bad=0
for rule in "${rules[@]}"; do
  read -r folder banned <<<"$rule"
  [ -d "$folder" ] || continue
  pattern=$(sed 's/ /|/g' <<<"$banned")
  if hits=$(grep -rnE "#include \"($pattern)/" "$folder" --include='*.cpp' --include='*.h'); then
    echo "$hits"
    bad=1
  fi
done
exit $bad
