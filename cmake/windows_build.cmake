# The Windows binaries come from a cross build of this same tree, in
# build/win, driven from the native build so that one build makes all.
# Included after tools/: the cross builds run this build's biosimage and
# artgen, which are built first; a change to either runs the cross builds'
# generation again.
find_program(PELMIX_MINGW_CXX i686-w64-mingw32-g++)
find_program(PELMIX_MINGW_OBJDUMP i686-w64-mingw32-objdump)
find_program(PELMIX_MINGW_NM i686-w64-mingw32-nm)

# What every cross build of the tree is given (the Wine tests' 64-bit build too).
set(PELMIX_CROSS_BUILD_ARGS
  -DCMAKE_BUILD_TYPE=Release
  -DDORVANE_INBUILT_IMAGE=${DORVANE_INBUILT_IMAGE}
  -DDORVANE_HOST_BIOSIMAGE=$<TARGET_FILE:biosimage>
  -DDORVANE_HOST_ARTGEN=$<TARGET_FILE:artgen>)
set(PELMIX_CROSS_BUILD_HOST_TOOLS biosimage artgen)

if(PELMIX_WINDOWS AND PELMIX_MINGW_CXX)
  include(ExternalProject)
  set(PELMIX_WIN_BINARY_DIR ${CMAKE_BINARY_DIR}/win)
  ExternalProject_Add(windows_binaries
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${PELMIX_WIN_BINARY_DIR}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-i686.cmake ${PELMIX_CROSS_BUILD_ARGS}
    DEPENDS ${PELMIX_CROSS_BUILD_HOST_TOOLS}
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    USES_TERMINAL_BUILD ON)
  set(PELMIX_WINDOWS_BUILT ON)
  # The benchmark's report ends with the shipped files' sizes.
  target_compile_definitions(emu_benchmark PRIVATE PELMIX_SHIPPED_DIR="${PELMIX_WIN_BINARY_DIR}/ship")
elseif(PELMIX_WINDOWS)
  message(WARNING "i686-w64-mingw32-g++ not found: the Windows binaries are not built")
endif()
