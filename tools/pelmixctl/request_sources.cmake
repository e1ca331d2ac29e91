# pelmixctl's request commands (command line, request records, replies),
# named once for pelmixctl and for the model NT kernel (tools/ntmodel), which
# runs the same commands through the driver it loads. Absolute paths.
set(PELMIXCTL_REQUEST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/command_line.cpp
  ${CMAKE_CURRENT_LIST_DIR}/json_line.cpp
  ${CMAKE_CURRENT_LIST_DIR}/reply_format.cpp
  ${CMAKE_CURRENT_LIST_DIR}/request_runner.cpp)
