#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "command_line.h"
#include "config_file.h"
#include "test_files.h"

namespace {

OptionFlagsRecord Switches(const std::string& commandLine)
{
    OptionFlagsRecord flags;
    memset(&flags, 0, sizeof flags);
    ReadSwitches(commandLine.c_str(), &flags);
    return flags;
}

TEST(Switches, AnyCaseAnyPlace)
{
    OptionFlagsRecord none = Switches("");
    EXPECT_EQ(0u,
              none.NoWrite + none.ForceReadCsErr + none.ForceSourceCsErr + none.ForceWriteCsErr + none.ForceDevList +
                  none.DevMode);

    OptionFlagsRecord f = Switches("-NoWrite -FORCEDEVLIST x-devmodey");
    EXPECT_EQ(1u, f.NoWrite);
    EXPECT_EQ(1u, f.ForceDevList);
    EXPECT_EQ(1u, f.DevMode);
    EXPECT_EQ(0u, f.ForceReadCsErr);

    f = Switches("-forcereadcserr-forcesourcecserr-forcewritecserr");
    EXPECT_EQ(1u, f.ForceReadCsErr);
    EXPECT_EQ(1u, f.ForceSourceCsErr);
    EXPECT_EQ(1u, f.ForceWriteCsErr);
    EXPECT_EQ(0u, f.NoWrite);
}

TEST(Switches, OnlyTheFirst267CharactersCount)
{
    std::string longLine(267 - 8, 'x');
    EXPECT_EQ(1u, Switches(longLine + "-nowrite").NoWrite);
    EXPECT_EQ(0u, Switches(longLine + "x-nowrite").NoWrite);
    EXPECT_EQ(0u, Switches(std::string(5000, 'y') + "-devmode").DevMode);
}

std::string FolderConfig(const std::string& commandLine)
{
    char out[PathBufferSize];
    if (!FolderSwitchConfigPath(commandLine.c_str(), out, sizeof out))
        return "<none>";
    return out;
}

TEST(FolderSwitch, TakesEverythingAfterOneBlank)
{
    EXPECT_EQ("c:\\cfg\\setup.cfg", FolderConfig("-i c:\\cfg"));
    EXPECT_EQ("c:\\my cfg -nowrite\\setup.cfg", FolderConfig("-devmode -i c:\\my cfg -nowrite"));
    EXPECT_EQ(" c:\\x\\setup.cfg", FolderConfig("-i  c:\\x"));
    EXPECT_EQ("<none>", FolderConfig("-i "));
    EXPECT_EQ("<none>", FolderConfig("-I c:\\cfg"));
    EXPECT_EQ("<none>", FolderConfig("-ic:\\cfg"));
    // Folder and "\setup.cfg" must fit the 260-byte path.
    EXPECT_EQ("<none>", FolderConfig("-i " + std::string(250, 'd')));
    EXPECT_NE("<none>", FolderConfig("-i " + std::string(249, 'd')));
}

TEST(ProgramDir, CutAtTheLastBackslash)
{
    char dir[PathBufferSize];
    ProgramDirOf("c:\\tools\\bios\\Dorvane.exe", dir, sizeof dir);
    EXPECT_STREQ("c:\\tools\\bios", dir);
    ProgramDirOf("Dorvane.exe", dir, sizeof dir);
    EXPECT_STREQ("Dorvane.exe", dir);
}

// The tests' folders use '/' inside; the program's "\setup.cfg" suffix is a
// file name with a backslash here, so each case creates exactly that name.
class ConfigChoice : public ::testing::Test {
protected:
    std::string Choose(const std::string& commandLine, const std::string& programDir)
    {
        char path[PathBufferSize];
        ChooseConfigPath(commandLine.c_str(), programDir.c_str(), path, sizeof path);
        return path;
    }
};

TEST_F(ConfigChoice, FolderFileThenProgramFileThenNone)
{
    std::string folder = MakeScratchDir("cfgfolder");
    std::string program = MakeScratchDir("program");
    std::string folderFile = WriteScratchFile("cfgfolder\\setup.cfg", "ProductName=A\n");
    std::string programFile = WriteScratchFile("program\\setup.cfg", "ProductName=B\n");

    EXPECT_EQ(folderFile, Choose("-i " + folder, program));
    EXPECT_EQ(programFile, Choose("-i " + folder + "-missing", program));
    EXPECT_EQ(programFile, Choose("-i ", program));
    EXPECT_EQ(programFile, Choose("-I " + folder, program));
    EXPECT_EQ(programFile, Choose("-i " + folder + " -nowrite", program));
    EXPECT_EQ("", Choose("", program + "-none"));
    EXPECT_EQ("", Choose("", std::string(255, 'p'))) << "program folder too long for the path";
}

TEST_F(ConfigChoice, DirectoryNamedSetupCfgIsNotTaken)
{
    std::string folder = MakeScratchDir("dirfolder");
    MakeScratchDir("dirfolder\\setup.cfg");
    std::string program = MakeScratchDir("program2");
    std::string programFile = WriteScratchFile("program2\\setup.cfg", "x=y\n");
    EXPECT_EQ(programFile, Choose("-i " + folder, program));
}

}  // namespace
