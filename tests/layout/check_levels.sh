#!/usr/bin/env bash
# Fails when a source file includes a header from a folder above its own level.
# Each line: a folder, then the folders it may not include from.
set -uo pipefail
top=${1:?usage: check_levels.sh SOURCE_DIR}
cd "$top"
rules=(
  "platform util ui imaging message browser app reader"
  "util ui imaging message browser app reader"
  "ui imaging message browser app reader"
  "imaging ui message browser app reader imaging/viewer"
  "imaging/viewer message browser app reader"
  "message browser app reader"
  "browser app reader"
  "reader app browser"
  "plugins ui message browser app reader"
)
bad=0
for rule in "${rules[@]}"; do
  read -r folder banned <<<"$rule"
  [ -d "$folder" ] || continue
  pattern=$(sed 's/ /|/g' <<<"$banned")
  # imaging/ itself is checked without its viewer sub-folder, which sits a level higher.
  exclude=()
  [ "$folder" = imaging ] && exclude=(--exclude-dir=viewer)
  if hits=$(grep -rnE "#include \"($pattern)/" "$folder" "${exclude[@]}" --include='*.cpp' --include='*.h'); then
    echo "$hits"
    bad=1
  fi
done
exit $bad
