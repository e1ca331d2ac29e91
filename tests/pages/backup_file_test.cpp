// The backup file itself: an earlier file is kept, never replaced in place,
// a failed write leaves it whole with no temporary file behind, and nothing
// that is not a regular file is written or removed.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "backup_file.h"
#include "fake_host.h"
#include "path_facts.h"

namespace {

struct BackupFileTest : ::testing::Test {
    std::string Dir = ::testing::TempDir() + "backup_file." + std::to_string(getpid()) + "/";
    std::string Path = Dir + "b.bin";
    std::vector<uint8_t> Image = std::vector<uint8_t>(131072);
    char Kept[BackupNameSize];

    void SetUp() override
    {
        mkdir(Dir.c_str(), 0755);
        for (size_t i = 0; i < Image.size(); ++i)
            Image[i] = uint8_t(i * 7 + 3);
    }
    void TearDown() override
    {
        for (const char* name : {"b.bin", "b.bin.1", "b.bin.2", "b.bin.3", "link"})
            remove((Dir + name).c_str());
        for (int i = 0; i < 10; ++i) {
            remove(Part(i).c_str());
            rmdir(Part(i).c_str());
        }
        rmdir((Dir + "folder").c_str());
        rmdir(Dir.c_str());
    }
    void Put(const std::string& path, const std::string& text)
    {
        FILE* f = fopen(path.c_str(), "wb");
        ASSERT_TRUE(f);
        fputs(text.c_str(), f);
        fclose(f);
    }
    std::string Text(const std::string& path)
    {
        std::vector<uint8_t> bytes = ReadFile(path);
        return std::string(bytes.begin(), bytes.end());
    }
    std::string Part(int i) { return Path + ".part" + (i ? std::to_string(i) : ""); }
    BackupSaveResult Save() { return SaveBackupFile(Path.c_str(), Image.data(), uint32_t(Image.size()), Kept); }
};

TEST_F(BackupFileTest, AnEarlierFileIsKeptUnderTheFirstFreeName)
{
    ASSERT_EQ(Save(), BackupSaved);
    EXPECT_STREQ(Kept, "");
    EXPECT_TRUE(ReadFile(Path) == Image);

    // The same bytes again: the file simply stays.
    ASSERT_EQ(Save(), BackupSaved);
    EXPECT_STREQ(Kept, "");
    EXPECT_FALSE(FileExists((Path + ".1").c_str()));

    // Other bytes, with NAME.1 taken: the earlier file becomes NAME.2.
    Put(Path + ".1", "someone's file");
    Image[0x4000] ^= 0xFF;
    ASSERT_EQ(Save(), BackupSaved);
    EXPECT_EQ(std::string(Kept), Path + ".2");
    EXPECT_TRUE(ReadFile(Path) == Image);
    EXPECT_EQ(Text(Path + ".1"), "someone's file");
    Image[0x4000] ^= 0xFF;
    EXPECT_TRUE(ReadFile(Path + ".2") == Image);
    EXPECT_FALSE(FileExists((Path + ".part").c_str()));
}

TEST_F(BackupFileTest, AFailedWriteLeavesTheEarlierFileAndNoTemporaryFile)
{
    Put(Path, "the only copy");
    Put(Path + ".part", "left by a run that was killed");
    BackupSaveResult result;
    {
        FileSizeLimit fullDisk(65536);
        result = Save();
    }
    EXPECT_EQ(result, BackupNotWritten);
    EXPECT_STREQ(Kept, "");
    EXPECT_EQ(Text(Path), "the only copy");
    EXPECT_EQ(Text(Path + ".part"), "left by a run that was killed") << "not this run's file";
    EXPECT_FALSE(FileExists((Path + ".part1").c_str()));
    EXPECT_FALSE(FileExists((Path + ".1").c_str()));

    // A folder that does not exist: nothing is made anywhere.
    std::string missing = Dir + "missing/b.bin";
    EXPECT_EQ(SaveBackupFile(missing.c_str(), Image.data(), 131072, Kept), BackupNotWritten);
    EXPECT_FALSE(BackupFolderWritable(missing.c_str()));
    EXPECT_TRUE(BackupFolderWritable(Path.c_str()));
    EXPECT_EQ(Text(Path), "the only copy");
}

// A killed run leaves its temporary files behind; they are the backup's own,
// so a later backup takes them over and clears them, but a folder or a link
// under such a name is left alone.
TEST_F(BackupFileTest, TemporaryFilesOfAKilledRunAreReplaced)
{
    for (int i = 0; i < 10; ++i)
        Put(Part(i), "left by a run that was killed");
    ASSERT_EQ(Save(), BackupSaved);
    EXPECT_TRUE(ReadFile(Path) == Image);
    for (int i = 0; i < 10; ++i)
        EXPECT_FALSE(FileExists(Part(i).c_str())) << Part(i);

    // A folder and a link among them stay; the plain files still give way.
    std::string target = Dir + "link";
    Put(target, "someone's file");
    for (int i = 0; i < 10; ++i)
        Put(Part(i), "left by a run that was killed");
    remove(Part(0).c_str());
    ASSERT_EQ(mkdir(Part(0).c_str(), 0755), 0);
    remove(Part(1).c_str());
    ASSERT_EQ(symlink(target.c_str(), Part(1).c_str()), 0);
    Image[0x100] ^= 0xFF;
    ASSERT_EQ(Save(), BackupSaved);
    EXPECT_TRUE(ReadFile(Path) == Image);
    EXPECT_EQ(KindOfPath(Part(0).c_str()), PathOther);
    struct stat info;
    EXPECT_EQ(lstat(Part(1).c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(Text(target), "someone's file");
    for (int i = 2; i < 10; ++i)
        EXPECT_FALSE(FileExists(Part(i).c_str())) << Part(i);
    remove(Part(1).c_str());

    // Every name a folder: nothing is written and nothing removed.
    for (int i = 1; i < 10; ++i)
        ASSERT_EQ(mkdir(Part(i).c_str(), 0755), 0);
    Image[0x100] ^= 0xFF;
    EXPECT_EQ(Save(), BackupNotWritten);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(KindOfPath(Part(i).c_str()), PathOther) << Part(i);
    EXPECT_FALSE(ReadFile(Path) == Image);
}

TEST_F(BackupFileTest, NothingButARegularFileIsWrittenOrRemoved)
{
    std::string folder = Dir + "folder", link = Dir + "link";
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    ASSERT_EQ(symlink("/dev/full", link.c_str()), 0);
    for (const std::string& path : {folder, link}) {
        EXPECT_EQ(KindOfPath(path.c_str()), PathOther) << path;
        EXPECT_EQ(SaveBackupFile(path.c_str(), Image.data(), 131072, Kept), BackupNotAFile) << path;
    }
    struct stat info;
    EXPECT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(stat(folder.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_FALSE(FileExists((link + ".part").c_str()));

    // A link that leads nowhere is an entry of its own, and not a file.
    remove(link.c_str());
    ASSERT_EQ(symlink("nowhere", link.c_str()), 0);
    EXPECT_EQ(KindOfPath(link.c_str()), PathOther);
    EXPECT_EQ(KindOfPath((Dir + "absent").c_str()), PathAbsent);
    EXPECT_EQ(KindOfPath((Path + "/inside").c_str()), PathAbsent);
    EXPECT_EQ(KindOfPath(""), PathAbsent);
}

TEST(PathFacts, SameFileByTextOrIdentity)
{
    std::string dir = ::testing::TempDir() + "same_file." + std::to_string(getpid());
    mkdir(dir.c_str(), 0755);
    std::string a = dir + "/a.bin", b = dir + "/b.bin", hard = dir + "/hard.bin";
    FILE* f = fopen(a.c_str(), "wb");
    ASSERT_TRUE(f);
    fclose(f);
    f = fopen(b.c_str(), "wb");
    ASSERT_TRUE(f);
    fclose(f);
    ASSERT_EQ(link(a.c_str(), hard.c_str()), 0);
    EXPECT_TRUE(SameFile(a.c_str(), a.c_str()));
    EXPECT_TRUE(SameFile(a.c_str(), (dir + "/./a.bin").c_str()));
    EXPECT_TRUE(SameFile(a.c_str(), hard.c_str()));
    EXPECT_FALSE(SameFile(a.c_str(), b.c_str()));
    EXPECT_TRUE(SameFile("absent.bin", "absent.bin")) << "one name, whether or not it exists";
    EXPECT_FALSE(SameFile("absent.bin", a.c_str()));
    for (const std::string& path : {a, b, hard})
        remove(path.c_str());
    rmdir(dir.c_str());
}

}  // namespace
