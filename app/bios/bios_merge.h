/* Carrying the board's own table from the card's current image into a new
   image: the new image keeps its release (table size, version numbers,
   version text), the board keeps everything else. */
#ifndef DORVANE_BIOS_MERGE_H
#define DORVANE_BIOS_MERGE_H

#include <stdint.h>

#include "bios_table.h"

/* current and newImage hold BiosImageBufferSize bytes; length is the card's
   chip size, over which the merged image's checksum is repaired. Returns 1
   when newImage now carries the board's table, 0 when the merge is refused:
   newImage is then unchanged. Refused when the new image keeps a legacy
   table, the current table can't be read, the table sizes don't match, the
   version text does not fit the board's text area, or length is not a
   usable image length (17..131072). */
int MergeBiosTable(const uint8_t* current, uint8_t* newImage, uint32_t length);

enum MergeResult {
    MergeDone,
    MergeBadLength,
    MergeNewImageLegacy,
    MergeCurrentTableUnreadable,
    MergeTableSizeMismatch,
    MergeVersionTextDoesNotFit,
};

/* MergeBiosTable telling why it refused. */
MergeResult MergeBiosTableChecked(const uint8_t* current, uint8_t* newImage, uint32_t length);
const char* MergeResultText(MergeResult result);

/* Puts T's version text in place of R's and moves the text behind it, with
   ProductOffset and ExtraOffset when they lie behind. Returns 0 and leaves
   R unchanged when the new text, the tail and its NUL do not fit the text
   area (StringAreaSize, at most 128 bytes), or a descriptor points outside
   the area. */
int SpliceVersionText(BiosTable* r, const BiosTable* t);

#endif
