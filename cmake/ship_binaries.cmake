# The shipped copies of the Windows binaries, in <build>/ship: each without
# debug sections or symbol table, its symbols in ship/symbols/<file>.debug,
# which each program names in its .gnu_debuglink section (debuggers find the
# symbols beside it). The linked binaries stay as they are for the tests.
#
# Target ship_binaries. The 32-bit build ships the driver for the real card;
# the 64-bit test build, which only Wine runs, the emulated-hardware driver.
set(PELMIX_SHIP_DIR ${CMAKE_BINARY_DIR}/ship)
set(ship_files Dorvane=Dorvane.exe pelmixctl=pelmixctl.exe biostool=biostool.exe)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  list(APPEND ship_files pelmix_driver=Pelmix.sys)
else()
  list(APPEND ship_files pelmix_emulated_driver=Pelmix.sys)
endif()

set(shipped)
foreach(pair ${ship_files})
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 target)
  list(GET pair 1 name)
  if(NOT TARGET ${target})
    message(FATAL_ERROR "ship_binaries: no target ${target}")
  endif()
  set(out ${PELMIX_SHIP_DIR}/${name})
  set(symbols ${PELMIX_SHIP_DIR}/symbols/${name}.debug)
  # The kernel image carries nothing but code and data: its symbols are found
  # by name, without a link section.
  set(link --add-gnu-debuglink=${symbols})
  if(name STREQUAL "Pelmix.sys")
    set(link)
  endif()
  add_custom_command(OUTPUT ${out} ${symbols}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PELMIX_SHIP_DIR}/symbols
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> ${symbols}
    # Writing the image again also writes its PE checksum.
    COMMAND ${CMAKE_OBJCOPY} --strip-all ${link} $<TARGET_FILE:${target}> ${out}
    DEPENDS ${target}
    COMMENT "Shipped copy of ${target} and its symbols"
    VERBATIM)
  list(APPEND shipped ${out})
endforeach()
add_custom_target(ship_binaries ALL DEPENDS ${shipped})
