list(APPEND MRK_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/PortProgTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PpdevPortTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PortFollowsAddressTest.cpp
)
list(APPEND MRK_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/FtFunkcTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FtOpenProgrammerTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FtDelayFloorTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UsbTimedStepsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LibftdiDeviceTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/D2xxLibraryTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/D2xxUnitTest.cpp
)
list(APPEND MRK_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/FtOpenSettingsTest.cpp
)
