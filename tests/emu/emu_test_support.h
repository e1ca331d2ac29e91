// Helpers for the machine tests: loading a machine and opening a card's
// flash chip by hand, the way the driver's ROM access phase does.
#ifndef PELMIX_TESTS_EMU_SUPPORT_H
#define PELMIX_TESTS_EMU_SUPPORT_H

#include <stdint.h>

#include <string>

// Loads the text or fails the current test.
void LoadOrFail(const std::string& text);
// The error of a machine text that must be refused.
std::string LoadError(const std::string& text);

uint32_t ConfigRead32(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset);
void ConfigWrite32(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset, uint32_t value);

// A family-2 card at 0:0a.0: memory at 0xE0000000 (64 MB), registers at
// 0xE4000000 (16 KB), ROM decoder at 0xE4020000 (128 KB, off).
std::string CardMachine(const std::string& flash, const std::string& extra = "");
const uint32_t CardMemory = 0xE0000000u;
const uint32_t CardRegisters = 0xE4000000u;
const uint32_t MovedMemory = 0x80000000u;

// Prepares the card's registers as access set B does, moves BAR 0x10 away,
// turns the ROM decoder on at the old address and lets 67 ms pass.
void OpenChip();
uint8_t Chip(uint32_t offset);
void ChipPut(uint32_t offset, uint8_t value);
// Two unlock writes and a command at the given command addresses.
void ChipCommand(uint8_t command, uint32_t address1 = 0x5555, uint32_t address2 = 0x2AAA);

#endif
