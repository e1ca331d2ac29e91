#include "declared_length.h"

DeclaredLength CheckDeclaredLength(const ImageFile* file)
{
    DeclaredLength declared;
    declared.Length = ImageDeclaredLength(file->Data);
    if (declared.Length == 0)
        declared.Check = DeclaredAbsent;
    else if (declared.Length > file->FileSize)
        declared.Check = DeclaredBeyondFile;
    else
        declared.Check = ImageChecksumValid(file->Data, declared.Length) ? DeclaredValid : DeclaredInvalid;
    return declared;
}

const char* DeclaredCheckName(DeclaredCheck check)
{
    switch (check) {
    case DeclaredBeyondFile: return "beyond the file";
    case DeclaredValid: return "valid";
    case DeclaredInvalid: return "invalid";
    default: return "none";
    }
}

uint32_t PaddedLength(const ImageFile* file)
{
    return (file->FileSize + BiosImageBlockSize - 1) / BiosImageBlockSize * BiosImageBlockSize;
}

int PaddingMends(const ImageFile* file)
{
    /* The buffer past the file holds zeros, so the sum over the padded
       length is the file's own. */
    return file->FileSize % BiosImageBlockSize != 0 && ImageChecksumValid(file->Data, PaddedLength(file));
}

void PrintDeclaredLength(FILE* out, const char* path, const ImageFile* file)
{
    DeclaredLength declared = CheckDeclaredLength(file);
    if (declared.Check == DeclaredAbsent) {
        fprintf(out, "declared length: none (size byte 0)\n");
    } else if (declared.Check == DeclaredBeyondFile) {
        fprintf(out, "declared length: %u bytes (size byte %u x 512), beyond the file's %u bytes\n",
                (unsigned)declared.Length, (unsigned)file->Data[BiosSizeByteOffset], (unsigned)file->FileSize);
    } else {
        fprintf(out, "declared length: %u bytes (size byte %u x 512), checksum %s over them\n",
                (unsigned)declared.Length, (unsigned)file->Data[BiosSizeByteOffset], DeclaredCheckName(declared.Check));
    }
    if (PaddingMends(file))
        fprintf(out,
                "the file ends inside a 32768-byte block and the wizard counts whole blocks: "
                "biostool pad %s OUT fills it with zero bytes to %u bytes, its checksum unchanged\n",
                path, (unsigned)PaddedLength(file));
}
