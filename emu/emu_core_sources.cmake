# The freestanding machine core, for any build that embeds the emulated
# machine (the native host library here, or a driver build). Such a build
# also supplies EmuStorageRead/EmuStorageWrite (emu_storage.h) and compiles
# these with its kernel-mode flags; include directories: this folder and
# include/.
set(PELMIX_EMU_DIR ${CMAKE_CURRENT_LIST_DIR})
set(PELMIX_EMU_CORE_SOURCES
  ${PELMIX_EMU_DIR}/bar_probes.cpp
  ${PELMIX_EMU_DIR}/bus_decode.cpp
  ${PELMIX_EMU_DIR}/card_peek.cpp
  ${PELMIX_EMU_DIR}/chip_images.cpp
  ${PELMIX_EMU_DIR}/emu_text.cpp
  ${PELMIX_EMU_DIR}/emu_trace.cpp
  ${PELMIX_EMU_DIR}/flash_chip.cpp
  ${PELMIX_EMU_DIR}/flash_models.cpp
  ${PELMIX_EMU_DIR}/machine_parser.cpp
  ${PELMIX_EMU_DIR}/orvel_card.cpp
  ${PELMIX_EMU_DIR}/pci_config_space.cpp)
