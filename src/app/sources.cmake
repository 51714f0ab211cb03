list(APPEND MRK_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/UpdateCommand.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HexWriter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/JournalObserver.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RunObserver.cpp
)
