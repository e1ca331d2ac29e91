/* Builds realistic video BIOS images from a description: the in-built
   release image and board images in the stored (388- or 352-byte table) and
   legacy layouts. Used at build time for the in-built image, by the tests,
   and for the flash contents of emulated cards. */
#ifndef BIOSIMAGE_BOARD_IMAGE_H
#define BIOSIMAGE_BOARD_IMAGE_H

#include <stdint.h>

#include "bios_table.h"

enum BoardLayout { LayoutStored, LayoutLegacy };

enum : uint32_t { BoardMaxRegisters = 32, BoardTextSize = 128 };

struct BoardRecipe {
    BoardLayout Layout;
    uint32_t ImageSize; /* 65536 or 131072: length the checksum covers */
    uint32_t TableSize; /* stored layout: 388 or 352 */
    char Product[BoardTextSize];
    char Version[BoardTextSize];
    char SecondLine[BoardTextSize];
    char Vendor[BoardTextSize]; /* 352-byte tables keep it in the text area */
    uint16_t Flags;             /* 0 makes a blank image; legacy needs non-zero */
    uint32_t Slot6Register;
    uint16_t Slot6Value;
    uint32_t ClockHz;
    uint32_t ListWord;
    uint32_t RegisterCount; /* entries of the legacy list (slot 6 not counted) */
    RegisterSlot Registers[BoardMaxRegisters];
    uint32_t WrittenCount; /* count word written to a legacy list; normally RegisterCount */
    uint8_t VersionMajor;  /* stored tables: numbers as the release stores them */
    uint8_t VersionMinor;
    uint32_t FillSeed; /* code-area filler; 0 leaves it zero */
};

/* A realistic 64-KB legacy board with a few registers, one of them 0x18C. */
void DefaultBoardRecipe(BoardRecipe* recipe);

/* Writes the image into image (BiosImageBufferSize bytes, zeroed first) and
   repairs its checksum over ImageSize. Returns 0 when the description can't
   be laid out (too many registers, texts too long, bad size). */
int BuildBoardImage(const BoardRecipe* recipe, uint8_t* image);

/* The blank release image the program carries. */
void BuildInBuiltImage(uint8_t* image);

#endif
