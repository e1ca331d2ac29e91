#include "image_file.h"

#include <stdio.h>
#include <string.h>

int LoadImageFile(const char* path, ImageFile* file)
{
    memset(file->Data, 0, sizeof(file->Data));
    file->FileSize = 0;
    file->Length = 0;
    FILE* f = fopen(path, "rb");
    if (!f) {
        fprintf(stderr, "biostool: cannot open %s\n", path);
        return 0;
    }
    uint32_t blocks = 0;
    for (;;) {
        uint32_t room = BiosImageBufferSize - file->FileSize;
        if (room == 0)
            break;
        uint32_t want = room < BiosImageBlockSize ? room : BiosImageBlockSize;
        size_t got = fread(file->Data + file->FileSize, 1, want, f);
        file->FileSize += (uint32_t)got;
        if (got < BiosImageBlockSize)
            break;
        blocks++;
    }
    /* One more byte means the file does not fit an image buffer. */
    uint8_t extra;
    int longer = file->FileSize == BiosImageBufferSize && fread(&extra, 1, 1, f) == 1;
    int failed = ferror(f) != 0;
    fclose(f);
    if (failed) {
        fprintf(stderr, "biostool: cannot read %s\n", path);
        return 0;
    }
    if (longer) {
        fprintf(stderr, "biostool: %s is longer than %u bytes: not a video BIOS image\n", path,
                (unsigned)BiosImageBufferSize);
        return 0;
    }
    file->Length = blocks * BiosImageBlockSize;
    return 1;
}

int SaveImageFile(const char* path, const uint8_t* data, uint32_t size)
{
    FILE* f = fopen(path, "wb");
    if (!f) {
        fprintf(stderr, "biostool: cannot create %s\n", path);
        return 0;
    }
    int ok = fwrite(data, 1, size, f) == size;
    ok = fclose(f) == 0 && ok;
    if (!ok)
        fprintf(stderr, "biostool: cannot write %s\n", path);
    return ok;
}
