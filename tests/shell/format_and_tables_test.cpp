#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "banner_colour.h"
#include "format_cases.h"
#include "format_text.h"
#include "os_version.h"

namespace {

TEST(FormatText, FillsPlaceholdersInOrder)
{
    char out[256];
    FormatText(out, sizeof out, "Welcome to the %s BIOS Programmer.  ... your %s card.", "ORVEL", "ORVEL");
    EXPECT_STREQ("Welcome to the ORVEL BIOS Programmer.  ... your ORVEL card.", out);
    FormatText(out, sizeof out, "Unable to start BIOS driver (error %d):\n%s", FormatArg(1072), "Pelmix.sys");
    EXPECT_STREQ("Unable to start BIOS driver (error 1072):\nPelmix.sys", out);
    FormatText(out, sizeof out, "SRV-%d 100%%", FormatArg(-5));
    EXPECT_STREQ("SRV--5 100%", out);
}

TEST(FormatText, ConfiguredFormatsCannotMisbehave)
{
    char out[256];
    // More placeholders than arguments, and ones that are not understood.
    FormatText(out, sizeof out, "%s|%s|%s|%n|%x|%", "a");
    EXPECT_STREQ("a|%s|%s|%n|%x|%", out);
    FormatText(out, sizeof out, "%d", "text");
    EXPECT_STREQ("%d", out);
}

TEST(FormatText, ConversionsAsWsprintfAMakesThem)
{
    for (const FormatCase& c : FormatCases) {
        char out[256];
        if (c.Text)
            FormatText(out, sizeof out, c.Format, c.Text);
        else
            FormatText(out, sizeof out, c.Format, FormatArg(c.Number));
        EXPECT_STREQ(c.Expected, out) << "format \"" << c.Format << "\"";
    }
}

TEST(FormatText, RefusedConversionReadsNothing)
{
    char out[256];
    // The argument goes to the next conversion that fits it.
    FormatText(out, sizeof out, "%s error %d: %d", FormatArg(1072), "Pelmix.sys");
    EXPECT_STREQ("%s error 1072: %d", out);
    FormatText(out, sizeof out, "%n%-6s|%04x", "card", FormatArg(26));
    EXPECT_STREQ("%ncard  |001a", out);
    FormatText(out, sizeof out, "%p%I64d%*d%d%s", FormatArg(-1));
    EXPECT_STREQ("%p%I64d%*d-1%s", out);
}

TEST(FormatText, ZeroCharacterIsIgnored)
{
    char out[16];
    FormatText(out, sizeof out, "[%c|%5c]", FormatArg(0), FormatArg(0x100));
    EXPECT_STREQ("[|]", out);
}

TEST(FormatText, HugeWidthsStayInTheBuffer)
{
    char out[300];
    memset(out, '#', sizeof out);
    size_t len = FormatText(out, 256, "%999999999999999999999d|%.99999999999s", FormatArg(5), "x");
    EXPECT_EQ(255u, len);
    EXPECT_EQ(std::string(255, ' '), out);
    EXPECT_EQ('#', out[256]);
    // The result stops where wsprintfA's does, whatever the buffer.
    static char big[4096];
    len = FormatText(big, sizeof big, "%2000d", FormatArg(5));
    EXPECT_EQ(1023u, len);
    EXPECT_EQ(std::string(1022, ' ') + "5", big);
}

TEST(FormatText, ResultIsCutToTheBuffer)
{
    char out[16];
    memset(out, '#', sizeof out);
    std::string longName(300, 'n');
    size_t len = FormatText(out, 10, "[%s]", longName.c_str());
    EXPECT_EQ(9u, len);
    EXPECT_STREQ("[nnnnnnnn", out);
    EXPECT_EQ('#', out[10]);
}

TEST(OsVersionCode, SystemFamilies)
{
    EXPECT_EQ(1000, OsVersionCodeOf(1, 4, 0, 0x040003B6));  // build 950
    EXPECT_EQ(1001, OsVersionCodeOf(1, 4, 0, 1111));
    EXPECT_EQ(0, OsVersionCodeOf(1, 4, 0, 1400));
    EXPECT_EQ(1002, OsVersionCodeOf(1, 4, 10, 2222));
    EXPECT_EQ(1003, OsVersionCodeOf(1, 4, 90, 3000));
    EXPECT_EQ(2000, OsVersionCodeOf(2, 3, 51, 1057));
    EXPECT_EQ(2001, OsVersionCodeOf(2, 4, 0, 1381));
    EXPECT_EQ(2002, OsVersionCodeOf(2, 5, 0, 2195));
    EXPECT_EQ(2003, OsVersionCodeOf(2, 5, 1, 2600));
    EXPECT_EQ(2003, OsVersionCodeOf(2, 6, 1, 7601));
    EXPECT_EQ(0, OsVersionCodeOf(2, 2, 0, 0));
    EXPECT_EQ(0, OsVersionCodeOf(0, 4, 0, 0));
    EXPECT_EQ(0, OsVersionCodeOf(3, 5, 0, 0));
}

TEST(BannerColour, NamesInAnyCaseElseWhite)
{
    BannerRgb c = BannerColourFor("YeLLoW");
    EXPECT_EQ(255, c.Red);
    EXPECT_EQ(255, c.Green);
    EXPECT_EQ(0, c.Blue);
    c = BannerColourFor("blue");
    EXPECT_EQ(180, c.Red);
    EXPECT_EQ(255, c.Blue);
    c = BannerColourFor("purple");
    EXPECT_EQ(255, c.Red);
    EXPECT_EQ(255, c.Green);
    EXPECT_EQ(255, c.Blue);
    c = BannerColourFor(0);
    EXPECT_EQ(255, c.Green);
    c = BannerColourFor("red ");
    EXPECT_EQ(255, c.Green) << "a trailing blank makes another name";
}

}  // namespace
