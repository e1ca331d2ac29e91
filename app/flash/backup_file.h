/* Saving a backup file so that no copy of a card's BIOS is ever lost: the
   new file is written under a temporary name beside its own (NAME.part),
   flushed to the disk, read back and compared, and only then given its
   name. An earlier file of that name that holds other bytes is kept beside
   it under the first free NAME.1, NAME.2, ...; one that holds the same bytes
   simply stays. A failure removes only the temporary file. Temporary files
   left by a run that was killed are taken over when every temporary name is
   taken, and removed once a backup is saved; a folder or a link under such a
   name is never touched. */
#ifndef DORVANE_BACKUP_FILE_H
#define DORVANE_BACKUP_FILE_H

#include <stddef.h>
#include <stdint.h>

enum { BackupNameSize = 520 };

enum BackupSaveResult {
    BackupSaved,      /* path holds bytes, read back from the disk */
    BackupNotAFile,   /* path names a folder, a device or the like: untouched */
    BackupNotWritten, /* the new file could not be made whole; nothing changed */
};

/* keptAs (BackupNameSize bytes) gets the name the earlier file was kept
   under, or "" when none was moved. */
BackupSaveResult SaveBackupFile(const char* path, const uint8_t* bytes, uint32_t size, char* keptAs);

/* 1 when a file can be created beside path (the temporary file is made and
   removed again); path itself is not touched. */
int BackupFolderWritable(const char* path);

#endif
