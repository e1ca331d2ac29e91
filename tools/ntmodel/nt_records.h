// The i686 NT records the model kernel shares with a driver, laid out as the
// 32-bit kernel lays them out (offsets checked against the DDK headers of the
// cross compiler). Pointers are 32 bits wide: the model is an i386 process.
#ifndef NTMODEL_NT_RECORDS_H
#define NTMODEL_NT_RECORDS_H

#include <stddef.h>
#include <stdint.h>

static_assert(sizeof(void*) == 4, "the model kernel is a 32-bit x86 program");

struct NtUnicodeString {
    uint16_t Length;  // bytes, without the terminator
    uint16_t MaximumLength;
    uint16_t* Buffer;
};

struct NtDispatcherHeader {
    uint8_t Type;
    uint8_t Absolute;
    uint8_t Size;  // in 32-bit words
    uint8_t Inserted;
    int32_t SignalState;
    uint32_t WaitListHead[2];
};

enum NtObjectType : uint8_t {
    NtNotificationEventObject = 0,
    NtSynchronizationEventObject = 1,
    NtThreadObject = 6,
};

struct NtListEntry {
    NtListEntry* Flink;
    NtListEntry* Blink;
};

// The head of an object type as 4.0, 2000 and XP lay it out: the type's
// ERESOURCE (whose first field links it into the system's resource list),
// then its list of types and its name. What a driver can read of a type
// through the exported pointer starts with a non-null link.
struct NtObjectTypeHead {
    NtListEntry MutexSystemResourcesList;
    uint8_t MutexRest[0x30];
    NtListEntry TypeList;
    NtUnicodeString Name;
    void* DefaultObject;
    uint32_t Index;
};
static_assert(offsetof(NtObjectTypeHead, TypeList) == 0x38, "the ERESOURCE of a type object takes 0x38 bytes");
static_assert(offsetof(NtObjectTypeHead, Name) == 0x40, "the type's name follows its list link");

struct NtDriverObject {
    int16_t Type;
    int16_t Size;
    struct NtDeviceObject* DeviceObject;
    uint32_t Flags;
    void* DriverStart;
    uint32_t DriverSize;
    void* DriverSection;
    void* DriverExtension;
    NtUnicodeString DriverName;
    NtUnicodeString* HardwareDatabase;
    void* FastIoDispatch;
    void* DriverInit;
    void* DriverStartIo;
    void* DriverUnload;
    void* MajorFunction[28];
};

struct NtDeviceObject {
    int16_t Type;
    uint16_t Size;
    int32_t ReferenceCount;
    NtDriverObject* DriverObject;
    NtDeviceObject* NextDevice;
    NtDeviceObject* AttachedDevice;
    void* CurrentIrp;
    void* Timer;
    uint32_t Flags;
    uint32_t Characteristics;
    void* Vpb;
    void* DeviceExtension;
    uint32_t DeviceType;
    int8_t StackSize;
    uint8_t Rest[184 - 49];
};

struct NtFileObject {
    int16_t Type;
    int16_t Size;
    NtDeviceObject* DeviceObject;
    uint8_t Middle[32 - 8];
    NtFileObject* RelatedFileObject;
    uint8_t Middle2[48 - 36];
    NtUnicodeString FileName;
    uint8_t Rest[128 - 56];
};

struct NtIoStackLocation {
    uint8_t MajorFunction;
    uint8_t MinorFunction;
    uint8_t Flags;
    uint8_t Control;
    // DeviceIoControl: OutputBufferLength, InputBufferLength, IoControlCode,
    // Type3InputBuffer; Create: SecurityContext, Options, FileAttributes, ...
    uint32_t Parameters[4];
    NtDeviceObject* DeviceObject;
    NtFileObject* FileObject;
    void* CompletionRoutine;
    void* Context;
};

struct NtIrp {
    int16_t Type;
    uint16_t Size;
    void* MdlAddress;
    uint32_t Flags;
    void* SystemBuffer;  // AssociatedIrp
    uint32_t ThreadListEntry[2];
    int32_t Status;  // IoStatus
    uint32_t Information;
    int8_t RequestorMode;
    uint8_t PendingReturned;
    int8_t StackCount;
    int8_t CurrentLocation;
    uint8_t Cancel;
    uint8_t CancelIrql;
    uint8_t ApcEnvironment;
    uint8_t AllocationFlags;
    void* UserIosb;
    void* UserEvent;
    uint8_t Overlay[8];
    void* CancelRoutine;
    void* UserBuffer;
    uint8_t DriverContext[16];
    void* Thread;
    char* AuxiliaryBuffer;
    uint32_t ListEntry[2];
    NtIoStackLocation* CurrentStackLocation;
    NtFileObject* OriginalFileObject;
    uint8_t Rest[112 - 104];
};

struct NtObjectAttributes {
    uint32_t Length;
    void* RootDirectory;
    NtUnicodeString* ObjectName;
    uint32_t Attributes;
    void* SecurityDescriptor;
    void* SecurityQualityOfService;
};

static_assert(sizeof(NtDriverObject) == 168 && offsetof(NtDriverObject, DriverUnload) == 52 &&
                  offsetof(NtDriverObject, MajorFunction) == 56 && offsetof(NtDriverObject, DriverName) == 28,
              "DRIVER_OBJECT");
static_assert(sizeof(NtDeviceObject) == 184 && offsetof(NtDeviceObject, Flags) == 28 &&
                  offsetof(NtDeviceObject, Characteristics) == 32 && offsetof(NtDeviceObject, StackSize) == 48,
              "DEVICE_OBJECT");
static_assert(sizeof(NtFileObject) == 128 && offsetof(NtFileObject, RelatedFileObject) == 32 &&
                  offsetof(NtFileObject, FileName) == 48,
              "FILE_OBJECT");
static_assert(sizeof(NtIoStackLocation) == 36 && offsetof(NtIoStackLocation, FileObject) == 24, "IO_STACK_LOCATION");
static_assert(sizeof(NtIrp) == 112 && offsetof(NtIrp, SystemBuffer) == 12 && offsetof(NtIrp, Status) == 24 &&
                  offsetof(NtIrp, Thread) == 80 && offsetof(NtIrp, CurrentStackLocation) == 96,
              "IRP");
static_assert(sizeof(NtObjectAttributes) == 24 && offsetof(NtObjectAttributes, Attributes) == 12, "OBJECT_ATTRIBUTES");
static_assert(sizeof(NtDispatcherHeader) == 16, "DISPATCHER_HEADER");

enum : uint32_t {
    NtStatusSuccess = 0,
    NtStatusTimeout = 0x102,
    NtStatusPending = 0x103,
    NtStatusUnsuccessful = 0xC0000001,
    NtStatusInfoLengthMismatch = 0xC0000004,
    NtStatusInvalidHandle = 0xC0000008,
    NtStatusInvalidParameter = 0xC000000D,
    NtStatusInvalidDeviceRequest = 0xC0000010,
    NtStatusAccessDenied = 0xC0000022,
    NtStatusObjectTypeMismatch = 0xC0000024,
    NtStatusObjectNameNotFound = 0xC0000034,
    NtStatusObjectNameCollision = 0xC0000035,
    NtStatusInsufficientResources = 0xC000009A,
    NtStatusInvalidSecurityDescr = 0xC0000079,
};

enum : uint32_t {
    NtObjKernelHandle = 0x200,
    NtDoExclusive = 0x08,
    NtDoBufferedIo = 0x04,
    NtDoDeviceInitializing = 0x80,
    NtFileDeviceSecureOpen = 0x100,
    NtIrpMjCreate = 0,
    NtIrpMjClose = 2,
    NtIrpMjDeviceControl = 0x0E,
    NtPciConfiguration = 4,
    NtPciBus = 5,
};

inline bool NtError(uint32_t status)
{
    return (status >> 30) == 3;
}

#endif
