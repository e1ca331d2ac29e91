// pelmixctl and the files it is given: an earlier backup is kept, a failed
// write leaves it whole, only regular files are backups, the backup is never
// the image, and restore saves what the chip held and asks about a file
// that cannot be a BIOS.
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "tool_run.h"

namespace {

const std::string Samples = DORVANE_BIOS_SAMPLE_DIR;

// One card at 1:00.0 whose chip (part) starts with image, in a folder of
// its own; extra lines (faults) follow.
struct Card {
    std::string Dir, Machine, Chip, Backup;

    Card(const std::string& name, const char* part, const std::string& image, const std::string& extra = "")
    {
        Dir = Folder() + "/files-" + name;
        RunProgram("rm -rf", Dir);
        RunProgram("mkdir -p", Dir);
        Machine = Dir + "/bench.machine";
        Chip = Dir + "/card.rom";
        Backup = Dir + "/backup.bin";
        WriteAll(Chip, image);
        WriteAll(Machine,
                 std::string("pci 1:00.0 id=1D2E:0C61 bar0=0xE0000008/64M bar1=0xE4000000/16K flash=") + part +
                     " image=card.rom\n" + extra);
    }
    // prefix: shell words before the program (a limit, a terminal).
    RunResult Run(const std::string& arguments, const std::string& prefix = "") const
    {
        return RunProgram(prefix + PELMIXCTL_PATH, "--json --machine " + Machine + " " + arguments);
    }
};

bool Exists(const std::string& path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

std::string Board()
{
    return ReadAll(Samples + "/stored-128k.rom");
}

// A stuck byte ends the first run with exit 3 and the original in the
// backup; the retry with --force, which the tool asks for, backs up the
// half-written chip and keeps the original beside it, by name.
TEST(PelmixctlBackupFiles, ARetryAfterRecoveryKeepsTheOriginal)
{
    std::string board = Board();
    Card card("retry", "D5BF", board, "fault stuck 1:00.0 0x1234\n");
    RunResult first = card.Run("flash 1:00.0 --inbuilt --backup " + card.Backup + " --yes");
    ASSERT_EQ(first.ExitCode, 3) << first.Out;
    ASSERT_TRUE(ReadAll(card.Backup) == board);
    std::string broken = ReadAll(card.Chip);
    ASSERT_TRUE(broken != board);

    RunResult retry = card.Run("flash 1:00.0 --inbuilt --backup " + card.Backup + " --yes --force");
    EXPECT_NE(retry.ExitCode, 0) << retry.Out;
    EXPECT_TRUE(ReadAll(card.Backup + ".1") == board) << "the original is gone";
    EXPECT_TRUE(ReadAll(card.Backup) == broken) << "the backup holds what the chip held at the retry";
    EXPECT_TRUE(Has(retry.Out, "\"kept\":\"" + card.Backup + ".1\"")) << retry.Out;
    EXPECT_TRUE(
        Has(retry.Out, "the earlier " + card.Backup + " held other bytes and was kept as " + card.Backup + ".1"))
        << retry.Out;

    // backup --force of the same chip: the file already holds it and stays.
    RunResult again = card.Run("backup 1:00.0 " + card.Backup + " --force");
    EXPECT_EQ(again.ExitCode, 0) << again.Out;
    EXPECT_FALSE(Has(again.Out, "\"kept\"")) << again.Out;
    EXPECT_FALSE(Exists(card.Backup + ".2"));
    EXPECT_FALSE(Exists(card.Backup + ".part"));
}

// A file-size limit below one image stands in for a disk that fills up:
// the earlier backup stays whole, nothing of the new one is left, and flash
// never reaches the chip.
TEST(PelmixctlBackupFiles, AFailedWriteLeavesTheEarlierBackupWhole)
{
    std::string board = Board();
    std::string earlier = ReadAll(Samples + "/legacy-128k.rom");
    Card card("limit", "D5BF", board);
    // 64 blocks: 32 KB for sh, 64 KB for bash; either way less than a backup.
    const std::string limit = "ulimit -f 64; ";
    for (const char* command : {"backup 1:00.0 ", "flash 1:00.0 --inbuilt --yes --backup "}) {
        WriteAll(card.Backup, earlier);
        RunResult run = card.Run(command + card.Backup + " --force", limit);
        EXPECT_EQ(run.ExitCode, 1) << command << run.Out << run.Err;
        EXPECT_TRUE(Has(run.Out, "could not be written whole")) << run.Out;
        EXPECT_TRUE(ReadAll(card.Backup) == earlier) << command << ": the earlier backup was not kept whole";
        EXPECT_FALSE(Exists(card.Backup + ".part")) << command;
        EXPECT_FALSE(Exists(card.Backup + ".1")) << command;
        EXPECT_FALSE(Has(run.Out, "{\"step\":\"write\"")) << command;
        EXPECT_TRUE(ReadAll(card.Chip) == board) << command;
    }
}

// Only a regular file is a backup: a link to a device, or a folder, is
// refused before the card is read and is neither written nor removed. A
// file that cannot be read still exists and needs --force.
TEST(PelmixctlBackupFiles, OnlyARegularFileIsABackup)
{
    std::string board = Board();
    Card card("kinds", "D5BF", board);
    std::string link = card.Dir + "/null.bin", folder = card.Dir + "/folder.bin";
    ASSERT_EQ(symlink("/dev/null", link.c_str()), 0);
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    for (const std::string& path : {link, folder}) {
        for (const std::string& command : {"backup 1:00.0 " + path, "flash 1:00.0 --inbuilt --yes --backup " + path}) {
            RunResult run = card.Run(command + " --force");
            EXPECT_EQ(run.ExitCode, 1) << command << run.Out;
            EXPECT_TRUE(Has(run.Out, "the backup " + path + " is not a regular file (a folder or a device)"))
                << run.Out;
            EXPECT_FALSE(Has(run.Out, "{\"step\":\"backup\"")) << "the card was read: " << run.Out;
        }
    }
    struct stat info;
    ASSERT_EQ(lstat(link.c_str(), &info), 0) << "the link was removed";
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
    EXPECT_EQ(stat(folder.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_TRUE(ReadAll(card.Chip) == board);

    // A file that can be written but not read. Root reads it all the same
    // unless it gives up overriding permissions.
    std::string prefix;
    if (geteuid() == 0) {
        if (RunProgram("test -x /usr/bin/setpriv", "").ExitCode != 0)
            GTEST_SKIP() << "no setpriv(1) to run without root's file access";
        prefix = "setpriv --bounding-set=-dac_override,-dac_read_search ";
    }
    WriteAll(card.Backup, "write-only backup");
    ASSERT_EQ(chmod(card.Backup.c_str(), 0200), 0);
    RunResult run = card.Run("backup 1:00.0 " + card.Backup, prefix);
    chmod(card.Backup.c_str(), 0644);
    EXPECT_EQ(run.ExitCode, 1) << run.Out << run.Err;
    EXPECT_TRUE(Has(run.Out, "exists; --force replaces it")) << run.Out;
    EXPECT_TRUE(ReadAll(card.Backup) == "write-only backup");
}

// flash IMAGE --backup IMAGE would save the chip over the image before
// reading it: refused, by the same text or the same file under another name.
TEST(PelmixctlBackupFiles, TheBackupIsNeverTheImage)
{
    std::string board = Board();
    std::string image = ReadAll(Samples + "/legacy-128k.rom");
    Card card("same", "D5BF", board);
    std::string path = card.Dir + "/new.bin", hard = card.Dir + "/hard.bin";
    WriteAll(path, image);
    ASSERT_EQ(link(path.c_str(), hard.c_str()), 0);
    for (const std::string& backup : {path, card.Dir + "/./new.bin", hard}) {
        RunResult run = card.Run("flash 1:00.0 " + path + " --no-merge --backup " + backup + " --yes --force");
        EXPECT_EQ(run.ExitCode, 1) << backup << run.Out;
        EXPECT_TRUE(Has(run.Out, "the backup " + backup + " and the image " + path + " are the same file")) << run.Out;
        EXPECT_FALSE(Has(run.Out, "{\"step\":\"backup\"")) << run.Out;
        EXPECT_TRUE(ReadAll(path) == image) << backup;
        EXPECT_TRUE(ReadAll(card.Chip) == board) << backup;
    }
}

// restore first saves what the chip holds, beside the file, by name.
TEST(PelmixctlBackupFiles, RestoreSavesTheChipFirst)
{
    std::string board = Board();
    std::string image = ReadAll(Samples + "/legacy-128k.rom");
    Card card("before-restore", "D5BF", image);
    WriteAll(card.Backup, board);
    std::string before = card.Backup + ".before-restore";
    RunResult run = card.Run("restore 1:00.0 " + card.Backup + " --yes");
    EXPECT_EQ(run.ExitCode, 0) << run.Out;
    EXPECT_TRUE(ReadAll(card.Chip) == board);
    EXPECT_TRUE(ReadAll(before) == image);
    EXPECT_TRUE(Has(run.Out, "{\"step\":\"backup-file\",\"file\":\"" + before + "\"")) << run.Out;

    // Again, from another backup: the earlier saved chip is kept too.
    WriteAll(card.Backup, image);
    run = card.Run("restore 1:00.0 " + card.Backup + " --yes");
    EXPECT_EQ(run.ExitCode, 0) << run.Out;
    EXPECT_TRUE(ReadAll(card.Chip) == image);
    EXPECT_TRUE(ReadAll(before) == board);
    EXPECT_TRUE(ReadAll(before + ".1") == image);
}

// A file that is blank or fails its checksum is asked about again, naming
// the problem; --yes alone is refused with the chip untouched, --force
// writes it. On a terminal the second question must be answered y too.
TEST(PelmixctlBackupFiles, ADoubtfulRestoreIsAskedAgain)
{
    std::string board = Board();
    std::string noise(131072, '\0');
    unsigned seed = 12345;
    for (char& c : noise) {
        seed = seed * 1103515245u + 12345u;
        c = char(seed >> 16);
    }
    noise[0] = 0x55;
    noise[1] = char(0xAA);
    struct Case {
        const char* Name;
        std::string File;
        std::string Says;
        int ForceWrites;  // all zeros is also refused as a blank table, as in the wizard
    };
    const Case cases[] = {
        {"noise", noise, " fails its checksum over the chip's 131072 bytes (and over 4480 less)", 1},
        {"blank-ff", std::string(131072, char(0xFF)), " is blank (all 131072 bytes 0xFF)", 1},
        {"blank-00", std::string(131072, '\0'), " is blank (all 131072 bytes 0x00)", 0},
    };
    for (const Case& c : cases) {
        Card card(std::string("doubt-") + c.Name, "D5BF", board);
        std::string file = card.Dir + "/restore.bin";
        WriteAll(file, c.File);
        RunResult run = card.Run("restore 1:00.0 " + file + " --yes");
        EXPECT_EQ(run.ExitCode, 1) << c.Name << run.Out;
        EXPECT_TRUE(Has(run.Out, file + c.Says)) << run.Out;
        EXPECT_TRUE(Has(run.Out, "--force writes it all the same")) << run.Out;
        EXPECT_FALSE(Has(run.Out, "{\"step\":\"write\"")) << run.Out;
        EXPECT_TRUE(ReadAll(card.Chip) == board) << c.Name;
        EXPECT_TRUE(ReadAll(file + ".before-restore") == board) << c.Name;

        run = card.Run("restore 1:00.0 " + file + " --yes --force");
        EXPECT_EQ(run.ExitCode, c.ForceWrites ? 0 : 1) << c.Name << run.Out;
        EXPECT_TRUE(ReadAll(card.Chip) == (c.ForceWrites ? c.File : board)) << c.Name;
    }

    if (RunProgram("test -x /usr/bin/script", "").ExitCode != 0)
        GTEST_SKIP() << "no script(1) to make a terminal";
    for (const char* answers : {"y\\nn", "y\\ny"}) {
        Card card(std::string("doubt-terminal-") + answers[3], "D5BF", board);
        std::string file = card.Dir + "/restore.bin";
        WriteAll(file, noise);
        RunResult run =
            RunProgram(std::string("printf '") + answers + "\\n' | script -qec \"" PELMIXCTL_PATH " --machine " +
                           card.Machine + " restore 1:00.0 " + file + "\"",
                       "/dev/null");
        EXPECT_TRUE(Has(run.Out, "But " + file + " fails its checksum")) << run.Out;
        EXPECT_TRUE(Has(run.Out, "Write it all the same? [y/N] ")) << run.Out;
        bool written = answers[3] == 'y';
        EXPECT_EQ(run.ExitCode, written ? 0 : 1) << run.Out;
        EXPECT_EQ(ReadAll(card.Chip) == board, !written) << answers;
    }
}

// A card the driver cannot read as its chip: no slot free for BAR 0x10, or a
// command register that will not switch memory decoding back on after the
// scan sized the BARs. The driver refuses the read, so neither backup nor
// flash saves anything, and flash never writes the chip.
TEST(PelmixctlBackupFiles, NothingTheDriverRefusesIsSaved)
{
    const struct {
        const char* Name;
        const char* Extra;
    } cases[] = {
        {"no-slot", "pci 0:01.0 id=8086:7191 class=0604 header=01 cfg20=0xFBF08000\n"},
        {"decoding-stays-off", "fault config-ignored 1:00.0 0x04\n"},
    };
    std::string board = Board();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Card card(c.Name, "D5BF", board, c.Extra);
        RunResult backup = card.Run("backup 1:00.0 " + card.Backup);
        EXPECT_EQ(backup.ExitCode, 1) << backup.Out;
        EXPECT_TRUE(Has(backup.Out, "\"step\":\"backup\",\"Status\":5,")) << backup.Out;
        EXPECT_FALSE(Exists(card.Backup));
        EXPECT_FALSE(Exists(card.Backup + ".part"));

        RunResult flash = card.Run("flash 1:00.0 --inbuilt --backup " + card.Backup + " --yes");
        EXPECT_EQ(flash.ExitCode, 1) << flash.Out;
        EXPECT_FALSE(Exists(card.Backup));
        EXPECT_TRUE(ReadAll(card.Chip) == board) << "the chip was written";
    }
}

}  // namespace
