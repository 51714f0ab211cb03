list(APPEND MRK_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ModuleIcspTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ModuleProgrammingTest.cpp
)
