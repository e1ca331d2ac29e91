/* biosimage: writes generated video BIOS images.

   biosimage inbuilt --out FILE               the in-built release image (131072 bytes)
   biosimage inbuilt-source [--absent] --out FILE.cpp
                                              the C++ definition of the in-built block
   biosimage board [options] --out FILE       a board image of --size bytes

   board options: --layout legacy|stored, --size 65536|131072,
   --table-size 388|352 (stored), --blank (stored, Flags 0), --flags N,
   --product T, --version T, --line T (second text line), --vendor T,
   --slot6 REG=VALUE, --clock-hz N, --list-word N, --reg REG=VALUE
   (repeatable; replaces the default list), --count N (count word written to
   a legacy list, for broken images), --major N --minor N (stored version
   numbers), --seed N (code filler; 0 for none). Numbers take 0x for hex. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "board_image.h"
#include "inbuilt_source.h"

static uint8_t Image[BiosImageBufferSize];

static int Usage()
{
    fprintf(stderr,
            "usage: biosimage inbuilt --out FILE\n"
            "       biosimage inbuilt-source [--absent] --out FILE.cpp\n"
            "       biosimage board [--layout legacy|stored] [--size 65536|131072] [--table-size 388|352]\n"
            "                       [--blank] [--flags N] [--product T] [--version T] [--line T] [--vendor T]\n"
            "                       [--slot6 REG=VALUE] [--clock-hz N] [--list-word N] [--reg REG=VALUE]...\n"
            "                       [--count N] [--major N] [--minor N] [--seed N] --out FILE\n");
    return 2;
}

static int ParseNumber(const char* text, uint32_t* value)
{
    char* end = 0;
    unsigned long v = strtoul(text, &end, 0);
    if (end == text || *end != 0 || v > 0xFFFFFFFFul)
        return 0;
    *value = (uint32_t)v;
    return 1;
}

static int ParsePair(const char* text, uint32_t* reg, uint32_t* value)
{
    char left[64];
    const char* eq = strchr(text, '=');
    if (!eq || (size_t)(eq - text) >= sizeof(left))
        return 0;
    memcpy(left, text, eq - text);
    left[eq - text] = 0;
    return ParseNumber(left, reg) && ParseNumber(eq + 1, value);
}

static int CopyText(char* dest, const char* src)
{
    if (strlen(src) >= BoardTextSize)
        return 0;
    strcpy(dest, src);
    return 1;
}

static int WriteFile(const char* path, const uint8_t* data, uint32_t size)
{
    FILE* f = fopen(path, "wb");
    if (!f) {
        fprintf(stderr, "biosimage: cannot create %s\n", path);
        return 0;
    }
    int ok = fwrite(data, 1, size, f) == size;
    ok = fclose(f) == 0 && ok;
    if (!ok)
        fprintf(stderr, "biosimage: cannot write %s\n", path);
    return ok;
}

static int BoardCommand(int argc, char** argv)
{
    BoardRecipe recipe;
    DefaultBoardRecipe(&recipe);
    const char* out = 0;
    int listReplaced = 0;
    int countGiven = 0;
    for (int i = 0; i < argc; i++) {
        const char* opt = argv[i];
        const char* arg = i + 1 < argc ? argv[i + 1] : 0;
        uint32_t n = 0, reg = 0;
        int ok = 1;
        if (strcmp(opt, "--blank") == 0) {
            recipe.Layout = LayoutStored;
            recipe.Flags = 0;
            continue;
        }
        if (!arg)
            return Usage();
        i++;
        if (strcmp(opt, "--out") == 0) {
            out = arg;
        } else if (strcmp(opt, "--layout") == 0) {
            if (strcmp(arg, "legacy") == 0)
                recipe.Layout = LayoutLegacy;
            else if (strcmp(arg, "stored") == 0)
                recipe.Layout = LayoutStored;
            else
                ok = 0;
        } else if (strcmp(opt, "--size") == 0) {
            ok = ParseNumber(arg, &recipe.ImageSize);
        } else if (strcmp(opt, "--table-size") == 0) {
            ok = ParseNumber(arg, &recipe.TableSize);
        } else if (strcmp(opt, "--flags") == 0) {
            ok = ParseNumber(arg, &n) && n <= 0xFFFF;
            recipe.Flags = (uint16_t)n;
        } else if (strcmp(opt, "--product") == 0) {
            ok = CopyText(recipe.Product, arg);
        } else if (strcmp(opt, "--version") == 0) {
            ok = CopyText(recipe.Version, arg);
        } else if (strcmp(opt, "--line") == 0) {
            ok = CopyText(recipe.SecondLine, arg);
        } else if (strcmp(opt, "--vendor") == 0) {
            ok = CopyText(recipe.Vendor, arg);
        } else if (strcmp(opt, "--slot6") == 0) {
            ok = ParsePair(arg, &recipe.Slot6Register, &n) && n <= 0xFFFF;
            recipe.Slot6Value = (uint16_t)n;
        } else if (strcmp(opt, "--clock-hz") == 0) {
            ok = ParseNumber(arg, &recipe.ClockHz);
        } else if (strcmp(opt, "--list-word") == 0) {
            ok = ParseNumber(arg, &recipe.ListWord);
        } else if (strcmp(opt, "--reg") == 0) {
            if (!listReplaced)
                recipe.RegisterCount = 0;
            listReplaced = 1;
            ok = ParsePair(arg, &reg, &n) && recipe.RegisterCount < BoardMaxRegisters;
            if (ok) {
                recipe.Registers[recipe.RegisterCount].Register = reg;
                recipe.Registers[recipe.RegisterCount].Value = n;
                recipe.RegisterCount++;
            }
        } else if (strcmp(opt, "--count") == 0) {
            ok = ParseNumber(arg, &recipe.WrittenCount);
            countGiven = 1;
        } else if (strcmp(opt, "--major") == 0) {
            ok = ParseNumber(arg, &n) && n <= 255;
            recipe.VersionMajor = (uint8_t)n;
        } else if (strcmp(opt, "--minor") == 0) {
            ok = ParseNumber(arg, &n) && n <= 255;
            recipe.VersionMinor = (uint8_t)n;
        } else if (strcmp(opt, "--seed") == 0) {
            ok = ParseNumber(arg, &recipe.FillSeed);
        } else {
            ok = 0;
        }
        if (!ok) {
            fprintf(stderr, "biosimage: bad option %s %s\n", opt, arg);
            return 2;
        }
    }
    if (!out)
        return Usage();
    if (!countGiven)
        recipe.WrittenCount = recipe.RegisterCount;
    if (!BuildBoardImage(&recipe, Image)) {
        fprintf(stderr,
                "biosimage: the board description does not fit an image "
                "(size 65536 or 131072, at most 21 registers, legacy needs 5 or more and non-zero flags, "
                "texts within 128 bytes)\n");
        return 1;
    }
    return WriteFile(out, Image, recipe.ImageSize) ? 0 : 1;
}

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage();
    const char* command = argv[1];
    if (strcmp(command, "board") == 0)
        return BoardCommand(argc - 2, argv + 2);

    const char* out = 0;
    int absent = 0;
    for (int i = 2; i < argc; i++) {
        if (strcmp(argv[i], "--out") == 0 && i + 1 < argc)
            out = argv[++i];
        else if (strcmp(argv[i], "--absent") == 0)
            absent = 1;
        else
            return Usage();
    }
    if (!out)
        return Usage();

    if (strcmp(command, "inbuilt") == 0) {
        BuildInBuiltImage(Image);
        return WriteFile(out, Image, BiosImageBufferSize) ? 0 : 1;
    }
    if (strcmp(command, "inbuilt-source") == 0) {
        if (!absent)
            BuildInBuiltImage(Image);
        FILE* f = fopen(out, "w");
        if (!f) {
            fprintf(stderr, "biosimage: cannot create %s\n", out);
            return 1;
        }
        int ok = WriteInBuiltImageSource(f, absent ? 0 : Image);
        ok = fclose(f) == 0 && ok;
        if (!ok)
            fprintf(stderr, "biosimage: cannot write %s\n", out);
        return ok ? 0 : 1;
    }
    return Usage();
}
