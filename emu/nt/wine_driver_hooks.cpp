// Start-up and shutdown of the emulated-hardware driver: the machine is the
// file Pelmix.machine beside the driver file (found through the service's
// ImagePath), its chip images live beside it, and every changed image is
// written back after each request. A machine that cannot be loaded stops the
// driver from loading, with the reason in Pelmix.error.txt beside it.
#include "driver_hooks.h"
#include "emu_text.h"
#include "pci_machine.h"
#include "stale_pool.h"
#include "wine_file_access.h"

namespace {

const unsigned PathCapacity = 260;
char DriverFolder[PathCapacity];  // ends in a backslash
char ScratchPath[PathCapacity];

const unsigned MachineTextCapacity = 65536;
char MachineText[MachineTextCapacity + 1];

char ErrorText[256];

// The value of ImagePath, as a partial-information record of the registry.
struct ImagePathValue {
    KEY_VALUE_PARTIAL_INFORMATION Header;
    WCHAR More[PathCapacity + 8];
};
ImagePathValue ImagePathBuffer;

// DriverFolder + name into ScratchPath; 0 when it does not fit.
int PathBeside(const char* name)
{
    unsigned folder = EmuTextLength(DriverFolder);
    unsigned length = EmuTextLength(name);
    if (folder + length + 1 > PathCapacity)
        return 0;
    for (unsigned i = 0; i < folder; ++i)
        ScratchPath[i] = DriverFolder[i];
    for (unsigned i = 0; i <= length; ++i)
        ScratchPath[folder + i] = name[i];
    return 1;
}

void CopyText(char* target, unsigned capacity, const char* text)
{
    unsigned i = 0;
    for (; text[i] && i + 1 < capacity; ++i)
        target[i] = text[i];
    target[i] = 0;
}

void ReportError(const char* text)
{
    if (text != ErrorText)
        CopyText(ErrorText, sizeof ErrorText, text);
    if (DriverFolder[0] && PathBeside("Pelmix.error.txt"))
        WriteWholeFile(ScratchPath, reinterpret_cast<const uint8_t*>(ErrorText), EmuTextLength(ErrorText));
}

// The driver file's folder from the service's ImagePath, which holds a DOS
// path, or an NT path that starts with \??\.
int FindDriverFolder(PUNICODE_STRING registryPath)
{
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, registryPath, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, 0, 0);
    HANDLE key;
    if (!NT_SUCCESS(ZwOpenKey(&key, KEY_READ, &attributes)))
        return 0;
    UNICODE_STRING valueName;
    RtlInitUnicodeString(&valueName, L"ImagePath");
    ULONG resultLength = 0;
    NTSTATUS status = ZwQueryValueKey(key, &valueName, KeyValuePartialInformation, &ImagePathBuffer,
                                      sizeof ImagePathBuffer, &resultLength);
    ZwClose(key);
    if (!NT_SUCCESS(status))
        return 0;

    const WCHAR* text = reinterpret_cast<const WCHAR*>(ImagePathBuffer.Header.Data);
    unsigned count = ImagePathBuffer.Header.DataLength / sizeof(WCHAR);
    while (count > 0 && text[count - 1] == 0)
        --count;
    if (count >= 4 && text[0] == '\\' && text[1] == '?' && text[2] == '?' && text[3] == '\\') {
        text += 4;
        count -= 4;
    }
    int lastSeparator = -1;
    for (unsigned i = 0; i < count; ++i) {
        if (text[i] == '\\' || text[i] == '/')
            lastSeparator = static_cast<int>(i);
    }
    if (lastSeparator < 0 || static_cast<unsigned>(lastSeparator) + 2 > PathCapacity)
        return 0;
    for (int i = 0; i <= lastSeparator; ++i) {
        if (text[i] >= 0x80)
            return 0;
        DriverFolder[i] = static_cast<char>(text[i] == '/' ? '\\' : text[i]);
    }
    DriverFolder[lastSeparator + 1] = 0;
    return 1;
}

int LoadMachine()
{
    uint32_t length = 0;
    if (!PathBeside("Pelmix.machine") ||
        !ReadWholeFile(ScratchPath, reinterpret_cast<uint8_t*>(MachineText), MachineTextCapacity + 1, &length)) {
        ReportError("cannot read Pelmix.machine beside the driver");
        return 0;
    }
    if (length > MachineTextCapacity) {
        ReportError("Pelmix.machine is larger than 64 KB");
        return 0;
    }
    MachineText[length] = 0;
    if (!EmuLoadMachine(MachineText, ErrorText, sizeof ErrorText)) {
        ReportError(ErrorText);
        return 0;
    }
    EmuSetImageFolder(DriverFolder);
    if (!EmuLoadImages(ErrorText, sizeof ErrorText)) {
        ReportError(ErrorText);
        return 0;
    }
    return 1;
}

void SaveImages()
{
    if (!EmuSaveChangedImages(ErrorText, sizeof ErrorText))
        ReportError(ErrorText);
}

}  // namespace

NTSTATUS DriverHooksStart(PDRIVER_OBJECT, PUNICODE_STRING registryPath)
{
    DriverFolder[0] = 0;
    if (!FindDriverFolder(registryPath))
        return STATUS_OBJECT_PATH_NOT_FOUND;
    if (!LoadMachine())
        return STATUS_UNSUCCESSFUL;
    return STATUS_SUCCESS;
}

// Wine hands over a buffer whose part past the input may happen to be
// clean; a real kernel's is not, so make it stale as a real one would be.
void DriverHooksRequestStart(void* systemBuffer, ULONG inLength, ULONG outLength)
{
    ULONG size = inLength > outLength ? inLength : outLength;
    if (systemBuffer)
        EmuFillStalePool(static_cast<uint8_t*>(systemBuffer), inLength, size);
}

void DriverHooksRequestDone()
{
    SaveImages();
}

void DriverHooksStop()
{
    SaveImages();
}
