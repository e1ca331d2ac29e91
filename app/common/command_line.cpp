#include "command_line.h"

#include <string.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#define ReadableFile(path) (_access(path, 4) == 0)
#else
#include <unistd.h>
#define ReadableFile(path) (access(path, R_OK) == 0)
#endif

#include "text_lookup.h"

OptionFlagsRecord OptionFlags;

namespace {

struct SwitchEntry {
    const char* text;
    uint32_t OptionFlagsRecord::*flag;
};

const SwitchEntry Switches[] = {
    {"-nowrite", &OptionFlagsRecord::NoWrite},
    {"-forcereadcserr", &OptionFlagsRecord::ForceReadCsErr},
    {"-forcesourcecserr", &OptionFlagsRecord::ForceSourceCsErr},
    {"-forcewritecserr", &OptionFlagsRecord::ForceWriteCsErr},
    {"-forcedevlist", &OptionFlagsRecord::ForceDevList},
    {"-devmode", &OptionFlagsRecord::DevMode},
};

const char ConfigName[] = "\\setup.cfg";

int IsPlainFile(const char* path)
{
    struct stat info;
    if (stat(path, &info) != 0)
        return 0;
    return !S_ISDIR(info.st_mode);
}

// "folder\setup.cfg" into out; 0 when it would not fit.
int JoinConfigName(const char* folder, size_t folderLen, char* out, size_t size)
{
    size_t total = folderLen + sizeof ConfigName - 1;
    if (total + 1 > size)
        return 0;
    memcpy(out, folder, folderLen);
    memcpy(out + folderLen, ConfigName, sizeof ConfigName);
    return 1;
}

}  // namespace

void ReadSwitches(const char* commandLine, OptionFlagsRecord* flags)
{
    char lowered[CommandLineCopySize];
    CopyText(lowered, sizeof lowered, commandLine);
    for (char* p = lowered; *p; ++p)
        if (*p >= 'A' && *p <= 'Z')
            *p = char(*p - 'A' + 'a');
    for (const SwitchEntry& s : Switches)
        if (strstr(lowered, s.text))
            flags->*s.flag = 1;
}

int FolderSwitchConfigPath(const char* commandLine, char* out, size_t size)
{
    const char* found = strstr(commandLine, "-i ");
    if (!found || found[3] == 0)
        return 0;
    const char* folder = found + 3;
    return JoinConfigName(folder, strlen(folder), out, size);
}

void ProgramDirOf(const char* modulePath, char* out, size_t size)
{
    CopyText(out, size, modulePath);
    char* cut = strrchr(out, '\\');
    if (cut)
        *cut = 0;
}

void ChooseConfigPath(const char* commandLine, const char* programDir, char* configPath, size_t size)
{
    if (size == 0)
        return;
    configPath[0] = 0;
    if (!FolderSwitchConfigPath(commandLine, configPath, size) || !IsPlainFile(configPath))
        if (!JoinConfigName(programDir, strlen(programDir), configPath, size))
            configPath[0] = 0;
    if (configPath[0] && !ReadableFile(configPath))
        configPath[0] = 0;
}
