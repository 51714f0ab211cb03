# Run by ctest: each program prints the version the package carries, the window
# program answers --help and --version with no display at all, and each man page
# renders without a warning and holds the sections a technician looks for.

function(run_without_display out)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY --unset=QT_QPA_PLATFORM ${ARGN}
    RESULT_VARIABLE rc OUTPUT_VARIABLE stdout ERROR_VARIABLE stderr TIMEOUT 30)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${ARGN}: exit ${rc}\n${stdout}\n${stderr}")
  endif()
  set(${out} "${stdout}" PARENT_SCOPE)
endfunction()

foreach(program MRKPROG GUI CRYPT)
  get_filename_component(name ${${program}} NAME)
  run_without_display(version ${${program}} --version)
  if(NOT version STREQUAL "${name} ${VERSION}\n")
    message(FATAL_ERROR "${name} --version printed '${version}', the package carries ${VERSION}")
  endif()
endforeach()
run_without_display(help ${GUI} --help)
if(NOT help MATCHES "Usage: mrkprog-gui" OR NOT help MATCHES "--production")
  message(FATAL_ERROR "mrkprog-gui --help without a display:\n${help}")
endif()
set(help_mrkprog-gui "${help}")
run_without_display(help_mrkprog ${MRKPROG} --help)
if(NOT help_mrkprog MATCHES "Usage: mrkprog \\[OPTIONS\\] COMMAND")
  message(FATAL_ERROR "mrkprog --help does not name the commands in its usage line:\n${help_mrkprog}")
endif()

# The values an option takes, as --help lists them under "Heading (--option ...):",
# one "  value  meaning" line each: name;meaning pairs, with ';' in a meaning dropped.
function(listed_values help out)
  string(REPLACE ";" "," help "${help}")
  string(REPLACE "\n" ";" lines "${help}")
  set(values)
  set(inside OFF)
  foreach(line IN LISTS lines)
    if(line MATCHES "^[^ ].*\\(--.*\\):$")
      set(inside ON)
    elseif(inside AND line MATCHES "^  ([^ ]+)  +(.+)$")
      list(APPEND values "${CMAKE_MATCH_1}" "${CMAKE_MATCH_2}")
    else()
      set(inside OFF)
    endif()
  endforeach()
  set(${out} "${values}" PARENT_SCOPE)
endfunction()

# Started with no graphical session at all, or with a display that does not
# answer: the window program says so in Russian and ends with 1, not Qt's English abort.
foreach(display "" ":97")
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env --unset=WAYLAND_DISPLAY --unset=QT_QPA_PLATFORM DISPLAY=${display}
            ${GUI} --bench virtual-lpt
    RESULT_VARIABLE rc OUTPUT_VARIABLE stdout ERROR_VARIABLE stderr TIMEOUT 30)
  if(NOT rc EQUAL 1 OR NOT stderr MATCHES "нужен графический сеанс")
    message(FATAL_ERROR "mrkprog-gui with DISPLAY='${display}': exit ${rc}\n${stdout}\n${stderr}")
  endif()
endforeach()

find_program(MAN man)
if(NOT MAN)
  message("man not found: the man pages were not rendered")
  return()
endif()
set(wanted_mrkprog "SYNOPSIS;COMMAND;EXIT STATUS;FILES;EXAMPLES;mrkprog.ini;mrkprog-journal.db;--module;write-update;cycle;kordel-slow-echo;boot-loader-silent-after;--same-module;--local;Timeout")
set(wanted_mrkprog-gui "EXIT STATUS;FILES;mrkprog-gui.ini;--production;--bench;EXAMPLES")
set(wanted_mrkcrypt "encipher;decipher;--key;EXIT STATUS;EXAMPLES")
foreach(name mrkprog mrkprog-gui mrkcrypt)
  set(page ${MAN_DIR}/${name}.1.gz)
  if(NOT EXISTS ${page})
    message(FATAL_ERROR "no man page ${page}")
  endif()
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env MANWIDTH=100 LC_ALL=C.UTF-8 ${MAN} --warnings -E UTF-8 -l ${page}
    RESULT_VARIABLE rc OUTPUT_VARIABLE text ERROR_VARIABLE warnings TIMEOUT 30)
  if(NOT rc EQUAL 0 OR NOT warnings STREQUAL "")
    message(FATAL_ERROR "man -l ${page}: exit ${rc}\n${warnings}")
  endif()
  # Every value an option lists (each fault mode, each bench...) starts its own
  # item: its name begins a line, and its meaning follows before the next value.
  if(DEFINED help_${name})
    listed_values("${help_${name}}" values)
    list(LENGTH values count)
    if(count LESS 10)
      message(FATAL_ERROR "${name} --help lists too few option values (${count}):\n${help_${name}}")
    endif()
    math(EXPR last "${count} - 1")
    foreach(k RANGE 0 ${last} 2)
      list(GET values ${k} value)
      string(REGEX REPLACE "([][+*.?^$()|\\])" "\\\\\\1" pattern "${value}")
      if(NOT text MATCHES "\n +${pattern}( [^\n]*)?\n")
        message(FATAL_ERROR "man page ${name}.1: '${value}' does not start its own item:\n${text}")
      endif()
    endforeach()
  endif()
  # Words broken at the line ends are joined again before they are looked for.
  string(REGEX REPLACE "‐\n *" "" text "${text}")
  string(REGEX REPLACE "\n *" " " text "${text}")
  foreach(word ${wanted_${name}})
    string(FIND "${text}" "${word}" at)
    if(at LESS 0)
      message(FATAL_ERROR "man page ${name}.1 does not say '${word}':\n${text}")
    endif()
  endforeach()
endforeach()
