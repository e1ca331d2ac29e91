// The emulated PCI machine: configuration space of every function, BAR size
// probing, ROM BAR, bridge windows, header types, multi-function devices and
// capability lists, described by a machine file; Orvel cards with their
// register windows and flash chips, bus address decoding, faults and a
// virtual clock. Storage is static and fixed, and the core needs no C
// library, so the same code runs on a Linux host and inside a driver.
#ifndef PELMIX_EMU_PCI_MACHINE_H
#define PELMIX_EMU_PCI_MACHINE_H

#include <stdint.h>

// Replaces the machine with the one the text describes. Returns 1, or 0 with
// "line N: reason" in error. Unknown keys are accepted; each one is reported
// once through the warning sink. Chip contents start erased; EmuLoadImages
// fills them from their image files.
int EmuLoadMachine(const char* text, char* error, uint32_t errorSize);
// An empty machine: every slot reads 0xFFFFFFFF.
void EmuClearMachine();

typedef void (*EmuLineSink)(const char* line, void* context);
void EmuSetWarningSink(EmuLineSink sink, void* context);
// One line per configuration write and per chip command; null turns it off.
void EmuSetTraceSink(EmuLineSink sink, void* context);

// Inspection for tests and tools; these bypass the driver and record nothing.
uint32_t EmuPeekConfig32(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset);
// Configuration writes the function has seen at offset since the machine was loaded.
uint32_t EmuConfigWriteCount(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset);

// Configuration access as the platform sees it (slot: device bits 0..4,
// function bits 5..7); an empty slot reads 0xFF bytes.
void EmuConfigRead(uint32_t bus, uint32_t slot, void* buffer, uint32_t offset, uint32_t length);
// A write returns the bytes it wrote (0 for an empty slot), as the HAL does.
uint32_t EmuConfigWrite(uint32_t bus, uint32_t slot, const void* buffer, uint32_t offset, uint32_t length);

// ---- Size probes of the BARs and the interrupts around them
// A probe is a BAR or ROM BAR written with all ones (32 bits at once); it
// lasts until the register is written again. The platform says whether
// interrupts are masked on the processor making the configuration accesses,
// before each access and whenever that changes (the last word stays across
// machine loads). A probe counts as unmasked when interrupts were enabled at
// its all-ones write, at the write that restores the register, or at any
// moment between.
void EmuSetInterruptsMasked(int masked);
struct EmuBarProbe {
    uint32_t Bus, Device, Function, Offset;
};
// Probes since the machine was loaded, and those of them counted unmasked so
// far (an open one included).
uint32_t EmuBarProbeCount();
uint32_t EmuUnmaskedBarProbeCount();
// The first unmasked probe; 0 if none.
int EmuFirstUnmaskedBarProbe(EmuBarProbe* probe);
// Registers that hold a probe's all ones right now.
uint32_t EmuOpenBarProbes();
void EmuClearBarProbes();

// ---- Processors and faults named by the machine file
uint32_t EmuProcessorCount();
uint32_t EmuProcessorMask();

enum EmuFaultKind {
    EmuFaultMapRegister = 1,  // fault map-register [B:D.F]
    EmuFaultMapRom,           // fault map-rom [B:D.F]
    EmuFaultCpuQuery,         // fault cpu-query
    EmuFaultCpuThread,        // fault cpu-thread
    EmuFaultCpuTimeout,       // fault cpu-timeout
    EmuFaultStuck,            // fault stuck B:D.F OFFSET
    EmuFaultSlow,             // fault slow B:D.F US
    EmuFaultCpuStraggler,     // fault cpu-straggler
    EmuFaultCpuLinger,        // fault cpu-linger
    EmuFaultCorrupt,          // fault corrupt B:D.F OFFSET [COUNT]
    EmuFaultConfigIgnored,    // fault config-ignored B:D.F OFFSET
    EmuFaultDecodingStuckOn,  // fault decoding-stuck-on B:D.F
};
// Whether the machine carries a fault of this kind (any target).
int EmuHasFault(uint32_t kind);
// Whether a mapping of size bytes at this bus address must fail: the
// register window (BAR 0x14) or the memory window (BAR 0x10) of a card that
// a map-register or map-rom fault names (or of any card, if it names none).
int EmuMappingRefused(uint32_t busAddress, uint32_t size);

// ---- Memory space: whichever enabled decoder claims the address answers.
// No claim, or a claim by more than one decoder, reads 0xFF bytes and drops
// writes.
uint8_t EmuBusRead8(uint32_t address);
uint32_t EmuBusRead32(uint32_t address);
void EmuBusWrite8(uint32_t address, uint8_t value);
void EmuBusWrite32(uint32_t address, uint32_t value);
// How many enabled decoders claim the address.
uint32_t EmuBusClaimCount(uint32_t address);
// 32-bit reads of register 0 of any card's register window, ever (take differences).
uint32_t EmuRegisterZeroReads();
// 32-bit accesses of any card's register window since the last clear; the
// first 64 are kept, oldest first.
struct EmuRegisterAccess {
    uint32_t Write;  // 1: Value written; 0: Value read
    uint32_t Offset;
    uint32_t Value;
    uint64_t AtUs;  // virtual time
};
uint32_t EmuRegisterAccessCount();
int EmuRegisterAccessAt(uint32_t index, EmuRegisterAccess* access);
void EmuClearRegisterAccesses();

// ---- Virtual clock, in microseconds; only waits advance it.
uint64_t EmuNowUs();
void EmuAdvanceUs(uint64_t microseconds);

// ---- Orvel cards and their flash chips (by the card's B:D.F)
// The register as the card answers a 32-bit read at offset; 0 if no card.
int EmuCardRegister(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset, uint32_t* value);
// Writes that reached the ROM decoder while the chip did not answer.
uint32_t EmuCardLostChipWrites(uint32_t bus, uint32_t device, uint32_t function);
// Chip size in bytes, 0 when the function carries no chip.
uint32_t EmuChipSize(uint32_t bus, uint32_t device, uint32_t function);
// Copies chip bytes straight from the array (count bytes from offset).
int EmuChipPeek(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset, uint8_t* bytes, uint32_t count);
int EmuChipPoke(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset, const uint8_t* bytes,
                uint32_t count);
// 1 when the chip rests in read mode with no command or operation pending.
int EmuChipIdle(uint32_t bus, uint32_t device, uint32_t function);

enum EmuChipCommandKind {
    EmuCommandIdentify = 1,  // unlock, 0x90: identification mode
    EmuCommandExit,          // unlock, 0xF0: back to read mode
    EmuCommandReset,         // a lone 0xF0 write
    EmuCommandProgram,       // unlock, 0xA0, one byte
    EmuCommandPage,          // unlock, 0xA0, a page load
    EmuCommandChipErase,     // unlock, 0x80, unlock, 0x10
    EmuCommandSectorErase,   // unlock, 0x80, unlock, 0x30 at the sector
};

struct EmuChipCommand {
    uint32_t Kind;
    uint32_t Bus, Device, Function;
    uint32_t Address1;  // chip offsets of the unlock writes (0 for a lone reset)
    uint32_t Address2;
    uint32_t Offset;  // byte, page or sector; the reset's offset
    uint32_t Value;   // programmed byte, or bytes loaded into a page
    uint64_t AtUs;
};

// The most recent commands (up to 4096), oldest first.
uint32_t EmuChipCommandCount();
int EmuChipCommandAt(uint32_t index, EmuChipCommand* command);
// Every command since the log was cleared, including those no longer kept.
uint32_t EmuChipCommandTotal(uint32_t kind);
void EmuClearChipCommands();

// ---- Image files (image=FILE), through the storage operations of emu_storage.h
// Relative image paths are taken from this folder ("" = as given).
void EmuSetImageFolder(const char* folder);
// Reads every chip's image; a missing file leaves the chip erased and is created.
int EmuLoadImages(char* error, uint32_t errorSize);
// Writes back the image of every chip that changed since it was loaded or saved.
int EmuSaveChangedImages(char* error, uint32_t errorSize);

#endif
