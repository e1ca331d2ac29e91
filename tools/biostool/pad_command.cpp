#include "pad_command.h"

#include <stdio.h>

#include "declared_length.h"
#include "image_file.h"
#include "pci_data.h"

static ImageFile PadFile;

int PadImage(const char* inPath, const char* outPath)
{
    if (!LoadImageFile(inPath, &PadFile))
        return 1;
    if (PadFile.FileSize < 2 || PadFile.Data[0] != 0x55 || PadFile.Data[1] != 0xAA) {
        fprintf(stderr, "biostool: %s does not start with 55 AA: not a video BIOS image\n", inPath);
        return 1;
    }
    if (PadFile.FileSize % BiosImageBlockSize == 0) {
        fprintf(stderr, "biostool: %s is %u bytes, whole 32768-byte blocks already: nothing to pad\n", inPath,
                (unsigned)PadFile.FileSize);
        return 1;
    }
    if (!PaddingMends(&PadFile)) {
        DeclaredLength declared = CheckDeclaredLength(&PadFile);
        fprintf(stderr,
                "biostool: %s: its bytes do not sum to 0 (checksum over its declared length: %s), so padding "
                "cannot make its checksum valid: not padded\n",
                inPath, DeclaredCheckName(declared.Check));
        return 1;
    }
    /* An existing file, the input itself among them, is never replaced. */
    FILE* existing = fopen(outPath, "rb");
    if (existing) {
        fclose(existing);
        fprintf(stderr, "biostool: %s exists: not overwritten\n", outPath);
        return 1;
    }
    uint32_t padded = PaddedLength(&PadFile);
    if (!SaveImageFile(outPath, PadFile.Data, padded)) {
        remove(outPath); /* a part of an image must not pass for one */
        return 1;
    }
    /* Padding mends any option ROM; the card it is for is the user's to check. */
    PciData data;
    PciDataVerdict verdict = JudgePciData(PadFile.Data, PadFile.FileSize, &data);
    if (verdict != PciDataOrvel) {
        char problem[512];
        PciDataProblem(inPath, verdict, data, problem, sizeof problem);
        fprintf(stderr, "biostool: warning: %s\n", problem);
    }
    printf("padded: %s written, %u bytes (%u from %s and %u zero bytes), checksum valid over %u bytes\n", outPath,
           (unsigned)padded, (unsigned)PadFile.FileSize, inPath, (unsigned)(padded - PadFile.FileSize),
           (unsigned)padded);
    return 0;
}
