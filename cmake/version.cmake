# The program's version: the one line of VERSION at the top of the tree, as
# it is shown ("1.14.00.0018"). The version resource, the About box and the
# release package names all take it from here, through dorvane_version.h.
include_guard(GLOBAL)

set(version_file ${CMAKE_SOURCE_DIR}/VERSION)
set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${version_file})
file(STRINGS ${version_file} DORVANE_VERSION LIMIT_COUNT 1)
if(NOT DORVANE_VERSION MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
  message(FATAL_ERROR "VERSION must hold four dot-separated numbers, not \"${DORVANE_VERSION}\"")
endif()
# The resource's numeric fields drop the leading zeros of the shown text.
set(DORVANE_VERSION_NUMBERS)
foreach(i 1 2 3 4)
  math(EXPR n "${CMAKE_MATCH_${i}}")
  if(n GREATER 65535)
    message(FATAL_ERROR "VERSION part ${CMAKE_MATCH_${i}} does not fit a version resource")
  endif()
  list(APPEND DORVANE_VERSION_NUMBERS ${n})
endforeach()
list(JOIN DORVANE_VERSION_NUMBERS ", " numbers)

set(DORVANE_VERSION_DIR ${CMAKE_BINARY_DIR}/version)
file(CONFIGURE OUTPUT ${DORVANE_VERSION_DIR}/dorvane_version.h CONTENT
"/* Generated from VERSION by cmake/version.cmake. */
#define DORVANE_VERSION_TEXT \"${DORVANE_VERSION}\"
#define DORVANE_VERSION_NUMBERS ${numbers}
")
include_directories(${DORVANE_VERSION_DIR})
