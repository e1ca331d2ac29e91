// pelmixctl's user-level commands end to end on emulated cards: the wizard's
// backup, merge, write, verify and restore sequence, its refusals and its
// exit codes, checked against the chip's image file and biostool's merge.
#include <gtest/gtest.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "pelmix_ioctl.h"
#include "tool_run.h"
#include "user_texts.h"

namespace {

const std::string Samples = DORVANE_BIOS_SAMPLE_DIR;

// A message of the wizard's as pelmixctl --json reports it, whole.
std::string JsonMessage(const TextRef& text)
{
    std::string quoted = "\"message\":\"";
    for (const char* c = text.Default; *c; ++c)
        quoted += *c == '\n' ? std::string("\\u000a") : std::string(1, *c);
    return quoted + "\"";
}

RunResult Pelmixctl(const std::string& arguments)
{
    return RunProgram(PELMIXCTL_PATH, arguments);
}

// A folder of its own holding a machine with one card at 1:00.0 whose chip
// (part) starts with the bytes of image; extra lines (faults) follow, and
// cardKeys join the card's line.
struct Bench {
    std::string Dir, Machine, Chip, Backup;

    Bench(const std::string& name, const char* part, const std::string& image, const std::string& extra = "",
          const std::string& cardKeys = "")
    {
        Dir = Folder() + "/" + name;
        RunProgram("mkdir -p", Dir);
        Machine = Dir + "/bench.machine";
        Chip = Dir + "/card.rom";
        Backup = Dir + "/backup.bin";
        remove(Backup.c_str());
        WriteAll(Chip, image);
        WriteAll(Machine,
                 std::string("pci 1:00.0 id=1D2E:0C61 bar0=0xE0000008/64M bar1=0xE4000000/16K flash=") + part +
                     " image=card.rom " + cardKeys + "\n" + extra);
    }
    RunResult Run(const std::string& arguments) const
    {
        return Pelmixctl("--json --machine " + Machine + " " + arguments);
    }
};

// The number after "key": in a JSON line, or -1.
long Number(const std::string& line, const std::string& key)
{
    size_t at = line.find("\"" + key + "\":");
    return at == std::string::npos ? -1 : atol(line.c_str() + at + key.size() + 3);
}

std::string StepLine(const std::string& out, const std::string& step)
{
    for (const std::string& line : Lines(out)) {
        if (Has(line, "{\"step\":\"" + step + "\""))
            return line;
    }
    return "";
}

// Each chip kind: the chip ends up holding exactly what biostool's merge of
// the in-built image with the card's image gives, the backup holds the old
// chip, and the write kept the screen stopped no longer than announced.
TEST(PelmixctlFlash, TheInBuiltImageIsMergedAndVerifiedOnEveryChipKind)
{
    struct Case {
        const char* Part;
        const char* Board;
        size_t Size;
    };
    const Case cases[] = {
        {"08BF", "stored-128k.rom", 131072}, {"351F", "legacy-128k.rom", 131072}, {"D5BF", "stored-128k.rom", 131072},
        {"D4BF", "legacy-64k.rom", 65536},   {"2320", "stored-128k.rom", 131072}, {"noid", "legacy-128k.rom", 131072},
    };
    for (const Case& c : cases) {
        std::string board = ReadAll(Samples + "/" + c.Board);
        ASSERT_EQ(board.size(), c.Size) << c.Board;
        Bench bench(std::string("kind-") + c.Part, c.Part, board);
        std::string merged = bench.Dir + "/merged.bin";
        RunResult merge = RunProgram(BIOSTOOL_PATH,
                                     "merge " + bench.Chip + " " + Samples + "/inbuilt.bin " + merged + " --length " +
                                         std::to_string(c.Size));
        ASSERT_EQ(merge.ExitCode, 0) << merge.Err;

        RunResult run = bench.Run("flash 1:00.0 --inbuilt --backup " + bench.Backup + " --yes");
        EXPECT_EQ(run.ExitCode, 0) << c.Part << run.Out << run.Err;
        EXPECT_EQ(ReadAll(bench.Chip), ReadAll(merged)) << c.Part;
        std::string backup = ReadAll(bench.Backup);
        ASSERT_EQ(backup.size(), 131072u) << c.Part;
        EXPECT_EQ(backup.substr(0, c.Size), board) << c.Part;

        std::string write = StepLine(run.Out, "write");
        EXPECT_EQ(Number(write, "Status"), PELMIX_RESULT_OK) << write;
        EXPECT_GT(Number(write, "held_us"), 0) << write;
        EXPECT_LE(Number(write, "held_us"), Number(write, "expected_ms") * 1000) << c.Part << write;
        EXPECT_LE(Number(StepLine(run.Out, "backup"), "held_us"),
                  Number(StepLine(run.Out, "backup"), "expected_ms") * 1000);
        EXPECT_TRUE(Has(StepLine(run.Out, "merge"), "\"result\":\"merged\""));
        EXPECT_TRUE(Has(StepLine(run.Out, "verify"), "\"result\":\"verified\""));
        EXPECT_TRUE(Has(StepLine(run.Out, "result"), "\"exit\":0")) << run.Out;
        EXPECT_EQ(StepLine(run.Out, "restore"), "") << "nothing to restore";

        // The backup puts the old image back, verified; verify tells the two apart.
        EXPECT_EQ(bench.Run("verify 1:00.0 " + merged).ExitCode, 0) << c.Part;
        RunResult restore = bench.Run("restore 1:00.0 " + bench.Backup + " --yes");
        EXPECT_EQ(restore.ExitCode, 0) << c.Part << restore.Out;
        EXPECT_EQ(ReadAll(bench.Chip), board) << c.Part;
        RunResult differs = bench.Run("verify 1:00.0 " + merged);
        EXPECT_EQ(differs.ExitCode, 1) << c.Part;
        EXPECT_TRUE(Has(differs.Out, "\"result\":\"different\",\"first_difference\":")) << differs.Out;
    }
}

// Refusals before the chip is touched: exit 1 and the chip as it was.
TEST(PelmixctlFlash, RefusalsLeaveTheChipUntouched)
{
    std::string board = ReadAll(Samples + "/stored-128k.rom");
    std::string bad = board;
    bad[0x300] ^= 0x01;  // fails the image test
    struct Case {
        const char* Name;
        std::string Arguments;  // after "flash 1:00.0 "
        std::string Says;
        bool BackupLeft;  // made before the refusal
    };
    Bench probe("refusals", "D5BF", board);
    WriteAll(probe.Dir + "/bad.bin", bad);
    const std::string legacy = Samples + "/legacy-128k.rom";
    const Case cases[] = {
        {"merge refused", legacy + " --backup " + probe.Backup + " --yes",
         "\"reason\":\"the new image keeps its table in the legacy layout\"", true},
        {"bad checksum", probe.Dir + "/bad.bin --backup " + probe.Backup + " --yes", JsonMessage(TextSourceBiosCsErr),
         true},
        {"missing image", probe.Dir + "/absent.bin --backup " + probe.Backup + " --yes", JsonMessage(TextNoBiosImage),
         true},
        {"blank without merge", Samples + "/inbuilt.bin --no-merge --backup " + probe.Backup + " --yes",
         JsonMessage(TextMustMergeOnBlank), true},
        {"no terminal, no --yes", "--inbuilt --backup " + probe.Backup + " < /dev/null",
         "no terminal to confirm the write on: give --yes", false},
        {"no --backup", "--inbuilt --yes", "flash needs --backup FILE", false},
        {"image and --inbuilt", legacy + " --inbuilt --backup " + probe.Backup, "an IMAGE and --inbuilt both given",
         false},
    };
    for (const Case& c : cases) {
        Bench bench("refusals", "D5BF", board);
        RunResult run = bench.Run("flash 1:00.0 " + c.Arguments);
        EXPECT_EQ(run.ExitCode, 1) << c.Name << run.Out << run.Err;
        EXPECT_TRUE(Has(run.Out + run.Err, c.Says)) << c.Name << ": " << run.Out << run.Err;
        EXPECT_EQ(StepLine(run.Out, "write"), "") << c.Name;
        EXPECT_EQ(ReadAll(bench.Chip), board) << c.Name;
        EXPECT_EQ(ReadAll(bench.Backup).size(), c.BackupLeft ? 131072u : 0u) << c.Name;
    }
}

// An existing backup is never replaced without --force, and the chip stays.
TEST(PelmixctlFlash, AnExistingBackupNeedsForce)
{
    std::string board = ReadAll(Samples + "/stored-128k.rom");
    Bench bench("force", "08BF", board);
    WriteAll(bench.Backup, "an older backup");
    for (const char* command : {"flash 1:00.0 --inbuilt --yes --backup ", "backup 1:00.0 "}) {
        RunResult run = bench.Run(command + bench.Backup);
        EXPECT_EQ(run.ExitCode, 1) << command;
        EXPECT_TRUE(Has(run.Out, "exists; --force replaces it")) << run.Out;
        EXPECT_EQ(ReadAll(bench.Backup), "an older backup");
        EXPECT_EQ(ReadAll(bench.Chip), board);
    }
    RunResult forced = bench.Run("backup 1:00.0 " + bench.Backup + " --force");
    EXPECT_EQ(forced.ExitCode, 0) << forced.Out;
    EXPECT_EQ(ReadAll(bench.Backup).substr(0, board.size()), board);
}

// The backup command reports the card's checksum three ways, with the
// version text, and the file read back from disk.
TEST(PelmixctlFlash, BackupReportsTheChecksumAndVersion)
{
    std::string valid = ReadAll(Samples + "/stored-128k.rom");
    // Sum 0 only over the length less 4480: repaired there, a tail byte off.
    std::string shorter = valid;
    unsigned sum = 0;
    shorter[0x10] = 0;
    for (size_t i = 0; i < shorter.size() - 4480; ++i)
        sum += static_cast<unsigned char>(shorter[i]);
    shorter[0x10] = static_cast<char>((256 - sum % 256) % 256);
    shorter[shorter.size() - 1] ^= 0x40;
    std::string invalid = valid;
    invalid[0x500] ^= 0x01;
    struct Case {
        const std::string* Image;
        const char* Result;
    };
    const Case cases[] = {{&valid, "valid"}, {&shorter, "valid over length less 4480"}, {&invalid, "invalid"}};
    for (const Case& c : cases) {
        Bench bench("report", "D5BF", *c.Image);
        RunResult run = bench.Run("backup 1:00.0 " + bench.Backup);
        EXPECT_EQ(run.ExitCode, 0) << c.Result << run.Out;
        EXPECT_TRUE(Has(StepLine(run.Out, "checksum"),
                        std::string("\"result\":\"") + c.Result + "\",\"version\":\"ORVEL II AGP 16MB Bios Rev "))
            << run.Out;
        EXPECT_TRUE(Has(StepLine(run.Out, "backup-file"), "\"bytes\":131072,\"result\":\"equal\"")) << run.Out;
        EXPECT_EQ(ReadAll(bench.Backup), *c.Image);
    }
}

// A byte that fails the first write: the old image goes back, verified
// (exit 2). One that never takes: the card needs recovery (exit 3), and the
// message names the backup and the command that puts it back.
TEST(PelmixctlFlash, AFailedWriteRestoresTheOldImageOrAsksForRecovery)
{
    std::string board = ReadAll(Samples + "/stored-128k.rom");
    for (const char* part : {"08BF", "D5BF"}) {
        Bench once(std::string("stuck-once-") + part, part, board, "fault stuck 1:00.0 0x1234 1\n");
        RunResult run = once.Run("flash 1:00.0 --inbuilt --backup " + once.Backup + " --yes");
        EXPECT_EQ(run.ExitCode, 2) << part << run.Out;
        EXPECT_EQ(Number(StepLine(run.Out, "write"), "Status"), PELMIX_RESULT_PROGRAM_TIMEOUT) << run.Out;
        EXPECT_EQ(Number(StepLine(run.Out, "restore"), "Status"), PELMIX_RESULT_OK) << run.Out;
        EXPECT_TRUE(Has(run.Out, "{\"step\":\"verify\",\"image\":\"old\",\"result\":\"verified\"}")) << run.Out;
        EXPECT_EQ(ReadAll(once.Chip), board) << part;

        // No terminal (a script): the command printed carries --yes.
        Bench stuck(std::string("stuck-") + part, part, board, "fault stuck 1:00.0 0x1234\n");
        run = stuck.Run("flash 1:00.0 --inbuilt --backup " + stuck.Backup + " --yes </dev/null");
        EXPECT_EQ(run.ExitCode, 3) << part << run.Out;
        std::string command = "pelmixctl --machine " + stuck.Machine + " restore 1:00.0 " + stuck.Backup + " --yes";
        EXPECT_TRUE(Has(run.Out, "needs recovery")) << run.Out;
        EXPECT_TRUE(Has(run.Out, "The backup is " + stuck.Backup + "; put it back with:\\u000a  " + command))
            << run.Out;
        EXPECT_TRUE(Has(StepLine(run.Out, "result"), "\"restore_command\":\"" + command + "\"")) << run.Out;
        EXPECT_EQ(ReadAll(stuck.Backup).substr(0, board.size()), board);

        // Once the chip takes writes again, the command runs as printed,
        // still without a terminal, and puts the backup back over a chip
        // left half written.
        WriteAll(stuck.Machine, ReadAll(stuck.Machine).substr(0, ReadAll(stuck.Machine).find("fault")));
        WriteAll(stuck.Chip, board.substr(0, board.size() / 2) + std::string(board.size() / 2, '\xFF'));
        std::string result = StepLine(run.Out, "result");
        size_t at = result.find("\"restore_command\":\"");
        ASSERT_NE(at, std::string::npos) << result;
        std::string printed = result.substr(at + 19, result.find('"', at + 19) - at - 19);
        std::string path = std::string(PELMIXCTL_PATH).substr(0, std::string(PELMIXCTL_PATH).rfind('/'));
        RunResult again = RunProgram("PATH=\"" + path + ":$PATH\" " + printed, "</dev/null");
        EXPECT_EQ(again.ExitCode, 0) << part << again.Out << again.Err;
        EXPECT_EQ(ReadAll(stuck.Chip), board) << part;
    }
}

// A card whose own image fails its checksum: restore would ask about that
// backup, so the command printed for a script carries --force as well, and
// runs as printed.
TEST(PelmixctlFlash, TheRestoreCommandOfABadChecksumBackupRunsAsPrinted)
{
    std::string board = ReadAll(Samples + "/stored-128k.rom");
    board[0x600] ^= 0x01;
    Bench stuck("stuck-bad-card", "08BF", board, "fault stuck 1:00.0 0x1234\n");
    RunResult run = stuck.Run("flash 1:00.0 " + Samples + "/legacy-128k.rom --no-merge --backup " + stuck.Backup +
                              " --yes </dev/null");
    EXPECT_EQ(run.ExitCode, 3) << run.Out;
    std::string command = "pelmixctl --machine " + stuck.Machine + " restore 1:00.0 " + stuck.Backup + " --yes --force";
    EXPECT_TRUE(Has(StepLine(run.Out, "result"), "\"restore_command\":\"" + command + "\"")) << run.Out;

    WriteAll(stuck.Machine, ReadAll(stuck.Machine).substr(0, ReadAll(stuck.Machine).find("fault")));
    std::string path = std::string(PELMIXCTL_PATH).substr(0, std::string(PELMIXCTL_PATH).rfind('/'));
    RunResult again = RunProgram("PATH=\"" + path + ":$PATH\" " + command, "</dev/null");
    EXPECT_EQ(again.ExitCode, 0) << again.Out << again.Err;
    EXPECT_EQ(ReadAll(stuck.Chip), board);
}

// A card left without a whole image: standard error says first to keep the
// computer on, then how the backup goes back and what to do when that fails
// again, all in the command line's own words; standard output holds the
// steps alone, and with --json only JSON objects.
TEST(PelmixctlFlash, ACardThatNeedsRecoveryIsToldOnStandardError)
{
    std::string board = ReadAll(Samples + "/stored-128k.rom");
    for (const char* json : {"", "--json "}) {
        Bench stuck(std::string("recovery-words") + (json[0] ? "-json" : ""), "08BF", board,
                    "fault stuck 1:00.0 0x1234\n");
        RunResult run = Pelmixctl(json + std::string("--machine ") + stuck.Machine +
                                  " flash 1:00.0 --inbuilt --backup " + stuck.Backup + " --yes </dev/null");
        EXPECT_EQ(run.ExitCode, 3) << run.Out << run.Err;
        std::string command = "pelmixctl --machine " + stuck.Machine + " restore 1:00.0 " + stuck.Backup + " --yes";
        size_t keepOn = run.Err.find("error: keep this computer on and do not restart it: the card at 1:00.0 needs "
                                     "recovery.");
        size_t backup = run.Err.find("The backup is " + stuck.Backup + "; put it back with:\n  " + command + "\n");
        size_t again = run.Err.find("Should that restore end with exit 3 again, run it once more.");
        size_t bench = run.Err.find("put the card into another computer");
        ASSERT_NE(keepOn, std::string::npos) << run.Err;
        EXPECT_TRUE(keepOn < backup && backup < again && again < bench && bench != std::string::npos) << run.Err;
        EXPECT_TRUE(Has(run.Err,
                        "warning: the new image could not be written (Status 6); the old image goes back "
                        "on the card now\n"))
            << run.Err;
        EXPECT_TRUE(Has(run.Err, "error: the old image could not be written back (Status 6)\n")) << run.Err;
        for (const std::string& text : {run.Out, run.Err}) {
            EXPECT_FALSE(Has(text, "Click OK")) << text;
            EXPECT_FALSE(Has(text, "Exiting")) << text;
        }
        for (const std::string& line : Lines(run.Out)) {
            if (json[0])
                EXPECT_EQ(line[0], '{') << line;
            else
                EXPECT_FALSE(Has(line, "error: ") || Has(line, "warning: ")) << line;
        }
    }

    // A read-back that differs, restored: its words, and no "Exiting...".
    Bench corrupt("recovery-words-corrupt", "08BF", board, "fault corrupt 1:00.0 0x1234 1\n");
    RunResult run = Pelmixctl("--machine " + corrupt.Machine + " flash 1:00.0 --inbuilt --backup " + corrupt.Backup +
                              " --yes </dev/null");
    EXPECT_EQ(run.ExitCode, 2) << run.Out << run.Err;
    EXPECT_TRUE(Has(run.Err, "error: the chip read back after the write differs from the image written\n")) << run.Err;
    EXPECT_FALSE(Has(run.Out + run.Err, "Exiting")) << run.Out << run.Err;
}

// restore's own write that fails puts back what the chip held before, and
// says so by the name of that copy, not of the file it was to write.
TEST(PelmixctlFlash, AFailedRestoreNamesTheCopyItPutBack)
{
    std::string board = ReadAll(Samples + "/stored-128k.rom");
    Bench once("restore-stuck-once", "08BF", board, "fault stuck 1:00.0 0x1234 1\n");
    std::string other = board;
    other[0x1234] = char(other[0x1234] + 1);
    other[0x1235] = char(other[0x1235] - 1);  // the checksum holds still
    WriteAll(once.Backup, other);
    RunResult run = Pelmixctl("--machine " + once.Machine + " restore 1:00.0 " + once.Backup + " --yes");
    EXPECT_EQ(run.ExitCode, 2) << run.Out << run.Err;
    EXPECT_TRUE(
        Has(run.Err, "the card's old image is back on it and verified (saved as " + once.Backup + ".before-restore)"))
        << run.Err;
    EXPECT_EQ(ReadAll(once.Chip), board);
    EXPECT_EQ(ReadAll(once.Backup + ".before-restore"), board);
}

// On a terminal the printed command asks before it writes, as the guide
// shows it.
TEST(PelmixctlFlash, OnATerminalTheRestoreCommandAsks)
{
    if (RunProgram("test -x /usr/bin/script", "").ExitCode != 0)
        GTEST_SKIP() << "no script(1) to make a terminal";
    std::string board = ReadAll(Samples + "/stored-128k.rom");
    Bench stuck("stuck-terminal", "08BF", board, "fault stuck 1:00.0 0x1234\n");
    RunResult run = RunProgram("script -qec \"" PELMIXCTL_PATH " --machine " + stuck.Machine +
                                   " flash 1:00.0 --inbuilt --backup " + stuck.Backup + " --yes\"",
                               "/dev/null </dev/null");
    EXPECT_TRUE(
        Has(run.Out,
            "put it back with:\r\n  pelmixctl --machine " + stuck.Machine + " restore 1:00.0 " + stuck.Backup + "\r\n"))
        << run.Out;
}

// The step names of a run's JSON lines, in order.
std::vector<std::string> Steps(const std::string& out)
{
    std::vector<std::string> steps;
    for (const std::string& line : Lines(out)) {
        size_t at = line.find("{\"step\":\"");
        if (at == 0)
            steps.push_back(line.substr(9, line.find('"', 9) - 9));
    }
    return steps;
}

// A read-back that goes wrong once: the verification fails, the old image
// goes back and is read back equal (exit 2). Wrong twice: the restored image
// does not read back either, the wizard's restore text says so and the card
// needs recovery (exit 3). The steps are the ones the wizard takes.
TEST(PelmixctlFlash, AFailedVerificationRestoresTheOldImageAndReadsItBack)
{
    std::string board = ReadAll(Samples + "/stored-128k.rom");
    const std::vector<std::string> steps = {"backup",    "checksum", "backup-file", "checksum", "merge",  "write",
                                            "read-back", "verify",   "restore",     "read",     "verify", "result"};
    for (const char* part : {"08BF", "D5BF"}) {
        Bench once(std::string("corrupt-once-") + part, part, board, "fault corrupt 1:00.0 0x1234 1\n");
        RunResult run = once.Run("flash 1:00.0 --inbuilt --backup " + once.Backup + " --yes");
        EXPECT_EQ(run.ExitCode, 2) << part << run.Out;
        EXPECT_TRUE(Has(run.Out, "{\"step\":\"verify\",\"result\":\"failed\"}")) << run.Out;
        EXPECT_EQ(Number(StepLine(run.Out, "restore"), "Status"), PELMIX_RESULT_OK) << run.Out;
        EXPECT_TRUE(Has(run.Out, "{\"step\":\"verify\",\"image\":\"old\",\"result\":\"verified\"}")) << run.Out;
        EXPECT_TRUE(Has(run.Out, "\"message\":\"the chip read back after the write differs from the image written\""))
            << run.Out;
        EXPECT_FALSE(Has(run.Out, "could not be written back")) << run.Out;
        EXPECT_EQ(Steps(run.Out), steps) << run.Out;
        EXPECT_EQ(ReadAll(once.Chip), board) << part;
        EXPECT_EQ(ReadAll(once.Backup).substr(0, board.size()), board);

        Bench twice(std::string("corrupt-twice-") + part, part, board, "fault corrupt 1:00.0 0x1234 2\n");
        run = twice.Run("flash 1:00.0 --inbuilt --backup " + twice.Backup + " --yes");
        EXPECT_EQ(run.ExitCode, 3) << part << run.Out;
        EXPECT_TRUE(Has(run.Out, "\"message\":\"the old image could not be written back and read back equal\""))
            << run.Out;
        EXPECT_TRUE(Has(run.Out, "{\"step\":\"verify\",\"image\":\"old\",\"result\":\"failed\"}")) << run.Out;
        EXPECT_TRUE(Has(run.Out, "needs recovery")) << run.Out;
        EXPECT_EQ(Steps(run.Out), steps) << run.Out;
        EXPECT_EQ(ReadAll(twice.Chip), board) << "the chip holds the old image, its reads went wrong";
    }
}

// An image whose option ROM declares more than the chip holds is refused
// before the chip is touched, merged or not; the in-built image, which
// declares 49,664 bytes, goes on the 64-KB chip.
TEST(PelmixctlFlash, AnImageLongerThanTheChipIsRefused)
{
    std::string board = ReadAll(Samples + "/legacy-64k.rom");
    std::string image = ReadAll(Samples + "/stored-128k.rom");
    image[2] = static_cast<char>(0xF8);  // 126,976 bytes
    unsigned sum = 0;
    image[0x10] = 0;
    for (char c : image)
        sum += static_cast<unsigned char>(c);
    image[0x10] = static_cast<char>((256 - sum % 256) % 256);
    for (const char* merge : {"", " --no-merge"}) {
        Bench bench("long-image", "D4BF", board);
        WriteAll(bench.Dir + "/long.bin", image);
        RunResult run =
            bench.Run("flash 1:00.0 " + bench.Dir + "/long.bin" + merge + " --backup " + bench.Backup + " --yes");
        EXPECT_EQ(run.ExitCode, 1) << merge << run.Out;
        EXPECT_TRUE(Has(run.Out, "the image declares 126976 bytes, more than the chip's 65536")) << run.Out;
        EXPECT_FALSE(Has(run.Out, JsonMessage(TextBadBiosMerge))) << "no merge failed" << run.Out;
        EXPECT_EQ(StepLine(run.Out, "write"), "") << run.Out;
        EXPECT_EQ(StepLine(run.Out, "checksum\",\"image\":\"new"), "") << "refused before the confirmation" << run.Out;
        EXPECT_EQ(StepLine(run.Out, "merge"), "") << run.Out;
        EXPECT_EQ(ReadAll(bench.Chip), board);
    }
    Bench inbuilt("long-image-inbuilt", "D4BF", board);
    EXPECT_EQ(inbuilt.Run("flash 1:00.0 --inbuilt --backup " + inbuilt.Backup + " --yes").ExitCode, 0);
}

// A ROM decoder of 64 KB on a 128-KB chip shows only the lower half: the
// driver refuses the whole-chip read and write, so no backup passes for the
// card's and nothing is erased. With a 64-KB chip behind it all works.
TEST(PelmixctlFlash, AChipLargerThanItsRomDecoderIsLeftAlone)
{
    std::string board = ReadAll(Samples + "/stored-128k.rom");
    Bench bench("small-decoder", "D5BF", board, "", "rom=0xE4020000/64K");
    RunResult run = bench.Run("backup 1:00.0 " + bench.Backup);
    EXPECT_EQ(run.ExitCode, 1) << run.Out;
    EXPECT_EQ(Number(StepLine(run.Out, "backup"), "Status"), PELMIX_RESULT_MAP_ROM) << run.Out;
    EXPECT_TRUE(Has(run.Out, "the card's image could not be read")) << run.Out;
    EXPECT_EQ(ReadAll(bench.Backup), "");
    run = bench.Run("flash 1:00.0 --inbuilt --backup " + bench.Backup + " --yes");
    EXPECT_EQ(run.ExitCode, 1) << run.Out;
    EXPECT_EQ(StepLine(run.Out, "write"), "") << run.Out;
    WriteAll(bench.Dir + "/other.bin", ReadAll(Samples + "/legacy-128k.rom"));
    EXPECT_EQ(bench.Run("restore 1:00.0 " + bench.Dir + "/other.bin --yes").ExitCode, 1);
    EXPECT_EQ(ReadAll(bench.Chip), board);

    std::string small = ReadAll(Samples + "/legacy-64k.rom");
    Bench fits("small-decoder-64k", "D4BF", small, "", "rom=0xE4020000/64K");
    EXPECT_EQ(fits.Run("flash 1:00.0 --inbuilt --backup " + fits.Backup + " --yes").ExitCode, 0);
}

// --no-merge writes the file byte for byte; --ignore-checksum lets an image
// that fails its test through and proves it by its bytes alone.
TEST(PelmixctlFlash, NoMergeWritesTheFileAsItIs)
{
    std::string board = ReadAll(Samples + "/stored-128k.rom");
    std::string image = ReadAll(Samples + "/legacy-128k.rom");
    Bench bench("no-merge", "D5BF", board);
    RunResult run =
        bench.Run("flash 1:00.0 " + Samples + "/legacy-128k.rom --no-merge --backup " + bench.Backup + " --yes");
    EXPECT_EQ(run.ExitCode, 0) << run.Out;
    EXPECT_TRUE(Has(StepLine(run.Out, "merge"), "\"result\":\"skipped\"")) << run.Out;
    EXPECT_EQ(ReadAll(bench.Chip), image);

    std::string bad = image;
    bad[0x700] ^= 0x10;
    WriteAll(bench.Dir + "/bad.bin", bad);
    remove(bench.Backup.c_str());
    run = bench.Run("flash 1:00.0 " + bench.Dir + "/bad.bin --no-merge --ignore-checksum --backup " + bench.Backup +
                    " --yes");
    EXPECT_EQ(run.ExitCode, 0) << run.Out;
    EXPECT_EQ(ReadAll(bench.Chip), bad);
}

// A card whose image fails its checksum: nothing is merged from it, and a
// backup of it goes back as it was read, bytes and bad checksum alike, once
// --force answers the question about its checksum.
TEST(PelmixctlFlash, ACardImageWithABadChecksumIsRestoredAsItWas)
{
    std::string board = ReadAll(Samples + "/stored-128k.rom");
    board[0x600] ^= 0x01;
    Bench bench("bad-card", "08BF", board);
    RunResult run = bench.Run("flash 1:00.0 --inbuilt --backup " + bench.Backup + " --yes");
    EXPECT_EQ(run.ExitCode, 1) << run.Out;
    EXPECT_TRUE(Has(run.Out, "its board table cannot be merged")) << run.Out;
    EXPECT_EQ(ReadAll(bench.Chip), board);

    std::string image = ReadAll(Samples + "/legacy-128k.rom");
    remove(bench.Backup.c_str());
    run = bench.Run("flash 1:00.0 " + Samples + "/legacy-128k.rom --no-merge --backup " + bench.Backup + " --yes");
    EXPECT_EQ(run.ExitCode, 0) << run.Out;
    EXPECT_EQ(ReadAll(bench.Chip), image);
    run = bench.Run("restore 1:00.0 " + bench.Backup + " --yes --force");
    EXPECT_EQ(run.ExitCode, 0) << run.Out;
    EXPECT_EQ(ReadAll(bench.Chip), board);
}

// On a terminal the write waits for an answer that names the card, both
// version texts and how long the screen will stop; anything but y keeps
// the chip. script(1) gives pelmixctl a terminal.
TEST(PelmixctlFlash, ATerminalConfirmsTheWrite)
{
    if (RunProgram("test -x /usr/bin/script", "").ExitCode != 0)
        GTEST_SKIP() << "no script(1) to make a terminal";
    std::string board = ReadAll(Samples + "/stored-128k.rom");
    for (const char* answer : {"n", "y"}) {
        Bench bench(std::string("terminal-") + answer, "D5BF", board);
        RunResult run = RunProgram(std::string("echo ") + answer + " | script -qec \"" PELMIXCTL_PATH " --machine " +
                                       bench.Machine + " flash 1:00.0 --inbuilt --backup " + bench.Backup + "\"",
                                   "/dev/null");
        EXPECT_TRUE(Has(run.Out,
                        "Card 1:00.0 (1D2E:0C61, SST39VF010 chip of 128 KB)\r\n"
                        "  now: ORVEL II AGP 16MB Bios Rev 1.01.00.0021\r\n"
                        "  new: ORVEL II AGP Bios Rev 1.02.00.0034 (with this board's table)\r\n"
                        "The screen will stop for up to 5.6 s while the chip is written.\r\n"
                        "Write it? [y/N] "))
            << run.Out;
        EXPECT_TRUE(Has(run.Out, "write: up to 5.6 s with the screen stopped ... Status 0") == (answer[0] == 'y'))
            << run.Out;
        EXPECT_EQ(run.ExitCode, answer[0] == 'y' ? 0 : 1) << run.Out;
        EXPECT_EQ(ReadAll(bench.Chip) == board, answer[0] == 'n');
    }
}

// A chip the identification names is named in the lines and the
// confirmation; one it does not name (Status 15) is said to be not
// identified, not taken for a chip of a name the driver left out.
TEST(PelmixctlFlash, AChipTheIdentificationDoesNotNameIsSaidToBeNotIdentified)
{
    std::string board = ReadAll(Samples + "/stored-128k.rom");
    const std::string notIdentified =
        "chip not identified: written with the page method unless the driver lists its code";
    const struct {
        const char* Part;
        std::string Chip;
    } cases[] = {{"D5BF", "SST39VF010"}, {"noid", notIdentified}, {"171F", notIdentified}};
    for (const auto& c : cases) {
        Bench bench(std::string("chip-words-") + c.Part, c.Part, board);
        RunResult run = bench.Run("flash 1:00.0 --inbuilt --backup " + bench.Backup + " --yes");
        EXPECT_EQ(run.ExitCode, 0) << c.Part << run.Out;
        EXPECT_TRUE(Has(StepLine(run.Out, "checksum"), "\"chip\":\"" + c.Chip + "\"")) << c.Part << run.Out;
    }
    if (RunProgram("test -x /usr/bin/script", "").ExitCode != 0)
        GTEST_SKIP() << "no script(1) to make a terminal";
    Bench bench("chip-words-terminal", "noid", board);
    RunResult run = RunProgram("echo n | script -qec \"" PELMIXCTL_PATH " --machine " + bench.Machine +
                                   " flash 1:00.0 --inbuilt --backup " + bench.Backup + "\"",
                               "/dev/null");
    EXPECT_TRUE(Has(run.Out, "Card 1:00.0 (1D2E:0C61, 128 KB, " + notIdentified + ")\r\n")) << run.Out;
    EXPECT_FALSE(Has(run.Out, "unnamed")) << run.Out;
}

// An image with its PCI data structure ("PCIR" at 0x1F0 in the samples) set
// to vendor:device and a 24-bit class code, its checksum repaired over the
// whole image.
std::string WithPciData(std::string image, uint16_t vendor, uint16_t device, uint32_t classCode)
{
    const size_t at = 0x1F0;
    image[at + 4] = char(vendor & 0xFF);
    image[at + 5] = char(vendor >> 8);
    image[at + 6] = char(device & 0xFF);
    image[at + 7] = char(device >> 8);
    image[at + 0x0D] = char(classCode & 0xFF);
    image[at + 0x0E] = char(classCode >> 8 & 0xFF);
    image[at + 0x0F] = char(classCode >> 16);
    image[0x10] = 0;
    unsigned sum = 0;
    for (char c : image)
        sum += static_cast<unsigned char>(c);
    image[0x10] = char((256 - sum % 256) % 256);
    return image;
}

// flash and restore refuse, unless --force, an image whose PCI data
// structure names a vendor no Orvel card has (a network card's boot ROM) or
// a class other than display, before anything is read or written; another
// device id of a card vendor is written, and an image without the structure
// is written with a warning.
TEST(PelmixctlFlash, AnImageForAnotherDeviceIsRefusedUnlessForced)
{
    std::string board = ReadAll(Samples + "/stored-128k.rom");
    std::string image = ReadAll(Samples + "/legacy-128k.rom");
    ASSERT_EQ(image.substr(0x1F0, 4), "PCIR");
    const std::string refused = "is not a video BIOS for an Orvel card";
    const struct {
        const char* Name;
        std::string Image;
        bool Refused;
        const char* Says;
    } cases[] = {
        {"network", WithPciData(image, 0x8086, 0x100E, 0x020000), true, "names 8086:100E, class 020000"},
        {"other-display", WithPciData(image, 0x10DE, 0x0110, 0x030000), true, "a vendor no Orvel card has"},
        {"orvel-network", WithPciData(image, 0x1E5B, 0x0A51, 0x020000), true, "a class other than display"},
        {"other-orvel", WithPciData(image, 0x1E5B, 0x0A52, 0x030000), false, nullptr},
        {"no-pcir", WithPciData(std::string(image).replace(0x1F0, 4, "XXXX"), 0x1D2E, 0x0C61, 0x030000), false,
         "has no PCI data structure"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Bench bench(std::string("pci-data-") + c.Name, "D5BF", board);
        std::string file = bench.Dir + "/image.bin";
        WriteAll(file, c.Image);
        RunResult run = bench.Run("flash 1:00.0 " + file + " --no-merge --backup " + bench.Backup + " --yes");
        std::string said = run.Out + run.Err;
        EXPECT_EQ(run.ExitCode, c.Refused ? 1 : 0) << said;
        EXPECT_EQ(Has(said, refused), c.Refused) << said;
        if (c.Says) {
            EXPECT_TRUE(Has(said, c.Says)) << said;
        }
        EXPECT_EQ(ReadAll(bench.Chip) == board, c.Refused);
        if (!c.Refused)
            continue;
        EXPECT_EQ(ReadAll(bench.Backup), "") << "refused before the card was read";
        EXPECT_EQ(StepLine(run.Out, "backup"), "") << said;

        run = bench.Run("restore 1:00.0 " + file + " --yes");
        EXPECT_EQ(run.ExitCode, 1) << run.Out + run.Err;
        EXPECT_TRUE(Has(run.Out + run.Err, refused)) << run.Out + run.Err;
        EXPECT_EQ(ReadAll(bench.Chip), board);

        run = bench.Run("flash 1:00.0 " + file + " --no-merge --backup " + bench.Backup + " --yes --force");
        EXPECT_EQ(run.ExitCode, 0) << run.Out + run.Err;
        EXPECT_TRUE(Has(run.Out + run.Err, "written all the same (--force)")) << run.Out + run.Err;
        EXPECT_EQ(ReadAll(bench.Chip), c.Image);
    }

    // A card that held such an image and needs recovery: the printed
    // restore command carries --force, so that it runs as printed.
    std::string network = WithPciData(image, 0x8086, 0x100E, 0x020000);
    Bench held("pci-data-recovery", "D5BF", network, "fault corrupt 1:00.0 0x1234 2\n");
    RunResult run = held.Run("flash 1:00.0 --inbuilt --backup " + held.Backup + " --yes");
    ASSERT_EQ(run.ExitCode, 3) << run.Out + run.Err;
    std::string result = StepLine(run.Out, "result");
    size_t at = result.find("\"restore_command\":\"");
    ASSERT_NE(at, std::string::npos) << result;
    std::string printed = result.substr(at + 19, result.find('"', at + 19) - at - 19);
    EXPECT_TRUE(Has(printed, " --yes --force")) << printed;
    WriteAll(held.Machine, ReadAll(held.Machine).substr(0, ReadAll(held.Machine).find("fault")));
    std::string path = std::string(PELMIXCTL_PATH).substr(0, std::string(PELMIXCTL_PATH).rfind('/'));
    run = RunProgram("PATH=\"" + path + ":$PATH\" " + printed, "</dev/null");
    EXPECT_EQ(run.ExitCode, 0) << printed << run.Out + run.Err;
    EXPECT_EQ(ReadAll(held.Chip), network);
}

// cards tells which card is which: each card's version text and checksum,
// read as the device page's More info reads them, and whether the machine
// left its memory on. A card whose read fails is listed as not read and the
// run exits 1; the chips are only read.
TEST(PelmixctlFlash, CardsTellsEachCardByWhatItsChipHolds)
{
    std::string dir = Folder() + "/cards";
    RunProgram("mkdir -p", dir);
    std::string good = ReadAll(Samples + "/legacy-128k.rom");
    std::string broken = ReadAll(Samples + "/inbuilt.bin").substr(0, 0x8000) + std::string(0x18000, '\xFF');
    broken[0x1000] ^= 0x01;  // an incomplete image seldom sums to 0
    WriteAll(dir + "/pci.rom", good);
    WriteAll(dir + "/agp.rom", broken);
    std::string cards =
        "cpus 2\n"
        "pci 0:00.0 id=8086:7190 class=0600 bar0=0xF8000008/64M\n"
        "pci 0:01.0 id=8086:7191 class=0604 header=01 cfg18=0x00010100 cfg20=0xF3F0F000 cfg24=0xEBF0E000\n"
        "pci 0:0a.0 id=1E5B:0A51 class=0300 bar0=0xD0000008/64M bar1=0xD4000000/8K flash=9FDF image=pci.rom\n"
        "pci 1:00.0 id=1D2E:0C62 class=0300 cmd=0000 agp status=0230 bar0=0xE8000008/64M bar1=0xF3000000/16K "
        "rom=0xF3FE0000/128K flash=2320 image=agp.rom\n";
    WriteAll(dir + "/two.machine", cards);
    RunResult run = Pelmixctl("--json --machine " + dir + "/two.machine cards");
    EXPECT_EQ(run.ExitCode, 0) << run.Out + run.Err;
    std::vector<std::string> lines = Lines(run.Out);
    ASSERT_EQ(lines.size(), 3u) << run.Out;
    EXPECT_EQ(lines[0],
              "{\"step\":\"card\",\"target\":\"0:0a.0\",\"id\":\"1E5B:0A51\",\"card\":\"ZT10-E (PCI)\","
              "\"memory\":\"on\",\"Status\":0,\"bytes\":131072,\"checksum\":\"valid\","
              "\"version\":\"ORVEL II AGP 16MB Bios Rev 1.01.00.0021 Kestrel Boards Ltd\"}");
    EXPECT_EQ(lines[1],
              "{\"step\":\"card\",\"target\":\"1:00.0\",\"id\":\"1D2E:0C62\",\"card\":\"Orvel III (AGP)\","
              "\"memory\":\"off\",\"Status\":0,\"bytes\":131072,\"checksum\":\"invalid\","
              "\"version\":\"ORVEL II AGP Bios Rev 1.02.00.0034 Copyright (C) Lumivex Corporation 1998-2001.\"}");
    EXPECT_EQ(lines[2], "{\"step\":\"result\",\"outcome\":\"listed\",\"cards\":2,\"exit\":0}");
    EXPECT_EQ(ReadAll(dir + "/pci.rom"), good);
    EXPECT_EQ(ReadAll(dir + "/agp.rom"), broken);

    WriteAll(dir + "/two.machine", cards + "fault map-rom 1:00.0\n");
    run = Pelmixctl("--json --machine " + dir + "/two.machine cards");
    EXPECT_EQ(run.ExitCode, 1) << run.Out + run.Err;
    EXPECT_TRUE(Has(run.Out,
                    "\"target\":\"1:00.0\",\"id\":\"1D2E:0C62\",\"card\":\"Orvel III (AGP)\","
                    "\"memory\":\"off\",\"Status\":5,\"checksum\":\"not read\"}"))
        << run.Out;
    EXPECT_TRUE(Has(run.Out, "\"outcome\":\"listed, not every card read\",\"cards\":2,\"exit\":1")) << run.Out;

    // On a terminal's line a control byte of a broken text shows as "?".
    std::string odd = good;
    size_t at = odd.find("Bios Rev");
    ASSERT_NE(at, std::string::npos);
    odd[at + 4] = '\x07';
    WriteAll(dir + "/pci.rom", odd);
    run = Pelmixctl("--machine " + dir + "/two.machine cards");
    EXPECT_TRUE(Has(run.Out, "version ORVEL II AGP 16MB Bios?Rev 1.01.00.0021 Kestrel Boards Ltd\n")) << run.Out;

    run = Pelmixctl("--machine " + dir + "/two.machine cards 1:00.0");
    EXPECT_EQ(run.ExitCode, 1) << run.Out + run.Err;
    EXPECT_TRUE(Has(run.Err, "unexpected 1:00.0; usage: pelmixctl cards")) << run.Err;
}

// Usage errors of the user-level commands exit 1, like every refusal.
TEST(PelmixctlFlash, UsageErrorsExitOne)
{
    const char* cases[] = {
        "backup 1:00.0",
        "restore x:00.0 file.bin --yes",
        "verify 1:00.0 a.bin b.bin",
        "backup 1:00.0 file.bin --yes",
        "flash 1:00.0 --inbuilt --backup",
    };
    for (const char* arguments : cases) {
        RunResult run = Pelmixctl("--machine x.machine " + std::string(arguments));
        EXPECT_EQ(run.ExitCode, 1) << arguments;
        EXPECT_TRUE(Has(run.Err, "usage: pelmixctl ")) << arguments << run.Err;
    }
}

}  // namespace
