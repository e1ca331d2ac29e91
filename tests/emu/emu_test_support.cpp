#include "emu_test_support.h"

#include <gtest/gtest.h>

#include "pci_machine.h"

void LoadOrFail(const std::string& text)
{
    char error[256] = {};
    ASSERT_EQ(EmuLoadMachine(text.c_str(), error, sizeof error), 1) << error;
}

std::string LoadError(const std::string& text)
{
    char error[256] = {};
    EXPECT_EQ(EmuLoadMachine(text.c_str(), error, sizeof error), 0) << text;
    return error;
}

uint32_t ConfigRead32(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset)
{
    uint32_t value = 0;
    EmuConfigRead(bus, device | (function << 5), &value, offset, 4);
    return value;
}

void ConfigWrite32(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset, uint32_t value)
{
    EmuConfigWrite(bus, device | (function << 5), &value, offset, 4);
}

std::string CardMachine(const std::string& flash, const std::string& extra)
{
    return "pci 0:0a.0 id=1E5B:0A52 class=0300 bar0=0xE0000008/64M bar1=0xE4000000/16K "
           "rom=0xE4020000/128K flash=" +
        flash + " " + extra + "\n";
}

void OpenChip()
{
    uint32_t r147C = EmuBusRead32(CardRegisters + 0x147C);
    uint32_t r1480 = EmuBusRead32(CardRegisters + 0x1480);
    EmuBusWrite32(CardRegisters + 0x147C, r147C | 0x400);
    EmuBusWrite32(CardRegisters + 0x1480, r1480 & ~3u);
    EmuBusWrite32(CardRegisters + 0x00, 0);
    EmuBusWrite32(CardRegisters + 0x04, 0);
    ConfigWrite32(0, 0x0A, 0, 0x10, MovedMemory);
    ConfigWrite32(0, 0x0A, 0, 0x30, CardMemory | 1);
    EmuAdvanceUs(67000);
}

uint8_t Chip(uint32_t offset)
{
    return EmuBusRead8(CardMemory + offset);
}

void ChipPut(uint32_t offset, uint8_t value)
{
    EmuBusWrite8(CardMemory + offset, value);
}

void ChipCommand(uint8_t command, uint32_t address1, uint32_t address2)
{
    ChipPut(address1, 0xAA);
    ChipPut(address2, 0x55);
    ChipPut(address1, command);
}
