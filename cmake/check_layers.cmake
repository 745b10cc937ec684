# The layer rule: data flows one way, from the front ends through the job to
# formats, analysis and io. A file under src/FOLDER may include headers from
# the folders listed for FOLDER and from no other: an include that runs up a
# layer, or sideways between folders that must not know each other, fails.
#   cmake -DSOURCE_DIR=<the project> -P cmake/check_layers.cmake
cmake_minimum_required(VERSION 3.22)
set(layer_io io)
set(layer_formats formats io)
set(layer_analysis analysis formats)
set(layer_job job analysis formats io)
set(layer_pitch pitch job analysis formats io)
set(layer_preview preview job analysis formats io)
set(layer_prepare prepare pitch job analysis formats io)
# The synthetic voice table: a maker of a file the conversion reads.
set(layer_table table formats)
set(layer_report report preview job analysis formats io)
# The stored texts and the dialog's wording of a failure: the front ends'.
set(layer_resources resources io)
set(layer_progress progress resources job io)
set(layer_cli cli report prepare preview pitch table resources job analysis formats io)
set(layer_app app progress resources job io)

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "usage: cmake -DSOURCE_DIR=<the project> -P check_layers.cmake")
endif()
file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}/src" "${SOURCE_DIR}/src/*.h"
     "${SOURCE_DIR}/src/*.cpp")
set(broken "")
foreach(source IN LISTS sources)
  string(REGEX MATCH "^[^/]+" folder "${source}")
  if(NOT DEFINED layer_${folder})
    string(APPEND broken "\n  src/${folder}/ has no place among the layers")
    continue()
  endif()
  file(STRINGS "${SOURCE_DIR}/src/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*$" "\\1" header "${line}")
    if(header MATCHES "^\\.\\.")
      string(APPEND broken "\n  src/${source}: \"${header}\" climbs out of its folder")
    elseif(header MATCHES "^([^/]+)/")
      set(included "${CMAKE_MATCH_1}")
      if(NOT included IN_LIST layer_${folder})
        string(APPEND broken "\n  src/${source}: \"${header}\" (${folder} may include: "
               "${layer_${folder}})")
      endif()
    endif()
  endforeach()
endforeach()
list(LENGTH sources checked)
if(broken)
  message(FATAL_ERROR "includes against the layer rule:${broken}")
endif()
message(STATUS "${checked} files keep the layer rule")
