/* What Next on the backup page does: the refusal of a name that is not a
   file, the overwrite question, the test that a file can be created beside
   the name, the read question, the backup step, and its read-error question
   or, when the file failed, the page again. */
#ifndef DORVANE_BACKUP_NEXT_H
#define DORVANE_BACKUP_NEXT_H

enum BackupNextResult {
    BackupStay,            /* the user corrects or reconsiders */
    BackupEndRun,          /* the run ends without the exit question */
    BackupToImagePage,     /* standard image page */
    BackupToReadErrorPage, /* image page after a read error */
};

struct FlashSession;
struct WizardHost;

/* typed: the edit box's text. The backup step reads into session through
   host, which also ends the run; the questions go through TellUser. */
BackupNextResult BackupPageNext(FlashSession* session, const WizardHost& host, void* owner, const char* typed);

#endif
