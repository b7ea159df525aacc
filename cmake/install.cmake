# What `cmake --install` puts in place, and the packages CPack makes of it:
#   bin/resection
#   share/man/man1/resection.1
#   share/doc/resection/README.md, share/doc/resection/examples/est1.txt
# On Windows one folder, as the ZIP package unpacks: resection.exe, the
# README as README.txt (Notepad opens it) and the example est1.txt beside
# the program, so that a double click runs the example by its bare name.
include(GNUInstallDirs)

# The page carries the version from project().
configure_file(doc/resection.1.in ${PROJECT_BINARY_DIR}/resection.1 @ONLY)
if(WIN32)
  install(TARGETS resection RUNTIME DESTINATION .)
  install(FILES README.md DESTINATION . RENAME README.txt)
  install(FILES examples/est1.txt DESTINATION .)
else()
  install(TARGETS resection RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_BINARY_DIR}/resection.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES examples/est1.txt DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
endif()

set(RESECTION_PACKAGE_MAINTAINER
    "resection maintainers <maintainers@users.noreply.c-seed-86265321.example>"
    CACHE STRING "Maintainer named in the packages")

set(CPACK_PACKAGE_NAME resection)
set(CPACK_PACKAGE_VENDOR "resection maintainers")
set(CPACK_PACKAGE_CONTACT "${RESECTION_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "A console program for land surveyors: the plane coordinates of an instrument\n"
    "station from horizontal direction readings to three or more points of known\n"
    "coordinates, adjusted by least squares with a chi-square test of the variance\n"
    "and a search for the a posteriori precision of one reading; on request the\n"
    "station's height from zenith readings. The report is written in Portuguese.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY resection)
set(CPACK_STRIP_FILES ON)
# One generator by default on each platform; `cpack -G NAME` or a package
# preset chooses another.
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB)
endif()

# Debian: resection_VERSION_ARCH.deb for /usr, installable with
# `apt install ./resection_*.deb`; the library dependencies (libc6,
# libstdc++6, libgcc-s1) with their least versions come from dpkg-shlibdeps.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
