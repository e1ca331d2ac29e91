// A small driver for the model kernel's rule tests. It serves the device as
// Pelmix.sys does (\Device\PELMIX, linked as \DosDevices\PELMIX) and answers
// every device-control request with a 4-byte status of 0 (the second as a
// pending request, completed at once); built once per rule, it breaks the
// rule that PELMIX_TEST_BREAK names on its first requests or at its unload. Built with PELMIX_TEST_BREAK 0 it breaks
// none, using the same kernel routines as the breaking builds do, correctly.
#include "nt_ddk.h"
#include "nt_kernel_calls.h"

enum {
    BreakNone = 0,
    BreakImport,           // imports a routine NT 4.0 does not export
    BreakIrql,             // sleeps at DISPATCH_LEVEL
    BreakSpinLock,         // acquires a spin lock twice
    BreakIrp,              // completes the request twice
    BreakStack,            // a dispatch routine of the wrong calling convention
    BreakMapping,          // unmaps with another length
    BreakStall,            // stalls 100 us
    BreakReference,        // keeps a thread reference past the unload
    BreakThread,           // unloads while its thread still runs
    BreakHandle,           // closes a handle twice
    BreakHang,             // spins at DISPATCH_LEVEL for a flag nothing sets
    BreakHandleLeft,       // leaves its thread's handle open (in the caller's process on NT 4.0)
    BreakInterrupt,        // sleeps with interrupts masked
    BreakInterruptReturn,  // returns from a request with interrupts masked
    BreakInterruptProbe,   // sizes a BAR with interrupts enabled
    BreakAffinity,         // sets an empty affinity
    BreakAffinityOutside,  // sets an affinity of a processor its process may not use
    BreakHangStarved,      // keeps its worker to a processor other work holds; the unload waits on in time-outs
    BreakIrpBuffer,        // writes to the system buffer after completing the request
    BreakIrpPending,       // returns STATUS_PENDING without marking the IRP pending
    BreakCriticalRegion,   // returns from a request inside a critical region
    BreakThreadEvent,      // the unload waits for an event its worker sets before it ends, not for the worker
    BreakSetEventWait,     // calls another routine between KeSetEvent with Wait TRUE and its wait
    BreakStackDeep,        // recurses past its 12-KB kernel stack
    NoBreakPreempted,      // on one processor, spins for its worker raised above it: clean only if preempted
    BreakStackDeepThread,  // its worker recurses past its 12-KB kernel stack
};

extern "C" NTSYSAPI NTSTATUS NTAPI ZwSetSecurityObject(HANDLE handle, SECURITY_INFORMATION information,
                                                       PSECURITY_DESCRIPTOR descriptor);

namespace {

const int Break = PELMIX_TEST_BREAK;
volatile LONG NeverSet;
volatile LONG StopWorker;
volatile LONG WorkerRan;
KSPIN_LOCK Lock;
PVOID WorkerObject;
KEVENT WorkerDone;
KEVENT Signal;

NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG information)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS NTAPI OpenClose(PDEVICE_OBJECT, PIRP irp)
{
    return Complete(irp, STATUS_SUCCESS, 0);
}

ULONG Recurse(ULONG depth);

VOID NTAPI Worker(PVOID)
{
    LARGE_INTEGER interval;
    interval.QuadPart = -10000;  // 1 ms
    WorkerRan = 1;
    Recurse(Break == BreakStackDeepThread ? 16 : 4);
    do
        KeDelayExecutionThread(KernelMode, FALSE, &interval);
    while (Break == BreakThread && !StopWorker);
    KeSetEvent(&WorkerDone, 0, FALSE);
    PsTerminateSystemThread(STATUS_SUCCESS);
}

// Starts the worker and takes a reference to it by the thread type.
NTSTATUS StartWorker()
{
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, 0, OBJ_KERNEL_HANDLE, 0, 0);
    HANDLE thread;
    NTSTATUS status = PsCreateSystemThread(&thread, 0, &attributes, 0, 0, Worker, 0);
    // NT 4.0 knows no kernel handles: the handle lands in the caller's process.
    if (status == STATUS_INVALID_PARAMETER)
        status = PsCreateSystemThread(&thread, 0, 0, 0, 0, Worker, 0);
    if (!NT_SUCCESS(status))
        return status;
    status = ObReferenceObjectByHandle(thread, SYNCHRONIZE, ThreadObjectType(), KernelMode, &WorkerObject, 0);
    // With other work of a higher priority on processor 1, the worker never runs.
    if (NT_SUCCESS(status) && Break == BreakHangStarved)
        KeSetAffinityThread(static_cast<PKTHREAD>(WorkerObject), 2);
    // Raised above this thread, the worker takes its processor at once.
    if (NT_SUCCESS(status) && Break == NoBreakPreempted) {
        KeSetPriorityThread(static_cast<PKTHREAD>(WorkerObject), 16);
        while (!WorkerRan)
            ;
    }
    if (Break != BreakHandleLeft)
        ZwClose(thread);
    if (Break == BreakHandle)
        ZwClose(thread);
    return status;
}

void WaitForWorker()
{
    if (!WorkerObject)
        return;
    KeWaitForSingleObject(WorkerObject, Executive, KernelMode, FALSE, 0);
    if (Break != BreakReference)
        ObDereferenceObject(WorkerObject);
    WorkerObject = 0;
}

// Pins the thread to the processor it runs on, read at DISPATCH_LEVEL from
// the control region's Number byte; returns the affinity before.
KAFFINITY PinToThisProcessor()
{
    UCHAR number;
    __asm__ __volatile__("movb %%fs:0x51, %0" : "=q"(number));
    KAFFINITY mask = Break == BreakAffinity ? 0
        : Break == BreakAffinityOutside     ? static_cast<KAFFINITY>(1) << 31
                                            : static_cast<KAFFINITY>(1) << number;
    return KeSetAffinityThread(KeGetCurrentThread(), mask);
}

// Sets an event with Wait TRUE, which the wait on it then completes.
void SetAndWait()
{
    KeInitializeEvent(&Signal, NotificationEvent, FALSE);
    KeSetEvent(&Signal, 0, TRUE);
    if (Break == BreakSetEventWait)
        KeStallExecutionProcessor(5);
    KeWaitForSingleObject(&Signal, Executive, KernelMode, FALSE, 0);
}

// Uses a kilobyte of stack at each of depth levels.
ULONG Recurse(ULONG depth)
{
    volatile UCHAR frame[1024];
    frame[0] = static_cast<UCHAR>(depth);
    frame[sizeof frame - 1] = static_cast<UCHAR>(depth);
    return depth ? Recurse(depth - 1) + frame[0] + frame[sizeof frame - 1] : 0;
}

void UseTheProcessorsRoutines()
{
    KIRQL old;
    KeRaiseIrql(DISPATCH_LEVEL, &old);
    KAFFINITY oldAffinity = PinToThisProcessor();
    KeAcquireSpinLockAtDpcLevel(&Lock);
    if (Break == BreakSpinLock)
        KeAcquireSpinLockAtDpcLevel(&Lock);
    KeReleaseSpinLockFromDpcLevel(&Lock);
    KeStallExecutionProcessor(Break == BreakStall ? 100 : 50);
    if (Break == BreakIrql) {
        LARGE_INTEGER interval;
        interval.QuadPart = -10000;
        KeDelayExecutionThread(KernelMode, FALSE, &interval);
    }
    while (Break == BreakHang && !NeverSet)
        ;
    KeLowerIrql(old);
    KeSetAffinityThread(KeGetCurrentThread(), oldAffinity);
}

void UseAMapping()
{
    PHYSICAL_ADDRESS address;
    address.QuadPart = 0xE4000000;
    PVOID mapping = MmMapIoSpace(address, 0x2000, MmNonCached);
    if (!mapping)
        return;
    (void)READ_REGISTER_ULONG(static_cast<PULONG>(mapping));
    MmUnmapIoSpace(mapping, Break == BreakMapping ? 0x1000 : 0x2000);
}

// Masks interrupts on this processor as Pelmix.sys does, enabling them again
// only when they were enabled.
int MaskInterrupts()
{
    ULONG_PTR flags;
    __asm__ __volatile__("pushf\n\tpop %0\n\tcli" : "=r"(flags) : : "memory");
    return (flags & 0x200) ? 1 : 0;
}

void RestoreInterrupts(int wereEnabled)
{
    if (wereEnabled)
        __asm__ __volatile__("sti" : : : "memory");
}

// Sizes BAR 0x10 of the rule machine's card (0:0a.0) with interrupts masked
// for the write of all ones, the read-back, a stall of a few accesses' length
// and the restore.
void SizeABar()
{
    const ULONG slot = 0x0A;
    ULONG value = 0, ones = 0xFFFFFFFF, probed = 0;
    HalGetBusDataByOffset(PCIConfiguration, 0, slot, &value, 0x10, 4);
    int wereEnabled = Break == BreakInterruptProbe ? 0 : MaskInterrupts();
    HalSetBusDataByOffset(PCIConfiguration, 0, slot, &ones, 0x10, 4);
    HalGetBusDataByOffset(PCIConfiguration, 0, slot, &probed, 0x10, 4);
    KeStallExecutionProcessor(5);
    HalSetBusDataByOffset(PCIConfiguration, 0, slot, &value, 0x10, 4);
    if (Break == BreakInterrupt) {
        LARGE_INTEGER interval;
        interval.QuadPart = -10000;
        KeDelayExecutionThread(KernelMode, FALSE, &interval);
    }
    if (Break != BreakInterruptReturn)
        RestoreInterrupts(wereEnabled);
}

NTSTATUS Serve(PIRP irp)
{
    static int served;
    ++served;
    if (served == 1) {
        KeEnterCriticalRegion();
        if (Break == BreakImport)
            ZwSetSecurityObject(0, 0, 0);
        UseTheProcessorsRoutines();
        SetAndWait();
        Recurse(Break == BreakStackDeep ? 16 : 4);
        UseAMapping();
        if (NT_SUCCESS(StartWorker()) && Break != BreakThread && Break != BreakHangStarved && Break != BreakThreadEvent)
            WaitForWorker();
        SizeABar();
        if (Break != BreakCriticalRegion)
            KeLeaveCriticalRegion();
    }
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    volatile ULONG* reply = static_cast<ULONG*>(irp->AssociatedIrp.SystemBuffer);
    ULONG information = 0;
    if (stack->Parameters.DeviceIoControl.OutputBufferLength >= 4) {
        *reply = 0;
        information = 4;
    }
    // The second request is answered as pending, completed at once.
    int pending = served == 2;
    if (pending && Break != BreakIrpPending)
        IoMarkIrpPending(irp);
    NTSTATUS status = Complete(irp, STATUS_SUCCESS, information);
    if (Break == BreakIrp)
        IoCompleteRequest(irp, IO_NO_INCREMENT);
    if (Break == BreakIrpBuffer && information)
        *reply = 1;
    return pending ? STATUS_PENDING : status;
}

NTSTATUS NTAPI DeviceControl(PDEVICE_OBJECT, PIRP irp)
{
    return Serve(irp);
}

// Declared without NTAPI: it returns without popping its arguments.
NTSTATUS __cdecl DeviceControlOfTheWrongConvention(PDEVICE_OBJECT, PIRP irp)
{
    return Serve(irp);
}

// Waits for the worker in five-second steps, however long it takes.
void WaitOnForWorker()
{
    LARGE_INTEGER step;
    step.QuadPart = -50000000;
    while (WorkerObject && KeWaitForSingleObject(WorkerObject, Executive, KernelMode, FALSE, &step) == STATUS_TIMEOUT)
        ;
    WaitForWorker();
}

VOID NTAPI Unload(PDRIVER_OBJECT driverObject)
{
    if (Break == BreakHangStarved)
        WaitOnForWorker();
    if (Break == BreakThreadEvent && WorkerObject) {
        KeWaitForSingleObject(&WorkerDone, Executive, KernelMode, FALSE, 0);
        ObDereferenceObject(WorkerObject);
        WorkerObject = 0;
    }
    UNICODE_STRING linkName;
    RtlInitUnicodeString(&linkName, L"\\DosDevices\\PELMIX");
    IoDeleteSymbolicLink(&linkName);
    IoDeleteDevice(driverObject->DeviceObject);
}

}  // namespace

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driverObject, PUNICODE_STRING)
{
    KeInitializeSpinLock(&Lock);
    KeInitializeEvent(&WorkerDone, NotificationEvent, FALSE);
    driverObject->MajorFunction[IRP_MJ_CREATE] = OpenClose;
    driverObject->MajorFunction[IRP_MJ_CLOSE] = OpenClose;
    void* control = Break == BreakStack ? reinterpret_cast<void*>(DeviceControlOfTheWrongConvention)
                                        : reinterpret_cast<void*>(DeviceControl);
    driverObject->MajorFunction[IRP_MJ_DEVICE_CONTROL] = reinterpret_cast<PDRIVER_DISPATCH>(control);
    driverObject->DriverUnload = Unload;

    UNICODE_STRING deviceName, linkName;
    RtlInitUnicodeString(&deviceName, L"\\Device\\PELMIX");
    RtlInitUnicodeString(&linkName, L"\\DosDevices\\PELMIX");
    PDEVICE_OBJECT device;
    NTSTATUS status = IoCreateDevice(driverObject, 0, &deviceName, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
    if (!NT_SUCCESS(status))
        return status;
    device->Flags |= DO_BUFFERED_IO;
    status = IoCreateSymbolicLink(&linkName, &deviceName);
    if (!NT_SUCCESS(status))
        IoDeleteDevice(device);
    return status;
}
