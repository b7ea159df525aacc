# One HTML file from the page, its style and script, and the compiled module
# with the worker's script. Usage: cmake -DMODULE=... -DSOURCE=... -DPAGE=...
# -DVERSION=... -P assemble.cmake
cmake_minimum_required(VERSION 3.20)
file(READ ${SOURCE}/page.html page)
file(READ ${SOURCE}/page.css style)
file(READ ${SOURCE}/page.js script)
file(READ ${MODULE} module)
file(READ ${SOURCE}/worker.js worker)
# Each part goes inside an element of the page: none may close it early.
foreach(part style script module worker)
  string(TOLOWER "${${part}}" lower)
  string(FIND "${lower}" "</s" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "The ${part} of the page holds \"</s\", which would end its element")
  endif()
endforeach()
string(REPLACE "@VERSION@" "${VERSION}" page "${page}")
string(REPLACE "@STYLE@" "${style}" page "${page}")
string(REPLACE "@SCRIPT@" "${script}" page "${page}")
string(REPLACE "@WORKER@" "${module}\n${worker}" page "${page}")
file(WRITE ${PAGE} "${page}")
