# The Windows binaries come from a cross build of this same tree, in
# build/win, driven from the native build so that one build makes all.
find_program(PELMIX_MINGW_CXX i686-w64-mingw32-g++)
if(PELMIX_WINDOWS AND PELMIX_MINGW_CXX)
  include(ExternalProject)
  set(PELMIX_WIN_BINARY_DIR ${CMAKE_BINARY_DIR}/win)
  ExternalProject_Add(windows_binaries
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${PELMIX_WIN_BINARY_DIR}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-i686.cmake
               -DCMAKE_BUILD_TYPE=Release
               -DDORVANE_INBUILT_IMAGE=${DORVANE_INBUILT_IMAGE}
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    USES_TERMINAL_BUILD ON)
  set(PELMIX_WINDOWS_BUILT ON)
elseif(PELMIX_WINDOWS)
  message(WARNING "i686-w64-mingw32-g++ not found: the Windows binaries are not built")
endif()
