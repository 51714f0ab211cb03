# The bit descriptions are kept as text a firmware engineer can check against the
# data sheets; the build compiles the text in (and re-runs when it changes).
set(MRK_CONFIG_BIT_FILE ${CMAKE_CURRENT_LIST_DIR}/ConfigBitDescriptions.txt)
file(READ ${MRK_CONFIG_BIT_FILE} MRK_CONFIG_BIT_TEXT)
string(FIND "${MRK_CONFIG_BIT_TEXT}" ")mrk_config_bits" MRK_CONFIG_BIT_CLASH)
if(NOT MRK_CONFIG_BIT_CLASH EQUAL -1)
  message(FATAL_ERROR "ConfigBitDescriptions.txt must not contain )mrk_config_bits")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${MRK_CONFIG_BIT_FILE})
configure_file(${CMAKE_CURRENT_LIST_DIR}/ConfigBitDescriptionsText.cpp.in
               ${CMAKE_BINARY_DIR}/generated/config/ConfigBitDescriptionsText.cpp @ONLY)

list(APPEND MRK_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ConfigWords.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConfigBitDescriptions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConfigEditor.cpp
  ${CMAKE_BINARY_DIR}/generated/config/ConfigBitDescriptionsText.cpp
)
