// System threads, the processor query, object references, handles and
// object security.
#include <string.h>

#include "interrupt_flag.h"
#include "kernel_objects.h"
#include "model_kernel.h"
#include "model_routines.h"
#include "pci_machine.h"
#include "security_check.h"

HoldFaults Hold;

namespace {

const uint32_t OwnerSecurityInformation = 1, DaclSecurityInformation = 4;

// Processors the driver will hold for the reported count and mask.
uint32_t HeldProcessors(uint32_t count, uint32_t mask)
{
    uint32_t held = 0;
    for (uint32_t bit = 0; bit < 32 && held < count; ++bit)
        held += (mask >> bit) & 1;
    return held;
}

int KernelHandleAsked(uint32_t attributes)
{
    return (attributes & NtObjKernelHandle) != 0;
}

// NT 4.0 knows no kernel handles: its object manager refuses the attribute.
int AttributesRefused(uint32_t attributes)
{
    return Settings.Version < Nt50 && (attributes & NtObjKernelHandle) != 0;
}

uint32_t SetSecurity(KernelCall& call, uint32_t handle, uint32_t information, const uint8_t* descriptor)
{
    HandleEntry* entry = HandleLookup(handle, call.Thread);
    if (!entry)
        return NtStatusInvalidHandle;
    ModelDevice* device = entry->Kind == ObjectDevice ? DeviceOfObject(entry->Object) : nullptr;
    if (!device || !(information & DaclSecurityInformation))
        return NtStatusSuccess;
    uint32_t length = SecurityDescriptorLength(descriptor, DescriptorCapacity);
    if (!length)
        return NtStatusInvalidSecurityDescr;
    memcpy(device->Descriptor, descriptor, length);
    device->DescriptorLength = length;
    // Only the parts the information names change; the owner stays the
    // device's own otherwise.
    if (!(information & OwnerSecurityInformation))
        memset(device->Descriptor + 4, 0, 4);
    return NtStatusSuccess;
}

}  // namespace

extern "C" {

MODEL_STDCALL uint32_t ModelZwQuerySystemInformation(uint32_t informationClass, uint8_t* information, uint32_t length,
                                                     uint32_t* returnLength)
{
    KernelCall call("ZwQuerySystemInformation", MODEL_CALLER, PassiveLevel);
    const uint32_t basicLength = 44;
    if (informationClass != 0)
        return 0xC0000003;  // STATUS_INVALID_INFO_CLASS
    if (length != basicLength)
        return NtStatusInfoLengthMismatch;
    if (EmuHasFault(EmuFaultCpuQuery))
        return NtStatusUnsuccessful;
    uint32_t count = static_cast<uint32_t>(ProcessorCount());
    uint32_t mask = ProcessorMask();
    const uint32_t words[10] = {0, 156250, 4096, 32768, 1, 32767, 65536, 0x10000, 0x7FFEFFFF, mask};
    memcpy(information, words, sizeof words);
    memset(information + 40, 0, 4);
    information[40] = static_cast<uint8_t>(count);
    if (returnLength)
        *returnLength = basicLength;
    uint32_t held = HeldProcessors(count, mask);
    Hold.ExpectedThreads = held > 0 ? held - 1 : 0;
    Hold.Creations = 0;
    return NtStatusSuccess;
}

MODEL_STDCALL uint32_t ModelPsCreateSystemThread(uint32_t* handle, uint32_t, NtObjectAttributes* attributes,
                                                 uint32_t process, void*, void* startRoutine, void* context)
{
    KernelCall call("PsCreateSystemThread", MODEL_CALLER, PassiveLevel);
    BreakIfInterruptsMasked(call, "starts a thread");
    uint32_t flags = attributes ? attributes->Attributes : 0;
    if (AttributesRefused(flags))
        return NtStatusInvalidParameter;
    if (process != 0)
        return NtStatusInvalidHandle;
    // A thread held back in an earlier hold gets its processor; one of this
    // hold stays held back.
    if (Hold.Creations == 0)
        SchedulerOpenGates();
    ++Hold.Creations;
    // The last holding thread; the hold's watch comes after it.
    int last = Hold.Creations == Hold.ExpectedThreads;
    if (last && EmuHasFault(EmuFaultCpuThread))
        return NtStatusInsufficientResources;
    int gated = last && (EmuHasFault(EmuFaultCpuTimeout) || EmuHasFault(EmuFaultCpuStraggler));
    ModelThread* thread = SchedulerCreateThread(startRoutine, context, gated);
    if (!thread)
        return NtStatusInsufficientResources;
    // The handle goes to the calling thread's process unless it is a kernel handle.
    uint32_t value =
        HandleCreate(KernelHandleAsked(flags), call.Thread->Process, ObjectThread, &thread->Header, call.Caller);
    if (!value)
        call.Break("HANDLE", "the handle table is full");
    *handle = value;
    return NtStatusSuccess;
}

MODEL_STDCALL uint32_t ModelPsTerminateSystemThread(uint32_t)
{
    KernelCall call("PsTerminateSystemThread", MODEL_CALLER, PassiveLevel);
    BreakIfInterruptsMasked(call, "a system thread ends");
    ModelThread* thread = call.Thread;
    if (!thread->DriverStarted)
        return NtStatusInvalidParameter;
    if (thread->HeldSpinLockCount)
        call.Break("SPINLOCK", "a system thread ends holding a spin lock");
    SchedulerEndThread(thread);
    call.Lock.release();  // the host thread's start frame unlocks
    longjmp(thread->Exit, 1);
}

MODEL_STDCALL void* ModelKeGetCurrentThread()
{
    KernelCall call("KeGetCurrentThread", MODEL_CALLER, DispatchLevel);
    return &call.Thread->Header;
}

MODEL_STDCALL int32_t ModelKeSetPriorityThread(void* object, int32_t priority)
{
    KernelCall call("KeSetPriorityThread", MODEL_CALLER, PassiveLevel);
    ModelThread* thread = ThreadOfObject(object);
    if (!thread)
        call.Break("REFERENCE", "sets the priority of %p, which is no thread", object);
    if (priority < 0 || priority > 31)
        call.Break("IRQL", "sets priority %d outside 0..31", static_cast<int>(priority));
    int32_t old = thread->Priority;
    thread->Priority = priority;
    SchedulerAssign();
    if (thread == call.Thread && priority < old)
        SchedulerYieldIfOutranked(call.Lock);
    return old;
}

MODEL_STDCALL uint32_t ModelObReferenceObjectByHandle(uint32_t handle, uint32_t, void* objectType, uint8_t accessMode,
                                                      void** object, void*)
{
    KernelCall call("ObReferenceObjectByHandle", MODEL_CALLER, PassiveLevel);
    HandleEntry* entry = HandleLookup(handle, call.Thread);
    if (!entry || (accessMode != 0 && entry->Kernel))
        return NtStatusInvalidHandle;
    if (objectType && !(objectType == &ThreadTypeObject && entry->Kind == ObjectThread))
        return NtStatusObjectTypeMismatch;
    if (ModelThread* thread = ThreadOfObject(entry->Object))
        ++thread->References;
    else if (ModelDevice* device = DeviceOfObject(entry->Object))
        ++device->Object->ReferenceCount;
    *object = entry->Object;
    return NtStatusSuccess;
}

MODEL_FASTCALL int32_t ModelObfDereferenceObject(void* object)
{
    KernelCall call("ObfDereferenceObject", MODEL_CALLER, DispatchLevel);
    if (ModelThread* thread = ThreadOfObject(object)) {
        if (thread->References == 0)
            call.Break("REFERENCE", "dereferences a thread object the driver holds no reference to");
        return static_cast<int32_t>(--thread->References);
    }
    if (ModelDevice* device = DeviceOfObject(object)) {
        if (device->Object->ReferenceCount <= 0)
            call.Break("REFERENCE", "dereferences a device object the driver holds no reference to");
        return --device->Object->ReferenceCount;
    }
    call.Break("REFERENCE", "dereferences %p, which is no object", object);
}

MODEL_STDCALL uint32_t ModelZwClose(uint32_t handle)
{
    KernelCall call("ZwClose", MODEL_CALLER, PassiveLevel);
    HandleEntry* entry = HandleLookup(handle, call.Thread);
    if (!entry)
        call.Break("HANDLE", "closes handle 0x%x, which is not open in this process", handle);
    if (ModelThread* thread = entry->Kind == ObjectThread ? ThreadOfObject(entry->Object) : nullptr)
        --thread->HandleCount;
    entry->InUse = 0;
    return NtStatusSuccess;
}

MODEL_STDCALL uint32_t ModelObOpenObjectByPointer(void* object, uint32_t attributes, void*, uint32_t, void*, uint8_t,
                                                  uint32_t* handle)
{
    KernelCall call("ObOpenObjectByPointer", MODEL_CALLER, PassiveLevel);
    if (AttributesRefused(attributes))
        return NtStatusInvalidParameter;
    int kind = ObjectKindOf(object);
    if (kind == ObjectNone)
        call.Break("REFERENCE", "opens %p, which is no object", object);
    uint32_t value = HandleCreate(KernelHandleAsked(attributes), call.Thread->Process, kind, object, call.Caller);
    if (!value)
        call.Break("HANDLE", "the handle table is full");
    *handle = value;
    return NtStatusSuccess;
}

MODEL_STDCALL uint32_t ModelZwSetSecurityObject(uint32_t handle, uint32_t information, const uint8_t* descriptor)
{
    KernelCall call("ZwSetSecurityObject", MODEL_CALLER, PassiveLevel);
    return SetSecurity(call, handle, information, descriptor);
}

MODEL_STDCALL uint32_t ModelNtSetSecurityObject(uint32_t handle, uint32_t information, const uint8_t* descriptor)
{
    KernelCall call("NtSetSecurityObject", MODEL_CALLER, PassiveLevel);
    // The Nt form checks the handle against the thread's previous mode.
    if (call.Thread->PreviousModeUser && (handle & 0x80000000u))
        return NtStatusInvalidHandle;
    return SetSecurity(call, handle, information, descriptor);
}

void* ModelPsThreadType = &ThreadTypeObject;

}  // extern "C"
