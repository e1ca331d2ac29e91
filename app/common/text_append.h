/* Building a short text piece by piece into a fixed buffer, for the names and
   notes of the image and backup code: plain loops, so that the program needs
   no C library formatting (mingw-w64's printf is some 24 KB of the wizard) and
   every build composes the same text. */
#ifndef DORVANE_TEXT_APPEND_H
#define DORVANE_TEXT_APPEND_H

#include <stddef.h>
#include <stdint.h>

/* Each appends to the terminated text in buffer (size bytes in all) and
   returns 1 when the whole piece fitted; otherwise the text is cut at the
   buffer's end, still terminated, and 0. */
int AppendText(char* buffer, size_t size, const char* piece);
int AppendDecimal(char* buffer, size_t size, uint32_t value);
/* Upper-case hexadecimal, with leading zeros to at least digits digits. */
int AppendHex(char* buffer, size_t size, uint32_t value, uint32_t digits);

#endif
