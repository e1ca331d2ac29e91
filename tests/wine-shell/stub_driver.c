/* A stand-in Pelmix.sys for the shell's Wine tests: it creates the device
   and its link and answers open and close, so the program's driver start
   succeeds. It knows no requests. */
#include <ntddk.h>

static UNICODE_STRING DeviceName;
static UNICODE_STRING LinkName;

static NTSTATUS NTAPI Complete(PDEVICE_OBJECT device, PIRP irp)
{
    (void)device;
    irp->IoStatus.Status = STATUS_SUCCESS;
    irp->IoStatus.Information = 0;
    IofCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_SUCCESS;
}

static NTSTATUS NTAPI Refuse(PDEVICE_OBJECT device, PIRP irp)
{
    (void)device;
    irp->IoStatus.Status = STATUS_INVALID_DEVICE_REQUEST;
    irp->IoStatus.Information = 0;
    IofCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_INVALID_DEVICE_REQUEST;
}

static VOID NTAPI Unload(PDRIVER_OBJECT driver)
{
    IoDeleteSymbolicLink(&LinkName);
    if (driver->DeviceObject)
        IoDeleteDevice(driver->DeviceObject);
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING path)
{
    (void)path;
    PDEVICE_OBJECT device;
    RtlInitUnicodeString(&DeviceName, L"\\Device\\PELMIX");
    RtlInitUnicodeString(&LinkName, L"\\DosDevices\\PELMIX");
    NTSTATUS status = IoCreateDevice(driver, 0, &DeviceName, FILE_DEVICE_UNKNOWN, 0, TRUE, &device);
    if (!NT_SUCCESS(status))
        return status;
    status = IoCreateSymbolicLink(&LinkName, &DeviceName);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(device);
        return status;
    }
    driver->MajorFunction[IRP_MJ_CREATE] = Complete;
    driver->MajorFunction[IRP_MJ_CLOSE] = Complete;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = Refuse;
    driver->DriverUnload = Unload;
    return STATUS_SUCCESS;
}
