#include "card_scan.h"

#include "driver_state.h"
#include "orvel_cards.h"
#include "orvel_registers.h"
#include "pci_config.h"
#include "pci_registers.h"
#include "platform.h"

namespace {

const uint32_t RelocationBase = 0x80000000u;
const uint32_t TopSlot = 1u << 31;  // 0xFC000000..0xFFFFFFFF
// A chain cannot hold more distinct entries than configuration space has
// byte offsets, so a longer walk can only be a cycle.
const int CapabilityWalkLimit = PciConfigSpaceSize;
// Where an AGP card's status register sits: the transfer rates it
// supports, in bits 0..3.
const uint32_t AgpStatusRegister = OrvelAgpStatus;

// Function 0 of the PIIX4 south bridge, its PCI-to-ISA bridge. Its other
// functions (IDE, USB, power management) are the south bridge's own: none is
// a card, none decodes memory, so the scan leaves them alone.
const uint16_t Piix4VendorId = 0x8086;
const uint16_t Piix4IsaBridgeId = 0x7110;

const uint32_t SlotSize = 0x4000000u;  // 64 MB

void MarkSlots(uint32_t firstSlot, uint32_t count)
{
    for (uint32_t slot = firstSlot; slot < 32 && slot - firstSlot < count; ++slot)
        Driver.SlotMask |= 1u << slot;
}

// The BARs of one function being sized. An all-ones write moves a live
// decoder to the top of the address space (over the I/O APIC and the
// firmware) while the other processors run on, their interrupts included, so
// a BAR is sized only once memory decoding reads back off. A function whose
// decoding stays on (a host bridge, whose decoding the scan leaves alone, or
// one whose command register keeps the bit) is not sized: each of its BARs
// counts as taken over the most its base allows.
struct BarSizing {
    uint32_t Bus, Device, Function;
    bool KeepDecoding;
    bool Asked;        // the command register has been looked at
    bool MayProbe;     // decoding reads back off
    bool DecodingOff;  // turned off by the sizing, to be turned back on
    uint32_t Command;  // command register as found (status bits zero)
};

BarSizing BeginBarSizing(uint32_t bus, uint32_t device, uint32_t function, bool keepDecoding)
{
    BarSizing sizing = {bus, device, function, keepDecoding, false, false, false, 0};
    return sizing;
}

// Whether the function's decoders can be probed: memory decoding found off,
// or switched off and reading back off. Writing the status half as zero
// leaves its write-one-to-clear bits alone.
bool MayProbe(BarSizing* sizing)
{
    if (sizing->Asked)
        return sizing->MayProbe;
    sizing->Asked = true;
    if (sizing->KeepDecoding)
        return false;
    uint32_t bus = sizing->Bus, device = sizing->Device, function = sizing->Function;
    sizing->Command = PciRead32(bus, device, function, PciCommand) & 0xFFFF;
    if (sizing->Command & PciCommandMemory) {
        sizing->DecodingOff = true;
        sizing->MayProbe = PciWriteConfirmed32(bus, device, function, PciCommand, sizing->Command & ~PciCommandMemory,
                                               PciCommandMemory) != 0;
    } else {
        sizing->MayProbe = true;
    }
    return sizing->MayProbe;
}

void ProbeBar(BarSizing* sizing, uint32_t offset, uint32_t value, uint32_t* probed)
{
    uint32_t bus = sizing->Bus, device = sizing->Device, function = sizing->Function;
    // While the BAR holds all ones the decoder claims the top of the address
    // space, even with decoding off on a bus that ignores the bit for a
    // moment: no interrupt on this processor for those three accesses.
    int wereEnabled = PlatformMaskInterrupts();
    PciWrite32(bus, device, function, offset, 0xFFFFFFFFu);  // all ones: the decoder shows its size
    *probed = PciRead32(bus, device, function, offset);
    PciWrite32(bus, device, function, offset, value);
    PlatformRestoreInterrupts(wereEnabled);
}

void EndBarSizing(const BarSizing& sizing)
{
    if (sizing.DecodingOff)
        PciWrite32(sizing.Bus, sizing.Device, sizing.Function, PciCommand, sizing.Command);
}

// A decoder is aligned to its size, so the lowest address bit set in its base
// bounds what it can span.
uint32_t SpanBound(uint32_t base)
{
    return base & (~base + 1);
}

// Returns the number of BAR registers the BAR at offset takes: 2 for a
// 64-bit memory BAR whose upper half lies in the header, else 1.
uint32_t AccountBar(BarSizing* sizing, uint32_t offset, uint32_t lastBarOffset)
{
    uint32_t bus = sizing->Bus, device = sizing->Device, function = sizing->Function;
    uint32_t value = PciRead32(bus, device, function, offset);
    uint32_t registers = 1;
    uint32_t typeBits;
    if (offset == PciRomBar) {
        typeBits = PciRomFlags;
    } else {
        if (value & PciBarIoSpace)
            return 1;
        typeBits = PciBarMemoryFlags;
        if ((value & PciBarMemoryType) == PciBarMemory64 && offset < lastBarOffset) {
            registers = 2;
            // Above 4 GB it decodes nothing of the slots.
            if (PciRead32(bus, device, function, offset + 4) != 0)
                return registers;
        }
    }
    uint32_t base = value & ~typeBits;
    if (base < RelocationBase)
        return registers;
    uint32_t size = SpanBound(base);
    if (MayProbe(sizing)) {
        uint32_t probed = 0;
        ProbeBar(sizing, offset, value, &probed);
        size = ~(probed & ~typeBits) + 1;
        if (offset == PciRomBar)
            Driver.ScannedRom = {true, size};
        else if (offset == PciBar0)
            Driver.ScannedBar0 = {true, size};
    }
    MarkSlots((base >> 26) & 31, ((size - 1) >> 26) + 1);
    return registers;
}

// A card's decoder at offset, whatever its base, unless the accounting sized
// it: the phase moves BAR 0x10, which must land on as many free slots as it
// spans, and turns the ROM decoder on. Size 0 when no address bit sticks, or
// when it cannot be probed.
void SizeDecoder(BarSizing* sizing, uint32_t offset, uint32_t typeBits, ScannedDecoder* decoder)
{
    if (decoder->Probed)
        return;
    *decoder = {true, 0};
    if (!MayProbe(sizing))
        return;
    uint32_t probed = 0;
    ProbeBar(sizing, offset, PciRead32(sizing->Bus, sizing->Device, sizing->Function, offset), &probed);
    uint32_t mask = probed & ~typeBits;
    decoder->Size = mask ? ~mask + 1 : 0;
}

void SizeCardDecoders(BarSizing* sizing)
{
    SizeDecoder(sizing, PciBar0, PciBarMemoryFlags, &Driver.ScannedBar0);
    SizeDecoder(sizing, PciRomBar, PciRomFlags, &Driver.ScannedRom);
}

void AccountAllBars(uint32_t bus, uint32_t device, uint32_t function, bool card)
{
    BarSizing sizing = BeginBarSizing(bus, device, function, false);
    uint32_t count = PciBarCount(PciLayoutDevice);
    uint32_t last = PciBarOffset(count - 1);
    for (uint32_t bar = 0; bar < count;)
        bar += AccountBar(&sizing, PciBarOffset(bar), last);
    AccountBar(&sizing, PciRomBar, PciRomBar);
    if (card)
        SizeCardDecoders(&sizing);
    EndBarSizing(sizing);
}

// Bridge window: base in bits 0..15, limit in bits 16..31, 1-MB units in
// bits 4..15 of each half.
void AccountBridgeWindow(uint32_t window)
{
    if (window == PciBridgeWindowUnset)
        return;
    if ((window & 0x8000) == 0)
        return;
    uint32_t count = (((window >> 16) - (window & 0xFFFF)) >> 10) + 1;
    MarkSlots((window >> 10) & 31, count);
}

void AccountFunction0(uint32_t bus, uint32_t device, uint8_t headerType, bool card)
{
    uint16_t classWord = PciRead16(bus, device, 0, PciClassWord);
    if (classWord == PciClassHostBridge) {
        BarSizing sizing = BeginBarSizing(bus, device, 0, true);
        AccountBar(&sizing, PciBar0, PciBar1);
        EndBarSizing(sizing);
    } else if (classWord == PciClassPciBridge) {
        AccountBridgeWindow(PciRead32(bus, device, 0, PciBridgeMemoryWindow));
        AccountBridgeWindow(PciRead32(bus, device, 0, PciBridgePrefetchWindow));
    } else if (PciHeaderLayout(headerType) == PciLayoutDevice) {
        AccountAllBars(bus, device, 0, card);
    }
}

uint32_t TestAgp(uint32_t bus, uint32_t device, uint32_t function)
{
    if ((PciRead16(bus, device, function, PciStatus) & PciStatusCapabilities) == 0)
        return 0;
    if ((PciRead32(bus, device, function, AgpStatusRegister) & 0xF) == 0)
        return 0;
    uint32_t pointer = PciRead8(bus, device, function, PciCapabilityPointer);
    for (int step = 0; step < CapabilityWalkLimit; ++step) {
        uint16_t capability = PciRead16(bus, device, function, pointer);
        if ((capability & 0xFF) == PciCapabilityAgp)
            return 1;
        pointer = capability >> 8;
        if (pointer == 0 || pointer >= 0xFF)
            return 0;
    }
    return 0;
}

void FillEntry(PELMIX_DEVICE_ENTRY* entry, uint32_t bus, uint32_t device, uint32_t function, uint16_t vendorId,
               uint16_t deviceId, uint32_t family)
{
    entry->Bus = bus;
    entry->Device = device;
    entry->Function = function;
    entry->VendorId = vendorId;
    entry->DeviceId = deviceId;
    entry->SubsystemVendorId = PciRead16(bus, device, function, PciSubsystemVendorId);
    entry->SubsystemId = PciRead16(bus, device, function, PciSubsystemId);
    entry->RevisionId = PciRead8(bus, device, function, PciRevisionId);
    // The list reports the low four bits cleared, the ROM BAR's too.
    entry->Bar0 = PciRead32(bus, device, function, PciBar0) & ~0xFu;
    entry->Bar1 = PciRead32(bus, device, function, PciBar1) & ~0xFu;
    entry->RomBar = PciRead32(bus, device, function, PciRomBar) & ~0xFu;
    entry->IsAgp = TestAgp(bus, device, function);
    entry->MemoryEnabled = (PciRead32(bus, device, function, PciCommand) & PciCommandMemory) ? 1 : 0;
    entry->Family = family;
}

uint32_t CopyOut(PELMIX_DEVICE_LIST* reply)
{
    const CardTableRecord& table = Driver.CardTable;
    reply->Status = table.Status;
    reply->Count = table.Count;
    for (uint32_t i = 0; i < table.Count; ++i)
        reply->Entries[i] = table.Entries[i];
    return table.Status;
}

// Scans one device; returns 0 when the ninth card stopped the scan.
int ScanDevice(uint32_t bus, uint32_t device)
{
    if (PciRead32(bus, device, 0, PciVendorId) == PciAbsent)
        return 1;
    for (uint32_t function = 0; function < 8; ++function) {
        if (PciRead32(bus, device, function, PciVendorId) == PciAbsent)
            continue;
        uint16_t vendorId = PciRead16(bus, device, function, PciVendorId);
        uint16_t deviceId = PciRead16(bus, device, function, PciDeviceId);
        uint32_t family = OrvelCardFamily(vendorId, deviceId);
        CardTableRecord& table = Driver.CardTable;
        if (family != 0) {
            if (table.Count == PELMIX_MAX_DEVICES)
                return 0;
            FillEntry(&table.Entries[table.Count], bus, device, function, vendorId, deviceId, family);
            ++table.Count;
        }
        uint8_t headerType = PciRead8(bus, device, function, PciHeaderType);
        Driver.ScannedRom = {};
        Driver.ScannedBar0 = {};
        if (function == 0)
            AccountFunction0(bus, device, headerType, family != 0);
        else if (PciHeaderLayout(headerType) == PciLayoutDevice)
            AccountAllBars(bus, device, function, family != 0);
        if (family != 0) {
            // A card the accounting does not size as a device.
            BarSizing sizing = BeginBarSizing(bus, device, function, false);
            SizeCardDecoders(&sizing);
            EndBarSizing(sizing);
            table.RomDecoderSize[table.Count - 1] = Driver.ScannedRom.Size;
            table.Bar0Size[table.Count - 1] = Driver.ScannedBar0.Size;
        }
        if (function == 0 && (headerType & PciHeaderMultiFunction) == 0)
            return 1;
        if (vendorId == Piix4VendorId && deviceId == Piix4IsaBridgeId)
            return 1;
    }
    return 1;
}

}  // namespace

uint32_t EnumerateCards(PELMIX_DEVICE_LIST* reply)
{
    CardTableRecord& table = Driver.CardTable;
    table.Count = 0;
    Driver.SlotMask = 0;
    for (uint32_t bus = 0; bus < 255; ++bus) {
        for (uint32_t device = 0; device < 32; ++device) {
            if (!ScanDevice(bus, device)) {
                // The devices after the ninth card were never looked at:
                // no slot is known to be free of them.
                Driver.TakenSlots = 0xFFFFFFFFu;
                table.Status = PELMIX_RESULT_TOO_MANY_CARDS;
                return CopyOut(reply);
            }
        }
    }
    // The top slot holds the firmware and the APICs, which no BAR shows:
    // a frame buffer moved there would decode over them.
    uint32_t taken = Driver.SlotMask | TopSlot;
    Driver.TakenSlots = taken;
    if (taken != 0xFFFFFFFFu) {
        uint32_t slot = 0;
        while (taken & (1u << slot))
            ++slot;
        Driver.RelocationAddress = RelocationBase + SlotSize * slot;
    }
    table.Status = table.Count > 0 ? PELMIX_RESULT_OK : PELMIX_RESULT_NO_CARD;
    return CopyOut(reply);
}

uint32_t FindCard(uint32_t bus, uint32_t device, uint32_t function, const PELMIX_DEVICE_ENTRY** entry)
{
    const CardTableRecord& table = Driver.CardTable;
    *entry = nullptr;
    if (table.Status == PELMIX_RESULT_NO_CARD || table.Count == 0)
        return PELMIX_RESULT_NO_CARD;
    for (uint32_t i = 0; i < table.Count; ++i) {
        const PELMIX_DEVICE_ENTRY& candidate = table.Entries[i];
        if (candidate.Bus == bus && candidate.Device == device && candidate.Function == function) {
            *entry = &candidate;
            return PELMIX_RESULT_OK;
        }
    }
    return PELMIX_RESULT_NOT_LISTED;
}

uint32_t RomDecoderSize(const PELMIX_DEVICE_ENTRY* entry)
{
    const CardTableRecord& table = Driver.CardTable;
    for (uint32_t i = 0; i < table.Count; ++i) {
        if (&table.Entries[i] == entry)
            return table.RomDecoderSize[i];
    }
    return 0;
}

uint32_t FreeRelocationAddress(const PELMIX_DEVICE_ENTRY* entry)
{
    const CardTableRecord& table = Driver.CardTable;
    uint32_t span = 0;
    for (uint32_t i = 0; i < table.Count; ++i) {
        if (&table.Entries[i] == entry)
            span = table.Bar0Size[i];
    }
    if (span == 0)
        return 0;
    // A decoder sits at a multiple of its size: a run of slots as long as
    // it spans, at a multiple of that length.
    uint32_t slots = span > SlotSize ? span / SlotSize : 1;
    if (slots >= 32)
        return 0;
    uint32_t run = (1u << slots) - 1;
    uint32_t chosen = Driver.RelocationAddress;
    if (chosen >= RelocationBase) {
        uint32_t slot = (chosen >> 26) & 31;
        if (slot % slots == 0 && slot + slots <= 32 && (Driver.TakenSlots & (run << slot)) == 0)
            return chosen;
    }
    for (uint32_t slot = 0; slot + slots <= 32; slot += slots) {
        if ((Driver.TakenSlots & (run << slot)) == 0)
            return RelocationBase + SlotSize * slot;
    }
    return 0;
}
