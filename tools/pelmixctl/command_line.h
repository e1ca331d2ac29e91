// pelmixctl's command line: options and the list of requests to send.
#ifndef PELMIXCTL_COMMAND_LINE_H
#define PELMIXCTL_COMMAND_LINE_H

#include <stdint.h>

enum CommandKind {
    CommandEnum,
    CommandIdentify,
    CommandReadRom,
    CommandWriteRom,
    CommandWriteRomPreerased,
    CommandReadPages,
    CommandWritePages,
    CommandWritePagesPreerased,
    CommandErase,
    CommandRaw,
};

struct Command {
    int Kind;
    uint32_t Bus, Device, Function;  // target
    uint32_t Start, Count;           // page commands
    const char* File;                // image or page file
    uint32_t Code, InLength, OutLength;
    const char* Hex;  // raw: leading bytes of the buffer, or null
};

enum { MaxCommands = 256 };

// The user-level commands: the wizard's backup, write and restore sequence.
enum UserCommandKind { UserNone, UserBackup, UserFlash, UserRestore, UserVerify, UserCards };

struct UserCommand {
    int Kind;                        // UserCommandKind
    uint32_t Bus, Device, Function;  // target (none for cards)
    const char* File;                // backup, restore, verify: FILE; flash: IMAGE (null with --inbuilt)
    const char* Backup;              // flash: --backup FILE
    int InBuilt, NoMerge, IgnoreChecksum, Yes, Force;
};

struct CommandLine {
    const char* MachinePath;
    int Json;
    int Trace;
    int Help;     // --help or -h: the help text, nothing run
    int Version;  // --version
    uint32_t CommandCount;
    Command Commands[MaxCommands];
    UserCommand User;  // Kind UserNone for a list of requests
};

// 1, or 0 with a message in error (a usage error).
int ParseCommandLine(int argc, char** argv, CommandLine* line, char* error, uint32_t errorSize);

// Largest buffer a raw request or a page read may ask for.
enum { MaxBufferLength = 16 * 1024 * 1024 };

// Number parsing shared with the request code: decimal, or hexadecimal with 0x.
int ParseNumber(const char* text, uint32_t* value);
// BUS:DEV.FN, bus decimal, device and function hexadecimal.
int ParseTarget(const char* text, uint32_t* bus, uint32_t* device, uint32_t* function);
// Hex digit pairs into bytes; 1 on success, the byte count in *count.
int ParseHexBytes(const char* text, uint8_t* bytes, uint32_t capacity, uint32_t* count);

// The usage lines, shown with a usage error; the help is they and HelpText.
extern const char UsageText[];
extern const char HelpText[];

#endif
