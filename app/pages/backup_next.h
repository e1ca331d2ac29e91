/* What Next on the backup page does: the overwrite question, the test that
   the backup file can be written, the read question, the backup step, and
   its read-error question or, when the file failed, the page again. */
#ifndef DORVANE_BACKUP_NEXT_H
#define DORVANE_BACKUP_NEXT_H

enum BackupNextResult {
    BackupStay,            /* the user corrects or reconsiders */
    BackupEndRun,          /* the run ends without the exit question */
    BackupToImagePage,     /* standard image page */
    BackupToReadErrorPage, /* image page after a read error */
};

/* 1 when a file system entry matching name exists. */
int FileExists(const char* name);

/* 1 when path can be written. An existing file is opened for update and
   left as it was; a file the test creates is removed again. */
int ProbeBackupFile(const char* path, int exists);

/* typed: the edit box's text. */
BackupNextResult BackupPageNext(void* owner, const char* typed);

#endif
