list(APPEND MRK_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ParamFormTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DebugFormTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UpdateCommandTest.cpp
)
