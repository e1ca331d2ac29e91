#include <gtest/gtest.h>

#include "byte_routines.h"
#include "test_images.h"

alignas(8) static uint8_t Image[BiosImageBufferSize];

TEST(ImageChecksum, SignatureAndSumBothRequired)
{
    BoardRecipe recipe;
    DefaultBoardRecipe(&recipe);
    BUILD_IMAGE(recipe, Image);
    EXPECT_TRUE(ImageChecksumValid(Image, 65536));

    /* Swapping the signature keeps the byte sum but is no image. */
    Image[0] = 0xAA;
    Image[1] = 0x55;
    EXPECT_FALSE(ImageChecksumValid(Image, 65536));
    Image[0] = 0x55;
    Image[1] = 0xAA;

    Image[0x1234] ^= 0x01;
    EXPECT_FALSE(ImageChecksumValid(Image, 65536));
    Image[0x1234] ^= 0x01;

    EXPECT_FALSE(ImageChecksumValid(Image, 0));
    EXPECT_FALSE(ImageChecksumValid(Image, BiosImageBufferSize + 1));
}

TEST(ImageChecksum, ShortSumLeavesTheLastBytesOut)
{
    BoardRecipe recipe;
    DefaultBoardRecipe(&recipe);
    BUILD_IMAGE(recipe, Image);
    const uint32_t summed = 65536 - BiosShortChecksumSpan;
    ASSERT_TRUE(RepairImageChecksum(Image, summed));
    Image[summed] ^= 0x5A;  // a byte past the summed part spoils only the whole sum
    EXPECT_FALSE(ImageChecksumValid(Image, 65536));
    EXPECT_TRUE(ImageChecksumValidShort(Image, 65536));

    Image[summed - 1] ^= 0x01;
    EXPECT_FALSE(ImageChecksumValidShort(Image, 65536));
    Image[summed - 1] ^= 0x01;

    // No length left to sum, or a length beyond the buffer, is never valid.
    EXPECT_FALSE(ImageChecksumValidShort(Image, BiosShortChecksumSpan));
    EXPECT_FALSE(ImageChecksumValidShort(Image, 0));
    EXPECT_FALSE(ImageChecksumValidShort(Image, uint32_t(-1)));
}

TEST(ImageChecksum, RepairCoversOnlyItsLength)
{
    BoardRecipe recipe;
    DefaultBoardRecipe(&recipe);
    recipe.ImageSize = BiosImageBufferSize;
    BUILD_IMAGE(recipe, Image);
    ASSERT_TRUE(ImageChecksumValid(Image, BiosImageBufferSize));

    uint8_t upperSum = 0;
    for (uint32_t i = 65536; i < BiosImageBufferSize; i++)
        upperSum = (uint8_t)(upperSum + Image[i]);
    ASSERT_NE(0, upperSum) << "generated filler must make the halves differ";

    ASSERT_EQ(1, RepairImageChecksum(Image, 65536));
    EXPECT_TRUE(ImageChecksumValid(Image, 65536));
    EXPECT_FALSE(ImageChecksumValid(Image, BiosImageBufferSize));
}

TEST(ImageChecksum, RepairRefusesLengthsOutsideTheBuffer)
{
    BoardRecipe recipe;
    DefaultBoardRecipe(&recipe);
    BUILD_IMAGE(recipe, Image);
    uint8_t before = Image[BiosChecksumOffset];
    Image[0x100] ^= 0xFF;
    EXPECT_EQ(0, RepairImageChecksum(Image, 16));
    EXPECT_EQ(0, RepairImageChecksum(Image, BiosImageBufferSize + 1));
    EXPECT_EQ(0, RepairImageChecksum(Image, 0xFFFFFFF4u)); /* a failed read's length, -12 */
    EXPECT_EQ(before, Image[BiosChecksumOffset]);
    EXPECT_EQ(1, RepairImageChecksum(Image, 17));
    EXPECT_TRUE(ImageChecksumValid(Image, 17));
}

TEST(ImageChecksum, DeclaredLengthIsTheSizeByteInSectors)
{
    static uint8_t image[BiosImageBufferSize];
    FillBytes(image, 0, sizeof image);
    EXPECT_EQ(0u, ImageDeclaredLength(image));  // no signature, no declared length
    image[0] = 0x55;
    image[1] = 0xAA;
    image[2] = 0xF8;
    EXPECT_EQ(126976u, ImageDeclaredLength(image));
    image[2] = 0xFF;
    EXPECT_EQ(130560u, ImageDeclaredLength(image));  // the most one byte can declare
    image[1] = 0xAB;
    EXPECT_EQ(0u, ImageDeclaredLength(image));
}
