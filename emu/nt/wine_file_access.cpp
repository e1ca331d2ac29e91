#include "wine_file_access.h"

#include "emu_storage.h"
#include "nt_ddk.h"

namespace {

const unsigned NtPathCapacity = 300;
WCHAR NtPathBuffer[NtPathCapacity];

// "\??\" followed by the DOS path, both slashes taken as separators and a
// run of them as one (a folder that ends in one joined with a name). Only
// 7-bit paths are accepted.
int MakeNtPath(const char* path, UNICODE_STRING* name)
{
    const char prefix[] = "\\??\\";
    unsigned length = 0;
    for (const char* p = prefix; *p; ++p)
        NtPathBuffer[length++] = static_cast<WCHAR>(*p);
    for (const char* p = path; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c >= 0x80 || length + 1 >= NtPathCapacity)
            return 0;
        if (c == '/')
            c = '\\';
        if (c == '\\' && NtPathBuffer[length - 1] == '\\')
            continue;
        NtPathBuffer[length++] = static_cast<WCHAR>(c);
    }
    NtPathBuffer[length] = 0;
    name->Buffer = NtPathBuffer;
    name->Length = static_cast<USHORT>(length * sizeof(WCHAR));
    name->MaximumLength = static_cast<USHORT>((length + 1) * sizeof(WCHAR));
    return 1;
}

HANDLE OpenFile(const char* path, ACCESS_MASK access, ULONG disposition)
{
    UNICODE_STRING name;
    if (!MakeNtPath(path, &name))
        return 0;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, 0, 0);
    IO_STATUS_BLOCK io;
    HANDLE file = 0;
    NTSTATUS status =
        ZwCreateFile(&file, access | SYNCHRONIZE, &attributes, &io, 0, FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ,
                     disposition, FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE, 0, 0);
    return NT_SUCCESS(status) ? file : 0;
}

// Moves size bytes between data and the file in as many calls as it takes.
// A read may end early at the end of the file (length says how far it got);
// a write that stops moving bytes has failed.
int TransferWholeFile(const char* path, int writing, uint8_t* data, uint32_t size, uint32_t* length)
{
    HANDLE file = writing ? OpenFile(path, GENERIC_WRITE, FILE_OVERWRITE_IF) : OpenFile(path, GENERIC_READ, FILE_OPEN);
    if (!file)
        return 0;
    uint32_t total = 0;
    int ok = 1;
    while (total < size) {
        IO_STATUS_BLOCK io;
        NTSTATUS status = writing ? ZwWriteFile(file, 0, 0, 0, &io, data + total, size - total, 0, 0)
                                  : ZwReadFile(file, 0, 0, 0, &io, data + total, size - total, 0, 0);
        if (!writing && (status == STATUS_END_OF_FILE || (NT_SUCCESS(status) && io.Information == 0)))
            break;
        if (!NT_SUCCESS(status) || io.Information == 0) {
            ok = 0;
            break;
        }
        total += static_cast<uint32_t>(io.Information);
    }
    ZwClose(file);
    *length = total;
    return ok;
}

}  // namespace

int ReadWholeFile(const char* path, uint8_t* data, uint32_t size, uint32_t* length)
{
    return TransferWholeFile(path, 0, data, size, length);
}

int WriteWholeFile(const char* path, const uint8_t* data, uint32_t size)
{
    uint32_t written = 0;
    return TransferWholeFile(path, 1, const_cast<uint8_t*>(data), size, &written);
}

// The machine core keeps its chip images through these.
int EmuStorageRead(const char* path, uint8_t* data, uint32_t size, uint32_t* length)
{
    return ReadWholeFile(path, data, size, length);
}

int EmuStorageWrite(const char* path, const uint8_t* data, uint32_t size)
{
    return WriteWholeFile(path, data, size);
}
