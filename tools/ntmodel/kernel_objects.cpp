#include "kernel_objects.h"

#include <string.h>

HandleEntry Handles[MaxHandles];
ModelDevice Devices[MaxDevices];
ModelLink Links[MaxLinks];

namespace {

uint16_t ThreadTypeName[] = {'T', 'h', 'r', 'e', 'a', 'd', 0};

const uint32_t KernelHandleBit = 0x80000000u;

}  // namespace

// The type's resource is linked into the system's list of resources, as an
// initialised ERESOURCE is: its first field points at the list's head, never
// at the type itself. The type list holds the one type the model exports.
extern NtListEntry SystemResourcesList;
NtObjectTypeHead ThreadTypeObject = {
    {&SystemResourcesList, &SystemResourcesList},
    {},
    {&ThreadTypeObject.TypeList, &ThreadTypeObject.TypeList},
    {12, 14, ThreadTypeName},
    nullptr,
    6,
};
NtListEntry SystemResourcesList = {&ThreadTypeObject.MutexSystemResourcesList,
                                   &ThreadTypeObject.MutexSystemResourcesList};

uint32_t HandleCreate(int kernel, int process, int kind, void* object, const void* madeAt)
{
    for (uint32_t i = 0; i < MaxHandles; ++i) {
        HandleEntry& entry = Handles[i];
        if (entry.InUse)
            continue;
        entry = HandleEntry {1, kernel, process, kind, object, madeAt};
        if (ModelThread* thread = kind == ObjectThread ? ThreadOfObject(object) : nullptr)
            ++thread->HandleCount;
        return HandleValue(&entry);
    }
    return 0;
}

uint32_t HandleValue(const HandleEntry* entry)
{
    uint32_t value = static_cast<uint32_t>(entry - Handles + 1) * 4;
    return entry->Kernel ? value | KernelHandleBit : value;
}

HandleEntry* HandleLookup(uint32_t handle, const ModelThread* thread)
{
    int kernel = (handle & KernelHandleBit) != 0 && Settings.Version >= Nt50;
    uint32_t index = (handle & ~KernelHandleBit) / 4;
    if (handle % 4 != 0 || index == 0 || index > MaxHandles)
        return nullptr;
    HandleEntry* entry = &Handles[index - 1];
    if (!entry->InUse || entry->Kernel != kernel)
        return nullptr;
    if (!kernel && entry->Process != thread->Process)
        return nullptr;
    return entry;
}

ModelThread* ThreadOfObject(void* object)
{
    uint8_t* address = static_cast<uint8_t*>(object);
    uint8_t* first = reinterpret_cast<uint8_t*>(&Threads[0]);
    uint8_t* end = reinterpret_cast<uint8_t*>(&Threads[MaxThreads]);
    if (address < first || address >= end)
        return nullptr;
    ModelThread* thread = &Threads[(address - first) / sizeof(ModelThread)];
    return object == &thread->Header ? thread : nullptr;
}

ModelDevice* DeviceOfObject(void* object)
{
    for (ModelDevice& device : Devices) {
        if (device.InUse && device.Object == object)
            return &device;
    }
    return nullptr;
}

int ObjectKindOf(void* object)
{
    if (ThreadOfObject(object))
        return ObjectThread;
    if (DeviceOfObject(object))
        return ObjectDevice;
    return ObjectNone;
}

uint32_t WideLength(const uint16_t* text)
{
    uint32_t length = 0;
    while (text[length])
        ++length;
    return length;
}

int WideEqual(const uint16_t* a, uint32_t aLength, const uint16_t* b)
{
    uint32_t bLength = WideLength(b);
    if (aLength != bLength)
        return 0;
    for (uint32_t i = 0; i < aLength; ++i) {
        uint16_t x = a[i] >= 'a' && a[i] <= 'z' ? a[i] - 32 : a[i];
        uint16_t y = b[i] >= 'a' && b[i] <= 'z' ? b[i] - 32 : b[i];
        if (x != y)
            return 0;
    }
    return 1;
}

void WideCopy(uint16_t* target, uint32_t capacity, const uint16_t* source, uint32_t length)
{
    uint32_t count = length < capacity - 1 ? length : capacity - 1;
    memcpy(target, source, count * 2);
    target[count] = 0;
}

void WideToAscii(const uint16_t* text, uint32_t length, char* out, uint32_t size)
{
    uint32_t i = 0;
    for (; i < length && i + 1 < size; ++i)
        out[i] = text[i] < 128 ? static_cast<char>(text[i]) : '?';
    out[i] = 0;
}
