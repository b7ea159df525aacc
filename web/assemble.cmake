# One HTML file from the page, its style and script, the compiled module with
# the worker's script, the bundled examples and the surveyor's description.
# Usage: cmake -DMODULE=... -DSOURCE=... -DPAGE=... -DVERSION=...
#   -DEXAMPLES=a.txt;b.txt -DDESCRIPTION=LEIA-ME.txt -P assemble.cmake
cmake_minimum_required(VERSION 3.20)
file(READ ${SOURCE}/page.html page)
file(READ ${SOURCE}/page.css style)
file(READ ${SOURCE}/page.js script)
file(READ ${MODULE} module)
file(READ ${SOURCE}/worker.js worker)

# The examples, one a line: the name and the bytes in hexadecimal, which
# carry any byte and nothing that could end the element.
set(examples "")
foreach(example IN LISTS EXAMPLES)
  cmake_path(GET example FILENAME name)
  if(NOT name MATCHES "^[A-Za-z0-9._-]+$")
    message(FATAL_ERROR "The example's name ${name} is not a plain file name")
  endif()
  file(READ ${example} bytes HEX)
  string(APPEND examples "${name} ${bytes}\n")
endforeach()

# The description as text in the page: the three characters HTML reads as
# markup written as references.
file(READ ${DESCRIPTION} description)
string(REPLACE "&" "&amp;" description "${description}")
string(REPLACE "<" "&lt;" description "${description}")
string(REPLACE ">" "&gt;" description "${description}")

# Each part goes inside an element of the page: none may close it early.
foreach(part style script module worker)
  string(TOLOWER "${${part}}" lower)
  string(FIND "${lower}" "</s" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "The ${part} of the page holds \"</s\", which would end its element")
  endif()
endforeach()
string(REPLACE "@VERSION@" "${VERSION}" page "${page}")
string(REPLACE "@DESCRIPTION@" "${description}" page "${page}")
string(REPLACE "@EXAMPLES@" "${examples}" page "${page}")
string(REPLACE "@STYLE@" "${style}" page "${page}")
string(REPLACE "@SCRIPT@" "${script}" page "${page}")
string(REPLACE "@WORKER@" "${module}\n${worker}" page "${page}")
file(WRITE ${PAGE} "${page}")

# Its size, for the documents that quote it.
file(SIZE ${PAGE} size)
math(EXPR kib "(${size} + 512) / 1024")
message(STATUS "Web page ${PAGE}: ${kib} KiB")
