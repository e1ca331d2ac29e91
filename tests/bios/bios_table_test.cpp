#include <gtest/gtest.h>

#include "test_images.h"

alignas(8) static uint8_t Image[BiosImageBufferSize];

static void BuildDefaultLegacy(uint8_t* image)
{
    BoardRecipe recipe;
    DefaultBoardRecipe(&recipe);
    ASSERT_EQ(1, BuildBoardImage(&recipe, image));
}

TEST(ReadBiosTable, LegacyBuildInsertsSlot6AndDerivesCodes)
{
    BuildDefaultLegacy(Image);
    BiosTable t;
    ASSERT_EQ(1, ReadBiosTable(Image, &t));

    EXPECT_EQ(BiosTableSize, t.TableSize);
    EXPECT_EQ(0x4A01, t.Flags);
    EXPECT_EQ(8u, t.RegisterCount); /* seven list entries and slot 6 */
    EXPECT_EQ(0x00010002u, t.ListWord);
    EXPECT_EQ(0x0100u, t.Slots1To5[0].Register);
    EXPECT_EQ(0x01000000u, t.Slots1To5[4].Value);
    RegisterSlot slot6 = TableRegisterSlot(&t, 6);
    EXPECT_EQ(0x0108u, slot6.Register);
    EXPECT_EQ(0x4A011234u, slot6.Value);
    EXPECT_EQ(0x018Cu, t.Slots7To22[0].Register);
    EXPECT_EQ(0x0200u, t.Slots7To22[1].Register);
    EXPECT_EQ(0u, t.Slots7To22[2].Register);

    EXPECT_EQ(100, t.ClockMHz);
    EXPECT_EQ(1, t.VersionMajor);
    EXPECT_EQ(21, t.VersionMinor);
    /* "ORVEL II AGP 16MB", bits 14, 11 and 9 set, bit 15 clear. */
    EXPECT_EQ(4, t.Bit14Code);
    EXPECT_EQ(2, t.Bit11Code);
    EXPECT_EQ(1, t.Bit9Flag);
    EXPECT_EQ(0, t.Bit15Flag);
    EXPECT_EQ(4, t.Reg18CCode); /* 0x202: bit 1 and bit 9 */

    /* Image offsets of the legacy block become offsets into the text area. */
    EXPECT_EQ(BiosVendorOffsetInArea, t.StringDescriptors[VendorOffsetIndex]);
    EXPECT_EQ(0, t.StringDescriptors[ProductOffsetIndex]);
    EXPECT_EQ(18, t.StringDescriptors[VersionOffsetIndex]);
    char text[BiosStringAreaSize + 1];
    TableVersionText(&t, text, sizeof(text));
    EXPECT_STREQ("ORVEL II AGP 16MB Bios Rev 1.01.00.0021\r\nKestrel Boards Ltd\r\n", text);
    TableVendorName(&t, text, sizeof(text));
    EXPECT_STREQ("Kestrel Boards", text);
    EXPECT_EQ(32u, t.VendorFieldSize);
}

struct BoundCase {
    uint32_t LocatorOffset;
    uint32_t Limit;
    TableFault Fault;
};

TEST(ReadBiosTable, LegacyOffsetBoundsAreInclusive)
{
    static const BoundCase cases[] = {
        {0x58, 20480, TableDescriptorBeyondLimit},
        {0x40, 1024, TableStringAreaBeyondLimit},
        {0x5C, 8192, TableRegisterListBeyondLimit},
    };
    for (const BoundCase& c : cases) {
        SCOPED_TRACE(c.Limit);
        BuildDefaultLegacy(Image);
        SetImageDword(Image, c.LocatorOffset, c.Limit);
        SetImageDword(Image, 8192, 5); /* a usable list wherever the list moves */
        BiosTable t;
        TableFault fault;
        EXPECT_EQ(1, ReadBiosTableChecked(Image, &t, &fault));
        SetImageDword(Image, c.LocatorOffset, c.Limit + 1);
        EXPECT_EQ(0, ReadBiosTableChecked(Image, &t, &fault));
        EXPECT_EQ(c.Fault, fault);
    }
}

TEST(ReadBiosTable, RegisterListCounts)
{
    BoardRecipe recipe;
    DefaultBoardRecipe(&recipe);
    RegisterSlot five[] = {{1, 11}, {2, 22}, {3, 33}, {4, 44}, {5, 55}};
    SetRegisters(&recipe, five, 5);
    BUILD_IMAGE(recipe, Image);
    /* Bytes behind the list must not land in slots 7 onward. */
    for (uint32_t i = 0; i < 64; i++)
        Image[0x210 + 8 + 5 * 8 + i] = 0xEE;
    BiosTable t;
    ASSERT_EQ(1, ReadBiosTable(Image, &t));
    EXPECT_EQ(6u, t.RegisterCount);
    EXPECT_EQ(55u, t.Slots1To5[4].Value);
    for (const RegisterSlot& slot : t.Slots7To22) {
        EXPECT_EQ(0u, slot.Register);
        EXPECT_EQ(0u, slot.Value);
    }

    /* Counts that don't fit the 22 slots around slot 6 are refused. */
    for (uint32_t count : {0u, 4u, 22u, 0xFFFFFFFFu}) {
        SetImageDword(Image, 0x210, count);
        TableFault fault;
        EXPECT_EQ(0, ReadBiosTableChecked(Image, &t, &fault)) << count;
        EXPECT_EQ(TableRegisterCountOutOfRange, fault);
    }

    RegisterSlot full[21];
    for (uint32_t i = 0; i < 21; i++)
        full[i] = {0x300 + i, i};
    SetRegisters(&recipe, full, 21);
    BUILD_IMAGE(recipe, Image);
    ASSERT_EQ(1, ReadBiosTable(Image, &t));
    EXPECT_EQ(22u, t.RegisterCount);
    EXPECT_EQ(0x300u + 20, t.Slots7To22[15].Register);
}

TEST(ReadBiosTable, StoredTableTakenAsItStands)
{
    BoardRecipe recipe;
    DefaultBoardRecipe(&recipe);
    recipe.Layout = LayoutStored;
    recipe.TableSize = BiosTableOldSize;
    BUILD_IMAGE(recipe, Image);
    /* Legacy offsets out of bounds mean nothing when the word at 0x48 is 0. */
    SetImageDword(Image, 0x58, 0xFFFFFFFF);
    SetImageDword(Image, 0x40, 0xFFFFFFFF);
    BiosTable t;
    ASSERT_EQ(1, ReadBiosTable(Image, &t));
    EXPECT_EQ(0, memcmp(&t, Image + 0x68, BiosTableSize));
    EXPECT_EQ(BiosTableOldSize, t.TableSize);
}

TEST(ReadBiosTable, LegacyImageIsNeverBlank)
{
    BuildDefaultLegacy(Image);
    SetImageWord(Image, 0x48, 0x0001);
    BiosTable t;
    ASSERT_EQ(1, ReadBiosTable(Image, &t));
    EXPECT_EQ(1, t.Flags);
    EXPECT_EQ(0, t.Bit14Code);
    EXPECT_EQ(0, t.Bit9Flag);
}

struct VersionCase {
    const char* Text;
    uint8_t Major, Minor;
};

TEST(VersionNumbers, Readings)
{
    static const VersionCase cases[] = {
        {"Bios Rev 1.02.00.0034", 2, 34},
        {"0.9", 9, 0}, /* a '0' does not start a number */
        {"V2.1", 2, 1},
        {"1.2.3.4.5", 1, 2},  /* four points: not the three-point form */
        {"7.", 7, 0},         /* nothing stored after a trailing point */
        {"Rev 300.2", 44, 2}, /* low 8 bits */
        {"no digits", 0, 0},
    };
    for (const VersionCase& c : cases) {
        BiosTable t;
        MakeTextTable(&t, "P", c.Text, "");
        uint8_t major = 0xFF, minor = 0xFF;
        ReadVersionNumbers(&t, &major, &minor);
        EXPECT_EQ(c.Major, major) << c.Text;
        EXPECT_EQ(c.Minor, minor) << c.Text;
    }
}

TEST(VersionNumbers, StartWithinLengthThenReadOnButStopAtAreaEnd)
{
    BiosTable t;
    MakeTextTable(&t, "P", "Rev", "");
    /* The number starts inside the version length and runs past it. */
    memcpy(t.StringArea + 2, "Rev 4.5.6.78", 12);
    t.StringDescriptors[VersionLengthIndex] = 5;
    uint8_t major, minor;
    ReadVersionNumbers(&t, &major, &minor);
    EXPECT_EQ(5, major);
    EXPECT_EQ(78, minor);

    /* No NUL before the end of the area: the digits behind it (here the
       VendorFieldSize bytes) are not part of the text. */
    memcpy(t.StringArea + 120, "1.2.3.45", 8);
    memcpy(&t.VendorFieldSize, "6789", 4);
    t.StringDescriptors[VersionOffsetIndex] = 120;
    t.StringDescriptors[VersionLengthIndex] = 60;
    ReadVersionNumbers(&t, &major, &minor);
    EXPECT_EQ(2, major);
    EXPECT_EQ(45, minor);

    /* Descriptors far outside the area find nothing. */
    t.StringDescriptors[VersionOffsetIndex] = 0xFFF0;
    t.StringDescriptors[VersionLengthIndex] = 0xFFFF;
    ReadVersionNumbers(&t, &major, &minor);
    EXPECT_EQ(0, major);
    EXPECT_EQ(0, minor);
}

TEST(NameHasOrvelII, SearchedInsideLongerTextsOnly)
{
    struct {
        const char* Product;
        int Expected;
    } cases[] = {
        {"XORVEL IIY", 1},   {"ORVEL II AGP", 1},
        {"AGP ORVEL II", 1}, {"ORVEL II", 0}, /* exactly as long as the searched text */
        {"ORVEL I AGP", 0},  {"orvel ii agp", 0},
    };
    for (const auto& c : cases) {
        BiosTable t;
        MakeTextTable(&t, c.Product, "1.0", "");
        EXPECT_EQ(c.Expected, NameHasOrvelII(&t)) << c.Product;
    }

    /* A product text running off the area does not match what follows it. */
    BiosTable t;
    MakeTextTable(&t, "x", "1.0", "");
    memcpy(t.StringArea + 124, "ORVE", 4);
    memcpy(&t.VendorFieldSize, "L II", 4);
    t.StringDescriptors[ProductOffsetIndex] = 120;
    t.StringDescriptors[ProductLengthIndex] = 20;
    EXPECT_EQ(0, NameHasOrvelII(&t));
}

TEST(Reg18CCode, ValuesAndSlots)
{
    struct {
        uint32_t Value;
        uint8_t Code;
    } values[] = {
        {0, 0}, {0x4, 5}, {0x204, 6}, {0x6, 5}, {0x2, 3}, {0x202, 4}, {0x1, 1}, {0x201, 2}, {0x200, 2},
    };
    for (const auto& v : values) {
        BiosTable t;
        memset(&t, 0, sizeof(t));
        t.Slots7To22[3] = {BiosReg18C, v.Value};
        EXPECT_EQ(v.Code, ComputeReg18CCode(&t)) << v.Value;
    }

    /* Through the legacy build: slots 1-5 and 6 don't count, the later of
       two entries in slots 7-22 wins. */
    BoardRecipe recipe;
    DefaultBoardRecipe(&recipe);
    RegisterSlot regs[] = {{BiosReg18C, 0x4},  {2, 0}, {3, 0}, {4, 0}, {5, 0}, {BiosReg18C, 0x2}, {7, 0},
                           {BiosReg18C, 0x201}};
    SetRegisters(&recipe, regs, 8);
    recipe.Slot6Register = BiosReg18C;
    BUILD_IMAGE(recipe, Image);
    BiosTable t;
    ASSERT_EQ(1, ReadBiosTable(Image, &t));
    EXPECT_EQ(2, t.Reg18CCode);

    regs[7].Register = 8;
    SetRegisters(&recipe, regs, 8);
    BUILD_IMAGE(recipe, Image);
    ASSERT_EQ(1, ReadBiosTable(Image, &t));
    EXPECT_EQ(3, t.Reg18CCode);

    SetRegisters(&recipe, regs, 5);
    BUILD_IMAGE(recipe, Image);
    ASSERT_EQ(1, ReadBiosTable(Image, &t));
    EXPECT_EQ(6, t.Reg18CCode);
}
