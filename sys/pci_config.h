// PCI configuration access by bus, device and function. All writes are
// 32 bits wide.
#ifndef PELMIX_PCI_CONFIG_H
#define PELMIX_PCI_CONFIG_H

#include <stdint.h>

uint8_t PciRead8(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset);
uint16_t PciRead16(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset);
uint32_t PciRead32(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset);
void PciWrite32(uint32_t bus, uint32_t device, uint32_t function, uint32_t offset, uint32_t value);

#endif
