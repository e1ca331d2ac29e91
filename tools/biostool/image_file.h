/* Image files as the wizard counts them: read into a 131072-byte buffer in
   32768-byte blocks; only whole blocks count towards the image length. */
#ifndef BIOSTOOL_IMAGE_FILE_H
#define BIOSTOOL_IMAGE_FILE_H

#include <stdint.h>

#include "bios_image.h"

struct ImageFile {
    uint8_t Data[BiosImageBufferSize];
    uint32_t FileSize; /* bytes in the file */
    uint32_t Length;   /* 32768 x whole blocks */
};

/* Returns 1 when the file was read (Length may still be 0); 0 with a message
   on stderr when it is missing, unreadable or longer than the image buffer. */
int LoadImageFile(const char* path, ImageFile* file);

/* Writes size bytes of data; 0 with a message on failure. */
int SaveImageFile(const char* path, const uint8_t* data, uint32_t size);

#endif
