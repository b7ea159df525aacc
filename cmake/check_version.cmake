# cmake -DVERSION=1.2.3 -DFILES="a;b" -P check_version.cmake
# Fails unless every file names "resection VERSION", so that the README and
# the man page follow a new version in project().
foreach(file IN LISTS FILES)
  file(READ "${file}" text)
  string(FIND "${text}" "resection ${VERSION}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${file} does not name resection ${VERSION}")
  endif()
endforeach()
