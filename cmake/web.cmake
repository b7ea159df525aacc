# The web page: both programs compiled to WebAssembly with emscripten
# (Debian: apt-get install emscripten) into one HTML file that runs offline,
# ${PROJECT_BINARY_DIR}/resection.html. The page is built by a project of its
# own (web/CMakeLists.txt) with emscripten's tool chain, from the sources of
# the programs' libraries here; this build stays native. RESECTION_WEB: ON
# (em++ must be found), AUTO (built where em++ is found), OFF.
# RESECTION_WEB_TEST adds the browser test (web/test).
include(ExternalProject)

# Without emscripten: AUTO goes on without the page (one line says why), ON
# stops. A macro, so that its return() leaves this file.
macro(web_page_unavailable reason)
  if(RESECTION_WEB STREQUAL "AUTO")
    message(STATUS "Web page not built: ${reason}")
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

set(RESECTION_WEB_PAGE ${PROJECT_BINARY_DIR}/resection.html)
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
ExternalProject_Add(resection_web
  SOURCE_DIR ${PROJECT_SOURCE_DIR}/web
  BINARY_DIR ${PROJECT_BINARY_DIR}/web-module
  LIST_SEPARATOR "|"
  CONFIGURE_COMMAND ${with_node} ${CMAKE_COMMAND} -S <SOURCE_DIR> -B <BINARY_DIR>
                    -G ${CMAKE_GENERATOR}
                    -DCMAKE_TOOLCHAIN_FILE=${RESECTION_EMSCRIPTEN_TOOLCHAIN}
                    -DCMAKE_BUILD_TYPE=Release
                    -DRESECTION_SOURCES=${web_source_list}
                    -DRESECTION_SOURCE_DIR=${PROJECT_SOURCE_DIR}
                    -DRESECTION_PAGE=${RESECTION_WEB_PAGE}
                    -DRESECTION_VERSION=${PROJECT_VERSION}
  BUILD_COMMAND ${with_node} ${CMAKE_COMMAND} --build <BINARY_DIR> --parallel 2
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${RESECTION_WEB_PAGE}
  INSTALL_COMMAND "")

# The browser test: the page opened from disk in headless Chromium with the
# network cut, every shared acceptance run and every golden run through
# window.resection.run against the expected bytes, the analysis of their
# inputs against the native resection-analise, one run through the form, a
# screenshot, and the time of a 1001-point run beside the native program's.
if(RESECTION_WEB_TEST)
  find_program(RESECTION_NODE NAMES node nodejs REQUIRED)
  find_program(RESECTION_NPM npm REQUIRED)
  find_program(RESECTION_CHROMIUM NAMES chromium chromium-browser REQUIRED)
  enable_testing()
  set(test_folder ${PROJECT_BINARY_DIR}/browser-test)
  add_test(NAME web_packages
    COMMAND ${CMAKE_COMMAND} -DNPM=${RESECTION_NPM} -DSOURCE=${PROJECT_SOURCE_DIR}/web/test
            -DFOLDER=${test_folder} -P ${PROJECT_SOURCE_DIR}/web/test/packages.cmake)
  set_tests_properties(web_packages PROPERTIES FIXTURES_SETUP web_packages)
  # The shared acceptance runs where the test suite looks for them: the
  # first of these places that holds them.
  set(shared_list "${RESECTION_SHARED_DIR},${PROJECT_SOURCE_DIR}/../shared,/work/shared")
  add_test(NAME web_page
    COMMAND ${RESECTION_NODE} ${PROJECT_SOURCE_DIR}/web/test/browser_test.mjs
            --page ${RESECTION_WEB_PAGE} --chromium ${RESECTION_CHROMIUM}
            --native $<TARGET_FILE:resection>
            --native-analysis $<TARGET_FILE:resection-analise>
            --golden ${PROJECT_SOURCE_DIR}/tests/golden
            --shared ${shared_list} --example ${PROJECT_SOURCE_DIR}/examples/est1.txt
            --out ${test_folder})
  set_tests_properties(web_page PROPERTIES FIXTURES_REQUIRED web_packages TIMEOUT 600)
endif()
