#ifndef BIOSIMAGE_INBUILT_SOURCE_H
#define BIOSIMAGE_INBUILT_SOURCE_H

#include <stdint.h>
#include <stdio.h>

/* Writes the C++ definition of InBuiltImage: the image (131072 bytes) with
   presence word 1, or, when image is null, an empty block with presence 0. */
int WriteInBuiltImageSource(FILE* out, const uint8_t* image);

#endif
