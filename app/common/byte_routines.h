/* The byte routines the image code, the flash session and the pages are
   built on: plain loops, no C library call, so that every build (the wizard,
   the tools, the fuzz targets) handles bytes alike. */
#ifndef DORVANE_BYTE_ROUTINES_H
#define DORVANE_BYTE_ROUTINES_H

#include <stdint.h>

void FillBytes(void* dest, uint8_t value, uint32_t count);
void CopyBytes(void* dest, const void* src, uint32_t count);
/* 0 when the count bytes are equal, 1 at the first difference. */
int CompareBytes(const void* a, const void* b, uint32_t count);

#endif
