/* Shared helpers of the image tests: board images from the generator and
   direct access to a stored table inside an image. */
#ifndef TESTS_BIOS_TEST_IMAGES_H
#define TESTS_BIOS_TEST_IMAGES_H

#include <stdio.h>
#include <string.h>

#include "board_image.h"
#include "inbuilt_image.h"

/* Fails the calling test when the description doesn't build. */
#define BUILD_IMAGE(recipe, image) ASSERT_EQ(1, BuildBoardImage(&(recipe), (image)))

inline BiosTable* StoredTable(uint8_t* image)
{
    return reinterpret_cast<BiosTable*>(image + ImageWord(image, 0x4A));
}

inline void SetRegisters(BoardRecipe* recipe, const RegisterSlot* slots, uint32_t count)
{
    memcpy(recipe->Registers, slots, count * sizeof(RegisterSlot));
    recipe->RegisterCount = count;
    recipe->WrittenCount = count;
}

/* A table built in memory: texts laid out as product, blank, version, CR LF,
   line, CR LF, with the extra text empty behind them. */
inline void MakeTextTable(BiosTable* t, const char* product, const char* version, const char* line)
{
    memset(t, 0, sizeof(*t));
    t->TableSize = BiosTableSize;
    char area[BiosStringAreaSize + 1];
    int n = snprintf(area, sizeof(area), "%s %s\r\n%s\r\n", product, version, line);
    memcpy(t->StringArea, area, (size_t)n);
    t->StringDescriptors[ProductOffsetIndex] = 0;
    t->StringDescriptors[ProductLengthIndex] = (uint16_t)strlen(product);
    t->StringDescriptors[VersionOffsetIndex] = (uint16_t)(strlen(product) + 1);
    t->StringDescriptors[VersionLengthIndex] = (uint16_t)strlen(version);
    t->StringDescriptors[ExtraOffsetIndex] = (uint16_t)n;
    t->StringDescriptors[VendorOffsetIndex] = BiosVendorOffsetInArea;
    t->StringDescriptors[StringAreaSizeIndex] = BiosStringAreaSize;
}

#endif
