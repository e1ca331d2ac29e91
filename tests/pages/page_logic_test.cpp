// The device and backup pages' decisions: card kinds and list lines, the
// detection outcomes, More info's version text, the backup file names.
#include <gtest/gtest.h>

#include <string.h>

#include "backup_name.h"
#include "board_image.h"
#include "card_types.h"
#include "command_line.h"
#include "device_detection.h"
#include "fake_host.h"
#include "wizard_state.h"
#include "write_sequence.h"

namespace {

// The default board's whole version text, second line included.
const char BoardVersion[] = "ORVEL II AGP 16MB Bios Rev 1.01.00.0021\r\nKestrel Boards Ltd\r\n";

TEST(CardTypes, ClassifiesByVendorDeviceAndRevision)
{
    EXPECT_EQ(ClassifyCard(0x0A51, 0x1E5B, 0), 1);
    EXPECT_EQ(ClassifyCard(0x0A52, 0x1E5B, 9), 2);
    EXPECT_EQ(ClassifyCard(0x0C61, 0x1D2E, 4), 3);
    EXPECT_EQ(ClassifyCard(0x0C61, 0x1D2E, 5), 4);
    EXPECT_EQ(ClassifyCard(0x0C61, 0x1D2E, 0xFF), 4);
    EXPECT_EQ(ClassifyCard(0x0C62, 0x1D2E, 0), 5);
    EXPECT_EQ(ClassifyCard(0x0C63, 0x1D2E, 0), 6);
    // A device id of one maker with the other maker's vendor id is unknown.
    EXPECT_EQ(ClassifyCard(0x0A51, 0x1D2E, 0), 0);
    EXPECT_EQ(ClassifyCard(0x0C61, 0x1E5B, 4), 0);
    EXPECT_EQ(ClassifyCard(0x1234, 0x5678, 0), 0);
    EXPECT_STREQ(CardProductName(3), "Orvel I");
    EXPECT_STREQ(CardProductName(4), "Orvel II");
    EXPECT_STREQ(CardTypeName(4), "ZR11");
}

// Every index names its type and product; one past the last is unknown.
TEST(CardTypes, NamesEveryIndex)
{
    const char* const types[] = {"Unknown", "ZT10", "ZT20", "ZR1B", "ZR11", "ZR2", "ZR3", "Unknown"};
    const char* const products[] = {"Unknown",  "ZT10-E",    "ZNA",      "Orvel I",
                                    "Orvel II", "Orvel III", "Orvel IV", "Unknown"};
    for (int i = 0; i <= CardTypeCount; ++i) {
        EXPECT_STREQ(CardTypeName(i), types[i]) << i;
        EXPECT_STREQ(CardProductName(i), products[i]) << i;
    }
    EXPECT_STREQ(CardProductName(-1), "Unknown");
}

TEST(CardTypes, ListLineNamesProductAndBus)
{
    PELMIX_DEVICE_ENTRY entry = {};
    entry.VendorId = 0x1D2E;
    entry.DeviceId = 0x0C61;
    entry.RevisionId = 5;
    entry.IsAgp = 1;
    char line[256];
    CardListLine(&entry, line, sizeof line);
    EXPECT_STREQ(line, "Orvel II (AGP)");
    entry.IsAgp = 0;
    entry.VendorId = 0x9999;
    CardListLine(&entry, line, sizeof line);
    EXPECT_STREQ(line, "Unknown (PCI)");
}

TEST(DeviceDetection, OutcomesByDriverAnswerAndCount)
{
    ResetFakes();
    Card.EnumResult = PELMIX_RESULT_TOO_MANY_CARDS;
    EXPECT_EQ(DetectDevices(FakeHost, 0), DetectEndRun);
    ASSERT_EQ(Card.Boxes.size(), 1u);
    EXPECT_EQ(Card.Boxes[0].Text, Filled(TextNoDevicesErr.Default, "1"));
    EXPECT_EQ(Card.Boxes[0].Type, BoxOk | BoxIconInformation);

    ResetFakes();
    Card.CardCount = 0;
    EXPECT_EQ(DetectDevices(FakeHost, 0), DetectEndRun);
    ASSERT_EQ(Card.Boxes.size(), 1u);
    EXPECT_EQ(Card.Boxes[0].Text, TextNoDevices.Default);

    ResetFakes();
    TheWizard.SelectedDevice = 3;
    EXPECT_EQ(DetectDevices(FakeHost, 0), DetectOneCard);
    EXPECT_EQ(TheWizard.SelectedDevice, 0);
    EXPECT_TRUE(Card.Boxes.empty());

    ResetFakes();
    OptionFlags.ForceDevList = 1;
    EXPECT_EQ(DetectDevices(FakeHost, 0), DetectShowPage);
    ResetFakes();
    Card.CardCount = 2;
    EXPECT_EQ(DetectDevices(FakeHost, 0), DetectShowPage);
    EXPECT_EQ(TheWizard.DeviceList.Count, 2u);
}

TEST(DeviceDetection, VersionTextOfACardOrNothing)
{
    ResetFakes();
    BoardRecipe recipe;
    DefaultBoardRecipe(&recipe);
    ASSERT_TRUE(BuildBoardImage(&recipe, Card.Chip));
    Card.ChipSize = recipe.ImageSize;
    Card.CardCount = 2;
    DetectDevices(FakeHost, 0);

    char text[VersionTextSize] = "";
    ReadCardVersion(FakeHost, 1, text);
    EXPECT_STREQ(text, BoardVersion);
    EXPECT_EQ(Card.Requests.back(), IOCTL_PELMIX_READ_ROM);

    // Processors not held in time: the text stays empty; asking again reads again.
    Card.ReadResults = {PELMIX_RESULT_HOLD_TIMEOUT};
    text[0] = 0;
    ReadCardVersion(FakeHost, 1, text);
    EXPECT_STREQ(text, "");
    ReadCardVersion(FakeHost, 1, text);
    EXPECT_STREQ(text, BoardVersion);

    // An index beyond the list sends nothing.
    size_t sent = Card.Requests.size();
    text[0] = 0;
    ReadCardVersion(FakeHost, 2, text);
    ReadCardVersion(FakeHost, -1, text);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(Card.Requests.size(), sent);
}

TEST(BackupName, DefaultNameAndFallbacks)
{
    char prefix[BackupPrefixSize];
    BackupPrefix(0, prefix, sizeof prefix);
    EXPECT_STREQ(prefix, "B1B");
    BackupPrefix(1, prefix, sizeof prefix);
    EXPECT_STREQ(prefix, "B2B");

    char folder[WizardPathSize];
    ChooseBackupFolder("C:\\TEMP\\", folder);
    EXPECT_STREQ(folder, "C:\\TEMP\\");
    ChooseBackupFolder(0, folder);
    EXPECT_STREQ(folder, "c:\\temp\\");

    char path[WizardPathSize];
    FinishBackupName("C:\\TEMP\\B1B2F.TMP", path);
    EXPECT_STREQ(path, "C:\\TEMP\\B1B2F.bin");
    FinishBackupName(0, path);
    EXPECT_STREQ(path, "b1000000.bin");
}

TEST(BackupName, BrowseJoinsFolderAndTypedName)
{
    char out[WizardPathSize] = "unchanged";
    ASSERT_TRUE(JoinBackupPath("D:\\Backups", "C:\\TEMP\\B1B2F.bin", out, sizeof out));
    EXPECT_STREQ(out, "D:\\Backups\\B1B2F.bin");
    ASSERT_TRUE(JoinBackupPath("D:\\", "C:\\TEMP\\B1B2F.bin", out, sizeof out));
    EXPECT_STREQ(out, "D:\\B1B2F.bin");
    // Cancel keeps the remembered folder and takes only the typed file name.
    ASSERT_TRUE(JoinBackupPath("C:\\TEMP\\", "E:\\x\\my.bin", out, sizeof out));
    EXPECT_STREQ(out, "C:\\TEMP\\my.bin");
    ASSERT_TRUE(JoinBackupPath("C:\\TEMP\\", "E:my.bin", out, sizeof out));
    EXPECT_STREQ(out, "C:\\TEMP\\my.bin");

    // Too long for the path field: refused, nothing written.
    char folder[WizardPathSize];
    memset(folder, 'a', 250);
    folder[250] = 0;
    strcpy(out, "unchanged");
    EXPECT_FALSE(JoinBackupPath(folder, "C:\\TEMP\\B1B2F.bin", out, sizeof out));
    EXPECT_STREQ(out, "unchanged");
    folder[259 - 1 - 9] = 0;  // 249 + "\" + "B1B2F.bin" is 259 characters: fits
    EXPECT_TRUE(JoinBackupPath(folder, "B1B2F.bin", out, sizeof out));
    EXPECT_EQ(strlen(out), 259u);
}

}  // namespace
