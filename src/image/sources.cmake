# Firmware images: reference buffer, HEX reader, image cipher, enciphered loads.
set(MRK_IMAGE_KEY "5A3C96E1077BD24F8E19" CACHE STRING
    "Image key (20 hex digits) of the embedded images and the .CRP files")
if(NOT MRK_IMAGE_KEY MATCHES "^[0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f]$")
  message(FATAL_ERROR "MRK_IMAGE_KEY must be exactly 20 hexadecimal digits")
endif()
string(REGEX REPLACE "([0-9A-Fa-f][0-9A-Fa-f])" "0x\\1, " MRK_IMAGE_KEY_BYTES "${MRK_IMAGE_KEY}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/ImageKey.cpp.in ${CMAKE_BINARY_DIR}/generated/image/ImageKey.cpp @ONLY)

# The cipher alone, shared with the mrkcrypt tool (which must not need the core:
# the core embeds images that mrkcrypt enciphers).
set(MRK_CIPHER_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/Rc6w8r8b10.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CrpCodec.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ImageKeyParse.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../core/FileBytes.cpp
  ${CMAKE_BINARY_DIR}/generated/image/ImageKey.cpp
)

list(APPEND MRK_CORE_SOURCES
  ${MRK_CIPHER_SOURCES}
  ${CMAKE_CURRENT_LIST_DIR}/ConfigMask.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IoErrors.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HexReader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HexLoad.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Scramble.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EncipheredLoad.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LogControl.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FileCommands.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MemoryListing.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CalCrc.cpp
)
