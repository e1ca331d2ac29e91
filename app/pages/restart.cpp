// The restart that the new video BIOS needs, and the system family that
// decides how to ask for it.
#include <windows.h>

#include "os_version.h"
#include "wizard_pages.h"

int GetOsVersionCode()
{
    OSVERSIONINFOA info;
    ZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;  // 148
    if (!GetVersionExA(&info))
        return 0;
    return OsVersionCodeOf(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber);
}

DWORD RestartNt()
{
    SetLastError(0);
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return GetLastError();
    TOKEN_PRIVILEGES privileges;
    ZeroMemory(&privileges, sizeof privileges);
    LookupPrivilegeValueA(0, "SeShutdownPrivilege", &privileges.Privileges[0].Luid);
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, 0, 0);
    DWORD error = GetLastError();
    CloseHandle(token);
    if (error != 0)
        return error;
    if (InitiateSystemShutdownA(0, 0, 0, FALSE, TRUE))
        return 0;
    return GetLastError();
}
