// A small driver for the model kernel's rule tests. It serves the device as
// Pelmix.sys does (\Device\PELMIX, linked as \DosDevices\PELMIX) and answers
// every device-control request with a 4-byte status of 0; built once per
// rule, it breaks the rule that PELMIX_TEST_BREAK names on the first request
// or at its unload. Built with PELMIX_TEST_BREAK 0 it breaks none, using the
// same kernel routines as the breaking builds do, correctly.
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
    BreakPoolTwice,        // frees a pool block twice
    BreakPoolForeign,      // frees what is no pool block
    BreakPoolPaged,        // touches paged pool at DISPATCH_LEVEL
    BreakPoolOverrun,      // writes the byte past a pool block
    BreakPoolLeft,         // leaves nonpaged pool at its unload
    BreakPoolTag,          // frees a block with another tag than its own (2000 on)
    BreakSpinLockIrql,     // releases a spin lock to an IRQL above the lock's
    BreakQueuedTwice,      // takes an in-stack queued spin lock its processor holds (XP)
    BreakUnserved,         // imports a routine NT exports and the model does not serve
    BreakNoneXp,           // breaks none, using XP's pool and queued spin-lock routines too
    // Device descriptors the open's access check decides on (no rule broken):
    BreakDenyFirst,        // denies Everyone writing before allowing Everyone all: no one opens
    BreakAllowFirst,       // allows Everyone all before denying INTERACTIVE all: everyone opens
    BreakInteractiveOnly,  // the system, administrators and INTERACTIVE users only
    BreakSplitRights,      // Users may read and Authenticated Users write: each user opens
    BreakReadOnly,         // Users may read; an inherit-only ACE for Everyone grants nothing here
    BreakBadDescriptor,    // an ACE whose size runs past its ACL: the kernel refuses the descriptor
};

extern "C" NTSYSAPI NTSTATUS NTAPI ZwSetSecurityObject(HANDLE handle, SECURITY_INFORMATION information,
                                                       PSECURITY_DESCRIPTOR descriptor);

namespace {

const int Break = PELMIX_TEST_BREAK;
volatile LONG NeverSet;
volatile LONG StopWorker;
KSPIN_LOCK Lock;
PVOID WorkerObject;

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

VOID NTAPI Worker(PVOID)
{
    LARGE_INTEGER interval;
    interval.QuadPart = -10000;  // 1 ms
    do
        KeDelayExecutionThread(KernelMode, FALSE, &interval);
    while (Break == BreakThread && !StopWorker);
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

const ULONG PoolTag = 'P' | 'l' << 8 | 'm' << 16 | 'x' << 24;

// Pool of both kinds: the paged block touched below DISPATCH_LEVEL only,
// each freed once with its own tag.
void UsePool()
{
    volatile UCHAR* block = static_cast<PUCHAR>(ExAllocatePoolWithTag(NonPagedPool, 24, PoolTag));
    volatile UCHAR* paged = static_cast<PUCHAR>(ExAllocatePoolWithTag(PagedPool, 16, PoolTag));
    if (!block || !paged)
        return;
    block[23] = 1;
    if (Break == BreakPoolOverrun)
        block[24] = 1;
    paged[0] = 1;
    KIRQL old;
    KeAcquireSpinLock(&Lock, &old);
    block[0] = 2;
    if (Break == BreakPoolPaged)
        paged[1] = 2;
    KeReleaseSpinLock(&Lock, Break == BreakSpinLockIrql ? HIGH_LEVEL : old);
    paged[2] = 3;
    ExFreePool(const_cast<UCHAR*>(paged));
    if (Break == BreakPoolForeign)
        ExFreePool(const_cast<LONG*>(&NeverSet));
    if (Break == BreakNoneXp || Break == BreakPoolTag)
        ExFreePoolWithTag(const_cast<UCHAR*>(block), Break == BreakPoolTag ? PoolTag + 1 : PoolTag);
    else if (Break != BreakPoolLeft)
        ExFreePool(const_cast<UCHAR*>(block));
    if (Break == BreakPoolTwice)
        ExFreePool(const_cast<UCHAR*>(block));
}

// XP's in-stack queued spin locks, in the form that raises and the form for
// a caller at DISPATCH_LEVEL.
void UseQueuedSpinLocks()
{
    static KSPIN_LOCK second;
    KLOCK_QUEUE_HANDLE outer, inner;
    KeAcquireInStackQueuedSpinLock(&Lock, &outer);
    KeAcquireInStackQueuedSpinLockAtDpcLevel(Break == BreakQueuedTwice ? &Lock : &second, &inner);
    KeReleaseInStackQueuedSpinLockFromDpcLevel(&inner);
    KeReleaseInStackQueuedSpinLock(&outer);
}

NTSTATUS Serve(PIRP irp)
{
    static int served;
    if (!served++) {
        if (Break == BreakImport)
            ZwSetSecurityObject(0, 0, 0);
        if (Break == BreakUnserved)
            MmGetPhysicalAddress(irp);
        UsePool();
        if (Break == BreakNoneXp || Break == BreakQueuedTwice)
            UseQueuedSpinLocks();
        UseTheProcessorsRoutines();
        UseAMapping();
        if (NT_SUCCESS(StartWorker()) && Break != BreakThread)
            WaitForWorker();
        SizeABar();
    }
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ULONG information = 0;
    if (stack->Parameters.DeviceIoControl.OutputBufferLength >= 4) {
        *static_cast<ULONG*>(irp->AssociatedIrp.SystemBuffer) = 0;
        information = 4;
    }
    NTSTATUS status = Complete(irp, STATUS_SUCCESS, information);
    if (Break == BreakIrp)
        IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
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

VOID NTAPI Unload(PDRIVER_OBJECT driverObject)
{
    UNICODE_STRING linkName;
    RtlInitUnicodeString(&linkName, L"\\DosDevices\\PELMIX");
    IoDeleteSymbolicLink(&linkName);
    IoDeleteDevice(driverObject->DeviceObject);
}

// A self-relative descriptor with a DACL and no owner, built ACE by ACE.
struct DescriptorBuilder {
    UCHAR Bytes[256];
    ULONG Length;
    USHORT Aces;
};

// ACE types and flags (ntifs.h, which does not compile beside ntddk.h here).
const UCHAR AccessAllowedAce = 0, AccessDeniedAce = 1, ObjectInheritAce = 0x01, InheritOnlyAce = 0x08;

const UCHAR WorldSid[] = {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
const UCHAR InteractiveSid[] = {1, 1, 0, 0, 0, 0, 0, 5, 4, 0, 0, 0};
const UCHAR AuthenticatedSid[] = {1, 1, 0, 0, 0, 0, 0, 5, 11, 0, 0, 0};
const UCHAR SystemSid[] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
const UCHAR AdministratorsSid[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};
const UCHAR UsersSid[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x21, 2, 0, 0};

// Byte by byte: the kernel's memcpy export is not one the model serves.
void CopyBytes(UCHAR* target, const void* source, ULONG length)
{
    volatile UCHAR* to = target;
    for (ULONG i = 0; i < length; ++i)
        to[i] = static_cast<const UCHAR*>(source)[i];
}

void Put(DescriptorBuilder* b, const void* bytes, ULONG length)
{
    CopyBytes(b->Bytes + b->Length, bytes, length);
    b->Length += length;
}

void AddAce(DescriptorBuilder* b, UCHAR type, UCHAR flags, ACCESS_MASK mask, const UCHAR* sid, ULONG sidLength)
{
    USHORT size = static_cast<USHORT>(8 + sidLength);
    UCHAR header[4] = {type, flags, static_cast<UCHAR>(size), static_cast<UCHAR>(size >> 8)};
    Put(b, header, 4);
    Put(b, &mask, 4);
    Put(b, sid, sidLength);
    ++b->Aces;
}

#define ADD_ACE(b, type, flags, mask, sid) AddAce(b, type, flags, mask, sid, sizeof sid)

// The descriptor of a descriptor kind into b; 0 for any other kind.
int BuildDescriptor(DescriptorBuilder* b)
{
    const UCHAR header[20] = {1, 0, 0x04, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 20, 0, 0, 0};
    const UCHAR aclHeader[8] = {2, 0, 0, 0, 0, 0, 0, 0};
    b->Length = 0;
    b->Aces = 0;
    Put(b, header, 20);
    Put(b, aclHeader, 8);
    switch (Break) {
    case BreakDenyFirst:
        ADD_ACE(b, AccessDeniedAce, 0, FILE_GENERIC_WRITE, WorldSid);
        ADD_ACE(b, AccessAllowedAce, 0, GENERIC_ALL, WorldSid);
        break;
    case BreakAllowFirst:
        ADD_ACE(b, AccessAllowedAce, 0, GENERIC_ALL, WorldSid);
        ADD_ACE(b, AccessDeniedAce, 0, GENERIC_ALL, InteractiveSid);
        break;
    case BreakInteractiveOnly:
        ADD_ACE(b, AccessAllowedAce, 0, FILE_ALL_ACCESS, SystemSid);
        ADD_ACE(b, AccessAllowedAce, 0, FILE_ALL_ACCESS, AdministratorsSid);
        ADD_ACE(b, AccessAllowedAce, 0, GENERIC_READ | GENERIC_WRITE, InteractiveSid);
        break;
    case BreakSplitRights:
        ADD_ACE(b, AccessAllowedAce, 0, FILE_GENERIC_READ, UsersSid);
        ADD_ACE(b, AccessAllowedAce, 0, FILE_GENERIC_WRITE, AuthenticatedSid);
        break;
    case BreakReadOnly:
        ADD_ACE(b, AccessAllowedAce, InheritOnlyAce | ObjectInheritAce, GENERIC_ALL, WorldSid);
        ADD_ACE(b, AccessAllowedAce, 0, GENERIC_READ, UsersSid);
        break;
    case BreakBadDescriptor:
        ADD_ACE(b, AccessAllowedAce, 0, GENERIC_ALL, WorldSid);
        ADD_ACE(b, AccessAllowedAce, 0, GENERIC_ALL, UsersSid);
        b->Bytes[28 + 2] = 200;
        break;
    default: return 0;
    }
    USHORT aclSize = static_cast<USHORT>(b->Length - 20);
    CopyBytes(b->Bytes + 22, &aclSize, 2);
    CopyBytes(b->Bytes + 24, &b->Aces, 2);
    return 1;
}

// Puts the kind's descriptor on the device, as Pelmix.sys puts its own.
NTSTATUS SetDeviceDescriptor(PDEVICE_OBJECT device)
{
    static DescriptorBuilder descriptor;
    if (!BuildDescriptor(&descriptor))
        return STATUS_SUCCESS;
    HANDLE handle;
    NTSTATUS status = ObOpenObjectByPointer(device, OBJ_KERNEL_HANDLE, 0, WRITE_DAC, 0, KernelMode, &handle);
    if (status == STATUS_INVALID_PARAMETER)
        status = ObOpenObjectByPointer(device, 0, 0, WRITE_DAC, 0, KernelMode, &handle);
    if (!NT_SUCCESS(status))
        return status;
    status = NtSetSecurityObject(handle, DACL_SECURITY_INFORMATION, descriptor.Bytes);
    ZwClose(handle);
    return status;
}

}  // namespace

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driverObject, PUNICODE_STRING)
{
    KeInitializeSpinLock(&Lock);
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
    status = SetDeviceDescriptor(device);
    if (NT_SUCCESS(status))
        status = IoCreateSymbolicLink(&linkName, &deviceName);
    if (!NT_SUCCESS(status))
        IoDeleteDevice(device);
    return status;
}
