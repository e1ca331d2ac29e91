#include "image_load.h"

#include <stdio.h>

#include "bios_table.h"
#include "command_line.h"
#include "format_text.h"
#include "inbuilt_image.h"
#include "text_lookup.h"
#include "wizard_state.h"
#include "write_sequence.h"

namespace {

const uint32_t kMaxBlocks = BiosImageBufferSize / BiosImageBlockSize;

void TellBadFile(void *owner)
{
    TellUser(owner, 1034, "NoBiosImage",
             "The BIOS file you appears to be invalid or corrupt.\nPlease select a valid BIOS image file.", BoxOk);
}

// Reads whole blocks into NewImage; a file longer than the buffer is refused.
int ReadImageFile(void *owner, FILE *file)
{
    uint8_t *image = TheWizard.NewImage;
    uint32_t blocks = 0;
    while (blocks < kMaxBlocks && fread(image + blocks * BiosImageBlockSize, BiosImageBlockSize, 1, file) == 1)
        ++blocks;
    TheWizard.NewImageSize = blocks * BiosImageBlockSize;
    if (blocks == kMaxBlocks && fgetc(file) != EOF) {
        TheWizard.NewImageSize = 0;
        TellBadFile(owner);
        return 0;
    }
    if (!feof(file)) {
        TellBadFile(owner);
        return 0;
    }
    return 1;
}

int LoadFile(void *owner, const char *name)
{
    // No byte of an earlier image may reach the chip.
    FillBytes(TheWizard.NewImage, 0xFF, BiosImageBufferSize);
    FILE *file = *name ? fopen(name, "rb") : 0;
    if (!file) {
        TellUser(owner, 1033, "NoBiosImage",
                 "The BIOS file you specified does not exist.\nPlease select a valid BIOS image file.", BoxOk);
        return 0;
    }
    int result = ReadImageFile(owner, file);
    fclose(file);
    return result;
}

int LoadInBuilt(void *owner)
{
    if (!TheWizard.InBuiltImageAvailable) {
        TellUser(owner, 1035, "NoEmbeddedBios",
                 "This version of the programmer has no in-built BIOS image.\nYou will only be able to program your "
                 "BIOS from an existing image file.",
                 BoxOk | BoxIconInformation);
        return 0;
    }
    CopyBytes(TheWizard.NewImage, InBuiltImageData(), BiosImageBufferSize);
    TheWizard.NewImageSize = BiosImageBufferSize;
    return 1;
}

void TellInfo(void *owner, unsigned id, const char *key, const char *text)
{
    TellUser(owner, id, key, text, BoxOk | BoxIconInformation);
}

// The blank image refusals; 1 when the image may be used.
int BlankImageAllowed(void *owner, ImagePageKind kind, int blank)
{
    if (!blank)
        return 1;
    if (kind == StandardImagePage) {
        if (!TheWizard.DontMerge)
            return 1;
        TellInfo(owner, 1049, "MustMergeOnBlank",
                 "The selected BIOS is a blank image. You are only permitted to merge this type of BIOS.\nPlease "
                 "select a different image, or uncheck the 'don't merge' checkbox.");
        return 0;
    }
    if (TheWizard.MergeAfterReadError)
        return 1;
    if (OptionFlags.DevMode)
        TellInfo(owner, 1050, "MustMergeOnBlank2",
                 "The selected BIOS is a blank image. You are only permitted to merge this type of BIOS. Please "
                 "select a different image, or check the 'merge' checkbox.");
    else
        TellInfo(owner, 1051, "MustMergeOnBlank3",
                 "The selected BIOS is a blank image. You are not permitted to use this type of BIOS after a checksum "
                 "error. Please select a different image.");
    return 0;
}

}  // namespace

int LoadNewImage(void *owner, const char *name, int test, char *version, int *blank)
{
    *blank = 0;
    int result = name ? LoadFile(owner, name) : LoadInBuilt(owner);
    if (result && test &&
        (!ImageChecksumValid(TheWizard.NewImage, TheWizard.NewImageSize) || OptionFlags.ForceSourceCsErr)) {
        TellUser(owner, 1037, "SourceBiosCsErr",
                 "Checksum error in source BIOS image.\nTry selecting a different BIOS image.",
                 BoxOk | BoxIconError);
        result = 0;
    }
    version[0] = 0;
    if (!result)
        return 0;
    BiosTable table;
    if (ReadBiosTable(TheWizard.NewImage, &table)) {
        char line[ImageVersionSize];
        if (TableVersionLine(&table, line, sizeof line) < ImageVersionSize - 1)
            CopyText(version, ImageVersionSize, line);
        if (table.Flags == 0)
            *blank = 1;
    } else {
        LookupText(1047, "UnknownVersion", "Unknown Version", version, ImageVersionSize);
        for (char *p = version; *p; ++p)
            if (*p == '\r') {
                *p = 0;
                break;
            }
    }
    return 1;
}

ImageNextResult ImagePageNext(void *owner, ImagePageKind kind, int specific, const char *name)
{
    int ignore = kind == StandardImagePage ? TheWizard.IgnoreChecksum : TheWizard.IgnoreChecksumAfterReadError;
    char version[ImageVersionSize];
    int blank = 0;
    if (!LoadNewImage(owner, specific ? name : 0, ignore ? 0 : 1, version, &blank))
        return specific ? ImageStayInFile : ImageStay;
    TheWizard.MergeTable = kind == StandardImagePage ? 1 - TheWizard.DontMerge : TheWizard.MergeAfterReadError;
    if (!BlankImageAllowed(owner, kind, blank))
        return ImageStay;

    char caption[TextBufferSize];
    LookupText(1026, "WriteBIOSTitle", "Write BIOS", caption);
    FormatArg versionArg(version);
    if (TellUser(owner, 1027, "WriteBIOS",
                 "Your screen will now blank temporarily while your new BIOS is being written:\n%s\n\nClick OK to "
                 "continue or Cancel to select a different image.",
                 BoxOkCancel | BoxDefaultSecond, &versionArg, caption, 1) != AnswerOk)
        return ImageStay;
    return WriteSequence(owner) ? ImageWritten : ImageNotWritten;
}
