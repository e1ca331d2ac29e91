// The parallel flash parts an emulated card can carry, keyed by the
// identification code the machine file names (flash=XXXX or flash=noid).
#ifndef PELMIX_EMU_FLASH_MODELS_H
#define PELMIX_EMU_FLASH_MODELS_H

#include <stdint.h>

// What a part does; a part without any of these takes one byte per program
// command, overwrites whatever the byte held and ignores identification.
enum EmuFlashTrait {
    EmuFlashAnswersId = 1,   // shows its code in identification mode
    EmuFlashPageLoad = 2,    // a program command loads a 128-byte page
    EmuFlashClearsOnly = 4,  // programming can only clear bits: erase first
    EmuFlashSectors = 8,     // 4-KB sector erase
};

// Completion times on the virtual clock, in microseconds (0: no such operation).
struct EmuFlashTimes {
    uint32_t ByteProgramUs;
    uint32_t PageProgramUs;
    uint32_t ChipEraseUs;
    uint32_t SectorEraseUs;
};

struct EmuFlashModel {
    const char* Key;  // as written after flash=
    uint16_t ChipId;  // maker code in bits 0..7, device code in bits 8..15
    uint32_t Traits;  // EmuFlashTrait bits
    uint32_t Size;
    uint32_t CommandMask;  // address bits the command decoder looks at
    uint32_t Address1;
    uint32_t Address2;
    EmuFlashTimes Times;
};

inline int EmuFlashHas(const EmuFlashModel* model, uint32_t trait)
{
    return (model->Traits & trait) != 0;
}

const EmuFlashModel* EmuFindFlashModel(const char* key, uint32_t keyLength);

#endif
