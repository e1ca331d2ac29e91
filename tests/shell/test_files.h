// Scratch files and folders for the shell tests, under one temporary folder
// per test program run.
#ifndef DORVANE_TEST_FILES_H
#define DORVANE_TEST_FILES_H

#include <stdio.h>
#include <stdlib.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

// Removed with everything in it when the test program ends.
struct ScratchFolder {
    std::string path;
    ScratchFolder()
    {
        char pattern[] = "/tmp/shell_tests_XXXXXX";
        const char* made = mkdtemp(pattern);
        path = made ? made : "/tmp";
    }
    ~ScratchFolder()
    {
        if (path != "/tmp") {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    }
};

inline std::string ScratchDir()
{
    static ScratchFolder folder;
    return folder.path;
}

inline std::string WriteScratchFile(const std::string& name, const std::string& content)
{
    std::string path = ScratchDir() + "/" + name;
    FILE* f = fopen(path.c_str(), "wb");
    if (f) {
        fwrite(content.data(), 1, content.size(), f);
        fclose(f);
    }
    return path;
}

inline std::string MakeScratchDir(const std::string& name)
{
    std::string path = ScratchDir() + "/" + name;
    mkdir(path.c_str(), 0755);
    return path;
}

#endif
