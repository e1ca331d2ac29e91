// Driver entry, unload and the request glue: one exclusive buffered device
// whose device-control requests go to the request dispatcher.
#include "nt_ddk.h"

#include "driver_hooks.h"
#include "pelmix_ioctl.h"
#include "driver_state.h"
#include "request_dispatch.h"

namespace {

PDEVICE_OBJECT PelmixDevice;

NTSTATUS NTAPI PelmixOpenClose(PDEVICE_OBJECT, PIRP irp)
{
    irp->IoStatus.Status = STATUS_SUCCESS;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_SUCCESS;
}

NTSTATUS NTAPI PelmixDeviceControl(PDEVICE_OBJECT, PIRP irp)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    uint32_t information = 0;
    DriverHooksRequestStart(irp->AssociatedIrp.SystemBuffer, stack->Parameters.DeviceIoControl.InputBufferLength,
                            stack->Parameters.DeviceIoControl.OutputBufferLength);
    NTSTATUS status = static_cast<NTSTATUS>(DispatchDeviceControl(
        stack->Parameters.DeviceIoControl.IoControlCode, irp->AssociatedIrp.SystemBuffer,
        stack->Parameters.DeviceIoControl.InputBufferLength,
        stack->Parameters.DeviceIoControl.OutputBufferLength, &information));
    DriverHooksRequestDone();
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

VOID NTAPI PelmixUnload(PDRIVER_OBJECT driverObject)
{
    // Nothing of the image may run once this returns. A holding thread that
    // is still not gone after the bounded wait can only be left to the kernel.
    PrepareDriverUnload();
    UNICODE_STRING linkName;
    RtlInitUnicodeString(&linkName, PELMIX_LINK_NAME_W);
    IoDeleteSymbolicLink(&linkName);
    IoDeleteDevice(driverObject->DeviceObject);
    PelmixDevice = 0;
    DriverHooksStop();
}

}  // namespace

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driverObject, PUNICODE_STRING registryPath)
{
    NTSTATUS status = DriverHooksStart(driverObject, registryPath);
    if (!NT_SUCCESS(status))
        return status;
    ResetDriverState();

    driverObject->MajorFunction[IRP_MJ_CREATE] = PelmixOpenClose;
    driverObject->MajorFunction[IRP_MJ_CLOSE] = PelmixOpenClose;
    driverObject->MajorFunction[IRP_MJ_DEVICE_CONTROL] = PelmixDeviceControl;
    driverObject->DriverUnload = PelmixUnload;

    UNICODE_STRING deviceName;
    RtlInitUnicodeString(&deviceName, PELMIX_DEVICE_NAME_W);
    status = IoCreateDevice(driverObject, 0, &deviceName, FILE_DEVICE_UNKNOWN, 0, TRUE, &PelmixDevice);
    if (!NT_SUCCESS(status)) {
        DriverHooksStop();
        return status;
    }
    PelmixDevice->Flags |= DO_BUFFERED_IO;

    UNICODE_STRING linkName;
    RtlInitUnicodeString(&linkName, PELMIX_LINK_NAME_W);
    status = IoCreateSymbolicLink(&linkName, &deviceName);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(PelmixDevice);
        PelmixDevice = 0;
        DriverHooksStop();
        return status;
    }
    return STATUS_SUCCESS;
}
