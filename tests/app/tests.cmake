list(APPEND MRK_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/UpdateCommandTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/JournalObserverTest.cpp
)
