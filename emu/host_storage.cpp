// Chip image files on the host file system.
#include <stdio.h>

#include "emu_storage.h"

int EmuStorageRead(const char* path, uint8_t* data, uint32_t size, uint32_t* length)
{
    FILE* file = fopen(path, "rb");
    if (!file)
        return 0;
    *length = static_cast<uint32_t>(fread(data, 1, size, file));
    fclose(file);
    return 1;
}

int EmuStorageWrite(const char* path, const uint8_t* data, uint32_t size)
{
    FILE* file = fopen(path, "wb");
    if (!file)
        return 0;
    size_t written = fwrite(data, 1, size, file);
    int closed = fclose(file) == 0;
    return written == size && closed;
}
