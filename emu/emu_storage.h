// File access the machine core needs for chip images. The core only declares
// these; each build supplies them (host_storage.cpp on a Linux host, the
// driver's own file routines inside a driver).
#ifndef PELMIX_EMU_STORAGE_H
#define PELMIX_EMU_STORAGE_H

#include <stdint.h>

// Reads up to size bytes of the file; 1 and *length, or 0 if it cannot be opened.
int EmuStorageRead(const char* path, uint8_t* data, uint32_t size, uint32_t* length);
// Creates or replaces the file with size bytes; 1 on success.
int EmuStorageWrite(const char* path, const uint8_t* data, uint32_t size);

#endif
