// The model routines by the names a driver imports them by.
#include <string.h>

#include "model_routines.h"

#define MODEL_ROUTINE(name, function)                                                                                  \
    {                                                                                                                  \
        name, reinterpret_cast<void*>(function), 0                                                                     \
    }

extern "C" {
MODEL_FASTCALL uint8_t ModelKfRaiseIrql(uint8_t);
MODEL_FASTCALL void ModelKfLowerIrql(uint8_t);
MODEL_STDCALL uint8_t ModelKeGetCurrentIrql();
MODEL_FASTCALL void ModelKefAcquireSpinLockAtDpcLevel(uint32_t*);
MODEL_FASTCALL void ModelKefReleaseSpinLockFromDpcLevel(uint32_t*);
MODEL_STDCALL void ModelKeInitializeEvent(void*, uint32_t, uint8_t);
MODEL_STDCALL int32_t ModelKeSetEvent(void*, int32_t, uint8_t);
MODEL_STDCALL uint32_t ModelKeWaitForSingleObject(void*, uint32_t, uint8_t, uint8_t, const int64_t*);
MODEL_STDCALL uint32_t ModelKeWaitForMultipleObjects(uint32_t, void**, uint32_t, uint32_t, uint8_t, uint8_t,
                                                     const int64_t*, void*);
MODEL_STDCALL uint32_t ModelKeDelayExecutionThread(uint8_t, uint8_t, const int64_t*);
MODEL_STDCALL void ModelKeStallExecutionProcessor(uint32_t);
MODEL_STDCALL void ModelKeEnterCriticalRegion();
MODEL_STDCALL void ModelKeLeaveCriticalRegion();
MODEL_STDCALL uint32_t ModelZwQuerySystemInformation(uint32_t, uint8_t*, uint32_t, uint32_t*);
MODEL_STDCALL uint32_t ModelPsCreateSystemThread(uint32_t*, uint32_t, void*, uint32_t, void*, void*, void*);
MODEL_STDCALL uint32_t ModelPsTerminateSystemThread(uint32_t);
MODEL_STDCALL void* ModelKeGetCurrentThread();
MODEL_STDCALL int32_t ModelKeSetPriorityThread(void*, int32_t);
MODEL_STDCALL uint32_t ModelKeSetAffinityThread(void*, uint32_t);
MODEL_STDCALL uint32_t ModelZwSetInformationThread(uint32_t, uint32_t, const void*, uint32_t);
MODEL_STDCALL uint32_t ModelObReferenceObjectByHandle(uint32_t, uint32_t, void*, uint8_t, void**, void*);
MODEL_FASTCALL int32_t ModelObfDereferenceObject(void*);
MODEL_STDCALL uint32_t ModelZwClose(uint32_t);
MODEL_STDCALL uint32_t ModelObOpenObjectByPointer(void*, uint32_t, void*, uint32_t, void*, uint8_t, uint32_t*);
MODEL_STDCALL uint32_t ModelZwSetSecurityObject(uint32_t, uint32_t, const uint8_t*);
MODEL_STDCALL uint32_t ModelNtSetSecurityObject(uint32_t, uint32_t, const uint8_t*);
extern void* ModelPsThreadType;
MODEL_STDCALL uint32_t ModelHalGetBusDataByOffset(uint32_t, uint32_t, uint32_t, uint8_t*, uint32_t, uint32_t);
MODEL_STDCALL uint32_t ModelHalSetBusDataByOffset(uint32_t, uint32_t, uint32_t, const uint8_t*, uint32_t, uint32_t);
MODEL_STDCALL uint8_t ModelHalTranslateBusAddress(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t*, uint32_t*);
MODEL_STDCALL void* ModelMmMapIoSpace(uint32_t, uint32_t, uint32_t, uint32_t);
MODEL_STDCALL void ModelMmUnmapIoSpace(uint8_t*, uint32_t);
MODEL_STDCALL uint8_t ModelReadRegisterUchar(const uint8_t*);
MODEL_STDCALL uint32_t ModelReadRegisterUlong(const uint8_t*);
MODEL_STDCALL void ModelWriteRegisterUchar(uint8_t*, uint8_t);
MODEL_STDCALL void ModelWriteRegisterUlong(uint8_t*, uint32_t);
MODEL_STDCALL void ModelRtlInitUnicodeString(void*, const uint16_t*);
MODEL_STDCALL uint32_t ModelIoCreateDevice(void*, uint32_t, void*, uint32_t, uint32_t, uint8_t, void**);
MODEL_STDCALL void ModelIoDeleteDevice(void*);
MODEL_STDCALL uint32_t ModelIoCreateSymbolicLink(void*, void*);
MODEL_STDCALL uint32_t ModelIoDeleteSymbolicLink(void*);
MODEL_FASTCALL void ModelIofCompleteRequest(void*, int8_t);
MODEL_STDCALL void* ModelExAllocatePool(uint32_t, uint32_t);
MODEL_STDCALL void* ModelExAllocatePoolWithTag(uint32_t, uint32_t, uint32_t);
MODEL_STDCALL void ModelExFreePool(void*);
MODEL_STDCALL void ModelExFreePoolWithTag(void*, uint32_t);
MODEL_FASTCALL uint8_t ModelKfAcquireSpinLock(uint32_t*);
MODEL_FASTCALL void ModelKfReleaseSpinLock(uint32_t*, uint8_t);
MODEL_FASTCALL void ModelKeAcquireInStackQueuedSpinLock(uint32_t*, void*);
MODEL_FASTCALL void ModelKeReleaseInStackQueuedSpinLock(void*);
MODEL_FASTCALL void ModelKeAcquireInStackQueuedSpinLockAtDpcLevel(uint32_t*, void*);
MODEL_FASTCALL void ModelKeReleaseInStackQueuedSpinLockFromDpcLevel(void*);
}

namespace {

const ModelRoutine Routines[] = {
    MODEL_ROUTINE("ExAllocatePool", ModelExAllocatePool),
    MODEL_ROUTINE("ExAllocatePoolWithTag", ModelExAllocatePoolWithTag),
    MODEL_ROUTINE("ExFreePool", ModelExFreePool),
    MODEL_ROUTINE("ExFreePoolWithTag", ModelExFreePoolWithTag),
    MODEL_ROUTINE("HalGetBusDataByOffset", ModelHalGetBusDataByOffset),
    MODEL_ROUTINE("HalSetBusDataByOffset", ModelHalSetBusDataByOffset),
    MODEL_ROUTINE("HalTranslateBusAddress", ModelHalTranslateBusAddress),
    MODEL_ROUTINE("IoCreateDevice", ModelIoCreateDevice),
    MODEL_ROUTINE("IoCreateSymbolicLink", ModelIoCreateSymbolicLink),
    MODEL_ROUTINE("IoDeleteDevice", ModelIoDeleteDevice),
    MODEL_ROUTINE("IoDeleteSymbolicLink", ModelIoDeleteSymbolicLink),
    MODEL_ROUTINE("IofCompleteRequest", ModelIofCompleteRequest),
    MODEL_ROUTINE("KeAcquireInStackQueuedSpinLock", ModelKeAcquireInStackQueuedSpinLock),
    MODEL_ROUTINE("KeAcquireInStackQueuedSpinLockAtDpcLevel", ModelKeAcquireInStackQueuedSpinLockAtDpcLevel),
    MODEL_ROUTINE("KeDelayExecutionThread", ModelKeDelayExecutionThread),
    MODEL_ROUTINE("KeEnterCriticalRegion", ModelKeEnterCriticalRegion),
    MODEL_ROUTINE("KeGetCurrentIrql", ModelKeGetCurrentIrql),
    MODEL_ROUTINE("KeGetCurrentThread", ModelKeGetCurrentThread),
    MODEL_ROUTINE("KeInitializeEvent", ModelKeInitializeEvent),
    MODEL_ROUTINE("KeLeaveCriticalRegion", ModelKeLeaveCriticalRegion),
    MODEL_ROUTINE("KeReleaseInStackQueuedSpinLock", ModelKeReleaseInStackQueuedSpinLock),
    MODEL_ROUTINE("KeReleaseInStackQueuedSpinLockFromDpcLevel", ModelKeReleaseInStackQueuedSpinLockFromDpcLevel),
    MODEL_ROUTINE("KeSetAffinityThread", ModelKeSetAffinityThread),
    MODEL_ROUTINE("KeSetEvent", ModelKeSetEvent),
    MODEL_ROUTINE("KeSetPriorityThread", ModelKeSetPriorityThread),
    MODEL_ROUTINE("KeStallExecutionProcessor", ModelKeStallExecutionProcessor),
    MODEL_ROUTINE("KeWaitForMultipleObjects", ModelKeWaitForMultipleObjects),
    MODEL_ROUTINE("KeWaitForSingleObject", ModelKeWaitForSingleObject),
    MODEL_ROUTINE("KefAcquireSpinLockAtDpcLevel", ModelKefAcquireSpinLockAtDpcLevel),
    MODEL_ROUTINE("KefReleaseSpinLockFromDpcLevel", ModelKefReleaseSpinLockFromDpcLevel),
    MODEL_ROUTINE("KfAcquireSpinLock", ModelKfAcquireSpinLock),
    MODEL_ROUTINE("KfLowerIrql", ModelKfLowerIrql),
    MODEL_ROUTINE("KfRaiseIrql", ModelKfRaiseIrql),
    MODEL_ROUTINE("KfReleaseSpinLock", ModelKfReleaseSpinLock),
    MODEL_ROUTINE("MmMapIoSpace", ModelMmMapIoSpace),
    MODEL_ROUTINE("MmUnmapIoSpace", ModelMmUnmapIoSpace),
    MODEL_ROUTINE("NtSetSecurityObject", ModelNtSetSecurityObject),
    MODEL_ROUTINE("ObOpenObjectByPointer", ModelObOpenObjectByPointer),
    MODEL_ROUTINE("ObReferenceObjectByHandle", ModelObReferenceObjectByHandle),
    MODEL_ROUTINE("ObfDereferenceObject", ModelObfDereferenceObject),
    MODEL_ROUTINE("PsCreateSystemThread", ModelPsCreateSystemThread),
    MODEL_ROUTINE("PsTerminateSystemThread", ModelPsTerminateSystemThread),
    {"PsThreadType", &ModelPsThreadType, 1},
    MODEL_ROUTINE("READ_REGISTER_UCHAR", ModelReadRegisterUchar),
    MODEL_ROUTINE("READ_REGISTER_ULONG", ModelReadRegisterUlong),
    MODEL_ROUTINE("RtlInitUnicodeString", ModelRtlInitUnicodeString),
    MODEL_ROUTINE("WRITE_REGISTER_UCHAR", ModelWriteRegisterUchar),
    MODEL_ROUTINE("WRITE_REGISTER_ULONG", ModelWriteRegisterUlong),
    MODEL_ROUTINE("ZwClose", ModelZwClose),
    MODEL_ROUTINE("ZwQuerySystemInformation", ModelZwQuerySystemInformation),
    MODEL_ROUTINE("ZwSetInformationThread", ModelZwSetInformationThread),
    MODEL_ROUTINE("ZwSetSecurityObject", ModelZwSetSecurityObject),
};

}  // namespace

const ModelRoutine* FindModelRoutine(const char* name)
{
    for (const ModelRoutine& routine : Routines) {
        if (strcmp(routine.Name, name) == 0)
            return &routine;
    }
    return nullptr;
}
