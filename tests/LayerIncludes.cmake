# Every "layer/File.h" include under src/ against the layer graph of the build
# (GRAPH: USES_<layer> and INTERNAL_<layer> per folder, CONTEXT_HEADERS), headers that no source
# includes among them. The include roots stop a wrong include in what is
# compiled; this also reads what is not.
#   cmake -DSRC=<src> -DGRAPH=<LayerGraph.cmake> -P LayerIncludes.cmake
cmake_minimum_required(VERSION 3.25)
include(${GRAPH})

# The layers a folder may use: its own, and every layer it links, to the bottom.
function(closure layer out)
  set(seen ${layer})
  set(todo ${USES_${layer}})
  while(todo)
    list(POP_FRONT todo next)
    if(NOT next IN_LIST seen)
      list(APPEND seen ${next})
      list(APPEND todo ${USES_${next}})
    endif()
  endwhile()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

set(bad)
foreach(layer ${FOLDERS})
  closure(${layer} allowed)
  file(GLOB files ${SRC}/${layer}/*.h ${SRC}/${layer}/*.cpp ${SRC}/${layer}/*.in)
  foreach(file ${files})
    file(RELATIVE_PATH name ${SRC} ${file})
    # The context's own files see its headers and core only.
    set(mine ${allowed})
    if(name IN_LIST CONTEXT_HEADERS OR name IN_LIST CONTEXT_SOURCES)
      set(mine core)
    endif()
    file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z]+/")
    foreach(line ${lines})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"(([a-z]+)/[^\"]*)\".*" "\\1;\\2" hit "${line}")
      list(GET hit 0 header)
      list(GET hit 1 used)
      get_filename_component(leaf ${header} NAME)
      # The context itself (in core's folder, but not core's) only for those that link it.
      if(header STREQUAL "core/Context.h" AND NOT "context" IN_LIST allowed AND NOT name IN_LIST CONTEXT_HEADERS
         AND NOT name IN_LIST CONTEXT_SOURCES)
        list(APPEND bad "${name} includes ${header}, and ${layer} does not link the context")
        continue()
      endif()
      # core/Context.h is internal to core and the context's own: the rule above decided it.
      if(NOT used STREQUAL layer AND leaf IN_LIST INTERNAL_${used} AND NOT header IN_LIST CONTEXT_HEADERS)
        list(APPEND bad "${name} includes ${header}, internal to ${used}")
        continue()
      endif()
      if(used IN_LIST mine)
        continue()
      endif()
      if(header IN_LIST CONTEXT_HEADERS AND ("context" IN_LIST allowed OR name IN_LIST CONTEXT_HEADERS
                                             OR name IN_LIST CONTEXT_SOURCES))
        continue()
      endif()
      list(APPEND bad "${name} includes ${header}")
    endforeach()
  endforeach()
endforeach()

if(bad)
  list(JOIN bad "\n  " text)
  message(FATAL_ERROR "Includes against the layer graph (src/CMakeLists.txt):\n  ${text}")
endif()
message(STATUS "Every include keeps to the layer graph.")
