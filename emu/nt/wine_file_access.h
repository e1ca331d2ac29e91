// Whole-file reads and writes of the emulated-hardware driver, by DOS path
// ("Z:\folder\file"), through the kernel's file routines.
#ifndef PELMIX_WINE_FILE_ACCESS_H
#define PELMIX_WINE_FILE_ACCESS_H

#include <stdint.h>

// Reads up to size bytes; 1 and *length, or 0 when the file cannot be read.
int ReadWholeFile(const char* path, uint8_t* data, uint32_t size, uint32_t* length);
// Creates or replaces the file with size bytes; 1 on success.
int WriteWholeFile(const char* path, const uint8_t* data, uint32_t size);

#endif
