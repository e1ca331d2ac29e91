// The parallel flash parts an emulated card can carry, keyed by the
// identification code the machine file names (flash=XXXX or flash=noid).
#ifndef PELMIX_EMU_FLASH_MODELS_H
#define PELMIX_EMU_FLASH_MODELS_H

#include <stdint.h>

struct EmuFlashModel {
    const char* Key;              // as written after flash=
    uint16_t ChipId;              // maker code in bits 0..7, device code in bits 8..15
    uint8_t AnswersId;            // 0: the part ignores the identification command
    uint8_t PageWrite;            // 1: 128-byte page load; 0: one byte per command
    uint8_t EraseBeforeProgram;   // 1: programming can only clear bits
    uint8_t HasSectors;           // 4-KB sector erase (command 0x30)
    uint32_t Size;
    uint32_t CommandMask;         // address bits the command decoder looks at
    uint32_t Address1;
    uint32_t Address2;
    uint32_t ByteProgramUs;
    uint32_t PageProgramUs;
    uint32_t ChipEraseUs;
    uint32_t SectorEraseUs;
};

const EmuFlashModel* EmuFindFlashModel(const char* key, uint32_t keyLength);

#endif
