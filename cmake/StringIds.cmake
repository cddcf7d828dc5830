cmake_policy(VERSION 3.25)
# Makes the one header of string ids from the string tables.
#
# Each row of a table is QR_STRING(id, NAME, "text"). NAME is the one name the
# code uses for that text; it is left empty for a row the code reaches by a
# command id or by a range (menu prompts, the picture information labels).
# The reader's table gives its own texts for ids of the main table (those rows
# leave the name empty) and may add ids of its own (those rows name them).
# Stops with an error, and so fails the build, when an id or a name is defined
# twice, or a row is not in that form.
#
#   cmake -DQR_STRING_TABLES="a.inc;b.inc" [-DQR_OVERRIDE_TABLES="r.inc"]
#         -DQR_STRING_IDS=out.h -P StringIds.cmake

# The rows of one table as "id|name" items, the id as a decimal number.
function(qr_read_string_rows table out_var)
  file(READ "${table}" _text)
  # Only the id and the name are read: texts may hold anything, semicolons too.
  string(REGEX REPLACE "\"([^\"\\\\]|\\\\.)*\"" "\"\"" _code "${_text}")
  string(REGEX REPLACE "//[^\n]*" "" _code "${_code}")
  string(REGEX REPLACE "[ \t]+\n" "\n" _code "${_code}\n")
  string(REGEX MATCHALL "[^ \t\n][^\n]*" _lines "${_code}")
  get_filename_component(_short "${table}" NAME)
  set(_rows "")
  foreach(line ${_lines})
    if(NOT line MATCHES "^QR_STRING\\((0x[0-9A-Fa-f]+|[0-9]+), *([A-Z][A-Z0-9_]*)?, *\"\"\\)$")
      message(FATAL_ERROR "${_short}: a row must read QR_STRING(id, NAME, \"text\"): ${line}")
    endif()
    math(EXPR _id "${CMAKE_MATCH_1}")
    list(APPEND _rows "${_id}|${CMAKE_MATCH_2}|${_short}")
  endforeach()
  set(${out_var} "${_rows}" PARENT_SCOPE)
endfunction()

# Sets _id, _name and _file from one row of qr_read_string_rows.
macro(qr_split_string_row row)
  string(REPLACE "|" ";" _f "${row}")
  list(GET _f 0 _id)
  list(GET _f 1 _name)
  list(GET _f 2 _file)
endmacro()

# Adds a name to the header's body; a name may stand once.
macro(qr_add_string_name)
  if("${_name}" IN_LIST _names)
    message(FATAL_ERROR "${_file}: string name ${_name} is defined twice")
  endif()
  list(APPEND _names ${_name})
  string(APPEND _body "inline constexpr uint32_t ${_name} = ${_id};\n")
endmacro()

function(qr_make_string_ids tables overrides out)
  set(_ids "")
  set(_names "")
  set(_body "")
  set(_all "")
  foreach(table ${tables})
    qr_read_string_rows("${table}" _rows)
    list(APPEND _all ${_rows})
  endforeach()
  foreach(row ${_all})
    qr_split_string_row("${row}")
    if("${_id}" IN_LIST _ids)
      message(FATAL_ERROR "${_file}: string id ${_id} is defined twice")
    endif()
    list(APPEND _ids ${_id})
    if(NOT _name STREQUAL "")
      qr_add_string_name()
    endif()
  endforeach()
  set(_own "")
  foreach(table ${overrides})
    qr_read_string_rows("${table}" _rows)
    foreach(row ${_rows})
      qr_split_string_row("${row}")
      if("${_id}" IN_LIST _own)
        message(FATAL_ERROR "${_file}: string id ${_id} is defined twice")
      endif()
      list(APPEND _own ${_id})
      if("${_id}" IN_LIST _ids)
        if(NOT _name STREQUAL "")
          message(FATAL_ERROR "${_file}: string id ${_id} is named in the main table; leave its name empty here")
        endif()
      elseif(_name STREQUAL "")
        message(FATAL_ERROR "${_file}: string id ${_id} is not in the main table and needs a name")
      else()
        qr_add_string_name()
      endif()
    endforeach()
  endforeach()
  set(_header "// Made by cmake/StringIds.cmake from the string tables in resources/: do not edit.\n")
  string(APPEND _header "#pragma once\n\n#include <cstdint>\n\n")
  string(APPEND _header "// The ids of the string table's texts, one name for each.\n${_body}")
  # Written only when it changes, so that a new row rebuilds only what uses it.
  if(EXISTS "${out}")
    file(READ "${out}" _old)
    if(_old STREQUAL _header)
      return()
    endif()
  endif()
  file(WRITE "${out}" "${_header}")
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND DEFINED QR_STRING_TABLES AND DEFINED QR_STRING_IDS)
  qr_make_string_ids("${QR_STRING_TABLES}" "${QR_OVERRIDE_TABLES}" "${QR_STRING_IDS}")
endif()
