list(APPEND MRK_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/VirtualModule.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ModuleMemory.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ModuleIcsp.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ModuleBootLoader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ModuleHex.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VirtualKordel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Bench.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VirtualFtdi.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VirtualLibftdi.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FlashSelfWrite.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ModuleOscillator.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ExecutedFirmware.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WireTrace.cpp
)
list(APPEND MRK_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/VirtualUsbBus.cpp
)
