# One static library per source folder: every .cpp directly in DIR (with RECURSE,
# also in its sub-folders). Files named main_*.cpp are program entry points and
# stay out of the library. New files are picked up without editing a list.
function(qr_folder_library name dir)
  cmake_parse_arguments(ARG "RECURSE" "" "DEPS" ${ARGN})
  if(ARG_RECURSE)
    file(GLOB_RECURSE _src CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h ${dir}/*.qrc)
  else()
    file(GLOB _src CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h ${dir}/*.qrc)
  endif()
  list(FILTER _src EXCLUDE REGEX "/main_[^/]*\\.cpp$")
  if(NOT _src)
    # A folder whose classes have not come yet still gives a library to link.
    set(_src ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(${name} STATIC ${_src})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()
