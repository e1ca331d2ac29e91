// The host platform: the driver's platform interface (sys/platform.h) on a
// Linux host over the emulated machine, with real threads and a virtual
// clock. Besides the platform operations it offers what tests and tools need
// to load a machine and to look at what the driver did.
#ifndef PELMIX_EMU_HOST_PLATFORM_H
#define PELMIX_EMU_HOST_PLATFORM_H

#include <stdint.h>

// Reads a machine file, loads it and its chip images (relative image paths
// are taken from the file's folder). 1, or 0 with the reason in error.
int HostLoadMachineFile(const char* path, char* error, uint32_t errorSize);

// Puts the platform back as a fresh system has it: waits for (at most a few
// seconds, then abandons) holding threads still running, IRQL PASSIVE_LEVEL,
// priority 8, no mappings, empty logs. Call it between driver lifetimes.
void HostResetPlatform();

// ---- Time (virtual, microseconds)
uint64_t HostVirtualTimeUs();
// Virtual time the requesting thread has spent at DISPATCH_LEVEL (the
// processors held), summed since the last reset.
uint64_t HostHeldTimeUs();

// ---- Delays in the order the driver asked for them. Stalls with no bus or
// configuration access and no IRQL query between them are one busy wait:
// one entry, their sum.
enum HostDelayKind { HostDelayStall = 1, HostDelaySleep = 2 };
struct HostDelay {
    uint32_t Kind;
    int64_t Amount;  // stall: microseconds; sleep: the relative interval in 100-ns units
    uint64_t AtUs;   // virtual time when it began
    uint8_t Irql;
    uint32_t Calls;   // stall calls it is made of
    int64_t Longest;  // the longest of them
};
uint32_t HostDelayCount();
int HostDelayAt(uint32_t index, HostDelay* delay);  // the first 1,000,000 are kept
void HostClearDelayLog();

// ---- Processor hold
uint32_t HostHoldingThreadsCreated();   // since the last reset
uint32_t HostHoldingThreadsRunning();   // started and not yet ended
uint32_t HostHoldingThreadsSpinning();  // at DISPATCH_LEVEL right now
// Waits (real time, at most timeoutMs) until no holding thread runs; 1 if none does.
int HostWaitForHoldingThreads(uint32_t timeoutMs);
uint8_t HostCurrentIrql();      // of the calling thread
int32_t HostCurrentPriority();  // of the calling thread
// The calling thread's processor and affinity (a thread starts on the
// machine's first processor, free to run on all), and the processors a
// thread holds at DISPATCH_LEVEL right now.
struct HostPlacement {
    uint32_t Processor;
    uint32_t Affinity;
    uint32_t AtDispatch;
};
HostPlacement HostCurrentPlacement();
// Puts the calling thread on processor with that affinity, as a caller whose
// affinity allows fewer processors than the machine has.
void HostPlaceCurrentThread(uint32_t processor, uint32_t affinity);
uint32_t HostEventWaits();          // PlatformWaitForEvent calls since the last reset
uint32_t HostRequestLockWaiters();  // threads waiting for the request lock right now
// While paused, every access through a mapped window waits: a test can stop
// a request inside its ROM access phase and see what others do meanwhile.
void HostPauseWindowAccesses(int pause);
uint32_t HostPausedAccesses();  // accesses waiting right now

// ---- Interrupts (PlatformMaskInterrupts)
int HostInterruptsMasked();     // on the calling thread
uint32_t HostInterruptMasks();  // PlatformMaskInterrupts calls since the last reset

// ---- Bus windows
uint32_t HostOpenMappings();
uint32_t HostMappingsMade();  // successful PlatformMapIoSpace calls since the last reset

// ---- Misuse of the platform by the driver (a wrong IRQL, an access outside
// a mapping, an unknown mapping, a size that does not match its mapping...)
uint32_t HostMisuseCount();
// The first misuse since the last reset, "" if none.
const char* HostFirstMisuse();

#endif
