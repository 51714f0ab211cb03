list(APPEND MRK_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/JournalRecord.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SqliteConnection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PgConnection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PgErrorText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RecordRow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Schema.cpp
  ${CMAKE_CURRENT_LIST_DIR}/JournalStore.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProductionJournal.cpp
  ${CMAKE_CURRENT_LIST_DIR}/JournalSettings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CsvExport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProductionSummary.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HtmlReport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UtcTime.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RunLock.cpp
)
list(APPEND MRK_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/NextNumber.cpp
)
