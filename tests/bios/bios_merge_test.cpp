#include <gtest/gtest.h>

#include "bios_merge.h"
#include "test_images.h"

alignas(8) static uint8_t Current[BiosImageBufferSize];
alignas(8) static uint8_t NewImage[BiosImageBufferSize];
alignas(8) static uint8_t Before[BiosImageBufferSize];

/* The release image the program carries, built the same way as the
   build's in-built block, so these tests also run in builds without one. */
static void LoadInBuilt(uint8_t* image)
{
    BuildInBuiltImage(image);
}

static std::string VersionText(const BiosTable* t)
{
    char text[BiosStringAreaSize + 1];
    TableVersionText(t, text, sizeof(text));
    return text;
}

static void ExpectRefusedUnchanged(uint32_t length, MergeResult why)
{
    memcpy(Before, NewImage, BiosImageBufferSize);
    EXPECT_EQ(why, MergeBiosTableChecked(Current, NewImage, length));
    EXPECT_EQ(0, memcmp(Before, NewImage, BiosImageBufferSize));
}

TEST(MergeBiosTable, LegacyBoardIntoInBuiltImage)
{
    BoardRecipe recipe;
    DefaultBoardRecipe(&recipe);
    BUILD_IMAGE(recipe, Current);
    LoadInBuilt(NewImage);
    memcpy(Before, NewImage, BiosImageBufferSize);

    ASSERT_EQ(1, MergeBiosTable(Current, NewImage, 65536));

    BiosTable board, merged;
    ASSERT_EQ(1, ReadBiosTable(Current, &board));
    ASSERT_EQ(1, ReadBiosTable(NewImage, &merged));
    EXPECT_EQ(0x4A01, merged.Flags);
    EXPECT_EQ(BiosTableSize, merged.TableSize);
    EXPECT_EQ(2, merged.VersionMajor);
    EXPECT_EQ(34, merged.VersionMinor);
    EXPECT_EQ(board.ClockMHz, merged.ClockMHz);
    EXPECT_EQ(board.Reg18CCode, merged.Reg18CCode);
    EXPECT_EQ(board.Bit14Code, merged.Bit14Code);
    EXPECT_EQ(board.RegisterCount, merged.RegisterCount);
    for (uint32_t n = 1; n <= BiosRegisterSlotCount; n++) {
        EXPECT_EQ(TableRegisterSlot(&board, n).Register, TableRegisterSlot(&merged, n).Register) << n;
        EXPECT_EQ(TableRegisterSlot(&board, n).Value, TableRegisterSlot(&merged, n).Value) << n;
    }
    /* Same length versions: the release text takes the board's place. */
    EXPECT_EQ("ORVEL II AGP 16MB Bios Rev 1.02.00.0034\r\nKestrel Boards Ltd\r\n", VersionText(&merged));
    EXPECT_EQ(0, memcmp(board.VendorName, merged.VendorName, BiosVendorNameSize));
    EXPECT_EQ(0, memcmp(board.StringDescriptors, merged.StringDescriptors, sizeof(board.StringDescriptors)));

    EXPECT_TRUE(ImageChecksumValid(NewImage, 65536));
    /* Only the table and the checksum byte changed. */
    for (uint32_t i = 0; i < BiosImageBufferSize; i++) {
        if (i == BiosChecksumOffset || (i >= 0x68 && i < 0x68 + BiosTableSize))
            continue;
        ASSERT_EQ(Before[i], NewImage[i]) << "image byte " << i;
    }

    /* Merging again over the merged image changes nothing further. */
    memcpy(Before, NewImage, BiosImageBufferSize);
    ASSERT_EQ(1, MergeBiosTable(Current, NewImage, 65536));
    EXPECT_EQ(0, memcmp(Before, NewImage, BiosImageBufferSize));
}

TEST(MergeBiosTable, BlankIntoBlankStaysBlank)
{
    LoadInBuilt(Current);
    LoadInBuilt(NewImage);
    ASSERT_EQ(1, MergeBiosTable(Current, NewImage, BiosImageBufferSize));
    EXPECT_EQ(0, memcmp(Current, NewImage, BiosImageBufferSize));
    EXPECT_EQ(0, StoredTable(NewImage)->Flags);
}

TEST(MergeBiosTable, RefusalsLeaveNewImageUntouched)
{
    BoardRecipe recipe;
    DefaultBoardRecipe(&recipe);
    BUILD_IMAGE(recipe, Current);

    /* A legacy new image, even with a valid current image. */
    BUILD_IMAGE(recipe, NewImage);
    ExpectRefusedUnchanged(65536, MergeNewImageLegacy);

    LoadInBuilt(NewImage);
    /* No chip size: a failed read's length and lengths outside the buffer. */
    ExpectRefusedUnchanged(0xFFFFFFF4u, MergeBadLength);
    ExpectRefusedUnchanged(0, MergeBadLength);
    ExpectRefusedUnchanged(BiosImageBufferSize + 1, MergeBadLength);

    SetImageDword(Current, 0x5C, 0x2001);
    ExpectRefusedUnchanged(65536, MergeCurrentTableUnreadable);
    SetImageDword(Current, 0x5C, 0x210);

    StoredTable(NewImage)->TableSize = 400;
    ExpectRefusedUnchanged(65536, MergeTableSizeMismatch);
}

TEST(MergeBiosTable, OldTableMovesMakerNameOutOfTextArea)
{
    BoardRecipe recipe;
    DefaultBoardRecipe(&recipe);
    recipe.Layout = LayoutStored;
    recipe.TableSize = BiosTableOldSize;
    strcpy(recipe.Product, "ORVEL II AGP");
    strcpy(recipe.Version, "Bios Rev 1.01.00.0021");
    strcpy(recipe.SecondLine, "Kestrel Boards Ltd 16MB"); /* texts end at 61, NUL at 61 */
    strcpy(recipe.Vendor, "Kestrel Brds");                /* 12 characters behind the NUL */
    BUILD_IMAGE(recipe, Current);
    BiosTable* old = StoredTable(Current);
    ASSERT_EQ(62, old->StringDescriptors[VendorOffsetIndex]);
    /* Put the name at text offset 60, as older boards keep it. */
    old->StringArea[59] = 0;
    memmove(old->StringArea + 60, old->StringArea + 62, 12);
    old->StringArea[72] = old->StringArea[73] = 0;
    old->StringDescriptors[VendorOffsetIndex] = 60;
    old->StringDescriptors[ExtraOffsetIndex] = 59;
    memcpy(old->StringArea + 57, "\r\n", 2);

    LoadInBuilt(NewImage);
    ASSERT_EQ(1, MergeBiosTable(Current, NewImage, 65536));
    BiosTable* merged = StoredTable(NewImage);
    EXPECT_EQ(BiosTableSize, merged->TableSize);
    EXPECT_STREQ("Kestrel Brds", reinterpret_cast<const char*>(merged->VendorName));
    EXPECT_EQ(BiosVendorOffsetInArea, merged->StringDescriptors[VendorOffsetIndex]);
    EXPECT_EQ(32u, merged->VendorFieldSize);
    for (uint32_t i = 60; i < 72; i++)
        EXPECT_EQ(0, merged->StringArea[i]) << i;
    EXPECT_TRUE(ImageChecksumValid(NewImage, 65536));

    /* A maker name of 32 characters can't move: the sizes then differ. */
    old->StringDescriptors[VendorLengthIndex] = 32;
    ExpectRefusedUnchanged(65536, MergeTableSizeMismatch);
}

TEST(SpliceVersionText, LongerTextShiftsOnlyWhatLiesBehind)
{
    BiosTable r, t;
    MakeTextTable(&r, "ORVEL II AGP", "Bios Rev 1.01.00.0021", "Kestrel");
    MakeTextTable(&t, "ORVEL II AGP", "Bios Rev 1.02.00.0034 rc", "x");
    uint16_t extra = r.StringDescriptors[ExtraOffsetIndex];

    ASSERT_EQ(1, SpliceVersionText(&r, &t));
    EXPECT_EQ("ORVEL II AGP Bios Rev 1.02.00.0034 rc\r\nKestrel\r\n", VersionText(&r));
    EXPECT_EQ(24, r.StringDescriptors[VersionLengthIndex]);
    EXPECT_EQ(extra + 3, r.StringDescriptors[ExtraOffsetIndex]);
    EXPECT_EQ(0, r.StringDescriptors[ProductOffsetIndex]);
    EXPECT_EQ(13, r.StringDescriptors[VersionOffsetIndex]);
    EXPECT_EQ(BiosVendorOffsetInArea, r.StringDescriptors[VendorOffsetIndex]);

    /* A product text behind the version text moves with it; a shorter
       version moves it back. */
    MakeTextTable(&r, "P", "1.0", "ORVEL II");
    r.StringDescriptors[ProductOffsetIndex] = 7;
    r.StringDescriptors[ProductLengthIndex] = 8;
    MakeTextTable(&t, "P", "1.0.1", "");
    ASSERT_EQ(1, SpliceVersionText(&r, &t));
    EXPECT_EQ(9, r.StringDescriptors[ProductOffsetIndex]);
    EXPECT_EQ(0, memcmp(r.StringArea + 9, "ORVEL II", 8));
    MakeTextTable(&t, "P", "1", "");
    ASSERT_EQ(1, SpliceVersionText(&r, &t));
    EXPECT_EQ(5, r.StringDescriptors[ProductOffsetIndex]);
    EXPECT_EQ("P 1\r\nORVEL II\r\n", VersionText(&r));
}

TEST(SpliceVersionText, RefusesWhatDoesNotFitTheArea)
{
    BiosTable r, t;
    char line[128];
    memset(line, 'L', 97);
    line[97] = 0;
    MakeTextTable(&r, "ORVEL", "1.0", line); /* tail behind the version: 101 characters */
    MakeTextTable(&t, "ORVEL", "Bios Rev 1.02.00.0034", "");
    BiosTable before = r;
    EXPECT_EQ(0, SpliceVersionText(&r, &t));
    EXPECT_EQ(0, memcmp(&before, &r, sizeof(r)));

    /* Exactly filling the area with its NUL still fits. */
    MakeTextTable(&t, "ORVEL", "1.0.0.00000000000000", ""); /* 20 characters: 128 bytes with NUL */
    ASSERT_EQ(1, SpliceVersionText(&r, &t));
    EXPECT_EQ(0, r.StringArea[127]);

    /* A smaller StringAreaSize is the limit, and descriptors outside the
       area are refused. */
    MakeTextTable(&r, "ORVEL", "1.0", "abc");
    r.StringDescriptors[StringAreaSizeIndex] = 20;
    MakeTextTable(&t, "ORVEL", "1.0.12345", "");
    EXPECT_EQ(0, SpliceVersionText(&r, &t));
    r.StringDescriptors[StringAreaSizeIndex] = BiosStringAreaSize;
    r.StringDescriptors[VersionOffsetIndex] = 126;
    EXPECT_EQ(0, SpliceVersionText(&r, &t));
    MakeTextTable(&r, "ORVEL", "1.0", "abc");
    t.StringDescriptors[VersionOffsetIndex] = 120;
    EXPECT_EQ(0, SpliceVersionText(&r, &t));
}

TEST(MergeBiosTable, VersionTextThatDoesNotFitRefusesMerge)
{
    BoardRecipe recipe;
    DefaultBoardRecipe(&recipe);
    memset(recipe.SecondLine, 'K', 85);
    recipe.SecondLine[85] = 0;
    strcpy(recipe.Version, "1.0");
    BUILD_IMAGE(recipe, Current);
    LoadInBuilt(NewImage);
    ExpectRefusedUnchanged(65536, MergeVersionTextDoesNotFit);
}
