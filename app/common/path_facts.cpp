#include "path_facts.h"

#include <string.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <errno.h>
#include <sys/stat.h>
#endif

#ifdef _WIN32

namespace {

int AbsentError(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_BAD_PATHNAME: return 1;
    default: return 0;
    }
}

// Opened for no access at all: enough for the file type and the file index,
// and refused by nothing that shares the file.
HANDLE OpenForFacts(const char* path)
{
    return CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, 0);
}

}  // namespace

PathKind KindOfPath(const char* path)
{
    if (!*path)
        return PathAbsent;
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES && AbsentError(GetLastError()))
        return PathAbsent;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)))
        return PathOther;
    // Device names (NUL, COM1) and device files look like files, or give no
    // attributes at all, until opened.
    HANDLE file = OpenForFacts(path);
    if (file == INVALID_HANDLE_VALUE)
        return PathUnknown;
    DWORD type = GetFileType(file);
    CloseHandle(file);
    if (type != FILE_TYPE_DISK)
        return PathOther;
    return attributes == INVALID_FILE_ATTRIBUTES ? PathUnknown : PathRegularFile;
}

int SameFile(const char* first, const char* second)
{
    if (strcmp(first, second) == 0)
        return 1;
    HANDLE a = OpenForFacts(first);
    if (a == INVALID_HANDLE_VALUE)
        return 0;
    HANDLE b = OpenForFacts(second);
    BY_HANDLE_FILE_INFORMATION infoA, infoB;
    int same = b != INVALID_HANDLE_VALUE && GetFileInformationByHandle(a, &infoA) &&
        GetFileInformationByHandle(b, &infoB) && infoA.dwVolumeSerialNumber == infoB.dwVolumeSerialNumber &&
        infoA.nFileIndexHigh == infoB.nFileIndexHigh && infoA.nFileIndexLow == infoB.nFileIndexLow;
    if (b != INVALID_HANDLE_VALUE)
        CloseHandle(b);
    CloseHandle(a);
    return same;
}

#else

PathKind KindOfPath(const char* path)
{
    if (!*path)
        return PathAbsent;
    struct stat info;
    if (stat(path, &info) == 0)
        return S_ISREG(info.st_mode) ? PathRegularFile : PathOther;
    if (errno != ENOENT && errno != ENOTDIR)
        return PathUnknown;
    // A link that leads nowhere is still an entry of its own.
    return lstat(path, &info) == 0 ? PathOther : PathAbsent;
}

int SameFile(const char* first, const char* second)
{
    if (strcmp(first, second) == 0)
        return 1;
    struct stat a, b;
    return stat(first, &a) == 0 && stat(second, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

#endif

int FileExists(const char* path)
{
    return KindOfPath(path) != PathAbsent;
}
