# gpsim runs the module's firmware on the virtual bench, from a plugin
# (mrkprog-gpsim.so) the bench loads only when executed firmware is asked for:
# the programs themselves do not link gpsim. Debian's gpsim-dev has no
# pkg-config file: its library and headers are looked up directly; its headers
# need glib's.
find_library(GPSIM_LIBRARY gpsim REQUIRED)
find_path(GPSIM_INCLUDE_DIR gpsim/processor.h REQUIRED)
pkg_check_modules(GLIB2 REQUIRED IMPORTED_TARGET glib-2.0)
add_library(mrk_gpsim INTERFACE)
target_include_directories(mrk_gpsim SYSTEM INTERFACE ${GPSIM_INCLUDE_DIR})
target_link_libraries(mrk_gpsim INTERFACE ${GPSIM_LIBRARY} PkgConfig::GLIB2)

# The plugin: the gpsim processor wrapper and the few bench pieces it uses, all
# compiled into it and kept private, so that only its entry point is seen.
add_library(mrkprog-gpsim MODULE
  ${CMAKE_CURRENT_LIST_DIR}/GpsimFirmware.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FlashSelfWrite.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ModuleMemory.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ModuleOscillator.cpp)
set_target_properties(mrkprog-gpsim PROPERTIES PREFIX "" CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
  # A program looks for it in ../lib/mrkprog from its own folder, as the installed
  # ones find /usr/lib/mrkprog: so do the build tree's programs, tests and benchmarks.
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib/mrkprog)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/lib ${CMAKE_BINARY_DIR}/src)
file(CREATE_LINK ../lib ${CMAKE_BINARY_DIR}/src/lib SYMBOLIC)
target_include_directories(mrkprog-gpsim PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(mrkprog-gpsim PRIVATE mrk_gpsim mrk_warnings)
target_link_options(mrkprog-gpsim PRIVATE LINKER:--no-undefined)
install(TARGETS mrkprog-gpsim LIBRARY DESTINATION lib/mrkprog)
