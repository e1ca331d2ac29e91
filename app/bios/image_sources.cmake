# The image library's sources, named once for every build that compiles them:
# the wizard's image library (app/bios), the image generator (tools/biosimage)
# and the fuzz targets (fuzz/, a separate clang project). Absolute paths:
#   DORVANE_IMAGE_SOURCES        the image format, the board table and the merge,
#                                with the byte routines of app/common they use
#   DORVANE_BOARD_IMAGE_SOURCES  board images made from scratch, for tests and fuzzing
#   DORVANE_IMAGE_INCLUDE_DIRS   the folders of their headers
get_filename_component(DORVANE_IMAGE_TREE ${CMAKE_CURRENT_LIST_DIR}/../.. ABSOLUTE)
set(DORVANE_IMAGE_SOURCES
  ${DORVANE_IMAGE_TREE}/app/bios/bios_image.cpp
  ${DORVANE_IMAGE_TREE}/app/bios/bios_table.cpp
  ${DORVANE_IMAGE_TREE}/app/bios/bios_merge.cpp
  ${DORVANE_IMAGE_TREE}/app/bios/pci_data.cpp
  ${DORVANE_IMAGE_TREE}/app/common/byte_routines.cpp
  ${DORVANE_IMAGE_TREE}/app/common/text_append.cpp)
set(DORVANE_BOARD_IMAGE_SOURCES
  ${DORVANE_IMAGE_TREE}/tools/biosimage/board_image.cpp)
set(DORVANE_IMAGE_INCLUDE_DIRS
  ${DORVANE_IMAGE_TREE}/app/bios
  ${DORVANE_IMAGE_TREE}/app/common
  ${DORVANE_IMAGE_TREE}/tools/biosimage
  ${DORVANE_IMAGE_TREE}/include)
