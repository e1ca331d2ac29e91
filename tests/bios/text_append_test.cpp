#include <gtest/gtest.h>

#include <string.h>

#include "text_append.h"

/* Names and notes are built in fixed buffers: a piece that does not fit is
   cut at the buffer's end and says so, and nothing is written past it. */
TEST(TextAppend, PiecesJoinAndATooLongOneIsCutTerminated)
{
    char name[12] = "card";
    EXPECT_EQ(AppendText(name, sizeof name, ".part"), 1);
    EXPECT_EQ(AppendDecimal(name, sizeof name, 9), 1);
    EXPECT_STREQ(name, "card.part9");

    char guarded[16];
    memset(guarded, '#', sizeof guarded);
    guarded[0] = 0;
    EXPECT_EQ(AppendText(guarded, 8, "backup.bin"), 0);
    EXPECT_STREQ(guarded, "backup.");
    EXPECT_EQ(guarded[8], '#') << "written past the buffer";
    EXPECT_EQ(AppendDecimal(guarded, 8, 4294967295u), 0);
    EXPECT_STREQ(guarded, "backup.");

    char none[1] = {'x'};
    EXPECT_EQ(AppendText(none, 1, "a"), 0) << "an unterminated buffer";
    EXPECT_EQ(none[0], 0);
    EXPECT_EQ(AppendText(none, 0, "a"), 0);
}

TEST(TextAppend, HexIsUpperCaseWithLeadingZerosAndNumbersAreWhole)
{
    char text[32] = "";
    AppendHex(text, sizeof text, 0x1E5B, 4);
    AppendText(text, sizeof text, ":");
    AppendHex(text, sizeof text, 0xA, 4);
    AppendText(text, sizeof text, " ");
    AppendHex(text, sizeof text, 0x30000, 6);
    AppendText(text, sizeof text, " ");
    AppendHex(text, sizeof text, 0x1234567, 4);
    EXPECT_STREQ(text, "1E5B:000A 030000 1234567");

    char number[16] = "";
    AppendDecimal(number, sizeof number, 0);
    AppendText(number, sizeof number, " ");
    AppendDecimal(number, sizeof number, 4294967295u);
    EXPECT_STREQ(number, "0 4294967295");
}
