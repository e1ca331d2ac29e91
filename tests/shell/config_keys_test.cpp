#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config_file.h"
#include "config_keys.h"
#include "test_files.h"

namespace {

std::vector<std::string> Reported;

void Collect(int lineNumber, const char* line)
{
    Reported.push_back(std::to_string(lineNumber) + ":" + std::string(line, strcspn(line, "\r\n")));
}

int Unknown(const std::string& text)
{
    Reported.clear();
    return FindUnknownConfigLines(WriteScratchFile("keys.cfg", text).c_str(), Collect);
}

TEST(ConfigKeys, LineKeyIsReadAsTheProgramReadsIt)
{
    EXPECT_STREQ(ConfigLineKey("ProductName=Orvel\n"), "ProductName");
    EXPECT_STREQ(ConfigLineKey("productname \t= x"), "ProductName");
    // The longer key is not taken for the shorter, nor the other way round.
    EXPECT_STREQ(ConfigLineKey("ExitInstallerTitle=Quit?"), "ExitInstallerTitle");
    EXPECT_STREQ(ConfigLineKey("ExitInstaller=Quit?"), "ExitInstaller");
    EXPECT_STREQ(ConfigLineKey("FontColour=red"), "FontColour");
    EXPECT_EQ(ConfigLineKey(";ProductName=x"), nullptr);
    EXPECT_EQ(ConfigLineKey(" ProductName=x"), nullptr);  // the program never reads it
    EXPECT_EQ(ConfigLineKey("ProductNames=x"), nullptr);
    EXPECT_EQ(ConfigLineKey("FontColor=red"), nullptr);
    EXPECT_EQ(ConfigLineKey("[Texts]"), nullptr);
}

TEST(ConfigKeys, KeysAreDistinctAndMatchOnlyThemselves)
{
    for (int i = 0; i < ConfigKeyCount; ++i) {
        std::string line = std::string(ConfigKeys[i]) + "=v\n";
        EXPECT_STREQ(ConfigLineKey(line.c_str()), ConfigKeys[i]);
    }
}

TEST(ConfigKeys, UnknownLinesAreReportedWithTheirNumbers)
{
    EXPECT_EQ(Unknown("; a comment=with equals\n[Section]\nProductName=A\nProdName=B\n\n WarningTitle=C\nRebootMsg=\n"),
              2);
    ASSERT_EQ(Reported.size(), 2u);
    EXPECT_EQ(Reported[0], "4:ProdName=B");
    EXPECT_EQ(Reported[1], "6: WarningTitle=C");
    EXPECT_EQ(Unknown(""), 0);
}

TEST(ConfigKeys, PiecesOfALongLineAreReadAsLinesOfTheirOwn)
{
    // The second piece starts with "Colour=" and sets no known key; it keeps
    // the number of the line it came from.
    std::string longLine = "ProductName=" + std::string(ConfigReadSize - 1 - 12, 'x') + "Colour=red\nAGPCard=AGP\n";
    EXPECT_EQ(Unknown(longLine), 1);
    ASSERT_EQ(Reported.size(), 1u);
    EXPECT_EQ(Reported[0], "1:Colour=red");
}

TEST(ConfigKeys, MissingFileIsNotAnEmptyOne)
{
    EXPECT_EQ(FindUnknownConfigLines("/nonexistent/setup.cfg", Collect), -1);
}

}  // namespace
