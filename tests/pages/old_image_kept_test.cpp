// No path of the backup page or the write sequence loses the card's old
// image: the wizard's logic on the emulated machine, with a backup file that
// cannot be written, a chip whose checksum fails, and writes that do not
// verify.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "backup_next.h"
#include "board_image.h"
#include "emulated_card.h"
#include "fake_host.h"
#include "image_load.h"
#include "inbuilt_image.h"
#include "wizard_state.h"
#include "write_sequence.h"

namespace {

// The first lines of the boxes, by which the checks below tell them apart.
const std::string ReadQuestion = FirstLine(TextReadBios.Default);
const std::string BadPath = FirstLine(TextBadBackupPath.Default);
const std::string ReadError = FirstLine(TextReadChecksumErr.Default);
const std::string RereadChecksum = FirstLine(TextRereadCsErr.Default);
const std::string RereadCompare = FirstLine(TextRereadMemcmpErr.Default);
const std::string Reread = FirstLine(TextNoBiosReread.Default);

bool Exists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// Shared with the faults and box hooks, which are plain functions.
uint8_t OldImage[BiosImageBufferSize];
std::string BackupPath;
std::string VanishingFolder;
int ReadsSeen, WritesSeen;
int BackupWasOldImage;
int (*FakeBox)(void*, const char*, const char*, uint32_t, int);

bool Starts(const char* text, const char* start)
{
    return strncmp(text, start, strlen(start)) == 0;
}

struct OldImageTest : ::testing::Test {
    // CTest runs the tests of this program side by side: a folder each.
    std::string Dir = ::testing::TempDir() + "old_image_kept." + std::to_string(getpid()) + "/";
    std::string NewFile = Dir + "new.bin";
    std::vector<uint8_t> NewImage;

    void SetUp() override
    {
        mkdir(Dir.c_str(), 0755);
        BackupPath = Dir + "backup.bin";
        remove(BackupPath.c_str());
        BoardRecipe recipe;
        DefaultBoardRecipe(&recipe);
        recipe.ImageSize = 131072;
        ASSERT_TRUE(BuildBoardImage(&recipe, OldImage));
        // A release for the same board, for the image file choice.
        snprintf(recipe.Version, sizeof recipe.Version, "Bios Rev 2.00.00.0001");
        uint8_t image[BiosImageBufferSize];
        ASSERT_TRUE(BuildBoardImage(&recipe, image));
        NewImage.assign(image, image + sizeof image);
        FILE* f = fopen(NewFile.c_str(), "wb");
        ASSERT_TRUE(f);
        fwrite(image, 1, sizeof image, f);
        fclose(f);
        FakeBox = FakeHost.Box;
        Start(0);
    }
    void TearDown() override
    {
        FakeHost.Box = FakeBox;
        StopEmulatedCard();
        remove(BackupPath.c_str());
        remove(NewFile.c_str());
        rmdir(Dir.c_str());
    }
    void Start(RequestFault fault, const std::string& extraLines = "")
    {
        ResetFakes();
        TheWizard.InBuiltImageAvailable = InBuiltImagePresent();
        ReadsSeen = WritesSeen = 0;
        StartEmulatedCard("08BF", OldImage, 131072, extraLines, fault);
    }
    int ChipWrites()
    {
        int n = 0;
        for (uint32_t code : EmulatedRequests())
            n += code == IOCTL_PELMIX_WRITE_ROM;
        return n;
    }
    std::vector<std::string> Texts()
    {
        std::vector<std::string> texts;
        for (const ShownBox& b : Card.Boxes)
            texts.push_back(b.Text.substr(0, b.Text.find('\n')));
        return texts;
    }
    // A user who answers OK and Yes to everything and goes on with the
    // image file wherever the backup page lets him.
    BackupNextResult BackupAndGoOn(const std::string& path)
    {
        BackupNextResult next = BackupPageNext(&TheSession, FakeHost, 0, path.c_str());
        if (next == BackupToImagePage || next == BackupToReadErrorPage)
            ImagePageNext(&TheSession, WizardHostInUse(), 0,
                          next == BackupToImagePage ? StandardImagePage : ReadErrorImagePage, 1, NewFile.c_str(), 1);
        return next;
    }
    bool ChipHoldsOldImage() { return ChipBytes() == std::vector<uint8_t>(OldImage, OldImage + 131072); }
};

// The folder goes away while the read question is up, after the probe.
int BoxRemovingFolder(void* owner, const char* text, const char* caption, uint32_t type, int highlight)
{
    if (Starts(text, ReadQuestion.c_str()))
        rmdir(VanishingFolder.c_str());
    return FakeBox(owner, text, caption, type, highlight);
}

TEST_F(OldImageTest, BackupThatCannotBeWrittenStaysOnThePageBeforeAnyWrite)
{
    // A disk that fills up halfway through the backup (a file-size limit
    // below one image).
    BackupNextResult next;
    {
        FileSizeLimit fullDisk(65536);
        next = BackupAndGoOn(BackupPath);
    }

    EXPECT_EQ(next, BackupStay);
    EXPECT_EQ(Texts(), (std::vector<std::string> {ReadQuestion, BadPath}));
    EXPECT_EQ(Card.Boxes.back().Type, BoxOk | BoxIconInformation);
    EXPECT_EQ(ChipWrites(), 0);
    EXPECT_TRUE(ChipHoldsOldImage());
    EXPECT_FALSE(Exists(BackupPath)) << "a part of a backup was left behind";
    EXPECT_EQ(TheWizard.ReadChecksumFailed, 0);
    EXPECT_EQ(Card.EndRunCalls, 0);

    // A folder that vanishes after the probe.
    Start(0);
    VanishingFolder = Dir + "vanishing";
    mkdir(VanishingFolder.c_str(), 0755);
    FakeHost.Box = BoxRemovingFolder;
    next = BackupAndGoOn(VanishingFolder + "/backup.bin");
    FakeHost.Box = FakeBox;
    EXPECT_EQ(next, BackupStay);
    EXPECT_EQ(Texts(), (std::vector<std::string> {ReadQuestion, BadPath}));
    EXPECT_EQ(ChipWrites(), 0);

    // The user corrects the name on the page that stayed.
    Card.Boxes.clear();
    EXPECT_EQ(BackupPageNext(&TheSession, FakeHost, 0, BackupPath.c_str()), BackupToImagePage);
    EXPECT_EQ(Texts(), (std::vector<std::string> {ReadQuestion}));
    std::vector<uint8_t> backup = ReadFile(BackupPath);
    EXPECT_TRUE(backup == std::vector<uint8_t>(OldImage, OldImage + 131072));
}

// Notes whether the backup already holds the chip when the read error is asked.
int BoxCheckingBackup(void* owner, const char* text, const char* caption, uint32_t type, int highlight)
{
    if (Starts(text, ReadError.c_str()))
        BackupWasOldImage = ReadFile(BackupPath) == std::vector<uint8_t>(OldImage, OldImage + 131072);
    return FakeBox(owner, text, caption, type, highlight);
}

TEST_F(OldImageTest, ChipWithBadChecksumIsSavedBeforeTheUserGoesOn)
{
    OldImage[0x200] ^= 0x01;  // the board's sum no longer holds
    Start(0);
    BackupWasOldImage = 0;
    FakeHost.Box = BoxCheckingBackup;
    EXPECT_EQ(BackupAndGoOn(BackupPath), BackupToReadErrorPage);
    EXPECT_EQ(BackupWasOldImage, 1) << "the backup was not written before the read-error question";
    ASSERT_GE(Card.Boxes.size(), 2u);
    EXPECT_EQ(Texts()[1], ReadError);
    EXPECT_EQ(Card.Boxes[1].Caption, TextReadChecksumErrTitle.Default);
    EXPECT_EQ(Card.Boxes[1].Type, BoxYesNo | BoxDefaultSecond);
    EXPECT_EQ(Card.Boxes[1].Highlight, 1);
    // The new image went on, and the old chip is in the backup.
    EXPECT_EQ(ChipWrites(), 1);
    EXPECT_TRUE(ChipBytes() == std::vector<uint8_t>(NewImage.begin(), NewImage.begin() + 131072));
    EXPECT_TRUE(ReadFile(BackupPath) == std::vector<uint8_t>(OldImage, OldImage + 131072));
}

// Faults between the write and the verdict on it.
int SpoilReadBack(uint32_t code, void* record, int ok)
{
    if (code == IOCTL_PELMIX_READ_ROM && ++ReadsSeen == 2)
        static_cast<PELMIX_ROM_TRANSFER*>(record)->Data[0x400] ^= 0x10;
    return ok;
}

int RefuseReadBack(uint32_t code, void*, int ok)
{
    if (code == IOCTL_PELMIX_READ_ROM && ++ReadsSeen == 2)
        return 0;
    return ok;
}

// A byte of the new image did not take and kept its old value; another,
// by chance, keeps the sum: only the comparison finds it.
int CellKeepsOldValue(uint32_t code, void*, int ok)
{
    if (code != IOCTL_PELMIX_WRITE_ROM || ++WritesSeen != 1)
        return ok;
    std::vector<uint8_t> chip = ChipBytes();
    uint32_t at = 0x1000;
    while (at + 1 < chip.size() && chip[at] == OldImage[at])
        ++at;
    PokeChip(at, OldImage[at]);
    PokeChip(at + 1, uint8_t(chip[at + 1] + chip[at] - OldImage[at]));
    return ok;
}

TEST_F(OldImageTest, WriteThatDoesNotVerifyPutsTheOldImageBack)
{
    if (!InBuiltImagePresent())
        GTEST_SKIP() << "no in-built image in this build";
    struct Case {
        const char* Name;
        RequestFault Fault;
        std::vector<std::string> Boxes;  // after the write question
    } cases[] = {
        {"read-back spoiled", SpoilReadBack, {RereadChecksum, RereadCompare}},
        {"byte found only by comparison", CellKeepsOldValue, {RereadCompare}},
        {"read-back refused", RefuseReadBack, {Reread}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Start(c.Fault);
        ASSERT_EQ(BackupPageNext(&TheSession, FakeHost, 0, BackupPath.c_str()), BackupToImagePage);
        Card.Boxes.clear();
        EXPECT_EQ(ImagePageNext(&TheSession, WizardHostInUse(), 0, StandardImagePage, 0, "", 1), ImageNotWritten);
        std::vector<std::string> texts = Texts();
        ASSERT_FALSE(texts.empty());
        texts.erase(texts.begin());  // the write question
        EXPECT_EQ(texts, c.Boxes);
        for (const ShownBox& b : Card.Boxes) {
            if (b.Type != (BoxOkCancel | BoxDefaultSecond)) {
                EXPECT_EQ(b.Type, BoxOk | BoxIconError);
            }
        }
        EXPECT_GE(Card.EndRunCalls, 1);
        EXPECT_EQ(ChipWrites(), 2) << "the write and the restore";
        EXPECT_TRUE(ChipHoldsOldImage());
        EXPECT_TRUE(ReadFile(BackupPath) == std::vector<uint8_t>(OldImage, OldImage + 131072));
    }
}

// A chip byte that reads wrong after the write: the old image goes back and
// is read back; when that read goes wrong too, the restore text says the
// original is not proven back, and the run ends.
TEST_F(OldImageTest, TheRestoredImageIsReadBackAndAFailureIsTold)
{
    if (!InBuiltImagePresent())
        GTEST_SKIP() << "no in-built image in this build";
    const std::string restore = FirstLine(TextNoBiosRestore.Default);
    for (int wrongReads : {1, 2}) {
        SCOPED_TRACE(wrongReads);
        Start(0, "fault corrupt 1:00.0 0x400 " + std::to_string(wrongReads) + "\n");
        ASSERT_EQ(BackupPageNext(&TheSession, FakeHost, 0, BackupPath.c_str()), BackupToImagePage);
        Card.Boxes.clear();
        EXPECT_EQ(ImagePageNext(&TheSession, WizardHostInUse(), 0, StandardImagePage, 0, "", 1), ImageNotWritten);
        std::vector<std::string> expected = {RereadChecksum, RereadCompare};
        if (wrongReads == 2)
            expected.push_back(restore);
        std::vector<std::string> texts = Texts();
        ASSERT_FALSE(texts.empty());
        texts.erase(texts.begin());  // the write question
        EXPECT_EQ(texts, expected);
        EXPECT_EQ(EmulatedRequests().back(), IOCTL_PELMIX_READ_ROM) << "the restore is read back";
        EXPECT_EQ(ChipWrites(), 2);
        EXPECT_EQ(TheSession.Restore, wrongReads == 1 ? RestoreVerified : RestoreUnverified);
        EXPECT_GE(Card.EndRunCalls, 1);
        EXPECT_TRUE(ChipHoldsOldImage()) << "only its reads went wrong";
    }
}

}  // namespace
