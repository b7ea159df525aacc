# Installs the browser test's packages (package-lock.json) into FOLDER with
# npm ci, unless that lock is installed there already.
# Usage: cmake -DNPM=npm -DSOURCE=web/test -DFOLDER=... -P packages.cmake
file(MAKE_DIRECTORY ${FOLDER})
set(installed FALSE)
if(EXISTS ${FOLDER}/package-lock.json AND EXISTS ${FOLDER}/node_modules/playwright-core
   AND EXISTS ${FOLDER}/node_modules/axe-core)
  file(SHA256 ${FOLDER}/package-lock.json have)
  file(SHA256 ${SOURCE}/package-lock.json want)
  if(have STREQUAL want)
    set(installed TRUE)
  endif()
endif()
if(NOT installed)
  file(COPY ${SOURCE}/package.json ${SOURCE}/package-lock.json DESTINATION ${FOLDER})
  execute_process(COMMAND ${NPM} ci --no-audit --no-fund WORKING_DIRECTORY ${FOLDER}
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "npm ci failed in ${FOLDER}")
  endif()
endif()
