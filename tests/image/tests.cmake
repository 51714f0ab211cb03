list(APPEND MRK_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/HexReaderTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CipherTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EncipheredLoadTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FileCommandsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MemoryListingTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AssembledHexTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ImageToolsTest.cpp
)
set(image_test_definitions
  "MRK_GPASM=\"${GPASM_EXECUTABLE}\""
  "MRK_FIRMWARE_DIR=\"${CMAKE_BINARY_DIR}/firmware\""
  "MRK_BIN_DIR=\"${CMAKE_BINARY_DIR}/src/cli\"")
# Built with the demo updates, the embedded images can be checked against their HEX files.
if(NOT MRK_UPDATE_CRP_452 AND NOT MRK_UPDATE_CRP_4620)
  list(APPEND image_test_definitions MRK_DEMO_IMAGES)
endif()
# The tests assemble PIC18 programs with gpasm and look at the built firmware and tools.
set_source_files_properties(${MRK_TEST_SOURCES} PROPERTIES COMPILE_DEFINITIONS "${image_test_definitions}")
