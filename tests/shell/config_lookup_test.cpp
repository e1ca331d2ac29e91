#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "config_file.h"
#include "test_files.h"
#include "text_lookup.h"

// The string table as the tests want it: a few ids, or none at all.
static int StringTablePresent = 1;

int LoadStringTableText(unsigned id, char* buffer, size_t size)
{
    const char* text = 0;
    if (id == 1024)
        text = "BIOS Read";
    if (id == 1052)
        text = "ORVEL";
    if (!StringTablePresent || !text)
        return 0;
    CopyText(buffer, size, text);
    return int(strlen(buffer));
}

namespace {

std::string Value(const std::string& file, const char* key, size_t size = TextBufferSize)
{
    std::string path = WriteScratchFile("setup.cfg", file);
    char buffer[1024];
    memset(buffer, '#', sizeof buffer);
    if (!ReadConfigValueFrom(path.c_str(), key, buffer, size))
        return "<none>";
    EXPECT_LT(strlen(buffer), size);
    EXPECT_EQ('#', buffer[size]) << "written past the buffer";
    return buffer;
}

TEST(ConfigFile, SampleLinesForProductName)
{
    EXPECT_EQ("Orvel Plus", Value("ProductName=Orvel Plus\n", "ProductName"));
    EXPECT_EQ("Orvel", Value("productname   =   Orvel\n", "ProductName"));
    EXPECT_EQ("Orvel", Value("PRODUCTNAME=Orvel\n", "ProductName"));
    EXPECT_EQ("<none>", Value(";ProductName=Orvel\n", "ProductName"));
    EXPECT_EQ("<none>", Value("ProductName=\n", "ProductName"));
    EXPECT_EQ("<none>", Value("ProductNameX=Orvel\n", "ProductName"));
    EXPECT_EQ("<none>", Value(" ProductName=Orvel\n", "ProductName"));
    EXPECT_EQ("<none>", Value("ProductName Orvel\n[ProductName]\n", "ProductName"));
    EXPECT_EQ("Orvel", Value("ProductName\t=\tOrvel", "ProductName")) << "no line end at the file's end";
}

TEST(ConfigFile, KeyThatStartsAnotherKeyDoesNotMatchIt)
{
    std::string file = "ExitInstallerTitle=Leave?\nExitInstaller=Really leave?\n";
    EXPECT_EQ("Really leave?", Value(file, "ExitInstaller"));
    EXPECT_EQ("Leave?", Value(file, "ExitInstallerTitle"));
    EXPECT_EQ("<none>", Value("ExitInstaller=x\n", "ExitInstallerTitle"));
}

TEST(ConfigFile, FirstNonEmptyValueWins)
{
    EXPECT_EQ("Second", Value("NoWinOpen=\nNoWinOpen=   \nNoWinOpen=Second\nNoWinOpen=Third\n", "NoWinOpen"));
}

TEST(ConfigFile, ValueIsKeptAsWritten)
{
    EXPECT_EQ("Title   ", Value("InstallerTitle=Title   \r\n", "InstallerTitle"));
    EXPECT_EQ("a\\nb = \"c\"", Value("Key=a\\nb = \"c\"\n", "Key"));
    EXPECT_EQ("x", Value("Key=x\r\n", "Key"));
}

TEST(ConfigFile, LongLinesArriveInPieces)
{
    // A 300-character value: the first piece (258 characters of the line)
    // supplies the value; the rest is a line of its own.
    std::string value(300, 'v');
    std::string line = "Key=" + value + "\n";
    std::string got = Value(line, "Key");
    EXPECT_EQ(std::string(254, 'v'), got);
    // A later piece that begins with a key is read as a line.
    std::string filler(258 - 6, 'f');
    std::string file = "Other=" + filler + "Key=tail\n";
    EXPECT_EQ("tail", Value(file, "Key"));
}

TEST(ConfigFile, ValuesAreCutToTheBuffer)
{
    // A one-letter key leaves room for 256 characters of value in a piece.
    std::string value(257, 'w');
    EXPECT_EQ(std::string(255, 'w'), Value("K=" + value + "\n", "K"));
    EXPECT_EQ("abcd", Value("Key=abcdefgh\n", "Key", 5));
    EXPECT_EQ("", Value("Key=abcdefgh\n", "Key", 1));
}

TEST(ConfigFile, NoFileMeansNoValue)
{
    char buffer[TextBufferSize];
    EXPECT_EQ(0, ReadConfigValueFrom("", "Key", buffer, sizeof buffer));
    EXPECT_EQ(0, ReadConfigValueFrom((ScratchDir() + "/missing.cfg").c_str(), "Key", buffer, sizeof buffer));
}

class TextLookup : public ::testing::Test {
protected:
    void TearDown() override
    {
        ConfigPath[0] = 0;
        StringTablePresent = 1;
    }
    void UseConfig(const std::string& content)
    {
        CopyText(ConfigPath, sizeof ConfigPath, WriteScratchFile("lookup.cfg", content).c_str());
    }
};

TEST_F(TextLookup, ConfigThenStringTableThenDefault)
{
    char buffer[TextBufferSize];
    EXPECT_EQ(9, LookupText(1024, "ReadBIOSTitle", "Read BIOS", buffer));
    EXPECT_STREQ("BIOS Read", buffer);

    StringTablePresent = 0;
    EXPECT_EQ(0, LookupText(1024, "ReadBIOSTitle", "Read BIOS", buffer));
    EXPECT_STREQ("Read BIOS", buffer);

    UseConfig("ReadBIOSTitle=Reading\n");
    StringTablePresent = 1;
    EXPECT_EQ(1, LookupText(1024, "ReadBIOSTitle", "Read BIOS", buffer));
    EXPECT_STREQ("Reading", buffer);
}

TEST_F(TextLookup, OptionalTextsOnlyFromTheFile)
{
    char buffer[TextBufferSize];
    EXPECT_EQ(0, LookupText(0, "WelcomeMsg1", "", buffer));
    EXPECT_STREQ("", buffer);
    UseConfig("WelcomeMsg1=Hello %s\n");
    EXPECT_EQ(1, LookupText(0, "WelcomeMsg1", "", buffer));
    EXPECT_STREQ("Hello %s", buffer);
}

TEST_F(TextLookup, DefaultIsCutToTheBuffer)
{
    char buffer[8];
    memset(buffer, '#', sizeof buffer);
    StringTablePresent = 0;
    LookupText(1, "Missing", "a default that is far too long", buffer, 6);
    EXPECT_STREQ("a def", buffer);
    EXPECT_EQ('#', buffer[6]);
}

}  // namespace
