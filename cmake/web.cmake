# The web page: both programs compiled to WebAssembly with emscripten
# (Debian: apt-get install emscripten) into one HTML file that runs offline,
# ${PROJECT_BINARY_DIR}/resection.html. The page is built by a project of its
# own (web/CMakeLists.txt) with emscripten's tool chain, from the sources of
# the programs' libraries here; this build stays native. RESECTION_WEB: ON
# (em++ must be found), AUTO (built where em++ is found), OFF.
# RESECTION_WEB_TEST adds the browser test (web/test).
#
# The page is the same file for every platform: the builds that ship or test
# it (the presets web, package and windows) share one build of it,
# RESECTION_WEB_BUILD_DIR, so that it is compiled once and copied into each.
include(ExternalProject)

# Without emscripten: AUTO goes on without the page (one line says why), ON
# stops. A macro, so that its return() leaves this file.
macro(web_page_unavailable reason)
  if(RESECTION_WEB STREQUAL "AUTO")
    message(STATUS "Web page not built, nor installed or packaged: ${reason}")
    return()
  endif()
  message(FATAL_ERROR "RESECTION_WEB=ON: ${reason}")
endmacro()

find_program(RESECTION_EMXX em++)
if(NOT RESECTION_EMXX)
  web_page_unavailable("em++ not found (Debian: apt-get install emscripten)")
endif()
get_filename_component(emxx_real "${RESECTION_EMXX}" REALPATH)
get_filename_component(emxx_dir "${emxx_real}" DIRECTORY)
find_file(RESECTION_EMSCRIPTEN_TOOLCHAIN Emscripten.cmake
  PATHS "${emxx_dir}/cmake/Modules/Platform" "${emxx_dir}/../cmake/Modules/Platform"
        /usr/share/emscripten/cmake/Modules/Platform
  NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT RESECTION_EMSCRIPTEN_TOOLCHAIN)
  web_page_unavailable("emscripten's Emscripten.cmake not found beside ${emxx_real}")
endif()

# The sources of the libraries the two programs are built from, up to their
# runs with the console dialogue and without the operating system's layer
# (platform/) or their main(): the page runs both.
set(web_libraries resection_core resection_analysis resection_run)
set(web_sources "")
foreach(library IN LISTS web_libraries)
  get_target_property(sources ${library} SOURCES)
  get_target_property(folder ${library} SOURCE_DIR)
  foreach(source IN LISTS sources)
    cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY "${folder}")
    list(APPEND web_sources "${source}")
  endforeach()
endforeach()

set(RESECTION_WEB_BUILD_DIR "${PROJECT_BINARY_DIR}/web-module" CACHE PATH
    "Folder of the page's own emscripten build (builds of one checkout may share it)")
set(RESECTION_WEB_PAGE ${PROJECT_BINARY_DIR}/resection.html)
set(built_page ${RESECTION_WEB_BUILD_DIR}/resection.html)
# Debian's emscripten runs its JavaScript tools with the system's node,
# which finds Debian's node modules (acorn) only on NODE_PATH. The page's
# build runs two jobs of its own, apart from the make that starts it.
if(DEFINED ENV{NODE_PATH})
  set(node_path "$ENV{NODE_PATH}:/usr/share/nodejs")
else()
  set(node_path /usr/share/nodejs)
endif()
set(with_node ${CMAKE_COMMAND} -E env --unset=MAKEFLAGS NODE_PATH=${node_path})
list(JOIN web_sources "|" web_source_list)
# The examples the build bundles are the page's example buttons; the
# surveyor's description (LEIA-ME.txt) is its full description.
list(JOIN RESECTION_EXAMPLES "|" web_example_list)
ExternalProject_Add(resection_web
  SOURCE_DIR ${PROJECT_SOURCE_DIR}/web
  BINARY_DIR ${RESECTION_WEB_BUILD_DIR}
  LIST_SEPARATOR "|"
  CONFIGURE_COMMAND ${with_node} ${CMAKE_COMMAND} -S <SOURCE_DIR> -B <BINARY_DIR>
                    -G ${CMAKE_GENERATOR}
                    -DCMAKE_TOOLCHAIN_FILE=${RESECTION_EMSCRIPTEN_TOOLCHAIN}
                    -DCMAKE_BUILD_TYPE=Release
                    -DRESECTION_SOURCES=${web_source_list}
                    -DRESECTION_SOURCE_DIR=${PROJECT_SOURCE_DIR}
                    -DRESECTION_PAGE=${built_page}
                    -DRESECTION_VERSION=${PROJECT_VERSION}
                    -DRESECTION_EXAMPLES=${web_example_list}
                    -DRESECTION_DESCRIPTION=${PROJECT_SOURCE_DIR}/doc/LEIA-ME.txt
  BUILD_COMMAND ${with_node} ${CMAKE_COMMAND} --build <BINARY_DIR> --parallel 2
  BUILD_ALWAYS ON
  # The shared page into this build's folder.
  INSTALL_COMMAND ${CMAKE_COMMAND} -E copy_if_different ${built_page} ${RESECTION_WEB_PAGE}
  BUILD_BYPRODUCTS ${RESECTION_WEB_PAGE})

# The browser test: the page opened from disk in headless Chromium with the
# network cut, every shared acceptance run and every golden run through
# window.resection.run against the expected bytes, the analysis of their
# inputs against the native resection-analise, the page's flow as a user
# meets it (the example button, a failing file, the summary against the
# companion's JSON, a phone's width, an accessibility check), screenshots,
# and the time of a 1001-point run beside the native program's.
if(RESECTION_WEB_TEST)
  find_program(RESECTION_NODE NAMES node nodejs REQUIRED)
  find_program(RESECTION_NPM npm REQUIRED)
  find_program(RESECTION_CHROMIUM NAMES chromium chromium-browser REQUIRED)
  # The shared acceptance runs where the test suite looks for them.
  include(${PROJECT_SOURCE_DIR}/cmake/shared_runs.cmake)
  enable_testing()
  set(test_folder ${PROJECT_BINARY_DIR}/browser-test)
  add_test(NAME web_packages
    COMMAND ${CMAKE_COMMAND} -DNPM=${RESECTION_NPM} -DSOURCE=${PROJECT_SOURCE_DIR}/web/test
            -DFOLDER=${test_folder} -P ${PROJECT_SOURCE_DIR}/web/test/packages.cmake)
  set_tests_properties(web_packages PROPERTIES FIXTURES_SETUP web_packages)
  # Through the page the acceptance suites; the regression runs are the
  # native program's.
  set(page_suites ${RESECTION_SHARED_SUITES})
  list(REMOVE_ITEM page_suites regression)
  list(JOIN page_suites "," shared_suites)
  add_test(NAME web_page
    COMMAND ${RESECTION_NODE} ${PROJECT_SOURCE_DIR}/web/test/browser_test.mjs
            --page ${RESECTION_WEB_PAGE} --chromium ${RESECTION_CHROMIUM}
            --native $<TARGET_FILE:resection>
            --native-analysis $<TARGET_FILE:resection-analise>
            --golden ${PROJECT_SOURCE_DIR}/tests/golden
            --shared "${RESECTION_SHARED_RUNS}" --suites "${shared_suites}"
            --example ${PROJECT_SOURCE_DIR}/examples/est1.txt
            --out ${test_folder})
  set_tests_properties(web_page PROPERTIES FIXTURES_REQUIRED web_packages TIMEOUT 600)
endif()
