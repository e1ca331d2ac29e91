// pelmixctl end to end: the real program on sample and generated machines.
#include <gtest/gtest.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "dorvane_version.h"
#include "tool_run.h"

namespace {

RunResult RunTool(const std::string& arguments)
{
    return RunProgram(PELMIXCTL_PATH, arguments);
}

std::string Sample(const char* name)
{
    return std::string("--machine ") + PELMIX_SAMPLES_DIR + "/" + name;
}

TEST(Pelmixctl, JsonEnumListsTheCardsOfEverySample)
{
    struct Case {
        const char* Sample;
        const char* Expected;
    };
    const Case cases[] = {
        {"family1-card.machine",
         "\"Count\":1,\"Entries\":[{\"Bus\":0,\"Device\":10,\"Function\":0,\"VendorId\":7771,"
         "\"DeviceId\":2641,\"SubsystemVendorId\":7771,\"SubsystemId\":1,\"RevisionId\":2,"
         "\"Bar0\":3758096384,\"Bar1\":3825205248,\"RomBar\":3825336320,\"IsAgp\":0,"
         "\"MemoryEnabled\":1,\"Family\":1}]"},
        {"family2-agp-card.machine", "\"IsAgp\":1,\"MemoryEnabled\":1,\"Family\":2}]"},
        {"family3-card.machine", "\"MemoryEnabled\":0,\"Family\":3}]"},
        {"family4-card.machine", "\"Family\":4}]"},
        {"two-cards.machine", "\"Count\":2,"},
        {"busy-high-bars.machine", "\"Count\":1,"},
    };
    for (const Case& c : cases) {
        RunResult run = RunTool(Sample(c.Sample) + " --json enum");
        EXPECT_EQ(run.ExitCode, 0) << c.Sample << run.Err;
        std::vector<std::string> lines = Lines(run.Out);
        ASSERT_EQ(lines.size(), 1u) << c.Sample;
        EXPECT_EQ(lines[0].rfind("{\"request\":\"ENUM_DEVICES\",\"code\":2236416,\"system_status\":0,"
                                 "\"information\":456,\"Status\":0,",
                                 0),
                  0u)
            << lines[0];
        EXPECT_TRUE(Has(lines[0], c.Expected)) << lines[0];
        EXPECT_TRUE(Has(lines[0], ",\"elapsed_us\":0,\"held_us\":0}")) << lines[0];
    }
    // Nine cards: only Status travels back, and no list is no success.
    RunResult nine = RunTool(Sample("nine-cards.machine") + " --json enum");
    EXPECT_EQ(nine.ExitCode, 1);
    EXPECT_EQ(nine.Out,
              "{\"request\":\"ENUM_DEVICES\",\"code\":2236416,\"system_status\":0,\"information\":4,"
              "\"Status\":1,\"elapsed_us\":0,\"held_us\":0}\n");
    EXPECT_TRUE(Has(nine.Err, "pelmixctl: ENUM_DEVICES: Status 1, more than eight cards")) << nine.Err;
}

// Every run is a new driver lifetime: a request without an enum before it
// in the same run reaches no card. Such a run, and one whose write the chip
// did not take, must not pass for success; the JSON lines stay as they were.
TEST(Pelmixctl, ARequestTheDriverRefusesExitsOne)
{
    std::string machine = Folder() + "/lone.machine";
    std::string chipFile = Folder() + "/lone.rom";
    std::string image(131072, '\x5A'), back = Folder() + "/lone.back";
    WriteAll(Folder() + "/lone.bin", image);
    remove(chipFile.c_str());
    remove(back.c_str());
    WriteAll(machine, "pci 0:0a.0 id=1E5B:0A51 bar0=0xE0000008/64M bar1=0xE4000000/8K flash=08BF image=lone.rom\n");
    RunResult write = RunTool("--json --machine " + machine + " write-rom 0:0a.0 " + Folder() + "/lone.bin");
    EXPECT_EQ(write.ExitCode, 1);
    EXPECT_EQ(write.Out,
              "{\"request\":\"WRITE_ROM\",\"code\":2236424,\"system_status\":0,\"information\":4,"
              "\"Status\":2,\"elapsed_us\":0,\"held_us\":0}\n");
    EXPECT_TRUE(Has(write.Err, "pelmixctl: WRITE_ROM: Status 2, no card list in this run (enum must come first)"))
        << write.Err;
    EXPECT_EQ(ReadAll(chipFile), std::string(131072, '\xFF')) << "nothing was written";

    RunResult read = RunTool("--machine " + machine + " read-rom 0:0a.0 " + back);
    EXPECT_EQ(read.ExitCode, 1);
    EXPECT_TRUE(Has(read.Out, "Status 2")) << read.Out;
    EXPECT_EQ(RunProgram("test -e", back).ExitCode, 1) << "no file from a refused read";

    // A later success does not hide an earlier refusal.
    RunResult mixed = RunTool("--machine " + machine + " identify 0:0a.0 enum identify 0:0a.0 identify 0:0b.0");
    EXPECT_EQ(mixed.ExitCode, 1);
    EXPECT_TRUE(Has(mixed.Err, "IDENTIFY_CHIP: Status 3, the target is not in the card list")) << mixed.Err;

    RunResult listed = RunTool("--machine " + machine + " enum write-rom 0:0a.0 " + Folder() + "/lone.bin");
    EXPECT_EQ(listed.ExitCode, 0) << listed.Err;
    EXPECT_EQ(listed.Err, "");
    EXPECT_EQ(ReadAll(chipFile), image);
}

TEST(Pelmixctl, UsageErrorsExitTwoWithAMessage)
{
    const std::string machine = Sample("family1-card.machine");
    const std::string bad = Folder() + "/bad.machine";
    WriteAll(bad, "cpus 2\npci 0:01.0 rev=1\n");
    struct Case {
        std::string Arguments;
        const char* Message;
    };
    const Case cases[] = {
        {"", "no command given"},
        {machine, "no command given"},
        {machine + " frobnicate", "unknown command frobnicate"},
        {machine + " identify 0:0g.0", "bad target 0:0g.0"},
        {machine + " read-rom 0:0a.0", "read-rom: missing arguments"},
        {machine + " read-pages 0:0a.0 0 many x", "bad page count many"},
        {machine + " raw 0x222000 456", "raw needs CODE INLEN OUTLEN"},
        {machine + " raw 0x222000 4 4 123", "an even number of hex digits"},
        {"--colour " + machine + " enum", "unknown option --colour"},
        {"--machine", "--machine needs a file name"},
        {"enum", "--machine FILE is required"},
        {"--machine " + bad + " enum", "line 2: pci line without id="},
        {"--machine " + Folder() + "/absent.machine enum", "cannot open the machine file"},
        {machine + " write-rom 0:0a.0 " + Folder() + "/absent.bin", "cannot open"},
    };
    for (const Case& c : cases) {
        RunResult run = RunTool(c.Arguments);
        EXPECT_EQ(run.ExitCode, 2) << c.Arguments;
        EXPECT_TRUE(Has(run.Err, c.Message)) << c.Arguments << " said: " << run.Err;
    }
}

// The help and the version go to standard output with exit 0, wherever the
// switch stands; a usage error is one line naming it and the usage lines
// alone, on standard error.
TEST(Pelmixctl, HelpVersionAndUsageFollowTheConventions)
{
    const std::string machine = Sample("family1-card.machine");
    for (const std::string& arguments : {std::string("--help"), std::string("-h"), machine + " --json -h",
                                         machine + " backup 1:00.0 b.bin --help", std::string("restore -h")}) {
        RunResult run = RunTool(arguments);
        EXPECT_EQ(run.ExitCode, 0) << arguments;
        EXPECT_EQ(run.Out.rfind("usage: pelmixctl ", 0), 0u) << arguments << run.Out;
        EXPECT_TRUE(Has(run.Out, "Exit code of requests")) << arguments;
        EXPECT_EQ(run.Err, "") << arguments;
    }
    RunResult version = RunTool("--version");
    EXPECT_EQ(version.ExitCode, 0);
    EXPECT_EQ(version.Out, std::string("pelmixctl ") + DORVANE_VERSION_TEXT + "\n");

    for (const std::string& arguments :
         {"--colour " + machine + " enum", machine + " read-rom 0:0a.0", std::string("-x")}) {
        RunResult run = RunTool(arguments);
        EXPECT_EQ(run.ExitCode, 2) << arguments;
        EXPECT_EQ(run.Out, "") << arguments;
        std::vector<std::string> lines = Lines(run.Err);
        ASSERT_GE(lines.size(), 2u) << arguments;
        EXPECT_EQ(lines[0].rfind("pelmixctl: ", 0), 0u) << run.Err;
        EXPECT_EQ(lines[1].rfind("usage: pelmixctl ", 0), 0u) << run.Err;
        EXPECT_FALSE(Has(run.Err, "Exit code of")) << "the whole help: " << run.Err;
    }
    EXPECT_TRUE(Has(RunTool("-x").Err, "pelmixctl: unknown option -x\n"));
}

// A call the system fails is named on standard error with its NTSTATUS and
// what it means, not only in the request's line.
TEST(Pelmixctl, AFailedCallNamesItsNtStatus)
{
    RunResult run = RunTool(Sample("family1-card.machine") + " raw 0x222024 4 4 raw 0x222000 0 455");
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(Has(run.Err,
                    "pelmixctl: RAW: the call failed with NTSTATUS 0xC0000010 "
                    "STATUS_INVALID_DEVICE_REQUEST: the driver has no request of that code\n"))
        << run.Err;
    EXPECT_TRUE(Has(run.Err, "pelmixctl: RAW: the call failed with NTSTATUS 0xC0000206 STATUS_INVALID_BUFFER_SIZE: "))
        << run.Err;
}

TEST(Pelmixctl, RequestsThatFailAtTheSystemLevelExitOne)
{
    RunResult run = RunTool(Sample("family1-card.machine") + " --json raw 0x222024 0 0 raw 0x222000 0 455 enum");
    EXPECT_EQ(run.ExitCode, 1);
    std::vector<std::string> lines = Lines(run.Out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0],
              "{\"request\":\"RAW\",\"code\":2236452,\"system_status\":3221225488,\"information\":0,"
              "\"elapsed_us\":0,\"held_us\":0}");
    EXPECT_TRUE(Has(lines[1], "\"system_status\":3221225990,\"information\":0,"));
    EXPECT_TRUE(Has(lines[2], "\"Status\":0,\"Count\":1,")) << "later commands still run";
}

TEST(Pelmixctl, RawSendsTheGivenBytesAndShowsTheReply)
{
    // Identify 0:0a.0 before any enumeration: result 2, four bytes back.
    RunResult run = RunTool(Sample("family1-card.machine") +
                            " --json raw 0x22201C 64 64 000000000000000010000000 enum "
                            "raw 0x22201C 64 64 ffffffff000000000a000000");
    EXPECT_EQ(run.ExitCode, 1) << "the first reply's Status is 2";
    EXPECT_TRUE(Has(run.Err, "pelmixctl: RAW: Status 2,")) << run.Err;
    std::vector<std::string> lines = Lines(run.Out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(Has(lines[0], "\"information\":4,\"Status\":2,\"reply\":\"02000000\""));
    EXPECT_TRUE(Has(lines[2], "\"information\":64,\"Status\":0,\"reply\":\"00000000000000000a00000000000000bf08"))
        << lines[2];
}

TEST(Pelmixctl, TraceShowsConfigurationWritesAndChipCommands)
{
    RunResult run = RunTool(Sample("family1-card.machine") + " --trace enum identify 0:0a.0");
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_TRUE(Has(run.Err, "trace: config 0:0A.0 0x30 <- 0xE0000001 (was 0xE4020000, now 0xE0000001)\n")) << run.Err;
    EXPECT_TRUE(Has(run.Err, "trace: chip 0:0A.0 identify via 0x5555/0x2AAA"));
    EXPECT_TRUE(Has(run.Err, "trace: chip 0:0A.0 exit via 0x5555/0x2AAA"));
    EXPECT_TRUE(Has(run.Out, "chip 0x08BF SST29LE010, 128 KB, sector 0, erase required 0"));
}

// Every part: an image written with write-rom reads back byte for byte in a
// later run, and the chip's image file holds it.
TEST(Pelmixctl, WholeChipRoundTripOnEveryPart)
{
    std::string image(131072, '\0');
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    image[0] = 0x55;
    image[1] = static_cast<char>(0xAA);
    WriteAll(Folder() + "/new.bin", image);

    const char* parts[] = {"351F", "171F", "2320", "D4BF", "D5BF", "9FDF", "08BF", "noid"};
    for (const char* part : parts) {
        std::string machine = Folder() + "/" + part + ".machine";
        std::string chipFile = Folder() + "/" + part + ".rom";
        remove(chipFile.c_str());
        WriteAll(machine,
                 std::string("pci 0:00.0 id=8086:7190 class=0600\n"
                             "pci 1:00.0 id=1D2E:0C61 bar0=0xE0000008/64M bar1=0xE4000000/16K flash=") +
                     part + " image=" + part + ".rom\n");
        size_t size = std::string(part) == "D4BF" ? 65536 : 131072;

        RunResult write = RunTool("--json --machine " + machine + " enum write-rom 1:00.0 " + Folder() + "/new.bin");
        EXPECT_EQ(write.ExitCode, 0) << part << write.Err;
        EXPECT_TRUE(Has(write.Out,
                        "\"request\":\"WRITE_ROM\",\"code\":2236424,\"system_status\":0,"
                        "\"information\":4,\"Status\":0,"))
            << part << write.Out;
        EXPECT_EQ(ReadAll(chipFile), image.substr(0, size)) << part << ": image file updated";

        std::string back = Folder() + "/" + part + ".back";
        RunResult read = RunTool("--json --machine " + machine + " enum read-rom 1:00.0 " + back);
        EXPECT_EQ(read.ExitCode, 0) << part;
        EXPECT_TRUE(Has(read.Out, "\"information\":" + std::to_string(16 + size) + ",\"Status\":0,")) << part;
        EXPECT_EQ(ReadAll(back), image.substr(0, size)) << part;
    }
}

// A stuck byte with a count fails that many whole-chip writes with result 6
// (on a page part and on a byte part that erases first); the next write, of
// the same or another image, lands whole. Without a count every write fails.
TEST(Pelmixctl, AStuckByteFailsItsCountOfWritesThenWorks)
{
    std::string first(131072, '\0'), second(131072, '\0');
    for (size_t i = 0; i < first.size(); ++i) {
        first[i] = static_cast<char>((i * 13 + 5) & 0xFF);
        second[i] = static_cast<char>((i * 17 + 3) & 0xFF);
    }
    WriteAll(Folder() + "/first.bin", first);
    WriteAll(Folder() + "/second.bin", second);
    struct Case {
        const char* Part;
        const char* Count;
        const char* Statuses;  // of the three writes
    };
    const Case cases[] = {{"08BF", " 1", "600"}, {"D5BF", " 2", "660"}, {"08BF", "", "666"}};
    for (const Case& c : cases) {
        std::string machine = Folder() + "/stuck.machine";
        std::string chipFile = Folder() + "/stuck.rom";
        remove(chipFile.c_str());
        WriteAll(machine,
                 std::string("pci 1:00.0 id=1D2E:0C61 bar0=0xE0000008/64M bar1=0xE4000000/16K flash=") + c.Part +
                     " image=stuck.rom\nfault stuck 1:00.0 0x1234" + c.Count + "\n");
        std::string target = " write-rom 1:00.0 " + Folder();
        RunResult run = RunTool("--json --machine " + machine + " enum" + target + "/first.bin" + target +
                                "/first.bin" + target + "/second.bin");
        std::vector<std::string> lines = Lines(run.Out);
        ASSERT_EQ(lines.size(), 4u) << c.Part << run.Out << run.Err;
        EXPECT_EQ(run.ExitCode, 1) << c.Part << c.Count << ": a write did not take";
        for (int i = 0; i < 3; ++i) {
            std::string status = std::string("\"Status\":") + c.Statuses[i] + ",";
            EXPECT_TRUE(Has(lines[1 + i], status)) << c.Part << c.Count << " write " << i << ": " << lines[1 + i];
        }
        if (c.Statuses[2] == '0')
            EXPECT_EQ(ReadAll(chipFile), second) << c.Part << c.Count;
        else
            EXPECT_NE(ReadAll(chipFile)[0x1234], second[0x1234]) << "the byte never completes";
    }
}

// Every sample card, through all three access sets: write, read back, compare.
TEST(Pelmixctl, EverySampleCardTakesAnImage)
{
    std::string image(131072, '\0');
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<char>((i * 31 + 7) & 0xFF);
    std::string source = Folder() + "/sample.bin";
    WriteAll(source, image);
    struct Case {
        const char* Sample;
        const char* Target;
        size_t Size;
    };
    const Case cases[] = {
        {"family1-card.machine", "0:0a.0", 131072}, {"family2-agp-card.machine", "1:00.0", 131072},
        {"family3-card.machine", "0:0b.0", 131072}, {"family4-card.machine", "0:0c.0", 65536},
        {"two-cards.machine", "1:00.0", 131072},    {"busy-high-bars.machine", "0:06.0", 131072},
    };
    for (const Case& c : cases) {
        std::string back = Folder() + "/sample.back";
        remove(back.c_str());
        RunResult run = RunTool(Sample(c.Sample) + " enum write-rom " + c.Target + " " + source + " read-rom " +
                                c.Target + " " + back);
        EXPECT_EQ(run.ExitCode, 0) << c.Sample << run.Err;
        EXPECT_EQ(ReadAll(back), image.substr(0, c.Size)) << c.Sample;
    }
}

TEST(Pelmixctl, AMissingImageFileIsCreatedErased)
{
    std::string machine = Folder() + "/fresh.machine";
    std::string chipFile = Folder() + "/fresh.rom";
    remove(chipFile.c_str());
    WriteAll(machine, "pci 0:01.0 id=1E5B:0A51 bar0=0xE0000008/64M bar1=0xE4000000/8K flash=D4BF image=fresh.rom\n");
    RunResult run = RunTool("--machine " + machine + " enum");
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_EQ(ReadAll(chipFile), std::string(65536, '\xFF'));
}

}  // namespace
