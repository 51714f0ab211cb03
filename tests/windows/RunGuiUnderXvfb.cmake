# Starts mrkprog-gui under a real X server on the virtual bench, lets it answer
# "Да" and run the update (--auto-update), and checks the log it wrote.
# cmake -DGUI=path/to/mrkprog-gui -DWORK=folder -P RunGuiUnderXvfb.cmake
find_program(XVFB_RUN xvfb-run)
if(NOT XVFB_RUN)
  message("xvfb-run not found: install the Debian packages xvfb and xauth to run this test")
  return()
endif()
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
set(log "${WORK}/log.txt")
execute_process(
  COMMAND ${XVFB_RUN} -a -s "-screen 0 1024x768x24" ${GUI} --bench virtual-lpt --auto-update ${log}
  WORKING_DIRECTORY "${WORK}"
  RESULT_VARIABLE rc
  OUTPUT_VARIABLE out ERROR_VARIABLE err
  TIMEOUT 100)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "mrkprog-gui under xvfb-run ended with ${rc}\n${out}\n${err}")
endif()
if(NOT EXISTS "${log}")
  message(FATAL_ERROR "mrkprog-gui wrote no log\n${out}\n${err}")
endif()
file(READ "${log}" text)
message("${text}")
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
