list(APPEND MRK_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ConfigBitDescriptionsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConfigEditorTest.cpp
)
