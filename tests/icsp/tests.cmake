list(APPEND MRK_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/PrimitivesTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OpenProgrammerTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProgramMemoryTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConfigIdTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BootLinkTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BlockReadyTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LostProgrammerTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LineTimingTest.cpp
)
