// PCI configuration space as the driver reads it and the emulated machine
// answers it: register offsets, command and status bits, header layouts,
// base address register bits, class codes and capability ids.
#ifndef PELMIX_PCI_REGISTERS_H
#define PELMIX_PCI_REGISTERS_H

#include <stdint.h>

// Offsets of every header layout.
enum PciConfigOffset : uint32_t {
    PCI_VENDOR_ID = 0x00,        // 16 bits
    PCI_DEVICE_ID = 0x02,        // 16 bits
    PCI_COMMAND = 0x04,          // 16 bits, the status register above it
    PCI_STATUS = 0x06,           // 16 bits
    PCI_REVISION_ID = 0x08,      // 8 bits, the 24-bit class code above it
    PCI_CLASS_WORD = 0x0A,       // base class in the high byte, subclass in the low
    PCI_CACHE_LINE_SIZE = 0x0C,  // then latency timer, header type, BIST
    PCI_HEADER_TYPE = 0x0E,      // 8 bits: layout and multi-function bit
    PCI_BAR0 = 0x10,             // the base address registers, 4 bytes apart
    PCI_BAR1 = 0x14,
    PCI_CAPABILITY_POINTER = 0x34,  // 8 bits
    PCI_INTERRUPT_LINE = 0x3C,      // 8 bits
    PCI_DEVICE_SPECIFIC = 0x40,     // the first offset past the standard header
    PCI_CONFIG_SPACE_SIZE = 0x100,
};

// Offsets of header layout 0, a device.
enum PciDeviceOffset : uint32_t {
    PCI_SUBSYSTEM_VENDOR_ID = 0x2C,  // 16 bits
    PCI_SUBSYSTEM_ID = 0x2E,         // 16 bits
    PCI_ROM_BAR = 0x30,              // expansion ROM base address
};

// Offsets of header layout 1, a PCI-to-PCI bridge.
enum PciBridgeOffset : uint32_t {
    PCI_BRIDGE_BUS_NUMBERS = 0x18,
    PCI_BRIDGE_IO_WINDOW = 0x1C,      // 16 bits, the secondary status above it
    PCI_BRIDGE_MEMORY_WINDOW = 0x20,  // base in bits 0..15, limit in bits 16..31
    PCI_BRIDGE_PREFETCH_WINDOW = 0x24,
    PCI_BRIDGE_UPPER_IO = 0x30,
};
// A memory window register as a bridge leaves it when no window is set.
enum : uint32_t { PCI_BRIDGE_WINDOW_UNSET = 0x0000FFF0 };

enum PciCommandBit : uint32_t {
    PCI_COMMAND_IO = 0x1,
    PCI_COMMAND_MEMORY = 0x2,  // memory space decoding
    PCI_COMMAND_BUS_MASTER = 0x4,
};

enum PciStatusBit : uint32_t {
    PCI_STATUS_CAPABILITIES = 0x10,  // a capability list starts at the capability pointer
};

enum PciHeaderType : uint32_t {
    PCI_HEADER_LAYOUT = 0x7F,  // bits of the layout
    PCI_HEADER_MULTI_FUNCTION = 0x80,
    PCI_LAYOUT_DEVICE = 0,
    PCI_LAYOUT_BRIDGE = 1,
};

// Low bits of a base address register that are no address.
enum PciBarBit : uint32_t {
    PCI_BAR_IO_SPACE = 0x1,
    PCI_BAR_MEMORY_TYPE = 0x6,
    PCI_BAR_MEMORY_64 = 0x4,  // the next register holds the upper half
    PCI_BAR_IO_FLAGS = 0x3,
    PCI_BAR_MEMORY_FLAGS = 0xF,
    PCI_ROM_ENABLE = 0x1,  // ROM decoder on
    PCI_ROM_FLAGS = 0x7FF,
};

// Class words (base class and subclass).
enum PciClassWord : uint32_t {
    PCI_CLASS_VGA = 0x0300,
    PCI_CLASS_HOST_BRIDGE = 0x0600,
    PCI_CLASS_PCI_BRIDGE = 0x0604,
};

enum PciCapabilityId : uint32_t {
    PCI_CAPABILITY_POWER = 0x01,
    PCI_CAPABILITY_AGP = 0x02,
};

// What a configuration read of an absent function returns.
enum : uint32_t { PCI_ABSENT = 0xFFFFFFFF };

inline uint32_t PciHeaderLayout(uint32_t headerType)
{
    return headerType & PCI_HEADER_LAYOUT;
}

// Base address registers of a header layout: six in a device, two in a
// bridge, none in any other.
inline uint32_t PciBarCount(uint32_t layout)
{
    return layout == PCI_LAYOUT_DEVICE ? 6 : layout == PCI_LAYOUT_BRIDGE ? 2 : 0;
}

inline uint32_t PciBarOffset(uint32_t bar)
{
    return PCI_BAR0 + 4 * bar;
}

#endif
