/* The length an option ROM's header declares (size byte x 512) beside the
   wizard's whole-block length: ROMs from other tools and downloads are cut at
   the declared length, which seldom is a whole number of 32768-byte blocks. */
#ifndef BIOSTOOL_DECLARED_LENGTH_H
#define BIOSTOOL_DECLARED_LENGTH_H

#include <stdio.h>

#include "image_file.h"

enum DeclaredCheck {
    DeclaredAbsent,     /* no 55 AA, or a size byte of 0 */
    DeclaredBeyondFile, /* the file ends before the declared length */
    DeclaredValid,
    DeclaredInvalid,
};

struct DeclaredLength {
    uint32_t Length;
    DeclaredCheck Check;
};

DeclaredLength CheckDeclaredLength(const ImageFile* file);

/* "valid", "invalid", "beyond the file" or "none". */
const char* DeclaredCheckName(DeclaredCheck check);

/* The file's size rounded up to whole 32768-byte blocks. */
uint32_t PaddedLength(const ImageFile* file);

/* 1 when the file ends inside a block and its bytes sum to 0 after 55 AA:
   zero bytes to the next whole block give the wizard a valid checksum. */
int PaddingMends(const ImageFile* file);

/* The declared-length line of checksum, and the hint to pad when it helps. */
void PrintDeclaredLength(FILE* out, const char* path, const ImageFile* file);

#endif
