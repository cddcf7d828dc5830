#!/usr/bin/env bash
# Fails when a source file includes a header from a folder its library does not
# depend on. The levels are not written here: they are read from the folders'
# CMakeLists.txt, where each folder's library names the libraries it links
# (qr_folder_library(qr_NAME DIR DEPS ...), and for plugins/ qr_plugin(... DEPS ...)).
# A folder may include from itself and from every library below it, directly
# or through another; "..." and <...> includes are both checked.
set -uo pipefail
top=${1:?usage: check_levels.sh SOURCE_DIR}
cd "$top" || exit 2

# One line per library: "folder recurse dep dep ...", the folder relative to the top.
libraries=$(awk '
  function flush() {
    if (call == "") return
    gsub(/[()]/, " ", call)
    n = split(call, w, /[ \t]+/)
    kind = ""; name = ""; dir = ""; recurse = 0; deps = ""; indeps = 0
    for (i = 1; i <= n; i++) {
      if (w[i] == "") continue
      if (kind == "") { kind = w[i]; continue }
      if (name == "") { name = w[i]; continue }
      if (w[i] == "RECURSE") { recurse = 1; continue }
      if (w[i] == "DEPS") { indeps = 1; continue }
      if (w[i] == "SOURCES") { indeps = 0; continue }
      if (indeps && w[i] ~ /^qr_/) deps = deps " " w[i]
      else if (!indeps && dir == "" && w[i] ~ /CMAKE_CURRENT_SOURCE_DIR/) dir = w[i]
    }
    folder = FILENAME
    sub(/\/CMakeLists\.txt$/, "", folder)
    if (kind == "qr_plugin") { name = "plugins"; folder = "plugins"; sub(/\/.*/, "", folder) }
    else {
      sub(/^\$\{CMAKE_CURRENT_SOURCE_DIR\}\/?/, "", dir)
      if (dir != "") folder = folder "/" dir
    }
    print name, folder, recurse, deps
    call = ""
  }
  /^[ \t]*(qr_folder_library|qr_plugin)\(/ { call = $0; if ($0 ~ /\)/) flush(); next }
  call != "" { call = call " " $0; if ($0 ~ /\)/) flush() }
' */CMakeLists.txt plugins/*/CMakeLists.txt)
[ -n "$libraries" ] || { echo "check_levels.sh: no libraries found in $top/*/CMakeLists.txt"; exit 2; }

declare -A folder_of recurse_of deps_of
while read -r name folder recurse deps; do
  folder_of[$name]=$folder
  recurse_of[$name]=$recurse
  deps_of[$name]="${deps_of[$name]:-} $deps"
done <<<"$libraries"
# Our plug-ins share one folder and one support library of their own.
folder_of[qr_plugin_support]=plugins

# Every library a library reaches, directly or through others.
reach() {
  local -A seen=()
  local todo=("$1") lib
  while [ ${#todo[@]} -gt 0 ]; do
    lib=${todo[0]}; todo=("${todo[@]:1}")
    [ -n "${seen[$lib]:-}" ] && continue
    seen[$lib]=1
    for d in ${deps_of[$lib]:-}; do todo+=("$d"); done
  done
  echo "${!seen[@]}"
}

# The top-level folders that hold a library: only these are levels.
mapfile -t level_folders < <(for n in "${!folder_of[@]}"; do echo "${folder_of[$n]%%/*}"; done | sort -u)

bad=0
for name in "${!folder_of[@]}"; do
  [ "$name" = qr_plugin_support ] && continue
  folder=${folder_of[$name]}
  [ -d "$folder" ] || continue
  allowed=" "
  for lib in $(reach "$name"); do
    f=${folder_of[$lib]:-}
    [ -n "$f" ] && allowed+="${f%%/*} "
  done
  banned=()
  for f in "${level_folders[@]}"; do
    [[ "$allowed" == *" $f "* ]] || banned+=("$f")
  done
  [ ${#banned[@]} -eq 0 ] && continue
  pattern=$(IFS='|'; echo "${banned[*]}")
  depth=(-maxdepth 1)
  [ "${recurse_of[$name]}" = 1 ] || [ "$folder" = plugins ] && depth=()
  files=$(find "$folder" "${depth[@]}" -type f \( -name '*.cpp' -o -name '*.h' \))
  [ -n "$files" ] || continue
  # shellcheck disable=SC2086
  if hits=$(grep -nE "^[[:space:]]*#[[:space:]]*include[[:space:]]*[\"<]($pattern)/" $files); then
    echo "$folder may include only from:$allowed"
    echo "$hits"
    bad=1
  fi
done
exit $bad
