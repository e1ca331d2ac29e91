/* The backup page's file names: the default name in the temporary folder,
   and the folder chosen with Browse joined to the typed file name. */
#ifndef DORVANE_BACKUP_NAME_H
#define DORVANE_BACKUP_NAME_H

#include <stddef.h>
#include <stdint.h>

enum { BackupPrefixSize = 16 };

/* "B<n>B" with n = selected + 1; the temporary-name call uses its first
   three characters. */
void BackupPrefix(int32_t selected, char* prefix, size_t size);

/* The folder of the default name: tempPath, or "c:\temp\" when the system
   gave none (tempPath 0 or empty). folder holds 260 bytes. */
void ChooseBackupFolder(const char* tempPath, char* folder);

/* The default name from the created temporary name (0 when none was
   created: "b1000000.bin"), its last three characters made "bin". path holds
   260 bytes. */
void FinishBackupName(const char* tempName, char* path);

/* folder joined to the file name and extension of typed (its drive and
   folders dropped), with one backslash between. 0 and out unchanged when the
   result would not fit size. */
int JoinBackupPath(const char* folder, const char* typed, char* out, size_t size);

#endif
