// PCI configuration access by bus, device and function. All writes are
// 32 bits wide.
#ifndef PELMIX_PCI_CONFIG_H
#define PELMIX_PCI_CONFIG_H

#include <stdint.h>

uint8_t PciRead8(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset);
uint16_t PciRead16(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset);
uint32_t PciRead32(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset);
// 1 when the platform wrote all 4 bytes.
int PciWrite32(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset, uint32_t value);
// A write trusted only once it reads back: 1 when the platform wrote all 4
// bytes and the bits of mask read back as written.
int PciWriteConfirmed32(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset, uint32_t value,
                        uint32_t mask);

// The 16-bit command register, and a write of it whose status half is zero:
// ones there would clear the status register's latched error bits.
uint16_t PciReadCommand(uint32_t bus, uint32_t device, uint32_t function);
void PciWriteCommand(uint32_t bus, uint32_t device, uint32_t function, uint16_t command);

#endif
