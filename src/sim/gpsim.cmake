# gpsim runs the module's firmware on the virtual bench. Debian's gpsim-dev has
# no pkg-config file: its library and headers are looked up directly; its
# headers need glib's.
find_library(GPSIM_LIBRARY gpsim REQUIRED)
find_path(GPSIM_INCLUDE_DIR gpsim/processor.h REQUIRED)
pkg_check_modules(GLIB2 REQUIRED IMPORTED_TARGET glib-2.0)
add_library(mrk_gpsim INTERFACE)
target_include_directories(mrk_gpsim SYSTEM INTERFACE ${GPSIM_INCLUDE_DIR})
target_link_libraries(mrk_gpsim INTERFACE ${GPSIM_LIBRARY} PkgConfig::GLIB2)
