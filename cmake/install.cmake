# What `cmake --install` puts in place, and the packages CPack makes of it:
#   bin/resection, bin/resection-analise
#   share/man/man1/resection.1.gz, share/man/man1/resection-analise.1.gz
#   share/doc/resection/README.md, share/doc/resection/examples/*.txt (the
#   bundled examples), share/doc/resection/doc/esboco.png,
#   share/resection/resection.html (the web page, where it is built), and as
#   a Debian package wants them share/doc/resection/copyright (the licence)
#   and changelog.gz
# On Windows one folder, as the ZIP package unpacks: resection.exe,
# resection-analise.exe and resection.html (where it is built), the
# surveyor's texts LEIA-ME.txt (Portuguese) and README.txt (English, plain
# text), the licence as LICENSE.txt and the examples beside the programs, so
# that a double click runs an example by its bare name. The text files there
# have CR LF line ends, as Notepad and every Windows editor expect.
include(GNUInstallDirs)

# The pages carry the version from project().
foreach(page resection resection-analise)
  configure_file(doc/${page}.1.in ${PROJECT_BINARY_DIR}/${page}.1 @ONLY)
endforeach()

# A copy of a text file with CR LF line ends, made again when it changes.
function(copy_with_crlf source target)
  file(READ "${PROJECT_SOURCE_DIR}/${source}" text)
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE "${target}" "${text}")
  set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                                                                 "${PROJECT_SOURCE_DIR}/${source}")
endfunction()

if(WIN32)
  set(windows_texts doc/README-windows.txt README.txt doc/LEIA-ME.txt LEIA-ME.txt
                    LICENSE LICENSE.txt)
  while(windows_texts)
    list(POP_FRONT windows_texts source target)
    copy_with_crlf(${source} "${PROJECT_BINARY_DIR}/package/${target}")
    install(FILES "${PROJECT_BINARY_DIR}/package/${target}" DESTINATION .)
  endwhile()
  install(TARGETS resection resection-analise RUNTIME DESTINATION .)
  install(FILES ${RESECTION_EXAMPLES} DESTINATION .)
else()
  # Compressed as Debian wants them (-n: no name or time in the header, so
  # that the bytes depend on the text alone).
  find_program(RESECTION_GZIP gzip REQUIRED)
  configure_file(doc/debian/changelog ${PROJECT_BINARY_DIR}/changelog COPYONLY)
  foreach(file resection.1 resection-analise.1 changelog)
    execute_process(COMMAND ${RESECTION_GZIP} -9nkf ${PROJECT_BINARY_DIR}/${file}
                    COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
  install(TARGETS resection resection-analise RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  foreach(page resection resection-analise)
    install(FILES ${PROJECT_BINARY_DIR}/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
  install(FILES README.md doc/debian/copyright ${PROJECT_BINARY_DIR}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES doc/esboco.png DESTINATION ${CMAKE_INSTALL_DOCDIR}/doc) # shown by the README
  install(FILES ${RESECTION_EXAMPLES} DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
endif()
# The web page (cmake/web.cmake), beside the programs on Windows.
if(RESECTION_WEB_PAGE)
  if(WIN32)
    install(FILES ${RESECTION_WEB_PAGE} DESTINATION .)
  else()
    install(FILES ${RESECTION_WEB_PAGE} DESTINATION ${CMAKE_INSTALL_DATADIR}/resection)
  endif()
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
    "station's height from zenith readings. The report is written in Portuguese.\n"
    "resection-analise reads the same input and names the wrong reading, gives the\n"
    "station's error ellipse and the strength of the geometry, and draws a sketch.")
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
