// The objects a driver can name by handle (threads and devices), the handle
// tables of the system process, the caller's process and (from 2000 on) the
// kernel, and what the rules check of them. Everything here is used under
// KernelLock.
#ifndef NTMODEL_KERNEL_OBJECTS_H
#define NTMODEL_KERNEL_OBJECTS_H

#include <stdint.h>

#include "model_kernel.h"

enum ObjectKind { ObjectNone, ObjectThread, ObjectDevice };

struct HandleEntry {
    int InUse;
    int Kernel;   // a kernel handle (OBJ_KERNEL_HANDLE)
    int Process;  // ModelProcess of a process handle
    int Kind;
    void* Object;
    const void* MadeAt;  // the driver's call that made it
};

enum { MaxHandles = 256, MaxDevices = 4, MaxLinks = 4, DescriptorCapacity = 256 };

struct ModelDevice {
    int InUse;
    NtDeviceObject* Object;
    uint16_t Name[64];
    uint8_t Descriptor[DescriptorCapacity];
    uint32_t DescriptorLength;  // 0: the default descriptor (everyone may open)
    uint32_t OpenCount;
};

struct ModelLink {
    int InUse;
    uint16_t Name[64];
    uint16_t Target[64];
};

extern HandleEntry Handles[MaxHandles];
extern ModelDevice Devices[MaxDevices];
extern ModelLink Links[MaxLinks];

// A new handle in the table the attributes and the thread choose; 0 if full.
uint32_t HandleCreate(int kernel, int process, int kind, void* object, const void* madeAt);
// The entry of an open handle as the calling thread sees it, or null.
HandleEntry* HandleLookup(uint32_t handle, const ModelThread* thread);
uint32_t HandleValue(const HandleEntry* entry);
// The kind of an object the driver passed by pointer.
int ObjectKindOf(void* object);
ModelThread* ThreadOfObject(void* object);
ModelDevice* DeviceOfObject(void* object);

// UTF-16 helpers for names.
uint32_t WideLength(const uint16_t* text);
int WideEqual(const uint16_t* a, uint32_t aLength, const uint16_t* b);
void WideCopy(uint16_t* target, uint32_t capacity, const uint16_t* source, uint32_t length);
void WideToAscii(const uint16_t* text, uint32_t length, char* out, uint32_t size);

// The type objects the kernel exports (PsThreadType points at one), shaped
// as NT's: a driver that reads one field too far gets a live list link, not 0.
extern NtObjectTypeHead ThreadTypeObject;

#endif
