#include "backup_next.h"

#include <string.h>

#include "backup_file.h"
#include "command_line.h"
#include "path_facts.h"
#include "text_lookup.h"
#include "user_texts.h"
#include "wizard_state.h"
#include "write_sequence.h"

namespace {

void TellBadBackupPath(void* owner)
{
    TellUser(owner, TextBadBackupPath, BoxOk | BoxIconInformation);
}

}  // namespace

BackupNextResult BackupPageNext(FlashSession* session, const WizardHost& host, void* owner, const char* typed)
{
    if (TheWizard.BackupEnabled) {
        if (strlen(typed) >= WizardPathSize) {
            TellBadBackupPath(owner);
            return BackupStay;
        }
        CopyText(TheWizard.BackupPath, WizardPathSize, typed);
        // A folder or a device is never a backup: it is neither written nor removed.
        PathKind kind = KindOfPath(TheWizard.BackupPath);
        if (kind == PathOther) {
            TellBadBackupPath(owner);
            return BackupStay;
        }
        // An earlier file is kept beside the new one; the question stays.
        if (kind != PathAbsent && TellUser(owner, TextConfirmBackupOverwrite, BoxYesNo | BoxDefaultSecond) != AnswerYes)
            return BackupStay;
        if (!BackupFolderWritable(TheWizard.BackupPath)) {
            TellBadBackupPath(owner);
            return BackupStay;
        }
    }

    char caption[TextBufferSize];
    LookupText(TextReadBiosTitle, caption);
    if (TellUser(owner, TextReadBios, BoxOkCancel, 0, caption) != AnswerOk) {
        host.EndRun();
        return BackupEndRun;
    }

    FlashPlan plan = {};
    plan.BackupPath = TheWizard.BackupPath;
    plan.SaveBackup = TheWizard.BackupEnabled;
    plan.TestCardChecksum = TheWizard.ValidateCurrentImage;
    BackupFailure failure = BackupNoFailure;
    int read = BackupStep(session, plan, host, &failure);
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
            host.EndRun();
            return BackupEndRun;
        }
    }
    return TheWizard.ReadChecksumFailed ? BackupToReadErrorPage : BackupToImagePage;
}
