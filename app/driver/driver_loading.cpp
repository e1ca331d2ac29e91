#include "driver_loading.h"

#include <direct.h>
#include <io.h>
#include <string.h>

#include "driver_service.h"
#include "fixed_texts.h"
#include "format_text.h"
#include "program_globals.h"
#include "text_lookup.h"
#include "user_texts.h"
#include "wizard_host.h"

char WorkDir[WorkDirSize];
char WorkDirShort[WorkDirSize];
HANDLE DriverHandle = INVALID_HANDLE_VALUE;
int DriverOpen;

namespace {

const char VxdFile[] = "Pelmix.vxd";

int FileInWorkingFolder(const char* name)
{
    struct _finddata_t found;
    intptr_t search = _findfirst(name, &found);
    if (search == -1)
        return 0;
    _findclose(search);
    return 1;
}

// A looked-up text with up to two placeholders, in a box captioned with the
// installer title.
void ShowDriverText(HWND owner, const TextRef& shown, UINT icon, FormatArg first = FormatArg(),
                    FormatArg second = FormatArg())
{
    TellUserFormatted(owner, shown, icon, InstallerTitle, BoxTextCut, first, second);
}

void ShowNoDriver(HWND owner, const char* file)
{
    ShowDriverText(owner, TextNoDriver, MB_ICONWARNING, file);
}

void ShowBadDriver(HWND owner, DWORD error, const char* file)
{
    ShowDriverText(owner, TextBadDriver, MB_ICONWARNING, FormatArg(long(error)), file);
}

void ShowInstallFailure(HWND owner, const DriverServiceResult& r)
{
    switch (r.Outcome) {
    case ServiceManagerUnavailable: ShowBadDriver(owner, r.Error, PELMIX_DRIVER_FILE_NAME); break;
    case ServiceMarkedForDelete: ShowDriverText(owner, TextServiceDeleting, MB_ICONWARNING); break;
    case ServiceAccessDenied: ShowDriverText(owner, TextServiceNoAccess, MB_ICONWARNING); break;
    default: ShowDriverText(owner, TextServiceInternalErr, MB_ICONWARNING, FormatArg(long(r.Error))); break;
    }
}

void ShowStartFailure(HWND owner, const DriverServiceResult& r)
{
    if (r.Outcome == ServiceStartPathNotFound)
        ShowDriverText(owner, TextServiceStartNoLoadErr, MB_ICONWARNING);
    else
        ShowDriverText(owner, TextServiceStartErr, MB_ICONWARNING, FormatArg(long(r.Error)));
}

int OpenVxd(HWND owner)
{
    if (!FileInWorkingFolder(VxdFile)) {
        ShowNoDriver(owner, VxdFile);
        return 0;
    }
    char path[4 + WorkDirSize + sizeof VxdFile];
    FormatText(path, sizeof path, "\\\\.\\%s%s", WorkDirShort, VxdFile);
    DriverHandle = CreateFileA(path, 0, 0, 0, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, 0);
    if (DriverHandle == INVALID_HANDLE_VALUE) {
        ShowBadDriver(owner, GetLastError(), VxdFile);
        return 0;
    }
    DriverOpen = 1;
    return 1;
}

int OpenNtDriver(HWND owner)
{
    if (!FileInWorkingFolder(PELMIX_DRIVER_FILE_NAME)) {
        ShowNoDriver(owner, PELMIX_DRIVER_FILE_NAME);
        return 0;
    }
    char driverPath[WorkDirSize + sizeof PELMIX_DRIVER_FILE_NAME];
    FormatText(driverPath, sizeof driverPath, "%s%s", WorkDir, PELMIX_DRIVER_FILE_NAME);
    DriverServiceResult r = InstallDriverService(driverPath);
    if (r.Outcome != ServiceOk) {
        ShowInstallFailure(owner, r);
        return 0;
    }
    r = StartDriverService();
    if (r.Outcome != ServiceOk) {
        ShowStartFailure(owner, r);
        // The service stays installed until StopDriver takes it away.
        CloseDriverServiceHandles();
        return 0;
    }
    DWORD error = 0;
    DriverHandle = OpenDriverDevice(&error);
    if (DriverHandle == INVALID_HANDLE_VALUE) {
        ShowBadDriver(owner, error, PELMIX_DRIVER_FILE_NAME);
        return 0;
    }
    DriverOpen = 1;
    return 1;
}

DWORD PlatformId()
{
    OSVERSIONINFOA info;
    ZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info))
        return 0;
    return info.dwPlatformId;
}

}  // namespace

int OpenDriver(HWND owner)
{
    if (DriverOpen)
        return 1;
    switch (PlatformId()) {
    case VER_PLATFORM_WIN32_WINDOWS: return OpenVxd(owner);
    case VER_PLATFORM_WIN32_NT: return OpenNtDriver(owner);
    }
    ShowBox(owner, SystemNotSupported, ProgrammerCaption, BoxIconWarning);
    return 0;
}

int StartDriver(HWND owner)
{
    int result = 1;
    if (!_getcwd(WorkDir, 260)) {
        WorkDir[0] = 0;
        result = 0;  // the working folder's name does not fit
    } else {
        size_t len = strlen(WorkDir);
        if (len == 0 || WorkDir[len - 1] != '\\') {
            if (len >= 260)
                result = 0;
            else
                WorkDir[len] = '\\', WorkDir[len + 1] = 0;
        }
    }
    if (result) {
        GetShortPathNameA(WorkDir, WorkDirShort, sizeof WorkDirShort);
        result = OpenDriver(owner);
    }
    return result;
}

void StopDriver()
{
    DWORD platform = PlatformId();
    if (DriverHandle != INVALID_HANDLE_VALUE)
        CloseHandle(DriverHandle);
    DriverHandle = INVALID_HANDLE_VALUE;
    if (platform == VER_PLATFORM_WIN32_NT)
        RemoveDriverService();
}
