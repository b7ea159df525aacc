# Where the shared acceptance runs are: whole runs whose bytes were computed
# apart from this program, one folder of runs (a suite) each with its
# check.sh. They are looked for in RESECTION_SHARED_DIR (set at configure,
# or in the environment), else in the folder shared beside the checkout
# (../shared), and nowhere else. Both the test suite and the web page's
# browser test take them from here:
#   RESECTION_SHARED_RUNS      the folder looked in
#   RESECTION_SHARED_SUITES    the suites found there
# Where some are missing, configure says so in one line and the tests run
# without them, unless RESECTION_REQUIRE_ACCEPTANCE (set at configure, or in
# the environment, as CI does) asks for them.
include_guard(GLOBAL)

set(RESECTION_SHARED_DIR "$ENV{RESECTION_SHARED_DIR}" CACHE PATH
    "Folder holding the shared acceptance runs (empty: ../shared beside the checkout)")
# One test per suite, named after its folder; a new suite is one more name here.
# The 1,147 regression runs take about a minute natively; under Wine, where
# every run starts a Windows process, they would take the better part of an
# hour, so the Windows build runs the acceptance suites only.
set(RESECTION_ACCEPTANCE_SUITES acceptance acceptance-next regression)
if(CMAKE_CROSSCOMPILING)
  list(REMOVE_ITEM RESECTION_ACCEPTANCE_SUITES regression)
  message(STATUS "Regression runs: left out of the cross build (each run a process under Wine)")
endif()

if(RESECTION_SHARED_DIR)
  set(RESECTION_SHARED_RUNS "${RESECTION_SHARED_DIR}")
else()
  cmake_path(SET RESECTION_SHARED_RUNS NORMALIZE "${PROJECT_SOURCE_DIR}/../shared")
endif()
set(RESECTION_SHARED_SUITES "")
set(missing_suites "")
foreach(suite IN LISTS RESECTION_ACCEPTANCE_SUITES)
  if(EXISTS "${RESECTION_SHARED_RUNS}/${suite}/check.sh")
    list(APPEND RESECTION_SHARED_SUITES ${suite})
    message(STATUS "Acceptance runs '${suite}': ${RESECTION_SHARED_RUNS}/${suite}")
  else()
    list(APPEND missing_suites ${suite})
  endif()
endforeach()
if(missing_suites)
  list(JOIN missing_suites ", " names)
  if(RESECTION_REQUIRE_ACCEPTANCE OR "$ENV{RESECTION_REQUIRE_ACCEPTANCE}")
    message(FATAL_ERROR "Acceptance runs (${names}) not found in ${RESECTION_SHARED_RUNS}; "
                        "set RESECTION_SHARED_DIR to the folder that holds them")
  endif()
  message(STATUS "Acceptance runs (${names}) not found in ${RESECTION_SHARED_RUNS}: left out "
                 "(RESECTION_SHARED_DIR names their folder)")
endif()
