# What a station gets installed besides the programs (each program installs
# itself next to its target), and the Debian package made of it all:
#   cd build && cpack -G DEB
set(MRK_PACKAGE_MAINTAINER "mrkprog maintainers <maintainers@users.noreply.c-seed-535abf2b.example>"
    CACHE STRING "Maintainer named in the Debian package")
set(pkg_src ${CMAKE_CURRENT_LIST_DIR})
set(pkg_out ${CMAKE_BINARY_DIR}/packaging)

# The one version, printed by --version and carried by the package. The programs
# are linked as Debian links them (relocations resolved at start, then read-only)
# even where dpkg-buildflags is not at hand.
foreach(program mrkprog mrkprog-gui mrkcrypt)
  target_compile_definitions(${program} PRIVATE MRK_VERSION="${PROJECT_VERSION}")
  target_link_options(${program} PRIVATE LINKER:-z,relro LINKER:-z,now)
endforeach()
# The compilers' version notes (.comment) are left out of the installed
# programs and the plugin, as in Debian's own packages.
install(CODE "
  foreach(f bin/mrkprog bin/mrkprog-gui bin/mrkcrypt lib/mrkprog/mrkprog-gpsim.so)
    execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${f}\"
                    COMMAND_ERROR_IS_FATAL ANY)
  endforeach()")

# Programmers without root: the Surtan (FTDI USB) for plugdev, the parallel
# ports for lp; ppdev loaded at boot for the Kordel. udev and modprobe read
# lib/ under the prefix, never the multiarch library folder.
install(FILES ${PROJECT_SOURCE_DIR}/udev/60-mrkprog-surtan.rules ${PROJECT_SOURCE_DIR}/udev/60-mrkprog-kordel.rules
        DESTINATION lib/udev/rules.d)
install(FILES ${pkg_src}/modules-load.conf DESTINATION lib/modules-load.d RENAME mrkprog.conf)

# Man pages from the programs' own --help and --version, with the sections
# help cannot say (commands in detail, exit status, files, examples) added from
# man/<program>.h2m. Built with the programs, so a changed option shows at once.
find_program(HELP2MAN_EXECUTABLE help2man)
set(MRK_MAN_PAGES)
if(HELP2MAN_EXECUTABLE)
  set(man_names_mrkprog "firmware update and in-circuit programming of the MRK module")
  set(man_names_mrkprog-gui "the MRK module's update and production program with windows")
  set(man_names_mrkcrypt "encipher and decipher MRK firmware images (.CRP)")
  foreach(program mrkprog mrkprog-gui mrkcrypt)
    set(page ${pkg_out}/man/${program}.1)
    add_custom_command(
      OUTPUT ${page} ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${pkg_out}/man
      # No display: the window program answers --help and --version without one.
      COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY --unset=QT_QPA_PLATFORM
              ${HELP2MAN_EXECUTABLE} --locale=C.UTF-8 --no-info --no-discard-stderr --section=1
              "--name=${man_names_${program}}" --include=${pkg_src}/man/${program}.h2m
              --output=${page} $<TARGET_FILE:${program}>
      COMMAND sh -c "gzip -9n < \"$1\" > \"$1.gz\"" sh ${page}
      DEPENDS ${program} ${pkg_src}/man/${program}.h2m
      COMMENT "Man page ${program}.1"
      VERBATIM)
    list(APPEND MRK_MAN_PAGES ${page}.gz)
  endforeach()
  add_custom_target(man ALL DEPENDS ${MRK_MAN_PAGES})
  install(FILES ${MRK_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(WARNING "help2man not found: no man pages (bash scripts/install-deps.sh installs it)")
endif()

# The copyright file and the changelog, where Debian keeps them.
configure_file(${pkg_src}/changelog.in ${pkg_out}/changelog @ONLY)
add_custom_command(
  OUTPUT ${pkg_out}/changelog.gz
  COMMAND sh -c "gzip -9n < \"$1\" > \"$1.gz\"" sh ${pkg_out}/changelog
  DEPENDS ${pkg_out}/changelog
  VERBATIM)
add_custom_target(package-changelog ALL DEPENDS ${pkg_out}/changelog.gz)
install(FILES ${pkg_src}/copyright ${pkg_out}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The guides for operators, service engineers and production managers, with their pictures.
file(GLOB guides CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/*.md ${PROJECT_SOURCE_DIR}/docs/*.png)
install(FILES ${guides} DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mrkprog)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${MRK_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware update and in-circuit programming of the MRK module")
set(CPACK_PACKAGE_DESCRIPTION
    "mrkprog updates the firmware of the MRK device module (PIC18F452 or PIC18F4620)
through the boot loader in the chip, and in production mode prepares a blank
module completely over ICSP. It drives the Kordel programmer on the parallel
port and the Surtan programmer on USB (FTDI), and runs without hardware on its
virtual bench. The package holds the command-line program mrkprog, the window
program mrkprog-gui, the image tool mrkcrypt, the demo firmware and the udev
rules that let members of the plugdev and lp groups use the programmers.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends from the programs' own libraries (ProgramDepends.cmake), without gpsim;
# Qt's dialogs speak Russian with its translations; gpsim only for executed firmware.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
configure_file(${pkg_src}/ProgramDepends.cmake.in ${pkg_out}/ProgramDepends.cmake.in @ONLY)
file(GENERATE OUTPUT ${pkg_out}/ProgramDepends.cmake INPUT ${pkg_out}/ProgramDepends.cmake.in)
set(CPACK_PROJECT_CONFIG_FILE ${pkg_out}/ProgramDepends.cmake)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udev, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS gpsim)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${pkg_src}/postinst ${pkg_src}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
