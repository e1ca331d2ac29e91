// The two ways a looked-up text reaches a box: TellUser, which copies a text
// without an argument as it stands, and TellUserFormatted, which always
// formats and cuts where its callers' 256-byte buffers did.
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>

#include "config_file.h"
#include "fake_host.h"
#include "format_text.h"
#include "text_lookup.h"
#include "wizard_host.h"

namespace {

class BoxText : public ::testing::Test {
protected:
    void SetUp() override { ResetFakes(); }
    void TearDown() override { ConfigPath[0] = 0; }
    // setup.cfg with one line: key=value.
    void Configure(const char* key, const std::string& value)
    {
        std::string path = ::testing::TempDir() + "box_text.cfg";
        FILE* f = fopen(path.c_str(), "w");
        ASSERT_TRUE(f);
        fprintf(f, "%s=%s\n", key, value.c_str());
        fclose(f);
        CopyText(ConfigPath, sizeof ConfigPath, path.c_str());
    }
};

// A configured "%" shows as it did: copied by TellUser, read as a format by
// the formatting boxes ("%%" one percent sign, a "%d" with no argument as written).
TEST_F(BoxText, PercentWithoutArgument)
{
    Configure("NoEmbeddedBios", "100%% sure, %d left");
    TellUser(0, TextNoEmbeddedBios, BoxOk);
    TellUserFormatted(0, TextNoEmbeddedBios, BoxIconInformation, "Title", BoxTextCut, FormatArg(), FormatArg());
    ASSERT_EQ(Card.Boxes.size(), 2u);
    EXPECT_EQ(Card.Boxes[0].Text, "100%% sure, %d left");
    EXPECT_EQ(Card.Boxes[1].Text, "100% sure, %d left");
    EXPECT_EQ(Card.Boxes[1].Caption, "Title");
    EXPECT_EQ(Card.Boxes[1].Type, uint32_t(BoxIconInformation));
    EXPECT_EQ(Card.Boxes[1].Highlight, 0);
}

// A long argument: the formatting boxes keep 255 characters, TellUser with an
// argument keeps its longer text.
TEST_F(BoxText, CutAfterFormatting)
{
    Configure("AboutString", "%s and %s");
    std::string name(250, 'n');
    TellUserFormatted(0, TextAboutString, BoxIconInformation, 0, BoxTextCut, name.c_str(), "v1");
    FormatArg arg(name.c_str());
    TellUser(0, TextAboutString, BoxOk, &arg);
    ASSERT_EQ(Card.Boxes.size(), 2u);
    EXPECT_EQ(Card.Boxes[0].Text, (name + " and v1").substr(0, 255));
    EXPECT_EQ(Card.Boxes[1].Text, name + " and %s");
}

// Both arguments fill the built-in text, and the user's answer comes back.
TEST_F(BoxText, TwoArgumentsAndAnswer)
{
    Card.Answers = {AnswerNo};
    int answer = TellUserFormatted(0, TextBadDriver, BoxYesNo | BoxDefaultSecond, "Caption", BoxTextCut,
                                   FormatArg(long(5)), "Pelmix.sys");
    EXPECT_EQ(answer, AnswerNo);
    ASSERT_EQ(Card.Boxes.size(), 1u);
    EXPECT_EQ(Card.Boxes[0].Text, "Unable to start BIOS driver (error 5):\nPelmix.sys\n\nExiting...");
    EXPECT_EQ(Card.Boxes[0].Type, uint32_t(BoxYesNo | BoxDefaultSecond));
}

}  // namespace
