#include "command_line.h"

#include <stdio.h>
#include <string.h>

const char UsageText[] =
    "usage: pelmixctl --machine FILE [--json] [--trace] COMMAND...\n"
    "Commands run in order within one driver lifetime:\n"
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
    "Exit code: 0 when every request succeeded at the system level, 1 otherwise,\n"
    "2 for a usage error.\n";

namespace {

struct CommandShape {
    const char* Name;
    int Kind;
    int HasTarget;
    int Numbers;     // START, or START COUNT
    int HasFile;
};

const CommandShape Shapes[] = {
    {"enum", COMMAND_ENUM, 0, 0, 0},
    {"identify", COMMAND_IDENTIFY, 1, 0, 0},
    {"read-rom", COMMAND_READ_ROM, 1, 0, 1},
    {"write-rom", COMMAND_WRITE_ROM, 1, 0, 1},
    {"write-rom-preerased", COMMAND_WRITE_ROM_PREERASED, 1, 0, 1},
    {"read-pages", COMMAND_READ_PAGES, 1, 2, 1},
    {"write-pages", COMMAND_WRITE_PAGES, 1, 1, 1},
    {"write-pages-preerased", COMMAND_WRITE_PAGES_PREERASED, 1, 1, 1},
    {"erase", COMMAND_ERASE, 1, 0, 0},
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
    for (; i < argc && strncmp(argv[i], "--", 2) == 0; ++i) {
        const char* option = argv[i];
        if (strcmp(option, "--json") == 0) {
            line->Json = 1;
        } else if (strcmp(option, "--trace") == 0) {
            line->Trace = 1;
        } else if (strcmp(option, "--help") == 0) {
            line->Help = 1;
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

    while (i < argc) {
        if (line->CommandCount == MaxCommands)
            return Fail(error, errorSize, "%s", "too many commands");
        Command* command = &line->Commands[line->CommandCount];
        const char* name = argv[i++];
        if (strcmp(name, "raw") == 0) {
            command->Kind = COMMAND_RAW;
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
                                "raw bytes %s: an even number of hex digits, no more than the buffer holds",
                                argv[i]);
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
            if (!ParseNumber(argv[i], &command->Count) ||
                command->Count > (MaxBufferLength - 27u) / 128u)
                return Fail(error, errorSize, "bad page count %s", argv[i]);
            ++i;
        }
        if (shape->HasFile)
            command->File = argv[i++];
        ++line->CommandCount;
    }
    return 1;
}
