// An Orvel card's registers as the driver writes them and the emulated
// machine answers them: the 32-bit registers of the card's register window
// (behind BAR 0x14) that the card access sets save, change and restore,
// named by their byte offset since nothing about them is used beyond what
// the sets do; and where an AGP card carries its capabilities in
// configuration space.
#ifndef PELMIX_ORVEL_REGISTERS_H
#define PELMIX_ORVEL_REGISTERS_H

#include <stdint.h>

// By the sets that write them: A the first four, B and C the first two.
// clang-format off
enum OrvelCardRegister : uint32_t {
    OrvelRegister00 = 0x00, OrvelRegister04 = 0x04, OrvelRegister08 = 0x08, OrvelRegister0C = 0x0C,
    OrvelRegister147C = 0x147C, OrvelRegister1480 = 0x1480,  // set B
    OrvelRegister80 = 0x80,                                  // set C
};
// clang-format on

// The bits the sets change: the chip answers only with the first set and
// the others clear.
enum OrvelCardRegisterBit : uint32_t {
    Orvel147CRomOn = 0x400,  // bit 10
    Orvel1480RomOff = 0x3,   // bits 0 and 1
    Orvel80RomOff = 0x1,     // bit 0
};

// An AGP card's capability list in configuration space: power management
// first, then AGP, whose status register lists the transfer rates in bits
// 0..3.
enum OrvelAgpOffset : uint32_t {
    OrvelPowerCapability = 0x60,
    OrvelAgpCapability = 0x40,
    OrvelAgpStatus = OrvelAgpCapability + 4,
    OrvelAgpCommand = OrvelAgpCapability + 8,
};

#endif
