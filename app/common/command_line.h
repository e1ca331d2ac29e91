// The command line: switches into OptionFlags, and the folder of setup.cfg
// from "-i FOLDER". Portable: no window system needed.
#ifndef DORVANE_COMMAND_LINE_H
#define DORVANE_COMMAND_LINE_H

#include <stddef.h>
#include <stdint.h>

struct OptionFlagsRecord {
    uint32_t NoWrite;
    uint32_t ForceReadCsErr;
    uint32_t ForceSourceCsErr;
    uint32_t ForceWriteCsErr;
    uint32_t ForceDevList;
    uint32_t DevMode;
};

extern OptionFlagsRecord OptionFlags;

enum { CommandLineCopySize = 268 };

// Sets each flag whose switch occurs anywhere in the command line, in any
// case. Only the first 267 characters are looked at.
void ReadSwitches(const char* commandLine, OptionFlagsRecord* flags);

// 1 and "FOLDER\setup.cfg" in out when the command line holds "-i " with a
// folder after it (everything up to the end, taken verbatim); 0 when there is
// no folder, or when the path would not fit size.
int FolderSwitchConfigPath(const char* commandLine, char* out, size_t size);

// The folder of a module path, without its trailing backslash; a name
// without any backslash stays whole. Cut to fit size.
void ProgramDirOf(const char* modulePath, char* out, size_t size);

// Settles the setup.cfg in use: the "-i" folder's file when it is a file,
// else the program folder's; empty when that one is not readable either.
void ChooseConfigPath(const char* commandLine, const char* programDir, char* configPath, size_t size);

#endif
