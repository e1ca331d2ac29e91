/* Realistic starting images for the image fuzz targets. A fuzz input picks
   one and XORs its bytes over it, so an all-zero input is a well-formed
   image and small inputs reach every part of the table code. */
#ifndef FUZZ_BIOS_FUZZ_BASES_H
#define FUZZ_BIOS_FUZZ_BASES_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "board_image.h"

enum { FuzzBaseCount = 6 };

inline const uint8_t* FuzzBaseImage(unsigned which)
{
    static uint8_t images[FuzzBaseCount][BiosImageBufferSize];
    static int built = 0;
    if (!built) {
        BoardRecipe recipe;
        DefaultBoardRecipe(&recipe);
        BuildBoardImage(&recipe, images[0]); /* legacy, 64 KB */
        recipe.Layout = LayoutStored;
        recipe.ImageSize = BiosImageBufferSize;
        BuildBoardImage(&recipe, images[1]); /* stored 388, 128 KB */
        recipe.TableSize = BiosTableOldSize;
        recipe.ImageSize = 65536;
        BuildBoardImage(&recipe, images[2]); /* stored 352 */
        BuildInBuiltImage(images[3]);        /* blank release */
        DefaultBoardRecipe(&recipe);
        recipe.ImageSize = BiosImageBufferSize;
        recipe.RegisterCount = recipe.WrittenCount = 21;
        for (uint32_t i = 0; i < 21; i++)
            recipe.Registers[i] = {i == 9 ? BiosReg18C : 0x100 + 4 * i, 0x200u + i};
        BuildBoardImage(&recipe, images[4]); /* legacy, full list */
        DefaultBoardRecipe(&recipe);
        recipe.Layout = LayoutStored;
        recipe.Flags = 0;
        BuildBoardImage(&recipe, images[5]); /* blank board */
        built = 1;
    }
    return images[which % FuzzBaseCount];
}

/* XORs count bytes of data over image from its start. */
inline void FuzzOverlay(uint8_t* image, const uint8_t* data, size_t count)
{
    if (count > BiosImageBufferSize)
        count = BiosImageBufferSize;
    for (size_t i = 0; i < count; i++)
        image[i] ^= data[i];
}

#define FUZZ_CHECK(cond)                                                                                               \
    do {                                                                                                               \
        if (!(cond))                                                                                                   \
            __builtin_trap();                                                                                          \
    } while (0)

#endif
