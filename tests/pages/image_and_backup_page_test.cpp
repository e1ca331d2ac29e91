// Next on the backup page and on the image pages: files, questions, refusals.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "backup_next.h"
#include "board_image.h"
#include "command_line.h"
#include "device_detection.h"
#include "fake_host.h"
#include "image_load.h"
#include "inbuilt_image.h"
#include "wizard_state.h"
#include "write_sequence.h"

namespace {

std::string TempPath(const char* name)
{
    return ::testing::TempDir() + name;
}

void WriteFile(const std::string& path, const uint8_t* bytes, size_t size)
{
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    ASSERT_EQ(fwrite(bytes, 1, size, f), size);
    fclose(f);
}

std::string FileText(const std::string& path)
{
    std::string text;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return "<none>";
    int c;
    while ((c = fgetc(f)) != EOF)
        text += char(c);
    fclose(f);
    return text;
}

struct PageTest : ::testing::Test {
    uint8_t Board[BiosImageBufferSize];
    void SetUp() override
    {
        ResetFakes();
        BoardRecipe recipe;
        DefaultBoardRecipe(&recipe);
        recipe.ImageSize = 131072;
        BuildBoardImage(&recipe, Board);
        memcpy(Card.Chip, Board, sizeof Board);
        TheWizard.InBuiltImageAvailable = InBuiltImagePresent();
    }
};

TEST_F(PageTest, ExistingBackupAnsweredNoStaysUntouched)
{
    std::string path = TempPath("existing_backup.bin");
    WriteFile(path, (const uint8_t*)"old backup", 10);
    Card.Answers = {AnswerNo};
    EXPECT_EQ(BackupPageNext(&TheSession, FakeHost, 0, path.c_str()), BackupStay);
    ASSERT_EQ(Card.Boxes.size(), 1u);
    EXPECT_EQ(Card.Boxes[0].Type, BoxYesNo | BoxDefaultSecond);
    EXPECT_EQ(FileText(path), "old backup");
    EXPECT_TRUE(Card.Requests.empty());
}

TEST_F(PageTest, ExistingBackupSurvivesUntilTheNewOneIsWritten)
{
    std::string path = TempPath("kept_backup.bin");
    WriteFile(path, (const uint8_t*)"old backup", 10);
    // Yes to overwrite, OK to read, then the read fails and the user stops.
    Card.ReadResults = {PELMIX_RESULT_HOLD_TIMEOUT};
    Card.Answers = {AnswerYes, AnswerOk, AnswerNo};
    EXPECT_EQ(BackupPageNext(&TheSession, FakeHost, 0, path.c_str()), BackupEndRun);
    EXPECT_EQ(FileText(path), "old backup");
    EXPECT_EQ(TheWizard.ReadChecksumFailed, 1);
    ASSERT_EQ(Card.Boxes.size(), 3u);
    EXPECT_EQ(Card.Boxes[2].Caption, TextReadChecksumErrTitle.Default);
    EXPECT_EQ(Card.Boxes[2].Highlight, 1);
    EXPECT_EQ(Card.EndRunCalls, 1);

    // A good read takes the name; the earlier file is kept beside it.
    std::string kept = path + ".1";
    remove(kept.c_str());
    ResetFakes();
    memcpy(Card.Chip, Board, sizeof Board);
    Card.Answers = {AnswerYes, AnswerOk};
    EXPECT_EQ(BackupPageNext(&TheSession, FakeHost, 0, path.c_str()), BackupToImagePage);
    EXPECT_EQ(FileText(path), std::string((const char*)Board, 131072));
    EXPECT_EQ(FileText(kept), "old backup");
    EXPECT_STREQ(TheSession.KeptBackupName, kept.c_str());

    // Yes again on the same card: the same bytes stay, nothing more is kept.
    Card.Answers = {AnswerYes, AnswerOk};
    EXPECT_EQ(BackupPageNext(&TheSession, FakeHost, 0, path.c_str()), BackupToImagePage);
    EXPECT_STREQ(TheSession.KeptBackupName, "");
    EXPECT_EQ(FileText(path + ".2"), "<none>");
    remove(kept.c_str());
}

// A disk that fills up while the new backup is written, after Yes to the
// overwrite question: the earlier backup is still whole, nothing of the
// new one is left, and the card was only read.
TEST_F(PageTest, EarlierBackupSurvivesAFailedWrite)
{
    std::string path = TempPath("earlier_backup.bin");
    std::string earlier(131072, '\x5A');
    WriteFile(path, (const uint8_t*)earlier.data(), earlier.size());
    Card.Answers = {AnswerYes, AnswerOk};
    BackupNextResult next;
    {
        FileSizeLimit fullDisk(65536);
        next = BackupPageNext(&TheSession, FakeHost, 0, path.c_str());
    }
    EXPECT_EQ(next, BackupStay);
    ASSERT_EQ(Card.Boxes.size(), 3u);
    EXPECT_EQ(Card.Boxes[2].Text, TextBadBackupPath.Default);
    EXPECT_EQ(FileText(path), earlier) << "the earlier backup was not kept whole";
    EXPECT_EQ(FileText(path + ".part"), "<none>");
    EXPECT_EQ(FileText(path + ".1"), "<none>");
    EXPECT_EQ(Card.Requests, std::vector<uint32_t> {IOCTL_PELMIX_READ_ROM});
    remove(path.c_str());
}

// A folder or a device under the backup's name is refused at once: no
// question, no read, and it is neither written nor removed.
TEST_F(PageTest, FolderOrDeviceIsNoBackup)
{
    std::string link = TempPath("backup_to_device.bin");
    remove(link.c_str());
    ASSERT_EQ(symlink("/dev/full", link.c_str()), 0);
    std::string folder = TempPath("backup_folder.bin");
    mkdir(folder.c_str(), 0755);
    for (const std::string& path : {link, folder}) {
        Card.Boxes.clear();
        EXPECT_EQ(BackupPageNext(&TheSession, FakeHost, 0, path.c_str()), BackupStay) << path;
        ASSERT_EQ(Card.Boxes.size(), 1u) << path;
        EXPECT_EQ(Card.Boxes[0].Text, TextBadBackupPath.Default);
        EXPECT_EQ(Card.Boxes[0].Type, BoxOk | BoxIconInformation);
    }
    EXPECT_TRUE(Card.Requests.empty());
    struct stat info;
    ASSERT_EQ(lstat(link.c_str(), &info), 0) << "the link was removed";
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ASSERT_EQ(stat("/dev/full", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
    EXPECT_EQ(stat(folder.c_str(), &info), 0);
    remove(link.c_str());
    rmdir(folder.c_str());
}

TEST_F(PageTest, BackupPathRefusalsAndProbeLeavesNothing)
{
    EXPECT_EQ(BackupPageNext(&TheSession, FakeHost, 0, ""), BackupStay);
    EXPECT_EQ(Card.Boxes.back().Text, TextBadBackupPath.Default);
    EXPECT_EQ(BackupPageNext(&TheSession, FakeHost, 0, TempPath("missing/folder/b.bin").c_str()), BackupStay);
    EXPECT_TRUE(Card.Requests.empty());

    // Cancel at the read question: the probe's file is gone, the run ends.
    std::string path = TempPath("probe_only.bin");
    remove(path.c_str());
    Card.Answers = {AnswerCancel};
    EXPECT_EQ(BackupPageNext(&TheSession, FakeHost, 0, path.c_str()), BackupEndRun);
    EXPECT_EQ(FileText(path), "<none>");
    EXPECT_TRUE(Card.Requests.empty());
}

TEST_F(PageTest, ReadErrorQuestionAndForcedError)
{
    TheWizard.BackupEnabled = 0;
    OptionFlags.ForceReadCsErr = 1;
    Card.Answers = {AnswerOk, AnswerYes};
    EXPECT_EQ(BackupPageNext(&TheSession, FakeHost, 0, ""), BackupToReadErrorPage);
    // Once failed, a good read still leads to the read-error page.
    OptionFlags.ForceReadCsErr = 0;
    EXPECT_EQ(BackupPageNext(&TheSession, FakeHost, 0, ""), BackupToReadErrorPage);

    // Skipping the checksum validation also skips the forced error.
    ResetFakes();
    memcpy(Card.Chip, Board, sizeof Board);
    TheWizard.BackupEnabled = 0;
    TheWizard.ValidateCurrentImage = 0;
    OptionFlags.ForceReadCsErr = 1;
    EXPECT_EQ(BackupPageNext(&TheSession, FakeHost, 0, ""), BackupToImagePage);
    EXPECT_EQ(Card.Boxes.size(), 1u);
}

TEST_F(PageTest, ImageFileLengthsCountWholeBlocks)
{
    char version[ImageVersionSize];
    int blank = 1;
    std::string path = TempPath("image.bin");

    BoardRecipe recipe;
    DefaultBoardRecipe(&recipe);
    uint8_t image[BiosImageBufferSize];
    recipe.ImageSize = 65536;
    BuildBoardImage(&recipe, image);
    WriteFile(path, image, 65536);
    // An earlier full load must leave nothing behind.
    ASSERT_TRUE(LoadNewImage(0, 0, 1, version, &blank));
    ASSERT_TRUE(LoadNewImage(0, path.c_str(), 1, version, &blank));
    EXPECT_EQ(TheWizard.NewImageSize, 65536u);
    EXPECT_EQ(blank, 0);
    EXPECT_STREQ(version, "ORVEL II AGP 16MB Bios Rev 1.01.00.0021");
    for (uint32_t i = 65536; i < BiosImageBufferSize; ++i)
        ASSERT_EQ(TheWizard.NewImage[i], 0xFF) << "byte " << i;

    // 40000 bytes: one block, tested over 32768 bytes.
    RepairImageChecksum(image, 32768);
    ASSERT_FALSE(ImageChecksumValid(image, 65536));
    WriteFile(path, image, 40000);
    EXPECT_TRUE(LoadNewImage(0, path.c_str(), 1, version, &blank));
    EXPECT_EQ(TheWizard.NewImageSize, 32768u);

    // 20000 bytes: nothing counts, and the checksum test fails.
    WriteFile(path, image, 20000);
    EXPECT_FALSE(LoadNewImage(0, path.c_str(), 1, version, &blank));
    EXPECT_EQ(TheWizard.NewImageSize, 0u);
    EXPECT_EQ(Card.Boxes.back().Text, TextSourceBiosCsErr.Default);
    EXPECT_EQ(Card.Boxes.back().Type, BoxOk | BoxIconError);
    EXPECT_EQ(Card.EndRunCalls, 0);
    EXPECT_TRUE(LoadNewImage(0, path.c_str(), 0, version, &blank));

    // Longer than the image buffer: refused, never read past it.
    static uint8_t big[BiosImageBufferSize + 1];
    WriteFile(path, big, sizeof big);
    Card.Boxes.clear();
    EXPECT_FALSE(LoadNewImage(0, path.c_str(), 0, version, &blank));
    EXPECT_EQ(Card.Boxes.back().Text, TextNoBiosImageInvalid.Default);
    WriteFile(path, big, BiosImageBufferSize);
    EXPECT_TRUE(LoadNewImage(0, path.c_str(), 0, version, &blank));
    EXPECT_EQ(TheWizard.NewImageSize, BiosImageBufferSize);

    Card.Boxes.clear();
    EXPECT_FALSE(LoadNewImage(0, TempPath("absent.bin").c_str(), 1, version, &blank));
    EXPECT_FALSE(LoadNewImage(0, "", 1, version, &blank));
    ASSERT_EQ(Card.Boxes.size(), 2u);
    EXPECT_EQ(Card.Boxes[1].Text, TextNoBiosImage.Default);
    EXPECT_EQ(Card.Boxes[1].Type, BoxOk);
}

TEST_F(PageTest, VersionCutAtCarriageReturnAndWholeInConfirmation)
{
    // The board's text has a second line after a carriage return and line feed.
    std::string path = TempPath("cr_image.bin");
    WriteFile(path, Board, 131072);
    char version[ImageVersionSize];
    int blank;
    ASSERT_TRUE(LoadNewImage(0, path.c_str(), 1, version, &blank));
    EXPECT_STREQ(version, "ORVEL II AGP 16MB Bios Rev 1.01.00.0021");

    // Cancel at the confirmation: nothing sent.
    Card.Answers = {AnswerCancel};
    EXPECT_EQ(ImagePageNext(&TheSession, WizardHostInUse(), 0, StandardImagePage, 1, path.c_str(), 1), ImageStay);
    ASSERT_EQ(Card.Boxes.size(), 1u);
    EXPECT_EQ(Card.Boxes[0].Text, Filled(TextWriteBios.Default, "ORVEL II AGP 16MB Bios Rev 1.01.00.0021"));
    EXPECT_EQ(Card.Boxes[0].Caption, TextWriteBiosTitle.Default);
    EXPECT_EQ(Card.Boxes[0].Type, BoxOkCancel | BoxDefaultSecond);
    EXPECT_EQ(Card.Boxes[0].Highlight, 1);
    EXPECT_TRUE(Card.Requests.empty());
}

TEST_F(PageTest, BlankImageNeedsMerge)
{
    if (!InBuiltImagePresent())
        GTEST_SKIP() << "no in-built image in this build";
    TheWizard.DontMerge = 1;
    EXPECT_EQ(ImagePageNext(&TheSession, WizardHostInUse(), 0, StandardImagePage, 0, "", 1), ImageStay);
    EXPECT_EQ(Card.Boxes.back().Text, TextMustMergeOnBlank.Default);
    EXPECT_EQ(TheWizard.MergeTable, 0);

    EXPECT_EQ(ImagePageNext(&TheSession, WizardHostInUse(), 0, ReadErrorImagePage, 0, "", 1), ImageStay);
    EXPECT_EQ(Card.Boxes.back().Text, TextMustMergeOnBlank3.Default);
    OptionFlags.DevMode = 1;
    EXPECT_EQ(ImagePageNext(&TheSession, WizardHostInUse(), 0, ReadErrorImagePage, 0, "", 1), ImageStay);
    EXPECT_EQ(Card.Boxes.back().Text, TextMustMergeOnBlank2.Default);
    EXPECT_TRUE(Card.Requests.empty());
}

TEST_F(PageTest, DefaultPathWritesMergedInBuiltImage)
{
    if (!InBuiltImagePresent())
        GTEST_SKIP() << "no in-built image in this build";
    TheWizard.BackupEnabled = 0;
    ASSERT_EQ(BackupPageNext(&TheSession, FakeHost, 0, ""), BackupToImagePage);
    EXPECT_EQ(ImagePageNext(&TheSession, WizardHostInUse(), 0, StandardImagePage, 0, "", 1), ImageWritten);
    EXPECT_EQ(TheWizard.MergeTable, 1);
    EXPECT_TRUE(ImageChecksumValid(Card.Chip, 131072));
    EXPECT_NE(memcmp(Card.Chip, InBuiltImageData(), 131072), 0);

    // A file that does not exist keeps the page, with the focus on the name.
    EXPECT_EQ(ImagePageNext(&TheSession, WizardHostInUse(), 0, StandardImagePage, 1, TempPath("absent.bin").c_str(), 1),
              ImageStayInFile);
}

// An image that declares more than the card's 64-KB chip holds is told as an
// unusable image before the write question, with merging on or off; nothing
// is written. One that declares exactly the chip gets as far as the question.
TEST_F(PageTest, ImageLongerThanTheChipIsToldBeforeTheWriteQuestion)
{
    BoardRecipe recipe;
    DefaultBoardRecipe(&recipe);
    recipe.ImageSize = 65536;
    BuildBoardImage(&recipe, Board);
    std::string path = TempPath("long_for_chip.bin");
    for (int dontMerge : {0, 1}) {
        SCOPED_TRACE(dontMerge ? "merging off" : "merging on");
        ResetFakes(65536);
        memcpy(Card.Chip, Board, 65536);
        TheWizard.BackupEnabled = 0;
        TheWizard.DontMerge = dontMerge;
        ASSERT_EQ(BackupPageNext(&TheSession, FakeHost, 0, ""), BackupToImagePage);
        uint8_t image[BiosImageBufferSize];
        memcpy(image, Board, sizeof image);
        image[BiosSizeByteOffset] = 0x81;  // 66048 bytes
        RepairImageChecksum(image, 65536);
        WriteFile(path, image, 65536);
        Card.Boxes.clear();
        Card.Requests.clear();
        EXPECT_EQ(ImagePageNext(&TheSession, WizardHostInUse(), 0, StandardImagePage, 1, path.c_str(), 1),
                  ImageTooLongForChip);
        ASSERT_EQ(Card.Boxes.size(), 1u);
        EXPECT_EQ(Card.Boxes[0].Text, TextNoBiosImageInvalid.Default);
        EXPECT_EQ(Card.Boxes[0].Type, BoxOk);
        EXPECT_TRUE(Card.Requests.empty());
        EXPECT_EQ(memcmp(Card.Chip, Board, 65536), 0);

        image[BiosSizeByteOffset] = 0x80;
        RepairImageChecksum(image, 65536);
        WriteFile(path, image, 65536);
        Card.Boxes.clear();
        Card.Answers = {AnswerCancel};
        EXPECT_EQ(ImagePageNext(&TheSession, WizardHostInUse(), 0, StandardImagePage, 1, path.c_str(), 1), ImageStay);
        ASSERT_EQ(Card.Boxes.size(), 1u);
        EXPECT_EQ(Card.Boxes[0].Caption, TextWriteBiosTitle.Default);
    }
}

// The backup page's logic works on the session and host it is handed: the
// run's host sees no request and TheSession no image.
TEST_F(PageTest, HandedSessionAndHostTakeTheBackup)
{
    TheWizard.BackupEnabled = 0;
    memset(&TheSession, 0, sizeof TheSession);
    static FlashSession session;
    WizardHost idle = FakeHost;
    idle.Request = [](uint32_t, void*, uint32_t, uint32_t* returned) {
        *returned = 0;
        ADD_FAILURE() << "a request reached the run's host";
        return 0;
    };
    UseWizardHost(&idle);
    EXPECT_EQ(BackupPageNext(&session, FakeHost, 0, ""), BackupToImagePage);
    EXPECT_EQ(DetectDevices(FakeHost, 0), DetectOneCard);
    UseWizardHost(&FakeHost);
    EXPECT_EQ(session.CardHeld, 1);
    EXPECT_EQ(memcmp(session.CardImage.Data, Board, sizeof Board), 0);
    EXPECT_EQ(TheSession.CardHeld, 0);
    EXPECT_EQ(Card.Requests.size(), 2u);  // backup read, card list
}

}  // namespace
