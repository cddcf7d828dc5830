#!/usr/bin/env bash
# The header of string ids is made from good tables and refused, with the
# reason, for tables that define an id or a name twice or hold a bad row.
set -uo pipefail
cmake=${1:?usage: check_string_ids.sh CMAKE SOURCE_DIR}
top=${2:?usage: check_string_ids.sh CMAKE SOURCE_DIR}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0

# case name | main table rows | reader table rows | expected: "ok" or part of the error
cases=(
  'good|QR_STRING(6131, IDS_UNABLE_TO_SAVE, "Unable; to save file.")  // why|QR_STRING(6131, , "Other")|ok'
  'id twice|QR_STRING(6131, IDS_A, "a")\nQR_STRING(6131, IDS_B, "b")||string id 6131 is defined twice'
  'id twice, hex and decimal|QR_STRING(0xE100, IDS_A, "a")\nQR_STRING(57600, IDS_B, "b")||string id 57600 is defined twice'
  'name twice|QR_STRING(1, IDS_A, "a")\nQR_STRING(2, IDS_A, "b")||string name IDS_A is defined twice'
  'old row form|{6131, "Unable to save file."},||a row must read QR_STRING'
  'reader names a main id|QR_STRING(1, IDS_A, "a")|QR_STRING(1, IDS_A, "b")|leave its name empty here'
  'reader id without a name|QR_STRING(1, IDS_A, "a")|QR_STRING(2, , "b")|needs a name'
)
for c in "${cases[@]}"; do
  IFS='|' read -r name main reader expected <<<"$c"
  printf '%b\n' "$main" > "$work/main.inc"
  printf '%b\n' "$reader" > "$work/reader.inc"
  rm -f "$work/ids.h"
  out=$("$cmake" -DQR_STRING_TABLES="$work/main.inc" -DQR_OVERRIDE_TABLES="$work/reader.inc" \
        -DQR_STRING_IDS="$work/ids.h" -P "$top/cmake/StringIds.cmake" 2>&1 | tr -s " \n" "  ")
  rc=$?
  if [ "$expected" = ok ]; then
    if [ $rc -ne 0 ] || ! grep -q 'IDS_UNABLE_TO_SAVE = 6131;' "$work/ids.h"; then
      echo "FAIL $name: expected a header, got rc=$rc: $out"; failed=1
    fi
  elif [ $rc -eq 0 ] || [[ "$out" != *"$expected"* ]]; then
    echo "FAIL $name: expected an error with '$expected', got rc=$rc: $out"; failed=1
  fi
done
[ $failed -eq 0 ] && echo "string id tables: all cases as expected"
exit $failed
