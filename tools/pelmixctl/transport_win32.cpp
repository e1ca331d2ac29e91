// The Windows transport: DeviceIoControl on the driver's device "\\.\PELMIX".
// When the device is not there, the kernel service is installed from the
// Pelmix.sys beside pelmixctl.exe and started for the length of the run, and
// stopped and deleted again at the end.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "driver_service.h"
#include "pelmix_ioctl.h"
#include "request_transport.h"

namespace {

HANDLE Device = INVALID_HANDLE_VALUE;

const char AdministratorStep[] = "run pelmixctl.exe from a command prompt opened as administrator";
int ServiceInstalledHere = 0;

// The NTSTATUS values the driver completes a request with, as DeviceIoControl
// reports them through GetLastError.
struct StatusOfError {
    DWORD Error;
    uint32_t Status;
};
const StatusOfError StatusOfErrors[] = {
    {ERROR_INVALID_FUNCTION, 0xC0000010u},     // STATUS_INVALID_DEVICE_REQUEST
    {ERROR_INVALID_USER_BUFFER, 0xC0000206u},  // STATUS_INVALID_BUFFER_SIZE
};

int DriverPathBesideProgram(char* path, DWORD capacity)
{
    DWORD length = GetModuleFileNameA(0, path, capacity);
    if (length == 0 || length >= capacity)
        return 0;
    char* slash = strrchr(path, '\\');
    if (!slash || (slash - path) + 1 + strlen(PELMIX_DRIVER_FILE_NAME) + 1 > capacity)
        return 0;
    strcpy(slash + 1, PELMIX_DRIVER_FILE_NAME);
    return 1;
}

// What went wrong, and what to do about it.
void DescribeServiceFailure(DriverServiceResult result, char* error, uint32_t errorSize)
{
    switch (result.Outcome) {
    case ServiceManagerUnavailable:
        snprintf(error, errorSize, "cannot open the service manager (error %lu); %s", result.Error, AdministratorStep);
        break;
    case ServiceMarkedForDelete:
        snprintf(error, errorSize, "the service \"%s\" is marked for deletion; restart Windows first",
                 PELMIX_SERVICE_NAME);
        break;
    case ServiceAccessDenied:
        snprintf(error, errorSize, "creating the service \"%s\" needs administrator rights; %s", PELMIX_SERVICE_NAME,
                 AdministratorStep);
        break;
    case ServiceCreateFailed:
        snprintf(error, errorSize, "cannot create the service \"%s\" (error %lu); %s", PELMIX_SERVICE_NAME,
                 result.Error, AdministratorStep);
        break;
    case ServiceStartPathNotFound:
        snprintf(error, errorSize,
                 "the driver cannot be loaded from where it is (error 3); copy pelmixctl.exe and %s to a folder on "
                 "a local disk and run it there",
                 PELMIX_DRIVER_FILE_NAME);
        break;
    case ServiceStartFailed:
        snprintf(error, errorSize,
                 "cannot start the service \"%s\" (error %lu); %s, from a folder on a local disk; the driver runs "
                 "on 32-bit Windows of the NT family only",
                 PELMIX_SERVICE_NAME, result.Error, AdministratorStep);
        break;
    default:
        snprintf(error, errorSize, "service control failed (error %lu); %s", result.Error, AdministratorStep);
        break;
    }
}

int InstallAndOpen(char* error, uint32_t errorSize)
{
    char driverPath[MAX_PATH];
    if (!DriverPathBesideProgram(driverPath, sizeof driverPath) ||
        GetFileAttributesA(driverPath) == INVALID_FILE_ATTRIBUTES) {
        snprintf(error, errorSize,
                 "the device %s is not there and %s is not beside pelmixctl.exe; run the pelmixctl.exe of the "
                 "package, in the folder that holds both",
                 PELMIX_USER_PATH, PELMIX_DRIVER_FILE_NAME);
        return 0;
    }
    DriverServiceResult result = InstallDriverService(driverPath);
    if (result.Outcome != ServiceOk) {
        DescribeServiceFailure(result, error, errorSize);
        return 0;
    }
    ServiceInstalledHere = 1;
    result = StartDriverService();
    if (result.Outcome != ServiceOk) {
        CloseDriverServiceHandles();
        DescribeServiceFailure(result, error, errorSize);
        return 0;
    }
    DWORD openError = 0;
    Device = OpenDriverDevice(&openError);
    if (Device == INVALID_HANDLE_VALUE) {
        snprintf(error, errorSize, "the service started but %s cannot be opened (error %lu); %s", PELMIX_USER_PATH,
                 openError, AdministratorStep);
        return 0;
    }
    return 1;
}

}  // namespace

int TransportOpen(const TransportSettings* settings, char* error, uint32_t errorSize)
{
    if (settings->MachinePath || settings->Trace) {
        snprintf(error, errorSize, "--machine and --trace belong to the emulated build; this one talks to %s",
                 PELMIX_USER_PATH);
        return TransportUnusable;
    }
    DWORD openError = 0;
    Device = OpenDriverDevice(&openError);
    if (Device != INVALID_HANDLE_VALUE)
        return TransportOpened;
    if (InstallAndOpen(error, errorSize))
        return TransportOpened;
    TransportClose();
    return TransportDriverFailed;
}

int TransportSend(uint32_t code, uint8_t* buffer, uint32_t inLength, uint32_t outLength, uint32_t* systemStatus,
                  uint32_t* information, TransportTiming* timing, char* error, uint32_t errorSize)
{
    timing->Known = 0;
    DWORD returned = 0;
    if (DeviceIoControl(Device, code, buffer, inLength, buffer, outLength, &returned, 0)) {
        *systemStatus = 0;
        *information = returned;
        return 1;
    }
    DWORD lastError = GetLastError();
    for (const StatusOfError& entry : StatusOfErrors) {
        if (entry.Error == lastError) {
            *systemStatus = entry.Status;
            *information = 0;
            return 1;
        }
    }
    snprintf(error, errorSize, "DeviceIoControl failed (error %lu)", lastError);
    return 0;
}

void TransportClose()
{
    if (Device != INVALID_HANDLE_VALUE)
        CloseHandle(Device);
    Device = INVALID_HANDLE_VALUE;
    if (ServiceInstalledHere)
        RemoveDriverService();
    ServiceInstalledHere = 0;
}
