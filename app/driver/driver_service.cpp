#include "driver_service.h"

#include "pelmix_ioctl.h"

DriverServiceHandles DriverService = {0, 0};

const ServiceControlOps Win32ServiceControl = {
    ::OpenSCManagerA, ::CreateServiceA, ::OpenServiceA,       ::StartServiceA,
    ::ControlService, ::DeleteService,  ::CloseServiceHandle,
};
const ServiceControlOps* ServiceControl = &Win32ServiceControl;

namespace {

DriverServiceResult Result(DriverServiceOutcome outcome, DWORD error)
{
    DriverServiceResult result = {outcome, error};
    return result;
}

void CloseHandleOf(SC_HANDLE* handle)
{
    if (*handle)
        ServiceControl->CloseServiceHandle(*handle);
    *handle = 0;
}

// Stops and deletes the service behind an open handle; the removal completes
// when the last handle to it closes.
void StopAndDelete(SC_HANDLE service)
{
    SERVICE_STATUS status;
    ServiceControl->ControlService(service, SERVICE_CONTROL_STOP, &status);
    ServiceControl->DeleteService(service);
}

DriverServiceOutcome OutcomeOfCreateError(DWORD error)
{
    switch (error) {
    case ERROR_SERVICE_MARKED_FOR_DELETE: return ServiceMarkedForDelete;
    case ERROR_ACCESS_DENIED: return ServiceAccessDenied;
    default: return ServiceCreateFailed;
    }
}

}  // namespace

DriverServiceResult InstallDriverService(const char* driverPath)
{
    DriverService.Manager = ServiceControl->OpenSCManagerA(0, PELMIX_SERVICE_DATABASE, SC_MANAGER_CREATE_SERVICE);
    if (!DriverService.Manager)
        return Result(ServiceManagerUnavailable, GetLastError());

    DWORD error = 0;
    for (int attempt = 0; attempt < DriverServiceCreateAttempts; ++attempt) {
        DriverService.Service = ServiceControl->CreateServiceA(
            DriverService.Manager, PELMIX_SERVICE_NAME, PELMIX_SERVICE_DISPLAY_NAME, SERVICE_ALL_ACCESS,
            SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, driverPath, 0, 0, 0, 0, 0);
        if (DriverService.Service)
            return Result(ServiceOk, 0);

        error = GetLastError();
        if (error != ERROR_DUP_NAME && error != ERROR_SERVICE_EXISTS) {
            CloseHandleOf(&DriverService.Manager);
            return Result(OutcomeOfCreateError(error), error);
        }
        // A service of that name is left from an earlier run: take it away.
        SC_HANDLE leftover =
            ServiceControl->OpenServiceA(DriverService.Manager, PELMIX_SERVICE_NAME, SERVICE_ALL_ACCESS);
        if (leftover) {
            StopAndDelete(leftover);
            ServiceControl->CloseServiceHandle(leftover);
        } else {
            error = GetLastError();
        }
    }
    CloseHandleOf(&DriverService.Manager);
    return Result(ServiceCreateFailed, error);
}

DriverServiceResult StartDriverService()
{
    if (!ServiceControl->StartServiceA(DriverService.Service, 0, 0)) {
        DWORD error = GetLastError();
        return Result(error == ERROR_PATH_NOT_FOUND ? ServiceStartPathNotFound : ServiceStartFailed, error);
    }
    CloseDriverServiceHandles();
    return Result(ServiceOk, 0);
}

void CloseDriverServiceHandles()
{
    CloseHandleOf(&DriverService.Service);
    CloseHandleOf(&DriverService.Manager);
}

HANDLE OpenDriverDevice(DWORD* error)
{
    HANDLE device =
        CreateFileA(PELMIX_USER_PATH, GENERIC_READ | GENERIC_WRITE, 0, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    *error = device == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    return device;
}

int RemoveDriverService()
{
    SC_HANDLE manager = ServiceControl->OpenSCManagerA(0, PELMIX_SERVICE_DATABASE, SC_MANAGER_CONNECT);
    if (!manager)
        return 0;
    SC_HANDLE service = ServiceControl->OpenServiceA(manager, PELMIX_SERVICE_NAME, SERVICE_ALL_ACCESS);
    if (!service) {
        ServiceControl->CloseServiceHandle(manager);
        return 0;
    }
    StopAndDelete(service);
    ServiceControl->CloseServiceHandle(service);
    ServiceControl->CloseServiceHandle(manager);
    return 1;
}
