list(APPEND MRK_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ParamForm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DebugForm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AutoCycle.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BootImageWrite.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ButtonLock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CommandGate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ChipCommands.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ChipOperations.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ChipRange.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ChipRoutines.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CommandVars.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ParamCommands.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PlainControls.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Settings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UpdateCommand.cpp
  ${CMAKE_CURRENT_LIST_DIR}/JournalObserver.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RunObserver.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProgrammerAccess.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Detection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ImageAccess.cpp
)
list(APPEND MRK_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/BenchFaults.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OptionValuesHelp.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProgrammerTable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Station.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StationFolders.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StartOptions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/JournalReader.cpp
)
list(APPEND MRK_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ProgrammerChoice.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProgrammerList.cpp
)
