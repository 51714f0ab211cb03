# The journal's HTML report as a manager opens it: a few cycles on the virtual
# bench (one of them failing at the update), `mrkprog journal report --html`, then
# the page loaded in headless Chromium: it must load with no console message (a
# script, a fetch or a broken style would each say so under the page's policy),
# show its charts, and give a picture (report.png in WORK, for the guide).
# cmake -DMRKPROG=path/to/mrkprog -DWORK=folder -DFIRMWARE=build/firmware -P ReportInChromium.cmake
find_program(CHROMIUM NAMES chromium chromium-browser)
if(NOT CHROMIUM)
  message("chromium not found: install the Debian package chromium to run this test")
  return()
endif()
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(WRITE "${WORK}/mrkprog.ini"
  "[Form_Param]\nEdit2=${FIRMWARE}/boot-4620.hex\nEdit5=${FIRMWARE}/boot-452.hex\n[Journal]\nStation=Линия-1-ПК2\n")

function(mrkprog)
  execute_process(COMMAND ${MRKPROG} --bench virtual-lpt --settings "${WORK}/mrkprog.ini" ${ARGN}
    WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 120)
  set(rc ${rc} PARENT_SCOPE)
  set(out "${out}${err}" PARENT_SCOPE)
endfunction()

foreach(number 101 102 103)
  mrkprog(--module "${WORK}/m${number}.hex" cycle ${number})
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cycle ${number}: exit ${rc}\n${out}")
  endif()
endforeach()
mrkprog(--module "${WORK}/m104.hex" --fault boot-loader-silent-after=3 cycle 104)
if(rc EQUAL 0)
  message(FATAL_ERROR "cycle 104 with a silent boot loader passed\n${out}")
endif()

mrkprog(journal report --html "${WORK}/report.html")
if(NOT rc EQUAL 0 OR NOT out MATCHES "Записей в отчёте: 4")
  message(FATAL_ERROR "journal report: exit ${rc}\n${out}")
endif()

set(browser ${CHROMIUM} --headless --no-sandbox --disable-gpu --hide-scrollbars --enable-logging=stderr --v=0
  --user-data-dir=${WORK}/profile)
execute_process(COMMAND ${browser} --dump-dom "file://${WORK}/report.html"
  RESULT_VARIABLE rc OUTPUT_VARIABLE dom ERROR_VARIABLE log TIMEOUT 90)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "chromium could not load the page: exit ${rc}\n${log}")
endif()
string(REGEX MATCHALL "[^\n]*:CONSOLE[^\n]*" console "${log}")
if(console)
  message(FATAL_ERROR "the page said something on the console:\n${console}")
endif()
string(REGEX MATCHALL "<svg" charts "${dom}")
list(LENGTH charts count)
if(count LESS 5 OR NOT dom MATCHES "<td>3 из 4</td><td>75.0 %</td>")
  message(FATAL_ERROR "the page as loaded lacks its charts (${count}) or its totals:\n${dom}")
endif()

execute_process(COMMAND ${browser} --window-size=1000,2700 --screenshot=${WORK}/report.png "file://${WORK}/report.html"
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE log TIMEOUT 90)
set(size 0)
if(EXISTS "${WORK}/report.png")
  file(SIZE "${WORK}/report.png" size)
endif()
if(NOT rc EQUAL 0 OR size LESS 20000)
  message(FATAL_ERROR "no picture of the page: exit ${rc}, ${size} bytes\n${log}")
endif()
message("report.html loaded without a console message; picture ${WORK}/report.png")
