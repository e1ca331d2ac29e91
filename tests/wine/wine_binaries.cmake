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

set(PELMIX_WINE64_TARGETS pelmix_emulated_driver pelmixctl CACHE STRING
    "Targets of the 64-bit cross build used by the Wine tests on a 64-bit-only host")

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
        CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_CURRENT_LIST_DIR}/mingw-x86_64.cmake
                   -DCMAKE_BUILD_TYPE=Release
        BUILD_COMMAND ${CMAKE_COMMAND} --build . --target ${PELMIX_WINE64_TARGETS}
        INSTALL_COMMAND ""
        BUILD_ALWAYS ON
        USES_TERMINAL_BUILD ON)
    endif()
  endif()
endif()
# Global, so that every folder sees it whichever included this file first.
set(PELMIX_WINE_BINARY_DIR "${wine_binary_dir}" CACHE INTERNAL "Windows binaries the Wine tests run")
