// The backup read and every outcome of the write sequence, on a fake card.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "bios_merge.h"
#include "board_image.h"
#include "command_line.h"
#include "fake_host.h"
#include "inbuilt_image.h"
#include "wizard_state.h"
#include "write_sequence.h"

namespace {

struct WriteSequenceTest : ::testing::Test {
    uint8_t OldImage[BiosImageBufferSize];
    std::string Backup = ::testing::TempDir() + "write_sequence_backup." + std::to_string(getpid()) + ".bin";

    // A card holding a realistic board image of chipSize bytes, read by the backup step.
    void StartWith(uint32_t chipSize)
    {
        ResetFakes(chipSize);
        BoardRecipe recipe;
        DefaultBoardRecipe(&recipe);
        recipe.ImageSize = chipSize;
        ASSERT_TRUE(BuildBoardImage(&recipe, OldImage));
        memcpy(Card.Chip, OldImage, chipSize);
        remove(Backup.c_str());
    }
    void ChooseInBuilt()
    {
        memcpy(TheWizard.NewImage, InBuiltImageData(), BiosImageBufferSize);
        TheWizard.NewImageSize = BiosImageBufferSize;
    }
    // A board image for a 64-KB chip, written as it is.
    void ChooseUnmerged64k()
    {
        BoardRecipe recipe;
        DefaultBoardRecipe(&recipe);
        recipe.ImageSize = 65536;
        BuildBoardImage(&recipe, TheWizard.NewImage);
        TheWizard.MergeTable = 0;
    }
    // The backup step as the backup page runs it.
    int ReadCard(const std::string& path, int validate, int save, BackupFailure* failure = 0)
    {
        FlashPlan plan = {};
        plan.BackupPath = path.c_str();
        plan.TestCardChecksum = validate;
        plan.SaveBackup = save;
        return BackupStep(&TheSession, plan, FakeHost, failure);
    }
    // The write sequence as the image pages run it: 1 when written (or skipped in test mode).
    int Write(int readBackChecksum = 1)
    {
        FlashPlan plan = {};
        plan.Image = TheWizard.NewImage;
        plan.Merge = TheWizard.MergeTable;
        plan.ReadBackChecksum = readBackChecksum;
        FlashOutcome outcome = WriteSequence(&TheSession, plan, FakeHost, 0);
        EXPECT_EQ(outcome, TheSession.Outcome);
        return outcome == FlashWritten || outcome == FlashSkipped;
    }
    std::vector<std::string> Texts()
    {
        std::vector<std::string> texts;
        for (const ShownBox& b : Card.Boxes)
            texts.push_back(b.Text.substr(0, b.Text.find('\n')));
        return texts;
    }
};

TEST_F(WriteSequenceTest, SmallChipBackupIsWholeBufferWithClearedTail)
{
    StartWith(65536);
    memset(TheSession.CardImage.Data, 0xEE, sizeof TheSession.CardImage.Data);  // an earlier read's bytes
    ASSERT_TRUE(ReadCard(Backup.c_str(), 1, 1));
    EXPECT_EQ(TheSession.CardLength, 65536);
    std::vector<uint8_t> file = ReadFile(Backup.c_str());
    ASSERT_EQ(file.size(), 131072u);
    EXPECT_EQ(memcmp(file.data(), OldImage, 65536), 0);
    for (size_t i = 65536; i < file.size(); ++i)
        ASSERT_EQ(file[i], 0) << "byte " << i;
}

TEST_F(WriteSequenceTest, BackupChecksumMayLeaveOutTheLast4480Bytes)
{
    StartWith(131072);
    memset(Card.Chip + 131072 - 4480, 0, 4480);
    RepairImageChecksum(Card.Chip, 131072 - 4480);
    Card.Chip[131072 - 1] = 0x33;  // the whole length no longer sums to 0
    ASSERT_FALSE(ImageChecksumValid(Card.Chip, 131072));
    EXPECT_TRUE(ReadCard(Backup.c_str(), 1, 0));
    Card.Chip[0x200] ^= 1;  // now neither length sums to 0
    BackupFailure failure = BackupNoFailure;
    EXPECT_FALSE(ReadCard(Backup.c_str(), 1, 1, &failure));
    EXPECT_EQ(failure, BackupChecksumFailed);
    // The user may still go on: the image read is saved all the same.
    std::vector<uint8_t> file = ReadFile(Backup.c_str());
    ASSERT_EQ(file.size(), 131072u);
    EXPECT_EQ(memcmp(file.data(), Card.Chip, 131072), 0);
    EXPECT_TRUE(ReadCard(Backup.c_str(), 0, 0, &failure));
    EXPECT_EQ(failure, BackupNoFailure);
}

TEST_F(WriteSequenceTest, BackupFailsWhenReadOrFileFails)
{
    StartWith(131072);
    BackupFailure failure = BackupNoFailure;
    Card.ReadResults = {PELMIX_RESULT_HOLD_TIMEOUT};
    EXPECT_FALSE(ReadCard(Backup.c_str(), 1, 1, &failure));
    EXPECT_EQ(failure, BackupReadFailed);
    EXPECT_EQ(TheSession.CardLength, -12);
    EXPECT_FALSE(TheSession.CardHeld);
    EXPECT_TRUE(ReadFile(Backup.c_str()).empty());

    Card.ReadResults = {-1};
    EXPECT_FALSE(ReadCard(Backup.c_str(), 0, 1, &failure));
    EXPECT_EQ(failure, BackupReadFailed);

    // A backup file that cannot be created, also with a bad checksum: the
    // file is what stops the user.
    Card.Chip[0x200] ^= 1;
    EXPECT_FALSE(ReadCard((::testing::TempDir() + "no/such/folder/b.bin").c_str(), 1, 1, &failure));
    EXPECT_EQ(failure, BackupFileFailed);
}

TEST_F(WriteSequenceTest, BackupCutShortIsAFailureAndLeavesNoFile)
{
    StartWith(131072);
    // A file-size limit below one image stands in for a disk that fills up
    // halfway through the backup.
    BackupFailure failure = BackupNoFailure;
    int saved;
    {
        FileSizeLimit fullDisk(65536);
        saved = ReadCard(Backup.c_str(), 1, 1, &failure);
    }

    EXPECT_FALSE(saved) << "a backup not written whole was reported as saved";
    EXPECT_EQ(failure, BackupFileFailed);
    EXPECT_TRUE(ReadFile(Backup.c_str()).empty()) << "a part of a backup was left behind";
    EXPECT_TRUE(TheSession.CardHeld) << "the card image itself was read";
}

TEST_F(WriteSequenceTest, TestModeTouchesNothing)
{
    StartWith(131072);
    OptionFlags.NoWrite = 1;
    EXPECT_EQ(Write(), 1);  // even without a card image to merge
    EXPECT_TRUE(Card.Requests.empty());
    ASSERT_EQ(Card.Boxes.size(), 1u);
    EXPECT_EQ(Card.Boxes[0].Text, "Test mode: BIOS write has been skipped");
    EXPECT_EQ(Card.Boxes[0].Caption, "Debug Message");
    EXPECT_EQ(Card.Boxes[0].Type, BoxOk | BoxIconInformation);
}

TEST_F(WriteSequenceTest, VerifiedMergedImageOnEitherChipSize)
{
    for (uint32_t size : {131072u, 65536u}) {
        StartWith(size);
        ASSERT_TRUE(ReadCard(Backup.c_str(), 1, 1));
        ChooseInBuilt();
        uint8_t expected[BiosImageBufferSize];
        memcpy(expected, TheWizard.NewImage, sizeof expected);
        ASSERT_TRUE(MergeBiosTable(OldImage, expected, size));

        EXPECT_EQ(Write(), 1);
        EXPECT_TRUE(Card.Boxes.empty());
        EXPECT_EQ(Card.EndRunCalls, 0);
        EXPECT_EQ(memcmp(Card.Chip, expected, size), 0);
        EXPECT_TRUE(ImageChecksumValid(Card.Chip, size));
        EXPECT_EQ(Card.Requests,
                  (std::vector<uint32_t> {IOCTL_PELMIX_READ_ROM, IOCTL_PELMIX_WRITE_ROM, IOCTL_PELMIX_READ_ROM}));
        // The backup holds the old image.
        EXPECT_EQ(memcmp(ReadFile(Backup.c_str()).data(), OldImage, size), 0);
    }
}

TEST_F(WriteSequenceTest, MergeRefusedLeavesChipAlone)
{
    StartWith(131072);
    ASSERT_TRUE(ReadCard(Backup.c_str(), 1, 0));
    memcpy(TheWizard.NewImage, OldImage, sizeof OldImage);  // a legacy new image can't take a table
    EXPECT_EQ(Write(), 0);
    EXPECT_EQ(Texts(), (std::vector<std::string> {FirstLine(TextBadBiosMerge.Default)}));
    EXPECT_EQ(Card.Boxes[0].Type, BoxOk | BoxIconError);
    EXPECT_EQ(Card.Requests.size(), 1u);
    EXPECT_EQ(Card.EndRunCalls, 0);

    // After a failed backup read there is no table to merge either.
    StartWith(131072);
    Card.ReadResults = {PELMIX_RESULT_HOLD_TIMEOUT};
    ReadCard(Backup.c_str(), 1, 0);
    ChooseInBuilt();
    EXPECT_EQ(Write(), 0);
    EXPECT_EQ(Texts(), (std::vector<std::string> {FirstLine(TextBadBiosMerge.Default)}));
    EXPECT_EQ(Card.Requests.size(), 1u);
}

TEST_F(WriteSequenceTest, FailedWriteRestoresOldImage)
{
    StartWith(131072);
    ASSERT_TRUE(ReadCard(Backup.c_str(), 1, 0));
    ChooseInBuilt();
    Card.WriteResults = {PELMIX_RESULT_PROGRAM_TIMEOUT};
    EXPECT_EQ(Write(), 0);
    ASSERT_EQ(Card.Boxes.size(), 1u);
    EXPECT_EQ(Card.Boxes[0].Text, Filled(TextNoBiosWriteErr.Default, "6"));
    EXPECT_EQ(Card.Boxes[0].Type, BoxOk | BoxIconWarning);
    EXPECT_EQ(Card.Boxes[0].Highlight, 1);
    EXPECT_EQ(memcmp(Card.Chip, OldImage, 131072), 0);
    EXPECT_EQ(Card.EndRunCalls, 0);

    // The call itself failing gives the text without a number.
    Card.Boxes.clear();
    Card.WriteResults = {-1};
    EXPECT_EQ(Write(), 0);
    EXPECT_EQ(Card.Boxes[0].Text, TextNoBiosWrite.Default);
    EXPECT_EQ(memcmp(Card.Chip, OldImage, 131072), 0);
}

TEST_F(WriteSequenceTest, FailedRestoreEndsRun)
{
    StartWith(131072);
    ASSERT_TRUE(ReadCard(Backup.c_str(), 1, 0));
    ChooseInBuilt();
    Card.WriteResults = {PELMIX_RESULT_PROGRAM_TIMEOUT, PELMIX_RESULT_BEYOND_CHIP};
    EXPECT_EQ(Write(), 0);
    ASSERT_EQ(Card.Boxes.size(), 2u);
    EXPECT_EQ(Card.Boxes[1].Text, Filled(TextNoBiosRestoreErr.Default, "13"));
    EXPECT_EQ(Card.Boxes[1].Type, BoxOk | BoxIconError);
    EXPECT_EQ(Card.EndRunCalls, 1);
}

TEST_F(WriteSequenceTest, WithoutCardImageFailedWriteIsNotRestored)
{
    StartWith(131072);
    Card.ReadResults = {PELMIX_RESULT_HOLD_TIMEOUT};
    EXPECT_FALSE(ReadCard(Backup.c_str(), 0, 0));
    ChooseInBuilt();
    TheWizard.MergeTable = 0;
    Card.WriteResults = {PELMIX_RESULT_PROGRAM_TIMEOUT};
    EXPECT_EQ(Write(), 0);
    EXPECT_EQ(Texts(),
              (std::vector<std::string> {FirstLine(Filled(TextNoBiosWriteErr.Default, "6")),
                                         FirstLine(TextNoBiosRestore.Default)}));
    EXPECT_EQ(Card.Requests, (std::vector<uint32_t> {IOCTL_PELMIX_READ_ROM, IOCTL_PELMIX_WRITE_ROM}));
    EXPECT_EQ(Card.EndRunCalls, 1);
}

TEST_F(WriteSequenceTest, WithoutCardImageReadBackUsesItsOwnLength)
{
    StartWith(65536);
    Card.ReadResults = {PELMIX_RESULT_HOLD_TIMEOUT};
    EXPECT_FALSE(ReadCard(Backup.c_str(), 1, 0));
    ChooseUnmerged64k();
    EXPECT_EQ(Write(), 1);
    EXPECT_TRUE(Card.Boxes.empty());
}

TEST_F(WriteSequenceTest, FailedReadBackEndsRun)
{
    StartWith(131072);
    ASSERT_TRUE(ReadCard(Backup.c_str(), 1, 0));
    ChooseInBuilt();
    Card.ReadResults = {PELMIX_RESULT_HOLD_TIMEOUT};
    EXPECT_EQ(Write(), 0);
    EXPECT_EQ(Texts(), (std::vector<std::string> {FirstLine(Filled(TextNoBiosRereadErr.Default, "11"))}));
    EXPECT_EQ(Card.EndRunCalls, 1);
    EXPECT_EQ(memcmp(Card.Chip, OldImage, 131072), 0) << "the unproven image stayed on the chip";
}

TEST_F(WriteSequenceTest, RestoreAfterFailedVerifyIsToldWhenRefused)
{
    const std::string checksum = FirstLine(TextRereadCsErr.Default);
    const std::string compare = FirstLine(TextRereadMemcmpErr.Default);
    // -forcewritecserr after a good write, then the restore refused with 13
    // or failing as a call.
    for (int restore : {int(PELMIX_RESULT_BEYOND_CHIP), -1}) {
        StartWith(131072);
        ASSERT_TRUE(ReadCard(Backup.c_str(), 1, 0));
        ChooseInBuilt();
        OptionFlags.ForceWriteCsErr = 1;
        Card.WriteResults = {PELMIX_RESULT_OK, restore};
        EXPECT_EQ(Write(), 0);
        std::string restoreText =
            FirstLine(restore > 0 ? Filled(TextNoBiosRestoreErr.Default, "13") : TextNoBiosRestore.Default);
        EXPECT_EQ(Texts(), (std::vector<std::string> {checksum, restoreText}));
        EXPECT_EQ(Card.Boxes.back().Type, BoxOk | BoxIconError);
        EXPECT_GE(Card.EndRunCalls, 1);
    }

    // Without an image from the card nothing is restored, and nothing more is said.
    StartWith(65536);
    Card.ReadResults = {PELMIX_RESULT_HOLD_TIMEOUT};
    EXPECT_FALSE(ReadCard(Backup.c_str(), 1, 0));
    ChooseUnmerged64k();
    static int (*real)(uint32_t, void*, uint32_t, uint32_t*);
    real = FakeHost.Request;
    FakeHost.Request = [](uint32_t code, void* record, uint32_t length, uint32_t* returned) {
        int r = real(code, record, length, returned);
        if (code == IOCTL_PELMIX_READ_ROM)
            static_cast<PELMIX_ROM_TRANSFER*>(record)->Data[0x300] ^= 1;
        return r;
    };
    EXPECT_EQ(Write(), 0);
    FakeHost.Request = real;
    EXPECT_EQ(Texts(), (std::vector<std::string> {checksum, compare}));
    EXPECT_EQ(Card.Requests,
              (std::vector<uint32_t> {IOCTL_PELMIX_READ_ROM, IOCTL_PELMIX_WRITE_ROM, IOCTL_PELMIX_READ_ROM}));
}

TEST_F(WriteSequenceTest, VerifyRunsBothTestsInOrder)
{
    const std::string checksum = FirstLine(TextRereadCsErr.Default);
    const std::string compare = FirstLine(TextRereadMemcmpErr.Default);

    // Forced checksum error after a good write: the comparison still runs and passes.
    StartWith(131072);
    ASSERT_TRUE(ReadCard(Backup.c_str(), 1, 0));
    ChooseInBuilt();
    OptionFlags.ForceWriteCsErr = 1;
    EXPECT_EQ(Write(), 0);
    EXPECT_EQ(Texts(), (std::vector<std::string> {checksum}));
    EXPECT_EQ(Card.EndRunCalls, 1);

    // A read-back that differs but still sums to 0: only the comparison fails.
    StartWith(131072);
    ASSERT_TRUE(ReadCard(Backup.c_str(), 1, 0));
    ChooseInBuilt();
    ASSERT_TRUE(MergeBiosTable(OldImage, TheWizard.NewImage, 131072));
    TheWizard.MergeTable = 0;
    TheWizard.NewImage[0x300] += 1;  // keeps the sum: the chip gets the pair swapped below
    TheWizard.NewImage[0x301] -= 1;
    static int (*real)(uint32_t, void*, uint32_t, uint32_t*);
    real = FakeHost.Request;
    FakeHost.Request = [](uint32_t code, void* record, uint32_t length, uint32_t* returned) {
        int r = real(code, record, length, returned);
        if (record == &TheSession.ReadBack) {
            uint8_t* data = static_cast<PELMIX_ROM_TRANSFER*>(record)->Data;
            data[0x300] -= 1;
            data[0x301] += 1;
        }
        return r;
    };
    EXPECT_EQ(Write(), 0);
    EXPECT_EQ(Texts(), (std::vector<std::string> {compare}));

    // One changed byte fails both, the checksum box first.
    Card.Boxes.clear();
    FakeHost.Request = [](uint32_t code, void* record, uint32_t length, uint32_t* returned) {
        int r = real(code, record, length, returned);
        if (record == &TheSession.ReadBack)
            static_cast<PELMIX_ROM_TRANSFER*>(record)->Data[0x400] ^= 0x10;
        return r;
    };
    EXPECT_EQ(Write(), 0);
    EXPECT_EQ(Texts(), (std::vector<std::string> {checksum, compare}));
    FakeHost.Request = real;
}

// An image whose option ROM header declares more than the chip holds is
// refused before anything is written; one that declares the chip exactly,
// or the in-built image on the small chip, is written.
TEST_F(WriteSequenceTest, AnImageLongerThanTheChipIsRefusedBeforeWriting)
{
    const struct {
        uint8_t SizeByte;  // in 512-byte units
        int Written;
    } cases[] = {{0xF8, 0}, {0x81, 0}, {0x80, 1}};
    for (const auto& c : cases) {
        for (int merge : {1, 0}) {
            SCOPED_TRACE(testing::Message() << "size byte " << int(c.SizeByte) << ", merge " << merge);
            StartWith(65536);
            ASSERT_TRUE(ReadCard(Backup.c_str(), 1, 0));
            ChooseInBuilt();
            TheWizard.NewImage[BiosSizeByteOffset] = c.SizeByte;
            TheWizard.MergeTable = merge;
            EXPECT_EQ(Write(0), c.Written);
            EXPECT_EQ(Card.EndRunCalls, 0);
            if (c.Written)
                continue;
            // The image is of no use on this card, merged or not: not a merge failure.
            EXPECT_EQ(Texts(), (std::vector<std::string> {FirstLine(TextNoBiosImageInvalid.Default)}));
            EXPECT_EQ(Card.Requests, (std::vector<uint32_t> {IOCTL_PELMIX_READ_ROM}));
            EXPECT_EQ(memcmp(Card.Chip, OldImage, 65536), 0);
        }
    }
    StartWith(65536);
    ASSERT_TRUE(ReadCard(Backup.c_str(), 1, 0));
    ChooseInBuilt();
    EXPECT_EQ(ImageDeclaredLength(TheWizard.NewImage), 49664u);
    EXPECT_EQ(Write(), 1);
}

// Every old image written back is read back and compared over the chip
// length: after a failed write and after a failed verification, one that
// does not come back as it was, or whose read is refused, is told and ends
// the run.
TEST_F(WriteSequenceTest, ARestoredImageIsReadBackAndComparedWithTheOldOne)
{
    const std::vector<uint32_t> restoreRequests = {IOCTL_PELMIX_READ_ROM, IOCTL_PELMIX_WRITE_ROM,
                                                   IOCTL_PELMIX_WRITE_ROM, IOCTL_PELMIX_READ_ROM};
    static int (*real)(uint32_t, void*, uint32_t, uint32_t*);
    real = FakeHost.Request;
    auto spoilRestoreCheck = [](uint32_t code, void* record, uint32_t length, uint32_t* returned) {
        int r = real(code, record, length, returned);
        if (record == &TheSession.RestoreCheck)
            static_cast<PELMIX_ROM_TRANSFER*>(record)->Data[0xFFFF] ^= 0x01;
        return r;
    };
    for (int forcedCsErr : {0, 1}) {
        SCOPED_TRACE(forcedCsErr ? "after a failed verification" : "after a failed write");
        std::string first =
            forcedCsErr ? FirstLine(TextRereadCsErr.Default) : FirstLine(Filled(TextNoBiosWriteErr.Default, "6"));
        std::vector<uint32_t> requests = restoreRequests;
        if (forcedCsErr)
            requests.insert(requests.begin() + 2, IOCTL_PELMIX_READ_ROM);
        auto start = [&] {
            StartWith(65536);
            ASSERT_TRUE(ReadCard(Backup.c_str(), 1, 0));
            ChooseInBuilt();
            OptionFlags.ForceWriteCsErr = forcedCsErr;
            Card.WriteResults = {forcedCsErr ? 0 : int(PELMIX_RESULT_PROGRAM_TIMEOUT)};
        };

        // Back as it was: nothing more is said.
        start();
        EXPECT_EQ(Write(), 0);
        EXPECT_EQ(Texts(), (std::vector<std::string> {first}));
        EXPECT_EQ(Card.Requests, requests);
        EXPECT_EQ(TheSession.Restore, RestoreVerified);
        EXPECT_EQ(Card.EndRunCalls, forcedCsErr);

        // The last byte of the small chip differs.
        start();
        FakeHost.Request = spoilRestoreCheck;
        EXPECT_EQ(Write(), 0);
        FakeHost.Request = real;
        EXPECT_EQ(Texts(), (std::vector<std::string> {first, FirstLine(TextNoBiosRestore.Default)}));
        EXPECT_EQ(Card.Boxes.back().Type, BoxOk | BoxIconError);
        EXPECT_EQ(Card.Requests, requests);
        EXPECT_EQ(TheSession.Restore, RestoreUnverified);
        EXPECT_GE(Card.EndRunCalls, 1);

        // The read of the restored image refused with 11.
        start();
        Card.ReadResults = forcedCsErr ? std::vector<int> {0, int(PELMIX_RESULT_HOLD_TIMEOUT)}
                                       : std::vector<int> {int(PELMIX_RESULT_HOLD_TIMEOUT)};
        EXPECT_EQ(Write(), 0);
        EXPECT_EQ(Texts(), (std::vector<std::string> {first, FirstLine(Filled(TextNoBiosRestoreErr.Default, "11"))}));
        EXPECT_EQ(TheSession.Restore, RestoreUnverified);
        EXPECT_GE(Card.EndRunCalls, 1);
    }
}

// The outcome a host reads to end its run, and the steps it is told: the
// merge and a failed verification settled just before the request after them.
TEST_F(WriteSequenceTest, OutcomeAndStepsTellHowTheSessionWent)
{
    typedef std::vector<FlashStep> Steps;
    auto start = [&](int merge, uint32_t chipSize = 131072) {
        StartWith(chipSize);
        ASSERT_TRUE(ReadCard(Backup.c_str(), 1, 0));
        ChooseInBuilt();
        TheWizard.MergeTable = merge;
    };

    start(1);
    EXPECT_EQ(Write(), 1);
    EXPECT_EQ(TheSession.Outcome, FlashWritten);
    EXPECT_EQ(TheSession.Restore, RestoreNotTried);
    EXPECT_EQ(Card.Steps, (Steps {FlashStepBackup, FlashStepMerged, FlashStepWrite, FlashStepReadBack}));

    // A refused write is not a failed verification.
    start(0);
    Card.WriteResults = {PELMIX_RESULT_PROGRAM_TIMEOUT};
    EXPECT_EQ(Write(), 0);
    EXPECT_EQ(TheSession.Outcome, FlashRestored);
    EXPECT_EQ(TheSession.Restore, RestoreVerified);
    EXPECT_EQ(Card.Steps,
              (Steps {FlashStepBackup, FlashStepNotMerged, FlashStepWrite, FlashStepRestore, FlashStepRestoreRead}));

    start(0);
    OptionFlags.ForceWriteCsErr = 1;
    Card.WriteResults = {0, PELMIX_RESULT_BEYOND_CHIP};
    EXPECT_EQ(Write(), 0);
    EXPECT_EQ(TheSession.Outcome, FlashNeedsRecovery);
    EXPECT_EQ(TheSession.Restore, RestoreRefused);
    EXPECT_EQ(Card.Steps,
              (Steps {FlashStepBackup, FlashStepNotMerged, FlashStepWrite, FlashStepReadBack, FlashStepVerifyFailed,
                      FlashStepRestore}));

    // Refusals name their reason and send nothing.
    start(1, 65536);
    TheWizard.NewImage[BiosSizeByteOffset] = 0xF8;
    EXPECT_EQ(Write(), 0);
    EXPECT_EQ(TheSession.Outcome, FlashRefused);
    EXPECT_EQ(TheSession.Refusal, FlashImageTooLong);
    EXPECT_EQ(Card.Steps, (Steps {FlashStepBackup}));
    start(1);
    memcpy(TheWizard.NewImage, OldImage, sizeof OldImage);
    EXPECT_EQ(Write(), 0);
    EXPECT_EQ(TheSession.Refusal, FlashMergeRefused);

    // The next session starts with no reason left over.
    start(1);
    EXPECT_EQ(Write(), 1);
    EXPECT_EQ(TheSession.Refusal, FlashNotRefused);
}

}  // namespace
