// Loading a machine file from the host file system: the native platform's
// and the model NT kernel's.
#include <stdio.h>
#include <string.h>

#include <string>

#include "host_platform.h"
#include "pci_machine.h"

namespace {

void Report(char* error, uint32_t errorSize, const std::string& text)
{
    if (error && errorSize > 0)
        snprintf(error, errorSize, "%s", text.c_str());
}

}  // namespace

int HostLoadMachineFile(const char* path, char* error, uint32_t errorSize)
{
    FILE* file = fopen(path, "rb");
    if (!file) {
        Report(error, errorSize, std::string(path) + ": cannot open the machine file");
        return 0;
    }
    std::string text;
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0)
        text.append(chunk, got);
    fclose(file);
    if (text.find('\0') != std::string::npos) {
        Report(error, errorSize, std::string(path) + ": not a text file");
        return 0;
    }

    std::string folder(path);
    size_t slash = folder.find_last_of('/');
    folder = slash == std::string::npos ? std::string(".") : folder.substr(0, slash == 0 ? 1 : slash);
    EmuSetImageFolder(folder.c_str());

    char reason[256] = {};
    if (!EmuLoadMachine(text.c_str(), reason, sizeof reason)) {
        Report(error, errorSize, std::string(path) + ": " + reason);
        return 0;
    }
    if (!EmuLoadImages(reason, sizeof reason)) {
        Report(error, errorSize, std::string(path) + ": " + reason);
        return 0;
    }
    return 1;
}
