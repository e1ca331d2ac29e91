#include <gtest/gtest.h>

#include "pci_data.h"
#include "test_images.h"

#ifdef DORVANE_TEST_INBUILT_ABSENT
TEST(InBuiltImage, AbsentFromThisBuild)
{
    EXPECT_EQ(0, InBuiltImagePresent());
    EXPECT_EQ(BiosImageBufferSize, InBuiltImageSize());
}
#else
TEST(InBuiltImage, BlockAndRomHeader)
{
    EXPECT_EQ(1u, InBuiltImage.Value);
    EXPECT_EQ(0, memcmp(InBuiltImage.Marker, "%SI%", 4));
    ASSERT_EQ(1, InBuiltImagePresent());
    ASSERT_EQ(BiosImageBufferSize, InBuiltImageSize());

    const uint8_t* image = InBuiltImageData();
    EXPECT_TRUE(ImageChecksumValid(image, BiosImageBufferSize));
    EXPECT_EQ(0x61, image[2]);
    uint32_t pcir = ImageWord(image, 0x18);
    ASSERT_EQ(0x1F0u, pcir);
    EXPECT_EQ(0, memcmp(image + pcir, "PCIR", 4));
    EXPECT_EQ(0x1D2E, ImageWord(image, pcir + 4));
    EXPECT_EQ(0x0C61, ImageWord(image, pcir + 6));
    EXPECT_EQ(0x03, image[pcir + 0x0F]);
    EXPECT_EQ(0x00, image[pcir + 0x0E]);
    EXPECT_EQ(0x00, image[pcir + 0x0D]);
    EXPECT_EQ(128, ImageWord(image, pcir + 0x10));
    EXPECT_EQ(0x0222, ImageWord(image, pcir + 0x12));
    EXPECT_EQ(0x80, image[pcir + 0x15]);
}

// The PCI data structure read by name says what the bytes above say: an
// Orvel display ROM, which flash writes without --force. A length that cuts
// the record leaves none.
TEST(InBuiltImage, PciDataNamesAnOrvelDisplay)
{
    const uint8_t* image = InBuiltImageData();
    PciData data;
    ASSERT_EQ(PciDataOrvel, JudgePciData(image, BiosImageBufferSize, &data));
    EXPECT_EQ(0x1F0u, data.Offset);
    EXPECT_EQ(0x1D2E, data.VendorId);
    EXPECT_EQ(0x0C61, data.DeviceId);
    EXPECT_EQ(0x030000u, data.ClassCode);
    EXPECT_EQ(65536u, data.ImageLength);
    EXPECT_EQ(0x0222, data.CodeRevision);
    EXPECT_EQ(0, data.CodeType);
    EXPECT_EQ(0x80, data.Indicator);
    EXPECT_EQ(PciDataMissing, JudgePciData(image, 0x1F0 + PciDataRecordSize - 1, &data));
    EXPECT_EQ(PciDataOrvel, JudgePciData(image, 0x1F0 + PciDataRecordSize, &data));
}

TEST(InBuiltImage, CompiledBlockHoldsTheGeneratedImage)
{
    alignas(8) static uint8_t generated[BiosImageBufferSize];
    BuildInBuiltImage(generated);
    EXPECT_EQ(0, memcmp(generated, InBuiltImageData(), BiosImageBufferSize));
}

TEST(InBuiltImage, BlankStoredTable)
{
    const uint8_t* image = InBuiltImageData();
    TableLocator loc;
    ReadTableLocator(image, &loc);
    EXPECT_EQ(0, loc.LegacyFlags);
    EXPECT_EQ(0x68, loc.TableOffset);
    EXPECT_EQ(0x148u, loc.StringAreaOffset);
    EXPECT_EQ(0x134u, loc.DescriptorOffset);
    EXPECT_EQ(0x7Cu, loc.RegisterListOffset);

    BiosTable t;
    ASSERT_EQ(1, ReadBiosTable(image, &t));
    EXPECT_EQ(0, memcmp(&t, image + 0x68, BiosTableSize));
    EXPECT_EQ(BiosTableSize, t.TableSize);
    EXPECT_EQ(0, t.Flags);
    EXPECT_EQ(2, t.VersionMajor);
    EXPECT_EQ(34, t.VersionMinor);
    EXPECT_EQ(110, t.ClockMHz);
    EXPECT_EQ(6, t.Reg18CCode);
    EXPECT_EQ(8u, t.RegisterCount);
    EXPECT_EQ(13, t.StringDescriptors[VersionOffsetIndex]);
    EXPECT_EQ(21, t.StringDescriptors[VersionLengthIndex]);
    EXPECT_EQ(82, t.StringDescriptors[ExtraOffsetIndex]);
    EXPECT_EQ(1, t.StringDescriptors[CarriedDescriptorIndex]);
    EXPECT_EQ(128, t.StringDescriptors[StringAreaSizeIndex]);
    EXPECT_EQ(0, memcmp(t.StringArea + 12, " Bios Rev 1.02.00.0034\r\n", 24));
    EXPECT_EQ(0, memcmp(t.StringArea + 80, "\r\n\0", 3));
    char line[260];
    EXPECT_EQ(34u, TableVersionLine(&t, line, sizeof(line)));
    EXPECT_STREQ("ORVEL II AGP Bios Rev 1.02.00.0034", line);

    /* The numbers stored in the table are those its text reads as. */
    uint8_t major, minor;
    ReadVersionNumbers(&t, &major, &minor);
    EXPECT_EQ(2, major);
    EXPECT_EQ(34, minor);
}
#endif
