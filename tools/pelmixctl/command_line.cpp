#include "command_line.h"

#include <stdio.h>
#include <string.h>

const char UsageText[] = "usage: pelmixctl [--machine FILE] [--json] backup T FILE [--force]\n"
                         "       pelmixctl [--machine FILE] [--json] flash T (IMAGE | --inbuilt) --backup FILE\n"
                         "                 [--no-merge] [--ignore-checksum] [--yes] [--force]\n"
                         "       pelmixctl [--machine FILE] [--json] restore T FILE [--yes] [--force]\n"
                         "       pelmixctl [--machine FILE] [--json] verify T FILE\n"
                         "       pelmixctl [--machine FILE] [--json] cards\n"
                         "       pelmixctl [--machine FILE] [--json] [--trace] REQUEST...\n"
                         "       pelmixctl --help | -h | --version\n";

const char HelpText[] = "backup reads the whole chip, reports its checksum and version text, saves FILE\n"
                        "(an existing one only with --force) and reads FILE back. A backup is written as\n"
                        "FILE.part (one that a killed run left is replaced), flushed, read back and\n"
                        "renamed; an earlier FILE that holds other bytes is kept as FILE.1 (or the first\n"
                        "free FILE.2, FILE.3, ...), whose name is printed. A folder or a device is never\n"
                        "a backup. flash runs the wizard's sequence: backup to FILE, the image's checksum\n"
                        "test (--ignore-checksum waives it), the board table merged from the card's image\n"
                        "(--no-merge writes IMAGE as it is), a confirmation (--yes answers it; without a\n"
                        "terminal, a console on Windows, --yes is required), write, read back and verify;\n"
                        "the old image is written back and verified when the write or the verification\n"
                        "fails; the backup and IMAGE must be different files. restore first saves the\n"
                        "chip as FILE.before-restore (kept aside in the same way), then writes FILE back,\n"
                        "verified; a FILE that is blank (all 0xFF or all 0x00) or fails its checksum is\n"
                        "asked about again on a terminal and, with --yes, refused unless --force is given.\n"
                        "verify compares the chip with FILE. --json prints one JSON object a line per\n"
                        "step. Every error: and warning: line goes to standard error (with --json also as\n"
                        "an object on standard output). flash and restore refuse, unless --force, an\n"
                        "image whose PCI data structure (\"PCIR\") names a vendor no Orvel card has or a\n"
                        "class other than display, and warn about an image without one. A chip the\n"
                        "driver does not name (identify: Status 15) is called \"chip not identified\".\n"
                        "cards lists every card with its BIOS version text and checksum, read as the\n"
                        "wizard's More info reads them (the screen stops for each card), to tell a card\n"
                        "whose BIOS is incomplete from the others; exit 1 when a card could not be read.\n"
                        "Exit code of these commands: 0 done and verified; 1 refused before the chip was\n"
                        "touched (bad image, merge refused, backup not saved, usage, verify found a\n"
                        "difference); 2 the write failed and the old image is back and verified; 3 the\n"
                        "card needs recovery: keep the computer on and do not restart it; standard error\n"
                        "names the backup, the restore command and what to do when that restore fails\n"
                        "again; 4 the driver could not be started.\n"
                        "\n"
                        "Requests run in order within one driver lifetime:\n"
                        "  enum\n"
                        "  identify T\n"
                        "  read-rom T FILE\n"
                        "  write-rom T FILE\n"
                        "  write-rom-preerased T FILE\n"
                        "  read-pages T START COUNT FILE\n"
                        "  write-pages T START FILE\n"
                        "  write-pages-preerased T START FILE\n"
                        "  erase T\n"
                        "  raw CODE INLEN OUTLEN [HEX]\n"
                        "T is BUS:DEV.FN (bus decimal, device and function hexadecimal). Other numbers\n"
                        "are decimal, or hexadecimal with 0x. --json prints one JSON object a line per\n"
                        "request; reply fields appear when they travelled back (within \"information\").\n"
                        "--trace prints each configuration write and chip command on standard error.\n"
                        "Exit code of requests: 0 when every request succeeded and the driver answered\n"
                        "each with Status 0; 1 when a call failed (standard error names its NTSTATUS and\n"
                        "meaning), a file could not be written or a Status was not 0 (standard error\n"
                        "names it); 2 for a usage error; 4 when the driver could not be started or its\n"
                        "device opened (standard error says why and what to do). Status: 1 more than\n"
                        "eight cards (no list comes back); 2 no card list in this run (enum must come\n"
                        "first) or no card; 3 the target is not listed; 4, 5 a window could not be\n"
                        "mapped; 6 a byte or page did not complete; 8, 10, 11 the processors could not be\n"
                        "held; 12, 13 a bad page range; 14 the chip must be erased first; 15 unknown chip.\n"
                        "The emulated build needs --machine FILE; the Windows build talks to the driver.\n"
                        "--help (-h) prints this text, --version the program's version.\n";

namespace {

struct CommandShape {
    const char* Name;
    int Kind;
    int HasTarget;
    int Numbers;  // START, or START COUNT
    int HasFile;
};

const CommandShape Shapes[] = {
    {"enum", CommandEnum, 0, 0, 0},
    {"identify", CommandIdentify, 1, 0, 0},
    {"read-rom", CommandReadRom, 1, 0, 1},
    {"write-rom", CommandWriteRom, 1, 0, 1},
    {"write-rom-preerased", CommandWriteRomPreerased, 1, 0, 1},
    {"read-pages", CommandReadPages, 1, 2, 1},
    {"write-pages", CommandWritePages, 1, 1, 1},
    {"write-pages-preerased", CommandWritePagesPreerased, 1, 1, 1},
    {"erase", CommandErase, 1, 0, 0},
};

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int IsHexText(const char* text)
{
    if (!*text)
        return 0;
    for (const char* p = text; *p; ++p) {
        if (HexValue(*p) < 0)
            return 0;
    }
    return 1;
}

int ParseDigits(const char* text, uint32_t base, uint32_t* value)
{
    if (!*text)
        return 0;
    uint64_t result = 0;
    for (const char* p = text; *p; ++p) {
        int digit = HexValue(*p);
        if (digit < 0 || static_cast<uint32_t>(digit) >= base)
            return 0;
        result = result * base + static_cast<uint32_t>(digit);
        if (result > 0xFFFFFFFFull)
            return 0;
    }
    *value = static_cast<uint32_t>(result);
    return 1;
}

int Fail(char* error, uint32_t errorSize, const char* format, const char* detail)
{
    snprintf(error, errorSize, format, detail);
    return 0;
}

struct UserShape {
    const char* Name;
    int Kind;
    const char* Usage;
    int HasTarget;
};

const UserShape UserShapes[] = {
    {"backup", UserBackup, "backup T FILE [--force]", 1},
    {"flash", UserFlash, "flash T (IMAGE | --inbuilt) --backup FILE [--no-merge] [--ignore-checksum] [--yes] [--force]",
     1},
    {"restore", UserRestore, "restore T FILE [--yes] [--force]", 1},
    {"verify", UserVerify, "verify T FILE", 1},
    {"cards", UserCards, "cards", 0},
};

// The switches each user command takes, besides --json, --machine FILE and
// flash's --backup FILE.
struct UserOption {
    const char* Name;
    int Kinds;  // bit per UserCommandKind
    int UserCommand::*Flag;
};

const UserOption UserOptions[] = {
    {"--force", 1 << UserBackup | 1 << UserFlash | 1 << UserRestore, &UserCommand::Force},
    {"--inbuilt", 1 << UserFlash, &UserCommand::InBuilt},
    {"--no-merge", 1 << UserFlash, &UserCommand::NoMerge},
    {"--ignore-checksum", 1 << UserFlash, &UserCommand::IgnoreChecksum},
    {"--yes", 1 << UserFlash | 1 << UserRestore, &UserCommand::Yes},
};

const UserOption* FindUserOption(const char* name, int kind)
{
    for (const UserOption& option : UserOptions) {
        if (strcmp(option.Name, name) == 0 && ((option.Kinds >> kind) & 1))
            return &option;
    }
    return nullptr;
}

int UserUsage(char* error, uint32_t errorSize, const UserShape* shape, const char* problem)
{
    snprintf(error, errorSize, "%s; usage: pelmixctl %s", problem, shape->Usage);
    return 0;
}

int IsHelp(const char* word)
{
    return strcmp(word, "--help") == 0 || strcmp(word, "-h") == 0;
}

// One user command with its target, file and options, in any order after
// its name; the only command of the line.
int ParseUserCommand(int argc, char** argv, int i, const UserShape* shape, CommandLine* line, char* error,
                     uint32_t errorSize)
{
    UserCommand* user = &line->User;
    user->Kind = shape->Kind;
    const char* positional[2] = {};
    int count = 0;
    char problem[160];
    for (; i < argc; ++i) {
        const char* word = argv[i];
        if (IsHelp(word)) {
            line->Help = 1;
            return 1;
        }
        if (strncmp(word, "--", 2) != 0) {
            if (count == 2) {
                snprintf(problem, sizeof problem, "unexpected %s", word);
                return UserUsage(error, errorSize, shape, problem);
            }
            positional[count++] = word;
        } else if (strcmp(word, "--json") == 0) {
            line->Json = 1;
        } else if (strcmp(word, "--machine") == 0 || (shape->Kind == UserFlash && strcmp(word, "--backup") == 0)) {
            if (i + 1 >= argc) {
                snprintf(problem, sizeof problem, "%s needs a file name", word);
                return UserUsage(error, errorSize, shape, problem);
            }
            if (word[2] == 'm')
                line->MachinePath = argv[++i];
            else
                user->Backup = argv[++i];
        } else if (const UserOption* option = FindUserOption(word, shape->Kind)) {
            user->*option->Flag = 1;
        } else {
            break;
        }
    }
    if (i < argc) {
        snprintf(problem, sizeof problem, "%s does not take %s", shape->Name, argv[i]);
        return UserUsage(error, errorSize, shape, problem);
    }
    if (!shape->HasTarget && count > 0) {
        snprintf(problem, sizeof problem, "unexpected %s", positional[0]);
        return UserUsage(error, errorSize, shape, problem);
    }
    int files = (shape->Kind == UserFlash && user->InBuilt) || !shape->HasTarget ? 0 : 1;
    if (count != shape->HasTarget + files) {
        if (shape->Kind == UserFlash && user->InBuilt && count == 2)
            return UserUsage(error, errorSize, shape, "an IMAGE and --inbuilt both given");
        return UserUsage(error, errorSize, shape, "missing arguments");
    }
    if (!shape->HasTarget)
        return 1;
    if (!ParseTarget(positional[0], &user->Bus, &user->Device, &user->Function)) {
        snprintf(problem, sizeof problem, "bad target %s, expected BUS:DEV.FN", positional[0]);
        return UserUsage(error, errorSize, shape, problem);
    }
    user->File = files ? positional[1] : nullptr;
    if (shape->Kind == UserFlash && !user->Backup)
        return UserUsage(error, errorSize, shape, "flash needs --backup FILE");
    return 1;
}

}  // namespace

int ParseNumber(const char* text, uint32_t* value)
{
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return ParseDigits(text + 2, 16, value);
    return ParseDigits(text, 10, value);
}

int ParseTarget(const char* text, uint32_t* bus, uint32_t* device, uint32_t* function)
{
    char busText[16], deviceText[16], functionText[16];
    const char* colon = strchr(text, ':');
    const char* dot = colon ? strchr(colon, '.') : nullptr;
    if (!colon || !dot)
        return 0;
    size_t busLength = static_cast<size_t>(colon - text);
    size_t deviceLength = static_cast<size_t>(dot - colon - 1);
    if (busLength == 0 || busLength >= sizeof busText || deviceLength == 0 || deviceLength >= sizeof deviceText ||
        strlen(dot + 1) == 0 || strlen(dot + 1) >= sizeof functionText)
        return 0;
    memcpy(busText, text, busLength);
    busText[busLength] = 0;
    memcpy(deviceText, colon + 1, deviceLength);
    deviceText[deviceLength] = 0;
    strcpy(functionText, dot + 1);
    return ParseDigits(busText, 10, bus) && ParseDigits(deviceText, 16, device) &&
        ParseDigits(functionText, 16, function) && *bus <= 255 && *device <= 31 && *function <= 7;
}

int ParseHexBytes(const char* text, uint8_t* bytes, uint32_t capacity, uint32_t* count)
{
    size_t length = strlen(text);
    if (length % 2 != 0 || length / 2 > capacity || !IsHexText(text))
        return 0;
    for (size_t i = 0; i < length / 2; ++i)
        bytes[i] = static_cast<uint8_t>(HexValue(text[2 * i]) * 16 + HexValue(text[2 * i + 1]));
    *count = static_cast<uint32_t>(length / 2);
    return 1;
}

int ParseCommandLine(int argc, char** argv, CommandLine* line, char* error, uint32_t errorSize)
{
    memset(line, 0, sizeof *line);
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        const char* option = argv[i];
        if (strcmp(option, "--json") == 0) {
            line->Json = 1;
        } else if (strcmp(option, "--trace") == 0) {
            line->Trace = 1;
        } else if (IsHelp(option)) {
            line->Help = 1;
            return 1;
        } else if (strcmp(option, "--version") == 0) {
            line->Version = 1;
            return 1;
        } else if (strcmp(option, "--machine") == 0) {
            if (i + 1 >= argc)
                return Fail(error, errorSize, "%s needs a file name", option);
            line->MachinePath = argv[++i];
        } else {
            return Fail(error, errorSize, "unknown option %s", option);
        }
    }
    if (i >= argc)
        return Fail(error, errorSize, "%s", "no command given");
    for (const UserShape& shape : UserShapes) {
        if (strcmp(shape.Name, argv[i]) == 0)
            return ParseUserCommand(argc, argv, i + 1, &shape, line, error, errorSize);
    }

    while (i < argc) {
        if (line->CommandCount == MaxCommands)
            return Fail(error, errorSize, "%s", "too many commands");
        Command* command = &line->Commands[line->CommandCount];
        const char* name = argv[i++];
        if (strcmp(name, "raw") == 0) {
            command->Kind = CommandRaw;
            if (i + 3 > argc)
                return Fail(error, errorSize, "%s", "raw needs CODE INLEN OUTLEN [HEX]");
            if (!ParseNumber(argv[i], &command->Code))
                return Fail(error, errorSize, "bad request code %s", argv[i]);
            if (!ParseNumber(argv[i + 1], &command->InLength) || command->InLength > MaxBufferLength)
                return Fail(error, errorSize, "bad input length %s (at most 16 MB)", argv[i + 1]);
            if (!ParseNumber(argv[i + 2], &command->OutLength) || command->OutLength > MaxBufferLength)
                return Fail(error, errorSize, "bad output length %s (at most 16 MB)", argv[i + 2]);
            i += 3;
            // HEX is optional: no command name is made of hex digits alone.
            if (i < argc && IsHexText(argv[i])) {
                uint32_t size = command->InLength > command->OutLength ? command->InLength : command->OutLength;
                if (strlen(argv[i]) % 2 != 0 || strlen(argv[i]) / 2 > size)
                    return Fail(error, errorSize,
                                "raw bytes %s: an even number of hex digits, no more than the buffer holds", argv[i]);
                command->Hex = argv[i++];
            }
            ++line->CommandCount;
            continue;
        }
        const CommandShape* shape = nullptr;
        for (const CommandShape& candidate : Shapes) {
            if (strcmp(candidate.Name, name) == 0)
                shape = &candidate;
        }
        if (!shape)
            return Fail(error, errorSize, "unknown command %s", name);
        command->Kind = shape->Kind;
        int needed = shape->HasTarget + shape->Numbers + shape->HasFile;
        if (i + needed > argc)
            return Fail(error, errorSize, "%s: missing arguments", name);
        if (shape->HasTarget) {
            if (!ParseTarget(argv[i], &command->Bus, &command->Device, &command->Function))
                return Fail(error, errorSize, "bad target %s, expected BUS:DEV.FN", argv[i]);
            ++i;
        }
        if (shape->Numbers >= 1) {
            if (!ParseNumber(argv[i], &command->Start))
                return Fail(error, errorSize, "bad start offset %s", argv[i]);
            ++i;
        }
        if (shape->Numbers >= 2) {
            if (!ParseNumber(argv[i], &command->Count) || command->Count > (MaxBufferLength - 27u) / 128u)
                return Fail(error, errorSize, "bad page count %s", argv[i]);
            ++i;
        }
        if (shape->HasFile)
            command->File = argv[i++];
        ++line->CommandCount;
    }
    return 1;
}
