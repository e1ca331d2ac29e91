// The operations the driver logic needs from the machine it runs on.
// Three implementations exist: the NT kernel and HAL (sys/nt), the emulated
// machine on a Linux host (emu/host_*), and the emulated machine inside an
// NT driver loaded by Wine. The logic never calls anything else.
#ifndef PELMIX_PLATFORM_H
#define PELMIX_PLATFORM_H

#include <stdint.h>

// ---- PCI configuration space (HalGetBusDataByOffset / HalSetBusDataByOffset)
// slot: device number in bits 0..4, function number in bits 5..7.
// A read of an empty slot fills the buffer with 0xFF bytes.
void PlatformPciRead(uint32_t bus, uint32_t slot, void* buffer, uint32_t offset, uint32_t length);
// A write returns the bytes written: 0 for an empty slot or a bus that does not exist.
uint32_t PlatformPciWrite(uint32_t bus, uint32_t slot, const void* buffer, uint32_t offset, uint32_t length);

// ---- Bus windows (HalTranslateBusAddress, MmMapIoSpace, MmUnmapIoSpace)
// Translation of a memory-space bus address; returns 1 and the low 32 bits of
// the system physical address, or 0.
int PlatformTranslateBusAddress(uint32_t bus, uint32_t busAddress, uint32_t* physical);
// Non-cached mapping of size bytes (whole 4-KB pages); null on failure.
void* PlatformMapIoSpace(uint32_t physical, uint32_t size);
void PlatformUnmapIoSpace(void* mapping, uint32_t size);

// Volatile accesses through a mapping (READ_REGISTER_* / WRITE_REGISTER_*).
uint8_t PlatformRead8(void* mapping, uint32_t offset);
uint32_t PlatformRead32(void* mapping, uint32_t offset);
void PlatformWrite8(void* mapping, uint32_t offset, uint8_t value);
void PlatformWrite32(void* mapping, uint32_t offset, uint32_t value);

// ---- Kernel services of the processor hold and the delays
enum { PlatformPassiveLevel = 0, PlatformDispatchLevel = 2 };

// Opaque storage each platform casts to its own event and spin lock.
struct PlatformEvent {
    alignas(8) unsigned char Opaque[32];
};
struct PlatformSpinLock {
    alignas(8) unsigned char Opaque[16];
};

typedef void (*PlatformThreadStart)(void* context);

// SystemBasicInformation: 1 with the processor count and active mask, 0 on a
// failed query.
int PlatformQueryProcessors(uint8_t* numberOfProcessors, uint32_t* activeProcessorsMask);
// Starts a system thread at real-time priority, whose handle never enters
// the caller's handle table; the platform keeps a reference to the thread until
// PlatformWaitForSystemThreads has seen it end. 1 on success, 0 on failure.
int PlatformCreateSystemThread(PlatformThreadStart start, void* context);
// Waits, at most the relative time-out (100-ns units, negative), until every
// system thread started so far has ended: 1 when none runs any more, 0 when
// the time-out expired first. The driver image may be unloaded only once no
// thread it started can run its code again. Called between holds only: each
// thread still running may run on any processor from the call on, so one
// pinned to a processor that other work keeps leaves on another.
int PlatformWaitForSystemThreads(int64_t relativeTimeout100ns);
// Ends the calling system thread with STATUS_SUCCESS.
void PlatformTerminateSystemThread();
// Sets the calling thread's priority and returns the old one.
int32_t PlatformSetCurrentThreadPriority(int32_t priority);

// ---- Processor placement (KeGetCurrentProcessorNumber, KeSetAffinityThread)
// The number (bit of the active mask) of the processor the calling thread
// runs on; at DISPATCH_LEVEL the thread cannot be moved off it.
uint32_t PlatformCurrentProcessor();
// Restricts the calling thread to the processors of mask, a non-empty subset
// of the active mask, at IRQL DISPATCH_LEVEL or below; below it the thread
// runs on one of them when this returns, at it once the IRQL drops. Returns
// the thread's affinity before the call.
uint32_t PlatformSetCurrentThreadAffinity(uint32_t mask);
// At PASSIVE_LEVEL: gives the calling thread the affinity mask back, as one
// step with any change of its process's affinity, and returns 1; 0 when the
// process's affinity no longer holds mask (a user set it meanwhile, which
// gave every thread of the process the new one): the thread keeps that.
int PlatformRestoreCurrentThreadAffinity(uint32_t mask);

void PlatformInitializeEvent(PlatformEvent* event);  // notification, not signalled
void PlatformSetEvent(PlatformEvent* event);
// Waits with a relative time-out in 100-ns units (negative, as NT takes it);
// 1 when the event was set, 0 when the time-out expired.
int PlatformWaitForEvent(PlatformEvent* event, int64_t relativeTimeout100ns);

// One request in the driver at a time: a lock taken and released at
// PASSIVE_LEVEL around each request (a synchronization event, signalled
// while free). A caller may send requests from several threads at once.
void PlatformInitializeRequestLock(PlatformEvent* lock);
void PlatformAcquireRequestLock(PlatformEvent* lock);
void PlatformReleaseRequestLock(PlatformEvent* lock);

void PlatformInitializeSpinLock(PlatformSpinLock* lock);
void PlatformAcquireSpinLockAtDpcLevel(PlatformSpinLock* lock);
void PlatformReleaseSpinLockFromDpcLevel(PlatformSpinLock* lock);

uint8_t PlatformRaiseIrql(uint8_t newIrql);  // returns the old IRQL
void PlatformLowerIrql(uint8_t irql);
uint8_t PlatformGetCurrentIrql();

void PlatformStallMicroseconds(uint32_t microseconds);       // busy wait
void PlatformDelayExecution(int64_t relativeInterval100ns);  // sleep, PASSIVE_LEVEL only

// ---- Interrupts on the calling processor
// Masks maskable interrupts on the calling processor only, for a few
// configuration accesses at most; the IRQL stays as it is (the HAL's bus-data
// routines are for IRQL <= DISPATCH_LEVEL). Returns 1 when interrupts were
// enabled, 0 when they were masked already; PlatformRestoreInterrupts takes
// that answer and enables them again only after a 1. No wait, stall, thread
// start or return to the caller in between.
int PlatformMaskInterrupts();
void PlatformRestoreInterrupts(int wereEnabled);

#endif
