#include "backup_next.h"

#include <stdio.h>
#include <string.h>

#ifdef _WIN32
#include <io.h>
#else
#include <sys/stat.h>
#endif

#include "command_line.h"
#include "text_lookup.h"
#include "user_texts.h"
#include "wizard_state.h"
#include "write_sequence.h"

int FileExists(const char* name)
{
#ifdef _WIN32
    struct _finddata_t found;
    intptr_t handle = _findfirst(name, &found);
    if (handle == -1)
        return 0;
    _findclose(handle);
    return 1;
#else
    struct stat info;
    return stat(name, &info) == 0;
#endif
}

int ProbeBackupFile(const char* path, int exists)
{
    if (!*path)
        return 0;
    // "r+b" opens for writing without truncating: an existing backup stays
    // whole until the backup step replaces it.
    FILE* file = fopen(path, exists ? "r+b" : "wb");
    if (!file)
        return 0;
    fclose(file);
    if (!exists)
        remove(path);
    return 1;
}

namespace {

void TellBadBackupPath(void* owner)
{
    TellUser(owner, TextBadBackupPath, BoxOk | BoxIconInformation);
}

}  // namespace

BackupNextResult BackupPageNext(void* owner, const char* typed)
{
    if (TheWizard.BackupEnabled) {
        if (strlen(typed) >= WizardPathSize) {
            TellBadBackupPath(owner);
            return BackupStay;
        }
        CopyText(TheWizard.BackupPath, WizardPathSize, typed);
        int exists = *typed && FileExists(TheWizard.BackupPath);
        if (exists && TellUser(owner, TextConfirmBackupOverwrite, BoxYesNo | BoxDefaultSecond) != AnswerYes)
            return BackupStay;
        if (!ProbeBackupFile(TheWizard.BackupPath, exists)) {
            TellBadBackupPath(owner);
            return BackupStay;
        }
    }

    char caption[TextBufferSize];
    LookupText(TextReadBiosTitle, caption);
    if (TellUser(owner, TextReadBios, BoxOkCancel, 0, caption) != AnswerOk) {
        TheHost.EndRun();
        return BackupEndRun;
    }

    BackupFailure failure = BackupNoFailure;
    int read = BackupStep(TheWizard.BackupPath, TheWizard.ValidateCurrentImage, TheWizard.BackupEnabled, &failure);
    if (failure == BackupFileFailed) {
        // The probe passed but the file did not (a full disk, a vanished
        // folder): going on would leave the old image nowhere.
        TellBadBackupPath(owner);
        return BackupStay;
    }
    if (!read || (OptionFlags.ForceReadCsErr && TheWizard.ValidateCurrentImage)) {
        TheWizard.ReadChecksumFailed = 1;
        LookupText(TextReadChecksumErrTitle, caption);
        if (TellUser(owner, TextReadChecksumErr, BoxYesNo | BoxDefaultSecond, 0, caption, 1) != AnswerYes) {
            TheHost.EndRun();
            return BackupEndRun;
        }
    }
    return TheWizard.ReadChecksumFailed ? BackupToReadErrorPage : BackupToImagePage;
}
