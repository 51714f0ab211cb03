list(APPEND MRK_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ParamFormTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DebugFormTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AutoCycleTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ButtonLockTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CommandGateTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ChipCommandsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DestructiveCommandsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ParamCommandsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SettingsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UpdateCommandTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/JournalObserverTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProgrammerAccessTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SeveralSurtansTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StationTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StationFoldersTest.cpp
)
