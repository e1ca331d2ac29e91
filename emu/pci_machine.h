// The emulated PCI machine: configuration space of every function, BAR size
// probing, ROM BAR, bridge windows, header types, multi-function devices and
// capability lists, described by a machine file. Storage is static and fixed,
// so the same code runs on a Linux host and inside a driver.
#ifndef PELMIX_EMU_PCI_MACHINE_H
#define PELMIX_EMU_PCI_MACHINE_H

#include <stdint.h>

// Replaces the machine with the one the text describes. Returns 1, or 0 with
// "line N: reason" in error. Unknown keys are accepted; each one is reported
// once through the warning sink.
int EmuLoadMachine(const char* text, char* error, uint32_t errorSize);
// An empty machine: every slot reads 0xFFFFFFFF.
void EmuClearMachine();

typedef void (*EmuLineSink)(const char* line, void* context);
void EmuSetWarningSink(EmuLineSink sink, void* context);

// Inspection for tests and tools; these bypass the driver and record nothing.
uint32_t EmuPeekConfig32(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset);
// Configuration writes the function has seen at offset since the machine was loaded.
uint32_t EmuConfigWriteCount(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset);

// Configuration access as the platform sees it (slot: device bits 0..4,
// function bits 5..7); an empty slot reads 0xFF bytes.
void EmuConfigRead(uint32_t bus, uint32_t slot, void* buffer, uint32_t offset, uint32_t length);
void EmuConfigWrite(uint32_t bus, uint32_t slot, const void* buffer, uint32_t offset, uint32_t length);

#endif
