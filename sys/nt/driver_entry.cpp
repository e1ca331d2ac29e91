// Driver entry, unload and the request glue: one exclusive buffered device
// whose device-control requests go to the request dispatcher.
#include "nt_ddk.h"

#include "device_security.h"
#include "driver_hooks.h"
#include "nt_kernel_calls.h"
#include "pelmix_ioctl.h"
#include "driver_state.h"
#include "request_dispatch.h"

namespace {

// Only the system and administrators may open the device: its DACL is set
// before the link gives it a name that user mode can reach. NT 4.0 knows no
// kernel handles and refuses the attribute; DriverEntry runs in the system
// process there, so its handle table is the system's anyway. NT 4.0 exports
// no ZwSetSecurityObject; the Nt form, exported since 3.10, does the same
// here, as DriverEntry runs in a system thread whose previous mode is
// KernelMode.
NTSTATUS RestrictDeviceAccess(PDEVICE_OBJECT device)
{
    HANDLE handle;
    NTSTATUS status = ObOpenObjectByPointer(device, OBJ_KERNEL_HANDLE, 0, WRITE_DAC, 0, KernelMode, &handle);
    if (status == STATUS_INVALID_PARAMETER)
        status = ObOpenObjectByPointer(device, 0, 0, WRITE_DAC, 0, KernelMode, &handle);
    if (!NT_SUCCESS(status))
        return status;
    status = NtSetSecurityObject(handle, DACL_SECURITY_INFORMATION, const_cast<uint8_t*>(DeviceDescriptor));
    ZwClose(handle);
    return status;
}

// Only the device itself opens. A name below it ("\\.\PELMIX\x", or one
// relative to an open file) escapes the device's descriptor where the kernel
// does not honour FILE_DEVICE_SECURE_OPEN (before NT 4.0 SP5), so it is refused.
NTSTATUS NTAPI PelmixCreate(PDEVICE_OBJECT, PIRP irp)
{
    PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
    NTSTATUS status = STATUS_SUCCESS;
    if (file && (file->FileName.Length != 0 || file->RelatedFileObject))
        status = STATUS_ACCESS_DENIED;
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS NTAPI PelmixClose(PDEVICE_OBJECT, PIRP irp)
{
    irp->IoStatus.Status = STATUS_SUCCESS;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_SUCCESS;
}

// The request runs in a critical region: a suspension of the caller's thread
// (a kernel APC) delivered while it waits for its holding threads, or holds
// the request lock, would leave every other processor spinning until the
// thread is resumed. The region holds the APC back until the request is done.
NTSTATUS NTAPI PelmixDeviceControl(PDEVICE_OBJECT, PIRP irp)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    uint32_t information = 0;
    KeEnterCriticalRegion();
    DriverHooksRequestStart(irp->AssociatedIrp.SystemBuffer, stack->Parameters.DeviceIoControl.InputBufferLength,
                            stack->Parameters.DeviceIoControl.OutputBufferLength);
    NTSTATUS status = static_cast<NTSTATUS>(
        DispatchDeviceControl(stack->Parameters.DeviceIoControl.IoControlCode, irp->AssociatedIrp.SystemBuffer,
                              stack->Parameters.DeviceIoControl.InputBufferLength,
                              stack->Parameters.DeviceIoControl.OutputBufferLength, &information));
    DriverHooksRequestDone();
    KeLeaveCriticalRegion();
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

VOID NTAPI PelmixUnload(PDRIVER_OBJECT driverObject)
{
    // Nothing of the image may run once this returns: it waits for every
    // thread the driver started, letting each run on any processor, for up
    // to a minute, so that a service stop still ends on a machine whose
    // processors stay taken.
    PrepareDriverUnload();
    UNICODE_STRING linkName;
    RtlInitUnicodeString(&linkName, PELMIX_LINK_NAME_W);
    IoDeleteSymbolicLink(&linkName);
    IoDeleteDevice(driverObject->DeviceObject);
    DriverHooksStop();
}

}  // namespace

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driverObject, PUNICODE_STRING registryPath)
{
    NTSTATUS status = DriverHooksStart(driverObject, registryPath);
    if (!NT_SUCCESS(status))
        return status;
    ResetDriverState();

    driverObject->MajorFunction[IRP_MJ_CREATE] = PelmixCreate;
    driverObject->MajorFunction[IRP_MJ_CLOSE] = PelmixClose;
    driverObject->MajorFunction[IRP_MJ_DEVICE_CONTROL] = PelmixDeviceControl;
    driverObject->DriverUnload = PelmixUnload;

    UNICODE_STRING deviceName;
    RtlInitUnicodeString(&deviceName, PELMIX_DEVICE_NAME_W);
    // FILE_DEVICE_SECURE_OPEN: an open of a name below the device is checked
    // against the device's own descriptor too.
    PDEVICE_OBJECT device = 0;
    status = IoCreateDevice(driverObject, 0, &deviceName, FILE_DEVICE_UNKNOWN, FILE_DEVICE_SECURE_OPEN, TRUE, &device);
    if (!NT_SUCCESS(status)) {
        DriverHooksStop();
        return status;
    }
    device->Flags |= DO_BUFFERED_IO;
    status = RestrictDeviceAccess(device);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(device);
        DriverHooksStop();
        return status;
    }

    UNICODE_STRING linkName;
    RtlInitUnicodeString(&linkName, PELMIX_LINK_NAME_W);
    status = IoCreateSymbolicLink(&linkName, &deviceName);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(device);
        DriverHooksStop();
        return status;
    }
    return STATUS_SUCCESS;
}
