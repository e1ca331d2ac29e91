// The records of the emulated machine, shared by the core files. All storage
// is static and fixed in size; nothing here needs a C library or a heap.
#ifndef PELMIX_EMU_MACHINE_STATE_H
#define PELMIX_EMU_MACHINE_STATE_H

#include <stdint.h>

#include "flash_models.h"
#include "orvel_cards.h"
#include "pci_machine.h"

enum {
    EmuMaxFunctions = 64,
    EmuMaxCards = 16,
    EmuMaxFaults = 32,
    EmuConfigRegisters = 64,    // 256 bytes of configuration space
    EmuCardRegisters = 4096,    // 16 KB register window
    EmuChipCapacity = 0x20000,  // 128 KB
    EmuPageSize = 128,
    EmuPathSize = 260,
};

struct EmuFunction {
    uint8_t Bus;
    uint8_t Device;
    uint8_t Function;
    int8_t CardIndex;  // -1: not an Orvel card
    uint32_t Config[EmuConfigRegisters];
    uint32_t Writable[EmuConfigRegisters];  // bits a configuration write changes
    uint32_t BarSize[6];                    // 0: no memory or I/O decoder
    uint32_t RomSize;                       // 0: no expansion ROM decoder
    uint32_t WriteCount[EmuConfigRegisters];
};

// Chip command states. Read and identification are the two resting modes;
// the others are steps of an unlock sequence or a command in progress.
enum EmuChipMode {
    EmuChipModeRead = 0,
    EmuChipModeId,
    EmuChipModeUnlock1,     // 0xAA seen at the first command address
    EmuChipModeUnlock2,     // 0x55 seen at the second
    EmuChipModeProgram,     // byte chips: the next write is the data byte
    EmuChipModePageLoad,    // page chips: bytes of one page being loaded
    EmuChipModeEraseSetup,  // 0x80 seen
    EmuChipModeEraseUnlock1,
    EmuChipModeEraseUnlock2,
};

enum EmuChipBusy {
    EmuBusyNone = 0,
    EmuBusyByte,
    EmuBusyPage,
    EmuBusyErase,
};

struct EmuChip {
    const EmuFlashModel* Model;  // null: the card carries no chip
    uint8_t Data[EmuChipCapacity];
    uint8_t Mode;         // EmuChipMode
    uint8_t RestingMode;  // EmuChipModeRead or EmuChipModeId, where a sequence returns
    uint8_t Busy;         // EmuChipBusy
    uint8_t ToggleBit;    // bit 6 flips on every read while busy
    uint8_t Stuck;        // the operation in progress never completes
    uint8_t Dirty;        // contents changed since the image was last saved
    uint64_t BusyUntilUs;
    uint32_t BusyOffset;  // byte programmed, or first byte erased
    uint32_t BusyLength;  // bytes an erase clears
    uint8_t BusyValue;    // data polling shows the complement of its bit 7
    uint32_t StuckOffset;
    uint32_t Unlock1;  // offsets of the unlock writes of the current sequence
    uint32_t Unlock2;
    uint64_t LastLoadUs;
    // Page load
    uint32_t PageBase;
    uint8_t PageBuffer[EmuPageSize];
    uint8_t PageLoaded[EmuPageSize];
    uint32_t LoadedCount;
    char ImagePath[EmuPathSize];
};

struct EmuCard {
    int FunctionIndex;
    const OrvelFamily* Family;  // the card's family row
    // Register latches: a read returns the latch of the register's partner
    // (see orvel_card.cpp), so reads and writes of a pair cross.
    uint32_t Latch[EmuCardRegisters];
    uint64_t LastRegisterWriteUs;
    uint32_t LostChipWrites;  // writes aimed at the ROM while the chip did not answer
    EmuChip Chip;
};

struct EmuFault {
    uint32_t Kind;
    int HasTarget;
    uint32_t Bus;
    uint32_t Device;
    uint32_t Function;
    uint32_t Value;  // chip offset (stuck, corrupt), microseconds (slow) or register offset (config-ignored)
    uint32_t Count;  // stuck: attempts that fail; corrupt: reads that go wrong; 0 for every one
    uint32_t Used;   // stuck, corrupt: so far
    uint32_t Armed;  // corrupt: CorruptIdle, CorruptProgrammed or CorruptReading
};

// A corrupt fault's byte reads wrong only in requests after the one that
// programmed it: programmed, then the ROM decoder off, then reading.
enum EmuCorruptState { CorruptIdle, CorruptProgrammed, CorruptReading };

struct EmuMachine {
    uint32_t FunctionCount;
    EmuFunction Functions[EmuMaxFunctions];
    uint32_t CardCount;
    EmuCard Cards[EmuMaxCards];
    uint32_t FaultCount;
    EmuFault Faults[EmuMaxFaults];
    uint32_t ProcessorCount;
    uint32_t ProcessorMask;
};

extern EmuMachine Machine;

EmuFunction* EmuFindFunction(uint32_t bus, uint32_t device, uint32_t function);
// Header layout of the function's header type (0 device, 1 bridge).
uint32_t EmuHeaderLayout(const EmuFunction* function);
EmuCard* EmuCardOfFunction(const EmuFunction* function);
const EmuFault* EmuFindFault(uint32_t kind, const EmuFunction* function);

// Configuration registers with their decoding rules (pci_config_space.cpp).
void EmuInitFunction(EmuFunction* function, uint32_t bus, uint32_t device, uint32_t number);
// Sets the writable bits once the machine file has set the registers.
void EmuFinishFunction(EmuFunction* function);
uint32_t EmuFunctionRead32(const EmuFunction* function, uint32_t offset);
void EmuFunctionWrite32(EmuFunction* function, uint32_t offset, uint32_t value, uint32_t byteMask);

// Notes a configuration write for the size probes' record (bar_probes.cpp).
void EmuNoteConfigWrite(const EmuFunction* function, uint32_t offset, uint32_t value, uint32_t byteMask);

// Cards and chips (orvel_card.cpp, flash_chip.cpp).
void EmuInitCard(EmuCard* card, int functionIndex, const OrvelFamily* family);
uint32_t EmuCardRegisterRead(const EmuCard* card, uint32_t offset);
void EmuCardRegisterWrite(EmuCard* card, uint32_t offset, uint32_t value);
void EmuCardSetRegisterReadValue(EmuCard* card, uint32_t offset, uint32_t value);
uint32_t EmuCardWindowSize(const EmuCard* card);
int EmuCardPrepared(const EmuCard* card);

void EmuChipReset(EmuChip* chip, const EmuFlashModel* model);
uint8_t EmuChipRead(EmuCard* card, uint32_t offset);
void EmuChipWrite(EmuCard* card, uint32_t offset, uint8_t value);
// Brings the chip's operation in progress up to the present virtual time.
void EmuChipSettle(EmuCard* card);
// Ends a never-completing operation, as when the chip loses its decoder.
void EmuChipAbort(EmuCard* card);
// The ROM decoder went off: a corrupt byte programmed meanwhile starts to read wrong.
void EmuChipDecoderOff(EmuCard* card);

// Trace, warnings and the chip command log (emu_trace.cpp).
void EmuEmitWarning(const char* line);
void EmuEmitTrace(const char* line);
int EmuTraceWanted();
void EmuLogChipCommand(const EmuCard* card, uint32_t kind, uint32_t address1, uint32_t address2, uint32_t offset,
                       uint32_t value);

#endif
