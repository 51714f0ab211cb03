list(APPEND MRK_TEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/HexReaderTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CipherTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EncipheredLoadTest.cpp
)
# The tests assemble PIC18 programs with gpasm and look at the built firmware and tools.
set_source_files_properties(${MRK_TEST_SOURCES} PROPERTIES COMPILE_DEFINITIONS
  "MRK_GPASM=\"${GPASM_EXECUTABLE}\";MRK_FIRMWARE_DIR=\"${CMAKE_BINARY_DIR}/firmware\";MRK_BIN_DIR=\"${CMAKE_BINARY_DIR}/src/cli\"")
