list(APPEND MRK_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/PgServer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Sha256Test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/JournalStoreTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProductionJournalTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/JournalCliTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/JournalCycleTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/JournalHoldsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/JournalOutputTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PgErrorTextTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NumberOnTheLineTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProductionSummaryTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NextNumberTest.cpp
)
# One private database server for the whole binary: run it as one test process.
set(MRK_TEST_ONE_PROCESS ON)

# The HTML report in headless Chromium (skipped, saying so, without Chromium).
add_test(NAME journal.ReportInChromium
  COMMAND ${CMAKE_COMMAND} -DMRKPROG=$<TARGET_FILE:mrkprog> -DWORK=${CMAKE_CURRENT_BINARY_DIR}/report-in-chromium
          -DFIRMWARE=${CMAKE_BINARY_DIR}/firmware -P ${CMAKE_CURRENT_LIST_DIR}/ReportInChromium.cmake)
set_tests_properties(journal.ReportInChromium PROPERTIES SKIP_REGULAR_EXPRESSION "chromium not found" TIMEOUT 300)
