# Which Windows binaries the Wine tests run, for every test folder that runs
# programs under Wine (include this file; it acts once). Sets
# PELMIX_WINE_BINARY_DIR to the cross build whose binaries Wine can run here,
# or leaves it empty when Wine cannot run.
#
# Wine runs the 32-bit deliverables where the host runs 32-bit processes. On a
# host that runs only 64-bit processes (a kernel without 32-bit support) the
# test binaries come from a 64-bit cross build of the same sources, in
# <build>/win64, building the targets listed in PELMIX_WINE64_TARGETS.
include_guard(GLOBAL)

# What the 64-bit build builds itself; pelmix_wine64_build steps build more there.
set(PELMIX_WINE64_TARGETS pelmix_emulated_driver pelmixctl)

set(wine_binary_dir "")
if(PELMIX_WINDOWS_BUILT)
  execute_process(COMMAND /usr/lib/wine/wine --version RESULT_VARIABLE wine32_result
                  OUTPUT_QUIET ERROR_QUIET)
  if(wine32_result EQUAL 0)
    set(wine_binary_dir ${PELMIX_WIN_BINARY_DIR})
  else()
    execute_process(COMMAND /usr/lib/wine/wine64 --version RESULT_VARIABLE wine64_result
                    OUTPUT_QUIET ERROR_QUIET)
    find_program(PELMIX_MINGW64_CXX x86_64-w64-mingw32-g++)
    if(wine64_result EQUAL 0 AND PELMIX_MINGW64_CXX)
      set(wine_binary_dir ${CMAKE_BINARY_DIR}/win64)
      include(ExternalProject)
      ExternalProject_Add(wine64_binaries
        SOURCE_DIR ${CMAKE_SOURCE_DIR}
        BINARY_DIR ${wine_binary_dir}
        CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_CURRENT_LIST_DIR}/mingw-x86_64.cmake ${PELMIX_CROSS_BUILD_ARGS}
        DEPENDS ${PELMIX_CROSS_BUILD_HOST_TOOLS}
        BUILD_COMMAND ${CMAKE_COMMAND} --build . --target ${PELMIX_WINE64_TARGETS}
        INSTALL_COMMAND ""
        BUILD_ALWAYS ON
        USES_TERMINAL_BUILD ON)
    endif()
  endif()
endif()
# Global, so that every folder sees it whichever included this file first.
set(PELMIX_WINE_BINARY_DIR "${wine_binary_dir}" CACHE INTERNAL "Windows binaries the Wine tests run")

# pelmix_wine_scenarios_ready(VAR WHAT): VAR is TRUE when the scenarios that
# drive Windows programs in a virtual display can run here: Wine can run the
# Windows build, and Xvfb, xdotool and ImageMagick are installed. Otherwise
# says why WHAT is off.
function(pelmix_wine_scenarios_ready var what)
  set(${var} FALSE PARENT_SCOPE)
  if(NOT PELMIX_WINDOWS_BUILT)
    return()
  endif()
  find_program(PELMIX_WINE_PROGRAM wine)
  find_program(PELMIX_XVFB_PROGRAM Xvfb)
  find_program(PELMIX_XDOTOOL_PROGRAM xdotool)
  find_program(PELMIX_IMPORT_PROGRAM import)
  if(NOT PELMIX_WINE_PROGRAM OR NOT PELMIX_XVFB_PROGRAM OR NOT PELMIX_XDOTOOL_PROGRAM OR NOT PELMIX_IMPORT_PROGRAM)
    message(STATUS "${what} off: wine, Xvfb, xdotool or ImageMagick missing")
    return()
  endif()
  if(NOT PELMIX_WINE_BINARY_DIR)
    message(STATUS "${what} off: Wine cannot run here")
    return()
  endif()
  set(${var} TRUE PARENT_SCOPE)
endfunction()

# pelmix_wine64_build(NAME COMMENT TARGET...): on a 64-bit-only host, builds
# more targets in the 64-bit cross build. One build at a time in that folder:
# each such step waits for the cross build and for the steps added before it.
function(pelmix_wine64_build name comment)
  if(NOT TARGET wine64_binaries)
    return()
  endif()
  add_custom_target(${name} ALL
    COMMAND ${CMAKE_COMMAND} --build ${PELMIX_WINE_BINARY_DIR} --target ${ARGN}
    COMMENT "${comment}"
    VERBATIM)
  get_property(earlier GLOBAL PROPERTY PELMIX_WINE64_BUILD_STEPS)
  add_dependencies(${name} wine64_binaries ${earlier})
  set_property(GLOBAL APPEND PROPERTY PELMIX_WINE64_BUILD_STEPS ${name})
endfunction()

# pelmix_add_wine_scenarios(NAME TIMEOUT LOCKS COMMAND...): a scenario test;
# exit code 77 means Wine cannot run here. LOCKS: the Wine prefixes it uses.
function(pelmix_add_wine_scenarios name timeout locks)
  add_test(NAME ${name} COMMAND ${ARGN})
  set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT ${timeout} RESOURCE_LOCK "${locks}")
endfunction()
