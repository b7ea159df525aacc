# A cross build (Windows from Linux) finds no GoogleTest built for its
# target: build one from the sources Debian installs with libgtest-dev
# (package googletest, /usr/src/googletest). Sets GTest_FOUND and the
# targets GTest::gtest and GTest::gtest_main, as find_package would.
set(RESECTION_GOOGLETEST_SOURCES /usr/src/googletest CACHE PATH
    "GoogleTest sources for a cross build (Debian: apt-get install googletest)")
if(EXISTS "${RESECTION_GOOGLETEST_SOURCES}/CMakeLists.txt")
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory("${RESECTION_GOOGLETEST_SOURCES}" "${PROJECT_BINARY_DIR}/googletest"
                   EXCLUDE_FROM_ALL SYSTEM)
  set(GTest_FOUND TRUE)
  message(STATUS "GoogleTest built from ${RESECTION_GOOGLETEST_SOURCES}")
endif()
