// The kernel service "Pelmix" that carries the driver for the length of one
// run: created (a service left by an earlier run is removed and created
// again), started, and stopped and deleted at the end. Shared by every
// Windows program that talks to the driver; it shows nothing itself, so each
// program words the outcome its own way.
#ifndef PELMIX_DRIVER_SERVICE_H
#define PELMIX_DRIVER_SERVICE_H

#include <windows.h>

#define PELMIX_SERVICE_NAME         "Pelmix"
#define PELMIX_SERVICE_DISPLAY_NAME "Lumivex BIOS EEPROM Programming Service"
#define PELMIX_SERVICE_DATABASE     "ServicesActive"
#define PELMIX_DRIVER_FILE_NAME     "Pelmix.sys"

// How an install or start ended. Error carries GetLastError() of the call
// that failed.
enum DriverServiceOutcome {
    ServiceOk = 0,
    ServiceManagerUnavailable,  // OpenSCManagerA failed
    ServiceMarkedForDelete,     // CreateServiceA: ERROR_SERVICE_MARKED_FOR_DELETE
    ServiceAccessDenied,        // CreateServiceA: ERROR_ACCESS_DENIED
    ServiceCreateFailed,        // any other creation error, or a leftover that would not go
    ServiceStartPathNotFound,   // StartServiceA: ERROR_PATH_NOT_FOUND (driver on a network drive)
    ServiceStartFailed          // any other start error
};

struct DriverServiceResult {
    DriverServiceOutcome Outcome;
    DWORD Error;
};

// The service manager's routines, as the install, start and removal call
// them. ServiceControl points at the Win32 routines; a test points it at a
// service manager of its own.
struct ServiceControlOps {
    decltype(&::OpenSCManagerA) OpenSCManagerA;
    decltype(&::CreateServiceA) CreateServiceA;
    decltype(&::OpenServiceA) OpenServiceA;
    decltype(&::StartServiceA) StartServiceA;
    decltype(&::ControlService) ControlService;
    decltype(&::DeleteService) DeleteService;
    decltype(&::CloseServiceHandle) CloseServiceHandle;
};
extern const ServiceControlOps Win32ServiceControl;
extern const ServiceControlOps* ServiceControl;

// Handles held between the install and the start; none outside them.
struct DriverServiceHandles {
    SC_HANDLE Manager;
    SC_HANDLE Service;
};
extern DriverServiceHandles DriverService;

// Leftovers are removed and creation retried at most this many times.
enum { DriverServiceCreateAttempts = 4 };

// Opens the service manager and creates the kernel service for the driver
// file at driverPath (a full path). On success DriverService holds both
// handles; on failure none.
DriverServiceResult InstallDriverService(const char* driverPath);
// Starts the installed service and closes both handles on success. On
// failure the service stays installed (RemoveDriverService takes it away) and
// the handles stay open for CloseDriverServiceHandles.
DriverServiceResult StartDriverService();
void CloseDriverServiceHandles();

// Opens the driver's device "\\.\PELMIX" for reading and writing, exclusive;
// INVALID_HANDLE_VALUE and *error on failure.
HANDLE OpenDriverDevice(DWORD* error);

// Stops and deletes the service "Pelmix" if it exists; 1 when one was found.
int RemoveDriverService();

#endif
