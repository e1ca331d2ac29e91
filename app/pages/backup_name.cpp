#include "backup_name.h"

#include <string.h>

#include "format_text.h"
#include "text_lookup.h"
#include "wizard_state.h"

void BackupPrefix(int32_t selected, char* prefix, size_t size)
{
    FormatText(prefix, size, "B%dB", long(selected) + 1);
}

void ChooseBackupFolder(const char* tempPath, char* folder)
{
    CopyText(folder, WizardPathSize, tempPath && *tempPath ? tempPath : "c:\\temp\\");
}

void FinishBackupName(const char* tempName, char* path)
{
    CopyText(path, WizardPathSize, tempName ? tempName : "b1000000.bin");
    size_t length = strlen(path);
    if (length >= 3)
        memcpy(path + length - 3, "bin", 3);
}

int JoinBackupPath(const char* folder, const char* typed, char* out, size_t size)
{
    // The file name with its extension: what follows the drive and folders.
    const char* name = typed;
    for (const char* p = typed; *p; ++p)
        if (*p == '\\' || *p == '/' || *p == ':')
            name = p + 1;
    size_t folderLength = strlen(folder);
    int needsSeparator = folderLength == 0 || folder[folderLength - 1] != '\\';
    size_t total = folderLength + (needsSeparator ? 1 : 0) + strlen(name);
    if (total + 1 > size)
        return 0;
    FormatText(out, size, needsSeparator ? "%s\\%s" : "%s%s", folder, name);
    return 1;
}
