// Chip contents persist in image files named by image= (relative names are
// taken from the machine file's folder). The file access itself is the
// build's (emu_storage.h).
#include "emu_storage.h"
#include "emu_text.h"
#include "machine_state.h"

namespace {

char ImageFolder[EmuPathSize];

int IsAbsolute(const char* path)
{
    if (path[0] == '/' || path[0] == '\\')
        return 1;
    return path[0] != 0 && path[1] == ':';
}

int FullPath(const char* path, char* full, uint32_t size)
{
    EmuLine line;
    EmuLineStart(&line, full, size);
    if (!IsAbsolute(path) && ImageFolder[0]) {
        EmuLineText(&line, ImageFolder);
        EmuLineText(&line, "/");
    }
    EmuLineText(&line, path);
    return EmuTextLength(ImageFolder) + EmuTextLength(path) + 2 <= size;
}

int Report(char* error, uint32_t errorSize, const char* what, const char* path)
{
    if (error && errorSize > 0) {
        EmuLine line;
        EmuLineStart(&line, error, errorSize);
        EmuLineText(&line, what);
        EmuLineText(&line, " ");
        EmuLineText(&line, path);
    }
    return 0;
}

}  // namespace

void EmuSetImageFolder(const char* folder)
{
    EmuLine line;
    EmuLineStart(&line, ImageFolder, sizeof ImageFolder);
    EmuLineText(&line, folder);
}

int EmuLoadImages(char* error, uint32_t errorSize)
{
    for (uint32_t i = 0; i < Machine.CardCount; ++i) {
        EmuChip* chip = &Machine.Cards[i].Chip;
        if (!chip->Model || !chip->ImagePath[0])
            continue;
        char path[2 * EmuPathSize];
        if (!FullPath(chip->ImagePath, path, sizeof path))
            return Report(error, errorSize, "image path too long:", chip->ImagePath);
        uint32_t length = 0;
        EmuFill(chip->Data, 0xFF, EmuChipCapacity);
        if (EmuStorageRead(path, chip->Data, chip->Model->Size, &length)) {
            // A short file leaves the rest erased.
            chip->Dirty = length < chip->Model->Size;
        } else {
            chip->Dirty = 1;
        }
        if (chip->Dirty) {
            if (!EmuStorageWrite(path, chip->Data, chip->Model->Size))
                return Report(error, errorSize, "cannot write image", path);
            chip->Dirty = 0;
        }
    }
    return 1;
}

int EmuSaveChangedImages(char* error, uint32_t errorSize)
{
    int ok = 1;
    for (uint32_t i = 0; i < Machine.CardCount; ++i) {
        EmuChipSettle(&Machine.Cards[i]);
        EmuChip* chip = &Machine.Cards[i].Chip;
        if (!chip->Model || !chip->ImagePath[0] || !chip->Dirty)
            continue;
        char path[2 * EmuPathSize];
        if (!FullPath(chip->ImagePath, path, sizeof path) || !EmuStorageWrite(path, chip->Data, chip->Model->Size)) {
            ok = Report(error, errorSize, "cannot write image", path);
            continue;
        }
        chip->Dirty = 0;
    }
    return ok;
}
