# Starts the window program's unattended build under a real X server on the
# virtual bench, lets it answer "Да" and run the update (--auto-update), and
# checks the log it wrote; then a production cycle started by Enter
# (--auto-cycle). The shipped mrkprog-gui starts there too, and refuses the drivers' options.
# cmake -DGUI=path/to/mrkprog-gui-unattended -DSHIPPED=path/to/mrkprog-gui -DWORK=folder -DFIRMWARE=build/firmware
#       -P RunGuiUnderXvfb.cmake
find_program(XVFB_RUN xvfb-run)
if(NOT XVFB_RUN)
  message("xvfb-run not found: install the Debian packages xvfb and xauth to run this test")
  return()
endif()
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

# Runs the unattended program with the arguments after `dir` in that folder
# under its own X server; its exit code and output into rc, out and err.
function(xvfb_gui dir)
  execute_process(
    COMMAND ${XVFB_RUN} -a -s "-screen 0 1024x768x24" ${GUI} ${ARGN}
    WORKING_DIRECTORY "${dir}"
    RESULT_VARIABLE rc
    OUTPUT_VARIABLE out ERROR_VARIABLE err
    TIMEOUT 100)
  set(rc "${rc}" PARENT_SCOPE)
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

# Runs mrkprog-gui with the arguments after `dir` in that folder; the log it
# writes (dir/log.txt, named by the arguments) into `text`.
function(run_gui dir)
  xvfb_gui("${dir}" ${ARGN})
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "mrkprog-gui ${ARGN} under xvfb-run ended with ${rc}\n${out}\n${err}")
  endif()
  if(NOT EXISTS "${dir}/log.txt")
    message(FATAL_ERROR "mrkprog-gui ${ARGN} wrote no log\n${out}\n${err}")
  endif()
  file(READ "${dir}/log.txt" log)
  message("${log}")
  set(text "${log}" PARENT_SCOPE)
endfunction()

# The shipped program plays no operator: the drivers' options are unknown to it.
execute_process(COMMAND ${XVFB_RUN} -a -s "-screen 0 1024x768x24" ${SHIPPED} --bench virtual-lpt --auto-update x.txt
  WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
if(NOT rc EQUAL 2 OR NOT err MATCHES "auto-update")
  message(FATAL_ERROR "the shipped mrkprog-gui took --auto-update: exit ${rc}\n${out}\n${err}")
endif()

run_gui("${WORK}" --bench virtual-lpt --auto-update "${WORK}/log.txt")
foreach(line "Запись закончена." "КС Программы OK." "Можно подключить следующий модуль.")
  string(FIND "${text}" "${line}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the log lacks \"${line}\"")
  endif()
endforeach()
file(GLOB ini "${WORK}/*.ini")
if(ini)
  message(FATAL_ERROR "update-only mode wrote a settings file: ${ini}")
endif()

# Production mode on a blank module: the factory number typed and Enter pressed;
# while the cycle runs the next number is typed and Enter pressed twice, which
# must start nothing. One cycle, "OK", the settings written at the close.
set(cycle "${WORK}/cycle")
file(MAKE_DIRECTORY "${cycle}")
get_filename_component(gui_name "${GUI}" NAME)
file(WRITE "${cycle}/${gui_name}.ini"
  "[Form_Param]\nEdit2=${FIRMWARE}/boot-4620.hex\nEdit5=${FIRMWARE}/boot-452.hex\n")
run_gui("${cycle}" --bench virtual-usb --production --module blank.hex --auto-cycle "${cycle}/log.txt"
        --auto-number 4321)
foreach(line "Конфигурация OK" "Прогр. OK" "КС Программы OK." "Номер модуля OK." "Индикатор: OK")
  string(REGEX MATCHALL "${line}" found "${text}")
  list(LENGTH found n)
  if(NOT n EQUAL 1)
    message(FATAL_ERROR "the cycle's log holds \"${line}\" ${n} times, not once")
  endif()
endforeach()
file(READ "${cycle}/${gui_name}.ini" ini)
if(NOT ini MATCHES "AdrLpt=888")
  message(FATAL_ERROR "production mode did not write its settings at the close:\n${ini}")
endif()

# An unattended run tells the truth in its exit code: an update that failed (no
# programmer) and a log that could not be written both end it non-zero.
function(expect_gui_failure dir what)
  xvfb_gui("${dir}" ${ARGN})
  if(rc EQUAL 0)
    message(FATAL_ERROR "mrkprog-gui ${ARGN} ended with 0 after ${what}\n${out}\n${err}")
  endif()
endfunction()
set(failing "${WORK}/failing")
file(MAKE_DIRECTORY "${failing}")
expect_gui_failure("${failing}" "an update without a programmer"
                   --bench virtual-lpt --fault kordel-absent --fault ftdi-absent --auto-update "${failing}/log.txt")
if(EXISTS /dev/full)
  expect_gui_failure("${failing}" "a log that could not be written" --bench virtual-lpt --auto-update /dev/full)
endif()
