list(APPEND MRK_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/CommandSplitTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CliRunTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConfigDescribeTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProductionCliTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LostProgrammerCliTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SameOutcomeCliTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CliSafetyTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DestructiveCliTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ExecutedFirmwareCliTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StopSignalCliTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConsoleHostTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ExitCodesTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LibftdiThroughUsbTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GangCliTest.cpp
)
