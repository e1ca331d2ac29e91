#include "pe_loader.h"

#include <stdio.h>
#include <string.h>
#include <sys/mman.h>

#include <vector>

#include "export_tables.h"
#include "model_kernel.h"
#include "model_routines.h"

namespace {

uint32_t Read32(const std::vector<uint8_t>& file, uint32_t offset)
{
    uint32_t value = 0;
    if (offset + 4 <= file.size())
        memcpy(&value, &file[offset], 4);
    return value;
}

uint16_t Read16(const std::vector<uint8_t>& file, uint32_t offset)
{
    uint16_t value = 0;
    if (offset + 2 <= file.size())
        memcpy(&value, &file[offset], 2);
    return value;
}

int Fail(char* error, uint32_t errorSize, const char* text)
{
    snprintf(error, errorSize, "%s", text);
    return 0;
}

// A NUL-terminated name at an image offset, or null if it runs off the image.
const char* ImageString(uint8_t* base, uint32_t size, uint32_t offset)
{
    if (offset >= size || !memchr(base + offset, 0, size - offset))
        return nullptr;
    return reinterpret_cast<const char*>(base + offset);
}

}  // namespace

int LoadDriverImage(const char* path, char* error, uint32_t errorSize)
{
    FILE* stream = fopen(path, "rb");
    if (!stream) {
        snprintf(error, errorSize, "%s: cannot open the driver", path);
        return 0;
    }
    std::vector<uint8_t> file;
    uint8_t chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, stream)) > 0)
        file.insert(file.end(), chunk, chunk + got);
    fclose(stream);

    if (Read16(file, 0) != 0x5A4D)
        return Fail(error, errorSize, "not an executable image (no MZ header)");
    uint32_t pe = Read32(file, 0x3C);
    if (Read32(file, pe) != 0x00004550 || Read16(file, pe + 4) != 0x014C)
        return Fail(error, errorSize, "not an i386 PE image");
    uint16_t sectionCount = Read16(file, pe + 6);
    uint16_t optionalSize = Read16(file, pe + 20);
    uint32_t optional = pe + 24;
    if (Read16(file, optional) != 0x010B)
        return Fail(error, errorSize, "not a 32-bit optional header");
    if (Read16(file, optional + 68) != 1)
        return Fail(error, errorSize, "not an image for the native subsystem");
    uint32_t entry = Read32(file, optional + 16);
    uint32_t preferredBase = Read32(file, optional + 28);
    uint32_t imageSize = Read32(file, optional + 56);
    uint32_t headersSize = Read32(file, optional + 60);
    uint32_t directories = optional + 96;
    uint32_t importRva = Read32(file, directories + 8);
    uint32_t relocationRva = Read32(file, directories + 40);
    uint32_t relocationSize = Read32(file, directories + 44);
    if (imageSize == 0 || imageSize > 64 * 1024 * 1024 || headersSize > file.size())
        return Fail(error, errorSize, "the image size is not plausible");

    void* mapped = mmap(nullptr, imageSize, PROT_READ | PROT_WRITE | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return Fail(error, errorSize, "cannot map the image");
    uint8_t* base = static_cast<uint8_t*>(mapped);
    memcpy(base, file.data(), headersSize < imageSize ? headersSize : imageSize);
    uint32_t sections = optional + optionalSize;
    for (uint16_t i = 0; i < sectionCount; ++i) {
        uint32_t header = sections + i * 40;
        uint32_t virtualSize = Read32(file, header + 8);
        uint32_t rva = Read32(file, header + 12);
        uint32_t rawSize = Read32(file, header + 16);
        uint32_t rawOffset = Read32(file, header + 20);
        uint32_t copy = rawSize < virtualSize || virtualSize == 0 ? rawSize : virtualSize;
        if (rva > imageSize || copy > imageSize - rva || rawOffset > file.size() || copy > file.size() - rawOffset)
            return Fail(error, errorSize, "a section lies outside the image or the file");
        memcpy(base + rva, &file[rawOffset], copy);
    }

    // Base relocations: only HIGHLOW (3) and padding (0) occur in i386 images.
    uint32_t delta = reinterpret_cast<uint32_t>(base) - preferredBase;
    uint32_t block = relocationRva;
    while (relocationSize && block + 8 <= relocationRva + relocationSize && block + 8 <= imageSize) {
        uint32_t page;
        uint32_t blockSize;
        memcpy(&page, base + block, 4);
        memcpy(&blockSize, base + block + 4, 4);
        if (blockSize < 8 || block + blockSize > imageSize)
            return Fail(error, errorSize, "a relocation block is malformed");
        for (uint32_t at = block + 8; at + 2 <= block + blockSize; at += 2) {
            uint16_t item;
            memcpy(&item, base + at, 2);
            uint32_t type = item >> 12;
            uint32_t target = page + (item & 0xFFF);
            if (type == 0)
                continue;
            if (type != 3 || target + 4 > imageSize)
                return Fail(error, errorSize, "a relocation of a kind an i386 image does not use");
            uint32_t value;
            memcpy(&value, base + target, 4);
            value += delta;
            memcpy(base + target, &value, 4);
        }
        block += blockSize;
    }

    Image.Base = base;
    Image.Size = imageSize;
    const char* slash = strrchr(path, '/');
    snprintf(ImageName, sizeof ImageName, "%s", slash ? slash + 1 : path);

    // Imports, bound by name.
    for (uint32_t descriptor = importRva; importRva && descriptor + 20 <= imageSize; descriptor += 20) {
        uint32_t lookup, nameRva, addresses;
        memcpy(&lookup, base + descriptor, 4);
        memcpy(&nameRva, base + descriptor + 12, 4);
        memcpy(&addresses, base + descriptor + 16, 4);
        if (nameRva == 0 && addresses == 0)
            break;
        const char* dll = ImageString(base, imageSize, nameRva);
        if (!dll)
            return Fail(error, errorSize, "an import descriptor names no DLL");
        uint32_t names = lookup ? lookup : addresses;
        for (uint32_t slot = 0;; ++slot) {
            uint32_t thunk;
            if (names + slot * 4 + 4 > imageSize || addresses + slot * 4 + 4 > imageSize)
                return Fail(error, errorSize, "an import table runs off the image");
            memcpy(&thunk, base + names + slot * 4, 4);
            if (thunk == 0)
                break;
            if (thunk & 0x80000000u) {
                snprintf(error, errorSize, "%s: an import by ordinal (%u) cannot be bound", dll, thunk & 0xFFFF);
                return 0;
            }
            const char* name = ImageString(base, imageSize, thunk + 2);
            if (!name)
                return Fail(error, errorSize, "an import names no routine");
            uint8_t* slotAddress = base + addresses + slot * 4;
            // Only a routine the export table knows can be said to be missing
            // from a kernel; any other the model merely does not serve.
            int exported = VersionExports(Settings.Version, dll, name);
            if (exported == ExportAbsent)
                RefuseLoad(name, slotAddress, "%s of NT %s does not export it", dll, VersionName(Settings.Version));
            const ModelRoutine* routine = FindModelRoutine(name);
            if (exported == ExportUnknown || !routine)
                RefuseLoad(name, slotAddress, "the model does not serve %s from %s", name, dll);
            uint32_t bound = reinterpret_cast<uint32_t>(routine->Address);
            memcpy(base + addresses + slot * 4, &bound, 4);
        }
    }

    Image.Base = base;
    Image.Size = imageSize;
    Image.Entry = base + entry;
    Image.Unloaded = 0;
    return 1;
}

void RetireDriverImage()
{
    mprotect(Image.Base, Image.Size, PROT_NONE);
}
