/* biostool: inspect, checksum and merge video BIOS images the way the
   wizard does. Exit codes: 0 done, 1 refused or bad file, 2 bad usage;
   --help tells them. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "bios_merge.h"
#include "declared_length.h"
#include "dorvane_version.h"
#include "image_file.h"
#include "inbuilt_image.h"
#include "pad_command.h"
#include "table_report.h"

enum { ExitOk = 0, ExitRefused = 1, ExitUsage = 2 };

static ImageFile FirstFile;
static ImageFile SecondFile;

static const char UsageText[] = "usage: biostool info [--json] FILE\n"
                                "       biostool merge CURRENT NEW OUT [--length N]\n"
                                "       biostool checksum FILE [--repair LENGTH]\n"
                                "       biostool pad IN OUT\n"
                                "       biostool inbuilt OUT\n"
                                "       biostool --help | -h | --version\n";

static const char HelpText[] = "info shows an image's checksum, declared length, version text and board table;\n"
                               "merge writes NEW with CURRENT's board table to OUT (--length N: the chip's\n"
                               "length, CURRENT's by default); checksum checks FILE over its whole 32768-byte\n"
                               "blocks and over its declared length, and --repair LENGTH sets its checksum byte\n"
                               "over LENGTH bytes; pad copies IN to OUT filled with zero bytes to whole blocks\n"
                               "(never over an existing OUT); inbuilt writes the in-built image to OUT.\n"
                               "Exit codes: 0 done (checksum: valid); 1 refused or a bad or unreadable file\n"
                               "(checksum: invalid); 2 a usage error.\n";

/* A usage error: what is wrong, then the usage lines. */
static int Usage(const char* problem)
{
    fprintf(stderr, "biostool: %s\n%sbiostool --help tells more.\n", problem, UsageText);
    return ExitUsage;
}

/* The one word of a command that is not what it takes. */
static int Unexpected(const char* command, const char* word)
{
    char problem[160];
    snprintf(problem, sizeof problem, "%s does not take %.100s", command, word);
    return Usage(problem);
}

static int ParseLength(const char* text, uint32_t* value)
{
    char* end = 0;
    unsigned long v = strtoul(text, &end, 0);
    if (end == text || *end != 0 || v > BiosImageBufferSize) {
        fprintf(stderr, "biostool: bad length %s (at most %u)\n", text, (unsigned)BiosImageBufferSize);
        return 0;
    }
    *value = (uint32_t)v;
    return 1;
}

/* A command's words: exactly `paths` file names and, anywhere among them,
   `option N` with N a length (the last one given counts). */
struct CommandWords {
    const char* Paths[3];
    uint32_t Length;
    int LengthGiven;
};

/* 0 when the words are not that, after showing a bad length or the usage. */
static int ReadWords(const char* command, int argc, char** argv, const char* option, int paths, CommandWords* words)
{
    int count = 0;
    words->Length = 0;
    words->LengthGiven = 0;
    for (int i = 0; i < argc; i++) {
        if (strcmp(argv[i], option) == 0 && i + 1 < argc) {
            if (!ParseLength(argv[++i], &words->Length))
                return 0;
            words->LengthGiven = 1;
        } else if (strcmp(argv[i], option) == 0) {
            char problem[64];
            snprintf(problem, sizeof problem, "%s needs a length", option);
            Usage(problem);
            return 0;
        } else if (count < paths && argv[i][0] != '-') {
            words->Paths[count++] = argv[i];
        } else {
            Unexpected(command, argv[i]);
            return 0;
        }
    }
    if (count != paths) {
        Usage("missing arguments");
        return 0;
    }
    return 1;
}

/* A file that holds no whole 32768-byte block or lacks 55 AA is no image;
   with partOfBlock, a shorter one that starts with 55 AA is looked at (an
   option ROM cut at its declared length). */
static int LoadImage(const char* path, ImageFile* file, int partOfBlock = 0)
{
    if (!LoadImageFile(path, file))
        return 0;
    int signature = file->FileSize >= 2 && file->Data[0] == 0x55 && file->Data[1] == 0xAA;
    if (file->Length == 0 && !(partOfBlock && signature)) {
        fprintf(stderr, "biostool: %s is %u bytes, shorter than one 32768-byte block: not a video BIOS image\n", path,
                (unsigned)file->FileSize);
        return 0;
    }
    if (!signature) {
        fprintf(stderr, "biostool: %s does not start with 55 AA: not a video BIOS image\n", path);
        return 0;
    }
    return 1;
}

static int InfoCommand(int argc, char** argv)
{
    int json = 0;
    const char* path = 0;
    for (int i = 0; i < argc; i++) {
        if (strcmp(argv[i], "--json") == 0)
            json = 1;
        else if (!path && argv[i][0] != '-')
            path = argv[i];
        else
            return Unexpected("info", argv[i]);
    }
    if (!path)
        return Usage("missing arguments");
    if (!LoadImage(path, &FirstFile, 1))
        return ExitRefused;

    ImageReport report;
    report.Path = path;
    report.Image = FirstFile.Data;
    report.FileSize = FirstFile.FileSize;
    report.Length = FirstFile.Length;
    report.ChecksumValid = ImageChecksumValid(FirstFile.Data, FirstFile.Length);
    DeclaredLength declared = CheckDeclaredLength(&FirstFile);
    report.DeclaredLength = declared.Length;
    report.DeclaredCheck = DeclaredCheckName(declared.Check);
    ReadTableLocator(FirstFile.Data, &report.Locator);
    report.PciVerdict = JudgePciData(FirstFile.Data, FirstFile.FileSize, &report.Pci);
    TableFault fault;
    if (!ReadBiosTableChecked(FirstFile.Data, &report.Table, &fault)) {
        // What the image is still says whether it is worth padding.
        PrintImageFacts(stdout, &report, json);
        fprintf(stderr, "biostool: %s: the board table can't be read: %s\n", path, TableFaultText(fault));
        return ExitRefused;
    }
    if (json)
        PrintReportJson(stdout, &report);
    else
        PrintReportText(stdout, &report);
    return ExitOk;
}

static int MergeCommand(int argc, char** argv)
{
    CommandWords words;
    if (!ReadWords("merge", argc, argv, "--length", 3, &words))
        return ExitUsage;
    if (!LoadImage(words.Paths[0], &FirstFile) || !LoadImage(words.Paths[1], &SecondFile))
        return ExitRefused;
    uint32_t length = words.LengthGiven ? words.Length : FirstFile.Length;

    MergeResult result = MergeBiosTableChecked(FirstFile.Data, SecondFile.Data, length);
    if (result != MergeDone) {
        fprintf(stderr, "merge refused: %s", MergeResultText(result));
        BiosTable table;
        TableFault fault;
        if (result == MergeCurrentTableUnreadable && !ReadBiosTableChecked(FirstFile.Data, &table, &fault))
            fprintf(stderr, " (%s)", TableFaultText(fault));
        fprintf(stderr, "\n");
        return ExitRefused;
    }
    /* The merged image as it goes onto a chip of that length. */
    const char* out = words.Paths[2];
    if (!SaveImageFile(out, SecondFile.Data, length))
        return ExitRefused;
    printf("merged: %s written, %u bytes, checksum repaired over them\n", out, (unsigned)length);
    return ExitOk;
}

static int ChecksumCommand(int argc, char** argv)
{
    CommandWords words;
    if (!ReadWords("checksum", argc, argv, "--repair", 1, &words))
        return ExitUsage;
    const char* path = words.Paths[0];
    uint32_t repair = words.Length;
    int repairGiven = words.LengthGiven;
    if (!LoadImage(path, &FirstFile, 1))
        return ExitRefused;

    uint32_t length = FirstFile.Length;
    if (repairGiven) {
        if (repair > FirstFile.FileSize || !RepairImageChecksum(FirstFile.Data, repair)) {
            fprintf(stderr, "biostool: cannot repair over %u bytes: the length must be 17..%u\n", (unsigned)repair,
                    (unsigned)FirstFile.FileSize);
            return ExitRefused;
        }
        if (!SaveImageFile(path, FirstFile.Data, FirstFile.FileSize))
            return ExitRefused;
        printf("checksum byte set to 0x%02X over %u bytes\n", FirstFile.Data[BiosChecksumOffset], (unsigned)repair);
        length = repair;
    }
    int valid = ImageChecksumValid(FirstFile.Data, length);
    printf("checksum %s over %u bytes\n", valid ? "valid" : "invalid", (unsigned)length);
    if (!repairGiven)
        PrintDeclaredLength(stdout, path, &FirstFile);
    return valid ? ExitOk : ExitRefused;
}

static int PadCommand(int argc, char** argv)
{
    for (int i = 0; i < argc; i++) {
        if (argv[i][0] == '-' || i >= 2)
            return Unexpected("pad", argv[i]);
    }
    if (argc != 2)
        return Usage("missing arguments");
    return PadImage(argv[0], argv[1]) ? ExitRefused : ExitOk;
}

static int InBuiltCommand(int argc, char** argv)
{
    if (argc != 1)
        return argc ? Unexpected("inbuilt", argv[1]) : Usage("missing arguments");
    if (!InBuiltImagePresent()) {
        fprintf(stderr, "biostool: this build carries no in-built image\n");
        return ExitRefused;
    }
    return SaveImageFile(argv[0], InBuiltImageData(), InBuiltImageSize()) ? ExitOk : ExitRefused;
}

struct Command {
    const char* Name;
    int (*Run)(int argc, char** argv);
};

static const Command Commands[] = {
    {"info", InfoCommand}, {"merge", MergeCommand},     {"checksum", ChecksumCommand},
    {"pad", PadCommand},   {"inbuilt", InBuiltCommand},
};

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage("no command given");
    /* Help and version anywhere: nothing else is done. */
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
            fputs(UsageText, stdout);
            fputs(HelpText, stdout);
            return ExitOk;
        }
        if (strcmp(argv[i], "--version") == 0) {
            printf("biostool %s\n", DORVANE_VERSION_TEXT);
            return ExitOk;
        }
    }
    for (const Command& command : Commands)
        if (strcmp(argv[1], command.Name) == 0)
            return command.Run(argc - 2, argv + 2);
    char problem[160];
    snprintf(problem, sizeof problem, "unknown %s %.100s", argv[1][0] == '-' ? "option" : "command", argv[1]);
    return Usage(problem);
}
