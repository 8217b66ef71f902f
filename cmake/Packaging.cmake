# What `cmake --install` puts beside the programs (each program's folder installs the program
# itself), and the Debian package made of it all by CPack (scripts/package).
include(GNUInstallDirs)

set(ZEL_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
install(FILES ${ZEL_PACKAGING_DIR}/linux/zeldrv.desktop ${ZEL_PACKAGING_DIR}/linux/zelcli.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${ZEL_PACKAGING_DIR}/linux/zel.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The driver reads its settings beside its own program file; this one is a copy to start from.
install(FILES ${ZEL_PACKAGING_DIR}/linux/ZELdrv.ini
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zel/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "driver and test client for an RS-232 instrument network")
set(CPACK_PACKAGE_DESCRIPTION
    "ZELdrv owns the serial line that measuring instruments share and serves it to other\n\
programs over a local link: they poke a line of hexadecimal text, execute one-word\n\
commands and read the outcome. ZELcli is a window for exercising the driver by hand,\n\
zelctl its command-line client, and zelsim a simulated instrument line on a\n\
pseudo-terminal.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
if(NOT CPACK_DEBIAN_PACKAGE_MAINTAINER)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER
      "ZEL maintainers <maintainers@users.noreply.c-seed-17a6c420.example>")
endif()
# The dependencies are what the programs link against, found by dpkg-shlibdeps (dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)

if(ZEL_BUILD_TESTS)
  find_package(Python3 COMPONENTS Interpreter)
  if(NOT Python3_EXECUTABLE)
    set(Python3_EXECUTABLE /usr/bin/python3)
  endif()
  # Makes the package from this build in a scratch folder, unpacks it and runs what it installed.
  add_test(NAME package_install
           COMMAND ${Python3_EXECUTABLE} ${ZEL_PACKAGING_DIR}/test_package_install.py
                   ${CMAKE_BINARY_DIR} ${PROJECT_VERSION} ${CMAKE_CPACK_COMMAND})
  set_tests_properties(package_install PROPERTIES TIMEOUT 120 LABELS package)
endif()
