#include "image_load.h"

#include <stdio.h>

#include "bios_table.h"
#include "byte_routines.h"
#include "command_line.h"
#include "format_text.h"
#include "inbuilt_image.h"
#include "text_lookup.h"
#include "user_texts.h"
#include "wizard_state.h"
#include "write_sequence.h"

namespace {

const uint32_t MaxBlocks = BiosImageBufferSize / BiosImageBlockSize;

void TellBadFile(void* owner)
{
    TellUser(owner, TextNoBiosImageInvalid, BoxOk);
}

// Reads whole blocks into NewImage; a file longer than the buffer is refused.
int ReadImageFile(void* owner, FILE* file)
{
    uint8_t* image = TheWizard.NewImage;
    uint32_t blocks = 0;
    while (blocks < MaxBlocks && fread(image + blocks * BiosImageBlockSize, BiosImageBlockSize, 1, file) == 1)
        ++blocks;
    TheWizard.NewImageSize = blocks * BiosImageBlockSize;
    if (blocks == MaxBlocks && fgetc(file) != EOF) {
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

int LoadFile(void* owner, const char* name)
{
    // No byte of an earlier image may reach the chip.
    FillBytes(TheWizard.NewImage, 0xFF, BiosImageBufferSize);
    FILE* file = *name ? fopen(name, "rb") : 0;
    if (!file) {
        TellUser(owner, TextNoBiosImage, BoxOk);
        return 0;
    }
    int result = ReadImageFile(owner, file);
    fclose(file);
    return result;
}

int LoadInBuilt(void* owner)
{
    if (!TheWizard.InBuiltImageAvailable) {
        TellUser(owner, TextNoEmbeddedBios, BoxOk | BoxIconInformation);
        return 0;
    }
    CopyBytes(TheWizard.NewImage, InBuiltImageData(), BiosImageBufferSize);
    TheWizard.NewImageSize = BiosImageBufferSize;
    return 1;
}

void TellInfo(void* owner, const TextRef& shown)
{
    TellUser(owner, shown, BoxOk | BoxIconInformation);
}

// The blank image refusals; 1 when the image may be used.
int BlankImageAllowed(void* owner, ImagePageKind kind, int blank)
{
    if (!blank)
        return 1;
    if (kind == StandardImagePage) {
        if (!TheWizard.DontMerge)
            return 1;
        TellInfo(owner, TextMustMergeOnBlank);
        return 0;
    }
    if (TheWizard.MergeAfterReadError)
        return 1;
    if (OptionFlags.DevMode)
        TellInfo(owner, TextMustMergeOnBlank2);
    else
        TellInfo(owner, TextMustMergeOnBlank3);
    return 0;
}

}  // namespace

int LoadNewImage(void* owner, const char* name, int test, char* version, int* blank)
{
    *blank = 0;
    int result = name ? LoadFile(owner, name) : LoadInBuilt(owner);
    if (result && test &&
        (!ImageChecksumValid(TheWizard.NewImage, TheWizard.NewImageSize) || OptionFlags.ForceSourceCsErr)) {
        TellUser(owner, TextSourceBiosCsErr, BoxOk | BoxIconError);
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
        LookupText(TextUnknownVersion, version, ImageVersionSize);
        for (char* p = version; *p; ++p)
            if (*p == '\r') {
                *p = 0;
                break;
            }
    }
    return 1;
}

ImageNextResult ImagePageNext(FlashSession* session, const WizardHost& host, void* owner, ImagePageKind kind,
                              int specific, const char* name, int readBackChecksum)
{
    int ignore = kind == StandardImagePage ? TheWizard.IgnoreChecksum : TheWizard.IgnoreChecksumAfterReadError;
    char version[ImageVersionSize];
    int blank = 0;
    if (!LoadNewImage(owner, specific ? name : 0, ignore ? 0 : 1, version, &blank))
        return specific ? ImageStayInFile : ImageStay;
    // An image that declares more than the card's chip holds cannot go onto
    // this card, merged or not: said before the user is asked to write it.
    if (session->CardHeld && !ImageFitsChip(TheWizard.NewImage, session->CardLength)) {
        TellBadFile(owner);
        return ImageTooLongForChip;
    }
    TheWizard.MergeTable = kind == StandardImagePage ? 1 - TheWizard.DontMerge : TheWizard.MergeAfterReadError;
    if (!BlankImageAllowed(owner, kind, blank))
        return ImageStay;

    char caption[TextBufferSize];
    LookupText(TextWriteBiosTitle, caption);
    FormatArg versionArg(version);
    if (TellUser(owner, TextWriteBios, BoxOkCancel | BoxDefaultSecond, &versionArg, caption, 1) != AnswerOk)
        return ImageStay;
    FlashPlan plan = {};
    plan.Image = TheWizard.NewImage;
    plan.Merge = TheWizard.MergeTable;
    plan.ReadBackChecksum = readBackChecksum;
    FlashOutcome outcome = WriteSequence(session, plan, host, owner);
    return outcome == FlashWritten || outcome == FlashSkipped ? ImageWritten : ImageNotWritten;
}
