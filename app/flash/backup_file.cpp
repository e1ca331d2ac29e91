#include "backup_file.h"

#include <stdio.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "path_facts.h"
#include "text_append.h"

namespace {

enum CreateOutcome { Created, NameTaken, CreateFailed };

const int TemporaryTries = 10;
const int KeptNames = 999;

#ifdef _WIN32

// Creates name, which must not exist yet, holding bytes flushed to the disk.
CreateOutcome WriteFreshFile(const char* name, const uint8_t* bytes, uint32_t size, int* written)
{
    *written = 0;
    HANDLE file = CreateFileA(name, GENERIC_WRITE, 0, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? NameTaken : CreateFailed;
    }
    DWORD done = 0;
    int ok = size == 0 || (WriteFile(file, bytes, size, &done, 0) && done == size);
    ok = FlushFileBuffers(file) && ok;
    *written = CloseHandle(file) && ok;
    return Created;
}

// Never replaces: the new name must be free.
int Rename(const char* from, const char* to)
{
    return MoveFileA(from, to) != 0;
}

// A file of its own, not a folder, a device or a link (a reparse point).
int PlainFile(const char* name)
{
    DWORD attributes = GetFileAttributesA(name);
    return attributes != INVALID_FILE_ATTRIBUTES &&
        !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_REPARSE_POINT)) &&
        KindOfPath(name) == PathRegularFile;
}

void FlushFolderOf(const char*)
{
}

#else

CreateOutcome WriteFreshFile(const char* name, const uint8_t* bytes, uint32_t size, int* written)
{
    *written = 0;
    int file = open(name, O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (file < 0)
        return errno == EEXIST ? NameTaken : CreateFailed;
    uint32_t done = 0;
    int ok = 1;
    while (ok && done < size) {
        ssize_t n = write(file, bytes + done, size - done);
        if (n > 0)
            done += uint32_t(n);
        else if (n == 0 || errno != EINTR)
            ok = 0;
    }
    ok = fsync(file) == 0 && ok;
    *written = close(file) == 0 && ok;
    return Created;
}

// rename would replace an entry that appeared meanwhile: test just before.
int Rename(const char* from, const char* to)
{
    return KindOfPath(to) == PathAbsent && rename(from, to) == 0;
}

// A file of its own, not a folder, a device or a link.
int PlainFile(const char* name)
{
    struct stat info;
    return lstat(name, &info) == 0 && S_ISREG(info.st_mode);
}

// The new names themselves reach the disk with their folder.
void FlushFolderOf(const char* path)
{
    static char folder[BackupNameSize];
    folder[0] = 0;
    AppendText(folder, sizeof folder, path);
    char* slash = strrchr(folder, '/');
    if (!slash) {
        folder[0] = 0;
        AppendText(folder, sizeof folder, ".");
    } else if (slash == folder)
        folder[1] = 0;
    else
        *slash = 0;
    int handle = open(folder, O_RDONLY);
    if (handle >= 0) {
        fsync(handle);
        close(handle);
    }
}

#endif

// 1 when the file holds exactly size bytes, equal to bytes.
int HoldsBytes(const char* name, const uint8_t* bytes, uint32_t size)
{
    static uint8_t chunk[32768];
    FILE* file = fopen(name, "rb");
    if (!file)
        return 0;
    uint32_t at = 0;
    int equal = 1;
    while (equal) {
        size_t got = fread(chunk, 1, sizeof chunk, file);
        if (got == 0)
            break;
        equal = got <= size - at && memcmp(chunk, bytes + at, got) == 0;
        at += uint32_t(got);
    }
    equal = equal && !ferror(file) && at == size;
    fclose(file);
    return equal;
}

int TemporaryName(const char* path, int i, char* name)
{
    name[0] = 0;
    int fits = AppendText(name, BackupNameSize, path) && AppendText(name, BackupNameSize, ".part");
    return fits && (i == 0 || AppendDecimal(name, BackupNameSize, uint32_t(i)));
}

// Creates the temporary file name with bytes in it. 1 when it holds them,
// read back; a file that is not whole is removed again.
CreateOutcome WriteWhole(const char* name, const uint8_t* bytes, uint32_t size, int* whole)
{
    int written = 0;
    CreateOutcome outcome = WriteFreshFile(name, bytes, size, &written);
    *whole = outcome == Created && written && HoldsBytes(name, bytes, size);
    if (outcome == Created && !*whole)
        remove(name);  // made by this run, and not whole
    return outcome;
}

// The temporary file beside path, created with bytes in it; "" in name
// when none could be created. 1 when it holds them, read back. A free name
// is taken first; when a killed run left every name taken, the first that
// is a plain file (never a folder or a link) is that run's leftover and is
// replaced.
int WriteTemporary(const char* path, const uint8_t* bytes, uint32_t size, char* name)
{
    int whole = 0;
    for (int i = 0; i < TemporaryTries && TemporaryName(path, i, name); ++i) {
        CreateOutcome outcome = WriteWhole(name, bytes, size, &whole);
        if (outcome == Created && whole)
            return 1;
        if (outcome != NameTaken) {
            name[0] = 0;
            return 0;
        }
    }
    for (int i = 0; i < TemporaryTries && TemporaryName(path, i, name); ++i) {
        if (!PlainFile(name) || remove(name) != 0)
            continue;
        CreateOutcome outcome = WriteWhole(name, bytes, size, &whole);
        if (outcome == NameTaken)
            continue;  // taken again meanwhile
        if (outcome == Created && whole)
            return 1;
        break;
    }
    name[0] = 0;
    return 0;
}

// Temporary files that a killed run left beside path are its own leftovers:
// once a backup has its name they go, plain files only.
void RemoveLeftovers(const char* path)
{
    static char name[BackupNameSize];
    for (int i = 0; i < TemporaryTries && TemporaryName(path, i, name); ++i) {
        if (PlainFile(name))
            remove(name);
    }
}

// The first free NAME.n for the earlier file; 0 when there is none.
int KeptName(const char* path, char* name)
{
    for (int n = 1; n <= KeptNames; ++n) {
        name[0] = 0;
        if (!AppendText(name, BackupNameSize, path) || !AppendText(name, BackupNameSize, ".") ||
            !AppendDecimal(name, BackupNameSize, uint32_t(n)))
            return 0;
        if (KindOfPath(name) == PathAbsent)
            return 1;
    }
    return 0;
}

}  // namespace

BackupSaveResult SaveBackupFile(const char* path, const uint8_t* bytes, uint32_t size, char* keptAs)
{
    static char temporary[BackupNameSize];
    keptAs[0] = 0;
    PathKind kind = KindOfPath(path);
    if (kind == PathOther)
        return BackupNotAFile;
    if (kind == PathUnknown)
        return BackupNotWritten;  // something may be there that cannot be kept
    if (kind == PathRegularFile && HoldsBytes(path, bytes, size)) {
        RemoveLeftovers(path);
        return BackupSaved;
    }
    if (!WriteTemporary(path, bytes, size, temporary))
        return BackupNotWritten;
    if (kind == PathRegularFile && (!KeptName(path, keptAs) || !Rename(path, keptAs))) {
        keptAs[0] = 0;
        remove(temporary);
        return BackupNotWritten;
    }
    if (!Rename(temporary, path)) {
        if (keptAs[0] && Rename(keptAs, path))
            keptAs[0] = 0;
        remove(temporary);
        return BackupNotWritten;
    }
    RemoveLeftovers(path);
    FlushFolderOf(path);
    return BackupSaved;
}

int BackupFolderWritable(const char* path)
{
    static char temporary[BackupNameSize];
    if (!*path || !WriteTemporary(path, 0, 0, temporary))
        return 0;
    remove(temporary);
    return 1;
}
