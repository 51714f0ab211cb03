list(APPEND MRK_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ModuleIcspTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ModuleBootLoaderTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BootLoaderFirmwareTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ModuleHexTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ModuleProgrammingTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ExecutedBootLoaderTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FirmwareFlashWriteTest.cpp
)
list(APPEND MRK_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/VirtualFtdiTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VirtualKordelTest.cpp
)
