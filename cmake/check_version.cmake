# cmake -DVERSION=1.2.3 -DFILES="a;b" -P check_version.cmake
# Fails unless every file names "resection VERSION" (a Debian changelog:
# "resection (VERSION)"), so that the README, the man pages and the changelog
# follow a new version in project().
foreach(file IN LISTS FILES)
  file(READ "${file}" text)
  string(FIND "${text}" "resection ${VERSION}" at)
  string(FIND "${text}" "resection (${VERSION})" entry)
  if(at EQUAL -1 AND NOT entry EQUAL 0)
    message(FATAL_ERROR "${file} does not name resection ${VERSION}")
  endif()
endforeach()
