/* The image carried in the program's static data. The block's bytes come
   from the build (generated from source); its presence word says whether
   the build carries an image at all. */
#ifndef DORVANE_INBUILT_IMAGE_H
#define DORVANE_INBUILT_IMAGE_H

#include <stddef.h>
#include <stdint.h>

#include "bios_image.h"

struct InBuiltImageBlock {
    uint32_t Value;    /* 1; not read */
    char Marker[4];    /* "%SI%"; not read */
    uint16_t Presence; /* 1: an image is present */
    uint8_t Image[BiosImageBufferSize];
};

static_assert(offsetof(InBuiltImageBlock, Marker) == 4, "Marker offset");
static_assert(offsetof(InBuiltImageBlock, Presence) == 8, "Presence offset");
static_assert(offsetof(InBuiltImageBlock, Image) == 10, "Image offset");

/* Defined by the generated source of the build. */
extern const InBuiltImageBlock InBuiltImage;

int InBuiltImagePresent();
const uint8_t* InBuiltImageData();
uint32_t InBuiltImageSize();

#endif
