# Fails when a source file includes a header from a folder of a higher layer.
# Run as: cmake -DSOURCE_DIR=<checkout> -P check_layers.cmake
#
# The layers, bottom to top (doc/DEVELOPING.md draws them). A file may
# include headers of its own layer and of the layers below; a folder that is
# not listed here must be given its layer before it can be included.
set(layers
  "base"                                  # the stop, exit statuses, limits, pi, name texts
  "angles;matrix"                         # units and conversions; the matrix toolkit
  "precision"                             # variance test and precision search of both adjustments
  "input"                                 # the input file
  "planimetry"                            # the position
  "altimetry"                             # the height
  "report"                                # the report's writers
  "analysis"                              # the companion's analysis
  "console"                               # console dialogue, FileSystem (no OS calls)
  "runs"                                  # a whole run of each program (no OS calls)
  "platform"                              # the operating system
  "driver"                                # the mains
)

set(rank 0)
set(known "")
foreach(layer IN LISTS layers)
  foreach(folder IN LISTS layer)
    set(rank_${folder} ${rank})
    list(APPEND known ${folder})
  endforeach()
  math(EXPR rank "${rank} + 1")
endforeach()

set(faults "")
foreach(folder IN LISTS known)
  file(GLOB sources "${SOURCE_DIR}/${folder}/*.cpp" "${SOURCE_DIR}/${folder}/*.hpp")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS includes)
      if(NOT line MATCHES "\"([^\"/]+)/[^\"]*\"")
        continue()
      endif()
      set(target "${CMAKE_MATCH_1}")
      file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
      if(NOT DEFINED rank_${target})
        list(APPEND faults "${shown}: ${line} (folder '${target}' has no layer)")
      elseif(rank_${target} GREATER rank_${folder})
        list(APPEND faults "${shown}: ${line} (${target}/ is above ${folder}/)")
      endif()
    endforeach()
  endforeach()
endforeach()

if(faults)
  list(JOIN faults "\n  " shown)
  message(FATAL_ERROR "Includes from a higher layer:\n  ${shown}")
endif()
list(LENGTH known count)
message(STATUS "Layers kept: ${count} folders")
