// PCI configuration space as the driver reads it and the emulated machine
// answers it: register offsets, command and status bits, header layouts,
// base address register bits, class codes and capability ids.
#ifndef PELMIX_PCI_REGISTERS_H
#define PELMIX_PCI_REGISTERS_H

#include <stdint.h>

// Offsets of every header layout.
enum PciConfigOffset : uint32_t {
    PciVendorId = 0x00,       // 16 bits
    PciDeviceId = 0x02,       // 16 bits
    PciCommand = 0x04,        // 16 bits, the status register above it
    PciStatus = 0x06,         // 16 bits
    PciRevisionId = 0x08,     // 8 bits, the 24-bit class code above it
    PciClassWord = 0x0A,      // base class in the high byte, subclass in the low
    PciCacheLineSize = 0x0C,  // then latency timer, header type, BIST
    PciHeaderType = 0x0E,     // 8 bits: layout and multi-function bit
    PciBar0 = 0x10,           // the base address registers, 4 bytes apart
    PciBar1 = 0x14,
    PciCapabilityPointer = 0x34,  // 8 bits
    PciInterruptLine = 0x3C,      // 8 bits
    PciDeviceSpecific = 0x40,     // the first offset past the standard header
    PciConfigSpaceSize = 0x100,
};

// Offsets of header layout 0, a device.
enum PciDeviceOffset : uint32_t {
    PciSubsystemVendorId = 0x2C,  // 16 bits
    PciSubsystemId = 0x2E,        // 16 bits
    PciRomBar = 0x30,             // expansion ROM base address
};

// Offsets of header layout 1, a PCI-to-PCI bridge.
enum PciBridgeOffset : uint32_t {
    PciBridgeBusNumbers = 0x18,
    PciBridgeIoWindow = 0x1C,      // 16 bits, the secondary status above it
    PciBridgeMemoryWindow = 0x20,  // base in bits 0..15, limit in bits 16..31
    PciBridgePrefetchWindow = 0x24,
    PciBridgeUpperIo = 0x30,
};
// A memory window register as a bridge leaves it when no window is set.
enum : uint32_t { PciBridgeWindowUnset = 0x0000FFF0 };

enum PciCommandBit : uint32_t {
    PciCommandIo = 0x1,
    PciCommandMemory = 0x2,  // memory space decoding
    PciCommandBusMaster = 0x4,
};

enum PciStatusBit : uint32_t {
    PciStatusCapabilities = 0x10,  // a capability list starts at the capability pointer
    // Latched errors (master data parity error, signalled target abort,
    // received target and master abort, signalled system error, detected
    // parity error): writing a one clears the bit.
    PciStatusWriteOneToClear = 0xF900,
};

enum PciHeaderBits : uint32_t {
    PciHeaderLayoutMask = 0x7F,  // bits of the layout
    PciHeaderMultiFunction = 0x80,
    PciLayoutDevice = 0,
    PciLayoutBridge = 1,
};

// Low bits of a base address register that are no address.
enum PciBarBit : uint32_t {
    PciBarIoSpace = 0x1,
    PciBarMemoryType = 0x6,
    PciBarMemory64 = 0x4,  // the next register holds the upper half
    PciBarIoFlags = 0x3,
    PciBarMemoryFlags = 0xF,
    PciRomEnable = 0x1,  // ROM decoder on
    PciRomFlags = 0x7FF,
};

// Class words (base class and subclass).
enum PciClassCode : uint32_t {
    PciClassVga = 0x0300,
    PciClassHostBridge = 0x0600,
    PciClassPciBridge = 0x0604,
};

enum PciCapabilityId : uint32_t {
    PciCapabilityPower = 0x01,
    PciCapabilityAgp = 0x02,
};

// What a configuration read of an absent function returns.
enum : uint32_t { PciAbsent = 0xFFFFFFFF };

inline uint32_t PciHeaderLayout(uint32_t headerType)
{
    return headerType & PciHeaderLayoutMask;
}

// Base address registers of a header layout: six in a device, two in a
// bridge, none in any other.
inline uint32_t PciBarCount(uint32_t layout)
{
    return layout == PciLayoutDevice ? 6 : layout == PciLayoutBridge ? 2 : 0;
}

inline uint32_t PciBarOffset(uint32_t bar)
{
    return PciBar0 + 4 * bar;
}

#endif
