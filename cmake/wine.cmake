# The tests of a Windows build, run on Linux under Wine (Debian: apt-get
# install --no-install-recommends wine64). ctest starts every Windows test
# program through CMAKE_CROSSCOMPILING_EMULATOR, the script wine-run made
# here; the acceptance scripts start the program themselves, and the script
# resection-wine stands in for it. Wine keeps its state in a prefix in the
# build folder, made by the build (target wine_prefix), so that no test
# waits the 20 s or so that this takes; wine-run.in says more.
set(RESECTION_PROGRAM_RUNNER "${PROJECT_BINARY_DIR}/resection-wine")
set(executable OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
               WORLD_EXECUTE)

if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(RESECTION_WINE NAMES wine64 wine PATHS /usr/lib/wine)
  find_program(RESECTION_WINESERVER NAMES wineserver64 wineserver PATHS /usr/lib/wine)
  if(NOT RESECTION_WINE OR NOT RESECTION_WINESERVER)
    message(FATAL_ERROR "Wine not found; it runs the tests of a Windows build "
                        "(Debian: apt-get install --no-install-recommends wine64). "
                        "RESECTION_TESTS=OFF builds without them.")
  endif()
  set(CMAKE_CROSSCOMPILING_EMULATOR "${PROJECT_BINARY_DIR}/wine-run")
  set(prefix "${PROJECT_BINARY_DIR}/wine-prefix")
  configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in "${CMAKE_CROSSCOMPILING_EMULATOR}" @ONLY
                 FILE_PERMISSIONS ${executable})
  set(made "${PROJECT_BINARY_DIR}/wine-prefix.made")
  add_custom_command(OUTPUT "${made}"
    COMMAND "${CMAKE_CROSSCOMPILING_EMULATOR}" wineboot
    COMMAND ${CMAKE_COMMAND} -E touch "${made}"
    COMMENT "Making the Wine prefix for the tests")
  add_custom_target(wine_prefix ALL DEPENDS "${made}")
endif()

file(GENERATE OUTPUT "${RESECTION_PROGRAM_RUNNER}"
     CONTENT "#!/bin/sh\nexec '${CMAKE_CROSSCOMPILING_EMULATOR}' '$<TARGET_FILE:resection>' \"$@\"\n"
     FILE_PERMISSIONS ${executable})
