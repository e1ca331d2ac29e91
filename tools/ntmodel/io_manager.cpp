#include "io_manager.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>

#include "entry_calls.h"
#include "kernel_objects.h"
#include "kernel_pool.h"
#include "model_kernel.h"
#include "model_routines.h"
#include "security_check.h"
#include "stale_pool.h"

namespace {

const char16_t RegistryPathText[] = u"\\REGISTRY\\MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Pelmix";
const char16_t DriverNameText[] = u"\\Driver\\Pelmix";
const char UserDeviceName[] = "PELMIX";
const uint32_t OpenAccessWanted = 0xC0000000u;  // GENERIC_READ | GENERIC_WRITE, as pelmixctl opens
// An unload that takes this much machine time is told on standard error.
const uint64_t LongUnloadMs = 1000;
const uint16_t* const RegistryPath = reinterpret_cast<const uint16_t*>(RegistryPathText);
const uint16_t* const DriverName = reinterpret_cast<const uint16_t*>(DriverNameText);

NtDriverObject* Driver;
NtUnicodeString RegistryPathString;
NtFileObject* OpenFile;
ModelDevice* OpenDevice;

// The request in the driver right now.
struct ActiveRequest {
    NtIrp* Irp;
    uint8_t Major;
    uint32_t OutputLength;
    uint32_t Completions;
    uint32_t CompletedStatus;
    int MarkedAtCompletion;  // SL_PENDING_RETURNED when IoCompleteRequest ran
    NtDispatcherHeader Completed;
};
ActiveRequest Active;

const uint8_t SlPendingReturned = 0x01;
const uint32_t PageSize = 4096;

// A device-control request's system buffer, on pages of its own: once
// IoCompleteRequest gives it back, the I/O manager has copied the reply out
// and the pages allow no access, so a later touch by the driver faults. The
// pages of the last request stay reserved until the next one.
struct SystemBuffer {
    uint8_t* Pages;
    uint32_t Size;
    uint32_t MappedSize;
    int GivenBack;
    uint8_t* Reply;  // the buffer as it was at the completion
};
SystemBuffer Buffer;

void ReleaseSystemBuffer()
{
    if (Buffer.Pages)
        munmap(Buffer.Pages, Buffer.MappedSize);
    free(Buffer.Reply);
    Buffer = SystemBuffer {};
}

uint8_t* NewSystemBuffer(uint32_t size)
{
    ReleaseSystemBuffer();
    if (size == 0)
        return nullptr;
    uint32_t mapped = (size + PageSize - 1) / PageSize * PageSize;
    void* pages = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages == MAP_FAILED)
        Bugcheck("FAULT", "model", nullptr, "out of memory");
    Buffer.Pages = static_cast<uint8_t*>(pages);
    Buffer.Size = size;
    Buffer.MappedSize = mapped;
    return Buffer.Pages;
}

// Under KernelLock, at the completion: the reply leaves the buffer.
void GiveBackSystemBuffer()
{
    if (!Buffer.Pages || Buffer.GivenBack)
        return;
    Buffer.Reply = static_cast<uint8_t*>(malloc(Buffer.Size));
    if (!Buffer.Reply)
        Bugcheck("FAULT", "model", nullptr, "out of memory");
    memcpy(Buffer.Reply, Buffer.Pages, Buffer.Size);
    mprotect(Buffer.Pages, Buffer.MappedSize, PROT_NONE);
    Buffer.GivenBack = 1;
}

void* Allocate(uint32_t size)
{
    void* memory = calloc(1, size ? size : 1);
    if (!memory)
        Bugcheck("FAULT", "model", nullptr, "out of memory");
    return memory;
}

// The model's handler for a major function the driver did not set.
extern "C" MODEL_STDCALL uint32_t ModelInvalidDeviceRequest(NtDeviceObject*, NtIrp* irp)
{
    irp->Status = static_cast<int32_t>(NtStatusInvalidDeviceRequest);
    irp->Information = 0;
    std::lock_guard<std::mutex> lock(KernelLock);
    Active.Completions++;
    Active.CompletedStatus = NtStatusInvalidDeviceRequest;
    return NtStatusInvalidDeviceRequest;
}

// Runs a driver entry on the caller's thread in the system process, as the
// I/O manager's worker thread does for DriverEntry and DriverUnload.
uint32_t CallInSystemProcess(const char* entryName, void* routine, const uint32_t* arguments, uint32_t count)
{
    ModelThread* thread = CurrentThread();
    {
        std::lock_guard<std::mutex> lock(KernelLock);
        thread->Process = SystemProcess;
        thread->PreviousModeUser = 0;
    }
    uint32_t result = CallDriver(entryName, routine, arguments, count);
    std::lock_guard<std::mutex> lock(KernelLock);
    thread->Process = CallerProcess;
    thread->PreviousModeUser = 1;
    if (thread->Irql != PassiveLevel)
        Bugcheck("IRQL", entryName, routine, "returns at IRQL %u; it was entered at PASSIVE_LEVEL", thread->Irql);
    if (thread->HeldSpinLockCount)
        Bugcheck("SPINLOCK", entryName, routine, "returns holding a spin lock");
    return result;
}

const char* MajorName(uint8_t major)
{
    switch (major) {
    case NtIrpMjCreate: return "IRP_MJ_CREATE";
    case NtIrpMjClose: return "IRP_MJ_CLOSE";
    default: return "IRP_MJ_DEVICE_CONTROL";
    }
}

// Sends the IRP to the driver's dispatch routine and checks what it leaves.
uint32_t SendIrp(NtIrp* irp, uint8_t major, uint32_t outputLength)
{
    ModelThread* thread = CurrentThread();
    void* routine = Driver->MajorFunction[major];
    const char* name = MajorName(major);
    {
        std::lock_guard<std::mutex> lock(KernelLock);
        Active = ActiveRequest {irp, major, outputLength, 0, 0, {}};
        Active.Completed.Type = NtNotificationEventObject;
        irp->Thread = &thread->Header;
    }
    uint32_t arguments[2] = {reinterpret_cast<uint32_t>(OpenDevice->Object), reinterpret_cast<uint32_t>(irp)};
    uint32_t status = CallDriver(name, routine, arguments, 2);
    std::unique_lock<std::mutex> lock(KernelLock);
    if (thread->Irql != PassiveLevel)
        Bugcheck("IRQL", name, routine, "returns at IRQL %u; it was entered at PASSIVE_LEVEL", thread->Irql);
    if (thread->HeldSpinLockCount)
        Bugcheck("SPINLOCK", name, routine, "returns holding a spin lock");
    // NT checks the thread's APC disable count on the way back to user mode.
    if (thread->CriticalRegion)
        Bugcheck("APC", name, routine,
                 "returns inside a critical region (%d KeEnterCriticalRegion not left): NT stops with "
                 "APC_INDEX_MISMATCH",
                 thread->CriticalRegion);
    // Without the mark the completion does not tell the waiting I/O manager.
    int marked =
        Active.Completions ? Active.MarkedAtCompletion : (irp->CurrentStackLocation->Control & SlPendingReturned) != 0;
    if (status == NtStatusPending && !marked)
        Bugcheck("IRP", name, routine,
                 "returns STATUS_PENDING without marking the IRP pending (IoMarkIrpPending) before its completion");
    if (status == NtStatusPending) {
        void* completed = &Active.Completed;
        SchedulerWait(lock, &completed, 1, 0, 0, 0);
        status = Active.CompletedStatus;
    } else if (Active.Completions == 0) {
        Bugcheck("IRP", name, routine, "returns 0x%08x without completing the IRP", status);
    } else if (status != Active.CompletedStatus) {
        Bugcheck("IRP", name, routine, "returns 0x%08x but completed the IRP with 0x%08x", status,
                 Active.CompletedStatus);
    }
    for (const HandleEntry& entry : Handles) {
        if (entry.InUse && !entry.Kernel && entry.Process == CallerProcess)
            Bugcheck("HANDLE", name, entry.MadeAt, "a handle the driver made stays open in the caller's process");
    }
    Active.Irp = nullptr;
    return status;
}

NtIrp* NewIrp(uint8_t major, NtIoStackLocation** stack)
{
    uint8_t* memory = static_cast<uint8_t*>(Allocate(sizeof(NtIrp) + sizeof(NtIoStackLocation)));
    NtIrp* irp = reinterpret_cast<NtIrp*>(memory);
    NtIoStackLocation* location = reinterpret_cast<NtIoStackLocation*>(memory + sizeof(NtIrp));
    irp->Type = 6;
    irp->Size = sizeof(NtIrp) + sizeof(NtIoStackLocation);
    irp->StackCount = 1;
    irp->CurrentLocation = 1;
    irp->RequestorMode = 1;
    irp->CurrentStackLocation = location;
    irp->OriginalFileObject = OpenFile;
    location->MajorFunction = major;
    location->DeviceObject = OpenDevice ? OpenDevice->Object : nullptr;
    location->FileObject = OpenFile;
    *stack = location;
    return irp;
}

ModelDevice* DeviceNamed(const uint16_t* name)
{
    for (ModelDevice& device : Devices) {
        if (device.InUse && WideEqual(name, WideLength(name), device.Name))
            return &device;
    }
    return nullptr;
}

}  // namespace

extern "C" {

MODEL_STDCALL void ModelRtlInitUnicodeString(NtUnicodeString* target, const uint16_t* source)
{
    KernelCall call("RtlInitUnicodeString", MODEL_CALLER, DispatchLevel);
    uint32_t length = source ? WideLength(source) * 2 : 0;
    target->Length = static_cast<uint16_t>(length);
    target->MaximumLength = static_cast<uint16_t>(source ? length + 2 : 0);
    target->Buffer = const_cast<uint16_t*>(source);
}

MODEL_STDCALL uint32_t ModelIoCreateDevice(NtDriverObject* driver, uint32_t extensionSize, NtUnicodeString* name,
                                           uint32_t type, uint32_t characteristics, uint8_t exclusive,
                                           NtDeviceObject** device)
{
    KernelCall call("IoCreateDevice", MODEL_CALLER, PassiveLevel);
    ModelDevice* slot = nullptr;
    for (ModelDevice& candidate : Devices) {
        if (candidate.InUse && name && WideEqual(name->Buffer, name->Length / 2, candidate.Name))
            return NtStatusObjectNameCollision;
        if (!candidate.InUse && !slot)
            slot = &candidate;
    }
    if (!slot)
        return NtStatusInsufficientResources;
    uint8_t* memory = static_cast<uint8_t*>(Allocate(sizeof(NtDeviceObject) + extensionSize));
    NtDeviceObject* object = reinterpret_cast<NtDeviceObject*>(memory);
    object->Type = 3;
    object->Size = static_cast<uint16_t>(sizeof(NtDeviceObject) + extensionSize);
    object->DriverObject = driver;
    object->NextDevice = driver->DeviceObject;
    object->Flags = NtDoDeviceInitializing | (exclusive ? static_cast<uint32_t>(NtDoExclusive) : 0u);
    object->Characteristics = characteristics;
    object->DeviceExtension = extensionSize ? memory + sizeof(NtDeviceObject) : nullptr;
    object->DeviceType = type;
    object->StackSize = 1;
    driver->DeviceObject = object;
    memset(slot, 0, sizeof *slot);
    slot->InUse = 1;
    slot->Object = object;
    if (name)
        WideCopy(slot->Name, 64, name->Buffer, name->Length / 2);
    *device = object;
    return NtStatusSuccess;
}

MODEL_STDCALL void ModelIoDeleteDevice(NtDeviceObject* object)
{
    KernelCall call("IoDeleteDevice", MODEL_CALLER, PassiveLevel);
    ModelDevice* device = DeviceOfObject(object);
    if (!device)
        call.Break("REFERENCE", "deletes %p, which is no device", static_cast<void*>(object));
    NtDeviceObject** link = &object->DriverObject->DeviceObject;
    while (*link && *link != object)
        link = &(*link)->NextDevice;
    if (*link)
        *link = object->NextDevice;
    device->InUse = 0;
    free(object);
}

MODEL_STDCALL uint32_t ModelIoCreateSymbolicLink(NtUnicodeString* link, NtUnicodeString* target)
{
    KernelCall call("IoCreateSymbolicLink", MODEL_CALLER, PassiveLevel);
    ModelLink* slot = nullptr;
    for (ModelLink& candidate : Links) {
        if (candidate.InUse && WideEqual(link->Buffer, link->Length / 2, candidate.Name))
            return NtStatusObjectNameCollision;
        if (!candidate.InUse && !slot)
            slot = &candidate;
    }
    if (!slot)
        return NtStatusInsufficientResources;
    slot->InUse = 1;
    WideCopy(slot->Name, 64, link->Buffer, link->Length / 2);
    WideCopy(slot->Target, 64, target->Buffer, target->Length / 2);
    return NtStatusSuccess;
}

MODEL_STDCALL uint32_t ModelIoDeleteSymbolicLink(NtUnicodeString* link)
{
    KernelCall call("IoDeleteSymbolicLink", MODEL_CALLER, PassiveLevel);
    for (ModelLink& candidate : Links) {
        if (candidate.InUse && WideEqual(link->Buffer, link->Length / 2, candidate.Name)) {
            candidate.InUse = 0;
            return NtStatusSuccess;
        }
    }
    return NtStatusObjectNameNotFound;
}

MODEL_FASTCALL void ModelIofCompleteRequest(NtIrp* irp, int8_t)
{
    KernelCall call("IofCompleteRequest", MODEL_CALLER, DispatchLevel);
    if (!Active.Irp || irp != Active.Irp)
        call.Break("IRP", "completes %p, which is not a request in the driver", static_cast<void*>(irp));
    if (++Active.Completions > 1)
        call.Break("IRP", "completes the IRP a second time");
    uint32_t status = static_cast<uint32_t>(irp->Status);
    if (status == NtStatusPending)
        call.Break("IRP", "completes the IRP with STATUS_PENDING");
    if (Active.Major == NtIrpMjDeviceControl && irp->Information > Active.OutputLength)
        call.Break("IRP", "Information %u is above the output length %u", irp->Information, Active.OutputLength);
    Active.CompletedStatus = status;
    Active.MarkedAtCompletion = (irp->CurrentStackLocation->Control & SlPendingReturned) != 0;
    irp->PendingReturned = static_cast<uint8_t>(Active.MarkedAtCompletion);
    if (Active.Major == NtIrpMjDeviceControl)
        GiveBackSystemBuffer();
    Active.Completed.SignalState = 1;
    SchedulerSignal(&Active.Completed);
}

}  // extern "C"

int IoStartDriver(uint32_t* status)
{
    Driver = static_cast<NtDriverObject*>(Allocate(sizeof(NtDriverObject)));
    Driver->Type = 4;
    Driver->Size = sizeof(NtDriverObject);
    Driver->DriverStart = Image.Base;
    Driver->DriverSize = Image.Size;
    Driver->DriverInit = Image.Entry;
    Driver->DriverName.Buffer = const_cast<uint16_t*>(DriverName);
    Driver->DriverName.Length = static_cast<uint16_t>(WideLength(DriverName) * 2);
    Driver->DriverName.MaximumLength = Driver->DriverName.Length + 2;
    for (void*& major : Driver->MajorFunction)
        major = reinterpret_cast<void*>(ModelInvalidDeviceRequest);
    RegistryPathString.Buffer = const_cast<uint16_t*>(RegistryPath);
    RegistryPathString.Length = static_cast<uint16_t>(WideLength(RegistryPath) * 2);
    RegistryPathString.MaximumLength = RegistryPathString.Length + 2;

    uint32_t arguments[2] = {reinterpret_cast<uint32_t>(Driver), reinterpret_cast<uint32_t>(&RegistryPathString)};
    *status = CallInSystemProcess("DriverEntry", Image.Entry, arguments, 2);
    if (NtError(*status))
        return 0;
    std::lock_guard<std::mutex> lock(KernelLock);
    for (NtDeviceObject* device = Driver->DeviceObject; device; device = device->NextDevice)
        device->Flags &= ~NtDoDeviceInitializing;
    return 1;
}

int IoOpenDevice(const char* below, uint32_t* status)
{
    ModelDevice* device = nullptr;
    {
        std::lock_guard<std::mutex> lock(KernelLock);
        for (const ModelLink& link : Links) {
            // \DosDevices\NAME and \??\NAME are the names "\\.\NAME" reaches.
            uint32_t length = WideLength(link.Name);
            uint32_t last = length;
            while (last > 0 && link.Name[last - 1] != '\\')
                --last;
            char leaf[64];
            WideToAscii(link.Name + last, length - last, leaf, sizeof leaf);
            if (link.InUse && strcasecmp(leaf, UserDeviceName) == 0)
                device = DeviceNamed(link.Target);
        }
        if (!device) {
            *status = NtStatusObjectNameNotFound;
            return 0;
        }
        // The device's descriptor guards the open; below the device, only
        // where FILE_DEVICE_SECURE_OPEN is honoured (not by this NT 4.0).
        int checked =
            below[0] == 0 || ((device->Object->Characteristics & NtFileDeviceSecureOpen) && Settings.Version >= Nt50);
        if (checked && !SecurityAccessGranted(device, Settings.Caller, OpenAccessWanted)) {
            *status = NtStatusAccessDenied;
            return 0;
        }
        if ((device->Object->Flags & NtDoExclusive) && device->OpenCount > 0) {
            *status = NtStatusAccessDenied;
            return 0;
        }
        OpenDevice = device;
    }
    NtFileObject* file = static_cast<NtFileObject*>(Allocate(sizeof(NtFileObject)));
    file->Type = 5;
    file->Size = sizeof(NtFileObject);
    file->DeviceObject = device->Object;
    uint32_t belowLength = static_cast<uint32_t>(strlen(below));
    if (belowLength) {
        file->FileName.Buffer = static_cast<uint16_t*>(Allocate((belowLength + 1) * 2));
        for (uint32_t i = 0; i < belowLength; ++i)
            file->FileName.Buffer[i] = static_cast<uint8_t>(below[i]);
        file->FileName.Length = static_cast<uint16_t>(belowLength * 2);
        file->FileName.MaximumLength = file->FileName.Length + 2;
    }
    OpenFile = file;
    NtIoStackLocation* stack;
    NtIrp* irp = NewIrp(NtIrpMjCreate, &stack);
    // IO_SECURITY_CONTEXT with its ACCESS_STATE, asking for read and write.
    uint8_t* security = static_cast<uint8_t*>(Allocate(16 + 116));
    uint32_t accessState = reinterpret_cast<uint32_t>(security + 16);
    uint32_t desired = 0x00120089 | 0x00120116;
    memcpy(security + 4, &accessState, 4);
    memcpy(security + 8, &desired, 4);
    stack->Parameters[0] = reinterpret_cast<uint32_t>(security);
    stack->Parameters[1] = 1u << 24;  // FILE_OPEN
    *status = SendIrp(irp, NtIrpMjCreate, 0);
    free(irp);
    free(security);
    if (NtError(*status)) {
        OpenFile = nullptr;
        OpenDevice = nullptr;
        return 0;
    }
    std::lock_guard<std::mutex> lock(KernelLock);
    device->OpenCount++;
    return 1;
}

uint32_t IoDeviceControl(uint32_t code, uint8_t* buffer, uint32_t inLength, uint32_t outLength, uint32_t* information)
{
    // The system buffer of max(in, out) bytes: the input copied in, the rest
    // stale pool memory.
    uint32_t size = inLength > outLength ? inLength : outLength;
    uint8_t* system;
    {
        std::lock_guard<std::mutex> lock(KernelLock);
        system = NewSystemBuffer(size);
    }
    if (system) {
        memcpy(system, buffer, inLength);
        EmuFillStalePool(system, inLength, size);
    }
    NtIoStackLocation* stack;
    NtIrp* irp = NewIrp(NtIrpMjDeviceControl, &stack);
    irp->SystemBuffer = system;
    irp->UserBuffer = buffer;
    stack->Parameters[0] = outLength;
    stack->Parameters[1] = inLength;
    stack->Parameters[2] = code;
    uint32_t status = SendIrp(irp, NtIrpMjDeviceControl, outLength);
    *information = 0;
    if (!NtError(status)) {
        *information = irp->Information;
        std::lock_guard<std::mutex> lock(KernelLock);
        memcpy(buffer, Buffer.GivenBack ? Buffer.Reply : system,
               irp->Information < outLength ? irp->Information : outLength);
    }
    free(irp);
    return status;
}

int IoGivenBackBuffer(const void* address)
{
    const uint8_t* at = static_cast<const uint8_t*>(address);
    return Buffer.GivenBack && at >= Buffer.Pages && at < Buffer.Pages + Buffer.MappedSize;
}

void IoCloseDevice()
{
    if (!OpenFile)
        return;
    NtIoStackLocation* stack;
    NtIrp* irp = NewIrp(NtIrpMjClose, &stack);
    SendIrp(irp, NtIrpMjClose, 0);
    free(irp);
    std::lock_guard<std::mutex> lock(KernelLock);
    OpenDevice->OpenCount--;
    free(OpenFile->FileName.Buffer);
    free(OpenFile);
    OpenFile = nullptr;
}

void IoUnloadDriver()
{
    void* unload = Driver->DriverUnload;
    if (!unload)
        return;  // a driver without an unload routine stays loaded
    uint32_t argument = reinterpret_cast<uint32_t>(Driver);
    ModelThread* unloading = CurrentThread();
    uint64_t calledAt;
    {
        std::lock_guard<std::mutex> lock(KernelLock);
        calledAt = SchedulerOrder();
    }
    uint64_t startUs = ModelNowUs();
    CallInSystemProcess("DriverUnload", unload, &argument, 1);
    std::lock_guard<std::mutex> lock(KernelLock);
    // An unload that waits long for the driver's threads keeps the service
    // stop, and the program that asked for it, waiting as long.
    uint64_t tookMs = (ModelNowUs() - startUs) / 1000;
    if (tookMs >= LongUnloadMs)
        fprintf(stderr, "nt-model: DriverUnload waited %llu ms of machine time before it returned\n",
                static_cast<unsigned long long>(tookMs));
    for (const ModelThread& thread : Threads) {
        if (thread.DriverStarted && thread.State != ThreadEnded && thread.State != ThreadFree)
            Bugcheck("THREAD", "DriverUnload", unload, "a thread the driver started can still run when it returns");
    }
    // The unload knows of a thread's end only through what its last wait
    // gave it; a thread that ended later (after setting an event the unload
    // waited for, say) ran the image's code when NT may have unloaded it.
    uint64_t known = unloading->WokenAt > calledAt ? unloading->WokenAt : calledAt;
    for (const ModelThread& thread : Threads) {
        if (thread.DriverStarted && thread.State == ThreadEnded && thread.EndedAt > known)
            Bugcheck("THREAD", "DriverUnload", unload,
                     "a thread the driver started ended after what the unload last waited for: it may still run the "
                     "image's code when DriverUnload returns (wait for the thread object itself)");
    }
    for (const ModelThread& thread : Threads) {
        if (thread.References)
            Bugcheck("REFERENCE", "DriverUnload", unload, "%u references to a thread object are not released",
                     thread.References);
    }
    PoolCheckUnload();
    const void* madeAt;
    uint32_t busAddress, size;
    if (OpenMappings(&madeAt, &busAddress, &size))
        Bugcheck("MAPPING", "DriverUnload", madeAt, "a mapping of %u bytes at bus address 0x%x is left", size,
                 busAddress);
    for (const HandleEntry& entry : Handles) {
        if (entry.InUse)
            Bugcheck("HANDLE", "DriverUnload", entry.MadeAt, "a handle the driver made is left open");
    }
    for (const ModelDevice& device : Devices) {
        if (device.InUse)
            Bugcheck("REFERENCE", "DriverUnload", unload, "a device object is left");
    }
    for (const ModelLink& link : Links) {
        if (link.InUse)
            Bugcheck("REFERENCE", "DriverUnload", unload, "a symbolic link is left");
    }
    Image.Unloaded = 1;
}
