// The PCI scan: which functions are listed, what each entry holds, and the
// free 64-MB slot chosen for the BAR move.
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "card_scan.h"
#include "driver_state.h"
#include "driver_harness.h"
#include "host_platform.h"
#include "pci_machine.h"

namespace {

PELMIX_DEVICE_LIST Scan(const std::string& machine, uint32_t expectedStatus)
{
    LoadMachine(machine);
    PELMIX_DEVICE_LIST list;
    RequestReply reply = Enumerate(&list);
    EXPECT_EQ(list.Status, expectedStatus);
    EXPECT_EQ(reply.Information, expectedStatus == PELMIX_RESULT_OK ? 456u : 4u);
    return list;
}

uint32_t RelocationFor(const std::string& machine)
{
    LoadMachine(machine);
    PELMIX_DEVICE_LIST list;
    Enumerate(&list);
    return Driver.RelocationAddress;
}

TEST(CardScan, EntryCarriesEveryField)
{
    PELMIX_DEVICE_LIST list = Scan("pci 0:00.0 id=8086:7190 class=0600\n"
                                   "pci 2:1f.0 id=1E5B:0A52 rev=A3 class=0300 cmd=0007 status=0010 agp "
                                   "bar0=0xE8000008/128M bar1=0xF3000000/16K rom=0xF3FE0001/128K cfg2C=0x51231A2B\n",
                                   0);
    ASSERT_EQ(list.Count, 1u);
    const PELMIX_DEVICE_ENTRY& e = list.Entries[0];
    EXPECT_EQ(e.Bus, 2u);
    EXPECT_EQ(e.Device, 0x1Fu);
    EXPECT_EQ(e.Function, 0u);
    EXPECT_EQ(e.VendorId, 0x1E5Bu);
    EXPECT_EQ(e.DeviceId, 0x0A52u);
    EXPECT_EQ(e.SubsystemVendorId, 0x1A2Bu);
    EXPECT_EQ(e.SubsystemId, 0x5123u);
    EXPECT_EQ(e.RevisionId, 0xA3u);
    EXPECT_EQ(e.Bar0, 0xE8000000u) << "type bits cleared";
    EXPECT_EQ(e.Bar1, 0xF3000000u);
    EXPECT_EQ(e.RomBar, 0xF3FE0000u) << "enable bit cleared";
    EXPECT_EQ(e.IsAgp, 1u);
    EXPECT_EQ(e.MemoryEnabled, 1u);
    EXPECT_EQ(e.Family, 2u);
}

TEST(CardScan, FamiliesComeFromTheMatchTableAndOthersAreIgnored)
{
    PELMIX_DEVICE_LIST list = Scan("pci 0:01.0 id=1E5B:0A51 cmd=0005\n"
                                   "pci 0:02.0 id=1E5B:0A53\n"
                                   "pci 0:03.0 id=1D2E:0C61\n"
                                   "pci 0:04.0 id=1D2E:0C62\n"
                                   "pci 0:05.0 id=0A51:1E5B\n"
                                   "pci 0:06.0 id=1E5B:0A52\n"
                                   // A kind the device page names but the driver does not list.
                                   "pci 0:07.0 id=1D2E:0C63\n",
                                   0);
    ASSERT_EQ(list.Count, 4u);
    const uint32_t devices[] = {1, 3, 4, 6};
    const uint32_t families[] = {1, 3, 4, 2};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(list.Entries[i].Device, devices[i]);
        EXPECT_EQ(list.Entries[i].Family, families[i]);
        EXPECT_EQ(list.Entries[i].IsAgp, 0u);
    }
    EXPECT_EQ(list.Entries[0].MemoryEnabled, 0u);
}

TEST(CardScan, FunctionsBeyondZeroNeedAPresentMultiFunctionDevice)
{
    // Function 0 empty: the device's other functions are never looked at.
    Scan("pci 0:03.1 id=1D2E:0C61\n", PELMIX_RESULT_NO_CARD);
    // Single-function device: function 1 is not scanned even though it answers.
    Scan("pci 0:03.0 id=1234:0001 class=0780\npci 0:03.1 id=1D2E:0C61\n", PELMIX_RESULT_NO_CARD);
    // Multi-function: every function is scanned, holes skipped.
    PELMIX_DEVICE_LIST list = Scan("pci 0:03.0 id=1234:0001 class=0780 header=80\n"
                                   "pci 0:03.2 id=1D2E:0C61\npci 0:03.7 id=1D2E:0C62\n",
                                   0);
    ASSERT_EQ(list.Count, 2u);
    EXPECT_EQ(list.Entries[0].Function, 2u);
    EXPECT_EQ(list.Entries[1].Function, 7u);
}

TEST(CardScan, TheListedBridgeStopsItsDevice)
{
    // After the function 8086:7110 the rest of that device is not probed.
    PELMIX_DEVICE_LIST list = Scan("pci 0:07.0 id=8086:7110 class=0601 header=80\n"
                                   "pci 0:07.1 id=1D2E:0C61\n"
                                   "pci 0:08.0 id=1234:0001 header=80\n"
                                   "pci 0:08.1 id=8086:7110\n"
                                   "pci 0:08.2 id=1D2E:0C61\n"
                                   "pci 0:09.0 id=1D2E:0C62\n",
                                   0);
    ASSERT_EQ(list.Count, 1u);
    EXPECT_EQ(list.Entries[0].Device, 9u);
}

TEST(CardScan, NinthCardStopsTheScanAndKeepsTheRelocationAddress)
{
    LoadMachine("pci 0:01.0 id=1D2E:0C61 bar0=0x80000000/64M\n");
    PELMIX_DEVICE_LIST list;
    Enumerate(&list);
    ASSERT_EQ(Driver.RelocationAddress, 0x84000000u);

    std::string nine;
    for (int i = 0; i < 9; ++i)
        nine += "pci " + std::to_string(i / 3) + ":0" + std::to_string(i % 3) + ".0 id=1E5B:0A51\n";
    SwapMachine(nine);
    RequestReply reply = Enumerate(&list);
    EXPECT_EQ(reply.SystemStatus, 0u);
    EXPECT_EQ(reply.Information, 4u) << "only Status travels back";
    EXPECT_EQ(list.Status, PELMIX_RESULT_TOO_MANY_CARDS);
    EXPECT_EQ(list.Count, 8u);
    for (uint32_t i = 0; i < 8; ++i) {
        EXPECT_EQ(list.Entries[i].Bus, i / 3);
        EXPECT_EQ(list.Entries[i].Device, i % 3);
    }
    EXPECT_EQ(Driver.RelocationAddress, 0x84000000u);
    // The eight listed cards stay reachable.
    const PELMIX_DEVICE_ENTRY* entry;
    EXPECT_EQ(FindCard(2, 1, 0, &entry), 0u);
    EXPECT_EQ(FindCard(2, 2, 0, &entry), PELMIX_RESULT_NOT_LISTED);
}

TEST(CardScan, RelocationTakesTheLowestFreeSlot)
{
    EXPECT_EQ(RelocationFor("pci 0:01.0 id=1D2E:0C61 bar0=0x40000000/64M bar1=0x7F000000/16K\n"), 0x80000000u);
    EXPECT_EQ(RelocationFor("pci 0:01.0 id=1234:0001 bar0=0x80000000/128M\n"), 0x88000000u);
    // A bridge window over 0x80000000..0xDFFFFFFF (slots 0-23) and a 256-MB
    // BAR at 0xE0000000 (slots 24-27) leave slot 28.
    EXPECT_EQ(RelocationFor("pci 0:01.0 id=8086:7191 class=0604 header=01 cfg20=0xDFF08000\n"
                            "pci 1:00.0 id=1D2E:0C61 bar0=0xE0000000/256M\n"),
              0xF0000000u);
    EXPECT_EQ(RelocationFor("pci 0:01.0 id=8086:7191 class=0604 header=01 cfg20=0xDFF08000\n"
                            "pci 1:00.0 id=1D2E:0C61 bar0=0xE0000000/64M bar2=0xE4000008/64M\n"),
              0xE8000000u);
    // The prefetchable window counts as well; an unset window marks nothing.
    EXPECT_EQ(RelocationFor("pci 0:01.0 id=8086:7191 class=0604 header=01 cfg20=0x0000FFF0 "
                            "cfg24=0x83F08001\n"),
              0x84000000u);
    // A window whose limit lies below its base marks every slot from its base up.
    EXPECT_EQ(RelocationFor("pci 0:01.0 id=1234:0001 bar0=0x80000000/64M\n"
                            "pci 0:02.0 id=8086:7191 class=0604 header=01 cfg20=0x00008800\n"),
              0x84000000u);
    // The ROM BAR's size is decoded from bit 11 up.
    EXPECT_EQ(RelocationFor("pci 0:01.0 id=1234:0001 rom=0x80000000/128K\n"), 0x84000000u);
}

// A 64-bit BAR below 4 GB decodes there as any other; one above 4 GB
// decodes none of the slots.
TEST(CardScan, SixtyFourBitBarsBelowFourGigabytesTakeTheirSlots)
{
    EXPECT_EQ(RelocationFor("pci 0:03.0 id=10EC:8139 class=0200 bar0=0x8000000C/64M\n"), 0x84000000u);
    EXPECT_EQ(RelocationFor("pci 0:03.0 id=10EC:8139 class=0200 bar0=0x80000004/128M\n"
                            "pci 0:04.0 id=1234:0001 bar4=0x8800000C/64M\n"),
              0x8C000000u);
    EXPECT_EQ(RelocationFor("pci 0:03.0 id=10EC:8139 class=0200 bar0=0x8000000C/64M cfg14=0x00000001\n"), 0x80000000u);
    // A host bridge's 64-bit aperture, whose upper half is BAR 0x14.
    EXPECT_EQ(RelocationFor("pci 0:00.0 id=8086:7190 class=0600 bar0=0x8000000C/64M cfg14=0x00000002\n"), 0x80000000u);
}

TEST(CardScan, EveryTakenSlotKeepsThePreviousAddress)
{
    LoadMachine("pci 0:01.0 id=1234:0001 bar0=0x80000000/64M\n");
    PELMIX_DEVICE_LIST list;
    Enumerate(&list);
    ASSERT_EQ(Driver.RelocationAddress, 0x84000000u);
    SwapMachine("pci 0:01.0 id=8086:7191 class=0604 header=01 cfg20=0xFFF08000\n");
    Enumerate(&list);
    EXPECT_EQ(Driver.RelocationAddress, 0x84000000u);
}

// The top 64 MB hold the firmware and the APICs, which no BAR shows: with
// every slot below them taken the previous address stays.
TEST(CardScan, TheTopSlotIsNeverChosen)
{
    LoadMachine("pci 0:01.0 id=1234:0001 bar0=0x80000000/64M\n");
    PELMIX_DEVICE_LIST list;
    Enumerate(&list);
    ASSERT_EQ(Driver.RelocationAddress, 0x84000000u);
    SwapMachine("pci 0:01.0 id=8086:7191 class=0604 header=01 cfg20=0xFBF08000\n");
    Enumerate(&list);
    EXPECT_EQ(Driver.RelocationAddress, 0x84000000u) << "slots 0 to 30 taken";
    // One slot below the top free: that one is chosen.
    SwapMachine("pci 0:01.0 id=8086:7191 class=0604 header=01 cfg20=0xF7F08000\n");
    Enumerate(&list);
    EXPECT_EQ(Driver.RelocationAddress, 0xF8000000u);
}

TEST(CardScan, OnlyMemoryBarsAtOrAboveTwoGigabytesAreProbed)
{
    LoadMachine("pci 0:01.0 id=1D2E:0C61 bar0=0xC0000000/64M bar1=0x7E000000/16K bar2=0xC8000004/64M "
                "bar4=0x0000E001/256 rom=0xC4000000/128K\n"
                "pci 0:02.0 id=8086:7190 class=0600 bar0=0xD0000008/64M bar1=0xD8000000/64M\n"
                "pci 0:03.0 id=1234:0001 bar0=0xC000000C/64M cfg14=0x00000001\n");
    PELMIX_DEVICE_LIST list;
    Enumerate(&list);
    EXPECT_EQ(EmuConfigWriteCount(0, 1, 0, 0x10), 2u) << "all ones, then the value back";
    EXPECT_EQ(EmuConfigWriteCount(0, 1, 0, 0x30), 2u);
    EXPECT_EQ(EmuConfigWriteCount(0, 1, 0, 0x14), 0u) << "below 2 GB";
    EXPECT_EQ(EmuConfigWriteCount(0, 1, 0, 0x18), 2u) << "64-bit BAR below 4 GB";
    EXPECT_EQ(EmuConfigWriteCount(0, 1, 0, 0x1C), 0u) << "its upper half";
    EXPECT_EQ(EmuConfigWriteCount(0, 1, 0, 0x20), 0u) << "I/O BAR";
    EXPECT_EQ(EmuConfigWriteCount(0, 2, 0, 0x10), 0u) << "host bridge: decoding stays on, so never probed";
    EXPECT_EQ(EmuConfigWriteCount(0, 2, 0, 0x14), 0u);
    EXPECT_EQ(EmuConfigWriteCount(0, 3, 0, 0x10), 0u) << "64-bit BAR above 4 GB";
    EXPECT_EQ(EmuConfigWriteCount(0, 3, 0, 0x14), 0u);
    EXPECT_EQ(EmuPeekConfig32(0, 1, 0, 0x10), 0xC0000000u) << "probed BAR restored";
    EXPECT_EQ(EmuPeekConfig32(0, 1, 0, 0x30), 0xC4000000u);
}

TEST(CardScan, AgpNeedsStatusBitRegisterAndCapability)
{
    EXPECT_EQ(Scan("pci 0:01.0 id=1D2E:0C61 agp\n", PELMIX_RESULT_OK).Entries[0].IsAgp, 1u);
    // A capability list without the AGP entry.
    EXPECT_EQ(Scan("pci 0:01.0 id=1D2E:0C61 status=0010 cfg44=0x1 cfg34=0x50 cfg50=0x00000001\n", PELMIX_RESULT_OK)
                  .Entries[0]
                  .IsAgp,
              0u);
    // The AGP entry second in the list.
    EXPECT_EQ(Scan("pci 0:01.0 id=1D2E:0C61 status=0010 cfg44=0x1 cfg34=0x50 cfg50=0x00006001 "
                   "cfg60=0x00000002\n",
                   0)
                  .Entries[0]
                  .IsAgp,
              1u);
    // Register 0x44 with bits 0..3 clear, or no capabilities bit: not AGP.
    EXPECT_EQ(Scan("pci 0:01.0 id=1D2E:0C61 status=0010 cfg44=0x10 cfg34=0x50 cfg50=0x00000002\n", PELMIX_RESULT_OK)
                  .Entries[0]
                  .IsAgp,
              0u);
    EXPECT_EQ(
        Scan("pci 0:01.0 id=1D2E:0C61 cfg44=0x1 cfg34=0x50 cfg50=0x00000002\n", PELMIX_RESULT_OK).Entries[0].IsAgp, 0u);
}

TEST(CardScan, CyclicCapabilityListEnds)
{
    EXPECT_EQ(Scan("pci 0:01.0 id=1D2E:0C61 status=0010 cfg44=0x1 cfg34=0x50 cfg50=0x00006009 "
                   "cfg60=0x00005009\n",
                   0)
                  .Entries[0]
                  .IsAgp,
              0u);
    EXPECT_EQ(Scan("pci 0:01.0 id=1D2E:0C61 status=0010 cfg44=0x1 cfg34=0x50 cfg50=0x00005009\n", PELMIX_RESULT_OK)
                  .Entries[0]
                  .IsAgp,
              0u);
}

TEST(CardScan, CapabilityWalkFollowsAChainAsLongAsConfigurationSpaceAllows)
{
    // 2-byte entries from 0x40 on, each pointing at the next; the AGP entry
    // is the 60th (at 0xB6).
    std::string line = "pci 0:01.0 id=1D2E:0C61 status=0010 cfg34=0x40";
    for (uint32_t dword = 0x40; dword < 0xC0; dword += 4) {
        uint32_t value = 0;
        for (uint32_t entry = dword; entry < dword + 4; entry += 2) {
            uint32_t id = entry == 0xB6 ? 2 : 9;
            value |= (id | ((entry + 2) << 8)) << (8 * (entry - dword));
        }
        if (dword == 0x44)
            value |= 1;  // register 0x44 bits 0..3 must not all be zero
        char key[32];
        snprintf(key, sizeof key, " cfg%02X=0x%08X", dword, value);
        line += key;
    }
    EXPECT_EQ(Scan(line + "\n", PELMIX_RESULT_OK).Entries[0].IsAgp, 1u);
}

// Configuration writes of the scan, as the emulated machine traces them.
std::vector<std::string> ScanWrites(const std::string& machine)
{
    std::vector<std::string> writes;
    LoadMachine(machine);
    EmuSetTraceSink(
        [](const char* line, void* context) { static_cast<std::vector<std::string>*>(context)->push_back(line); },
        &writes);
    PELMIX_DEVICE_LIST list;
    Enumerate(&list);
    EmuSetTraceSink(nullptr, nullptr);
    for (std::string& write : writes)
        write = write.substr(0, write.find(" (was"));
    return writes;
}

TEST(CardScan, BarsAreSizedWithMemoryDecodingOff)
{
    std::vector<std::string> writes =
        ScanWrites("pci 0:01.0 id=1D2E:0C61 cmd=0007 bar0=0xC0000000/64M bar1=0xC4000000/16K\n");
    EXPECT_EQ(writes,
              std::vector<std::string>({
                  "config 0:01.0 0x04 <- 0x00000005",
                  "config 0:01.0 0x10 <- 0xFFFFFFFF",
                  "config 0:01.0 0x10 <- 0xC0000000",
                  "config 0:01.0 0x14 <- 0xFFFFFFFF",
                  "config 0:01.0 0x14 <- 0xC4000000",
                  "config 0:01.0 0x30 <- 0xFFFFFFFF",  // a card's ROM decoder, wherever it lies
                  "config 0:01.0 0x30 <- 0x00000000",
                  "config 0:01.0 0x04 <- 0x00000007",
              }));
    EXPECT_EQ(EmuPeekConfig32(0, 1, 0, 0x04) & 0xFFFF, 0x0007u);

    // Decoding already off, or nothing to size: the command register is left alone.
    writes = ScanWrites("pci 0:01.0 id=1D2E:0C61 cmd=0005 bar0=0xC0000000/64M\n"
                        "pci 0:02.0 id=1234:0001 cmd=0007 bar0=0x40000000/64M\n");
    EXPECT_EQ(writes,
              std::vector<std::string>({
                  "config 0:01.0 0x10 <- 0xFFFFFFFF",
                  "config 0:01.0 0x10 <- 0xC0000000",
                  "config 0:01.0 0x30 <- 0xFFFFFFFF",
                  "config 0:01.0 0x30 <- 0x00000000",
              }));

    // A host bridge keeps decoding: its BAR is never probed.
    writes = ScanWrites("pci 0:00.0 id=8086:7190 class=0600 cmd=0006 bar0=0xF8000008/64M\n");
    EXPECT_EQ(writes, std::vector<std::string>());
}

// A function whose memory decoding will not go off is never probed: the
// all-ones write would move its live decoder over the firmware while the
// other processors run. Each of its BARs counts as taken over the most its
// base's alignment allows, and a card among them has no known ROM decoder.
TEST(CardScan, ADecoderThatStaysOnIsCountedUnsized)
{
    std::vector<std::string> writes = ScanWrites("pci 0:01.0 id=1234:0001 bar0=0x80000000/128M\n"
                                                 "pci 0:02.0 id=1234:0002 cmd=0006 bar0=0x88000000/64M\n"
                                                 "fault decoding-stuck-on 0:02.0\n");
    EXPECT_EQ(Driver.RelocationAddress, 0x90000000u) << "0x88000000 may span 128 MB";
    EXPECT_EQ(writes,
              std::vector<std::string>({
                  "config 0:01.0 0x04 <- 0x00000004",
                  "config 0:01.0 0x10 <- 0xFFFFFFFF",
                  "config 0:01.0 0x10 <- 0x80000000",
                  "config 0:01.0 0x04 <- 0x00000006",
                  "config 0:02.0 0x04 <- 0x00000004",  // reads back 0x0006
                  "config 0:02.0 0x04 <- 0x00000006",
              }));
    EXPECT_EQ(EmuBarProbeCount(), 1u);

    // The same card with its decoding stuck on: listed, but its ROM decoder
    // is not sized, so no chip request reaches it.
    LoadMachine("pci 1:00.0 id=1E5B:0A52 bar0=0xD0000000/64M bar1=0xD4000000/16K rom=0xD5000000/128K flash=D5BF\n"
                "fault decoding-stuck-on 1:00.0\n");
    PELMIX_DEVICE_LIST list;
    Enumerate(&list);
    ASSERT_EQ(list.Count, 1u);
    EXPECT_EQ(EmuBarProbeCount(), 0u);
    const PELMIX_DEVICE_ENTRY* entry = nullptr;
    ASSERT_EQ(FindCard(1, 0, 0, &entry), 0u);
    EXPECT_EQ(RomDecoderSize(entry), 0u);
}

// Every BAR is sized with interrupts masked on the scanning processor for its
// all-ones write, read-back and restore, and for nothing else.
TEST(CardScan, EachBarProbeAloneRunsWithInterruptsMasked)
{
    std::vector<std::string> writes;
    LoadMachine("pci 0:00.0 id=8086:7190 class=0600 cmd=0006 bar0=0xF8000008/64M\n"
                "pci 0:01.0 id=1D2E:0C61 cmd=0007 bar0=0xC0000000/64M bar1=0xC4000000/16K\n"
                "pci 0:02.0 id=1234:0001 cmd=0007 bar0=0xE0000000/64M\n");
    EmuSetTraceSink(
        [](const char* line, void* context) {
            std::string write = line;
            write = write.substr(0, write.find(" (was")) + (HostInterruptsMasked() ? " masked" : "");
            static_cast<std::vector<std::string>*>(context)->push_back(write);
        },
        &writes);
    uint32_t masksBefore = HostInterruptMasks();
    uint32_t misusesBefore = HostMisuseCount();
    PELMIX_DEVICE_LIST list;
    Enumerate(&list);
    EmuSetTraceSink(nullptr, nullptr);
    EXPECT_EQ(writes,
              std::vector<std::string>({
                  "config 0:01.0 0x04 <- 0x00000005",
                  "config 0:01.0 0x10 <- 0xFFFFFFFF masked",
                  "config 0:01.0 0x10 <- 0xC0000000 masked",
                  "config 0:01.0 0x14 <- 0xFFFFFFFF masked",
                  "config 0:01.0 0x14 <- 0xC4000000 masked",
                  "config 0:01.0 0x30 <- 0xFFFFFFFF masked",
                  "config 0:01.0 0x30 <- 0x00000000 masked",
                  "config 0:01.0 0x04 <- 0x00000007",
                  "config 0:02.0 0x04 <- 0x00000005",
                  "config 0:02.0 0x10 <- 0xFFFFFFFF masked",
                  "config 0:02.0 0x10 <- 0xE0000000 masked",
                  "config 0:02.0 0x04 <- 0x00000007",
              }));
    EXPECT_EQ(EmuBarProbeCount(), 4u) << "the host bridge, whose decoding stays on, is not probed";
    EXPECT_EQ(EmuUnmaskedBarProbeCount(), 0u) << "masked from each all-ones write to its restore, read-back included";
    EXPECT_EQ(EmuOpenBarProbes(), 0u);
    EXPECT_EQ(HostInterruptMasks() - masksBefore, 4u) << "one mask per probe";
    EXPECT_EQ(HostInterruptsMasked(), 0) << "enabled again after the scan";
    EXPECT_EQ(HostMisuseCount(), misusesBefore);
    EXPECT_EQ(list.Count, 1u);
}

TEST(CardScan, FindCardNeedsAListedTarget)
{
    LoadMachine("pci 3:04.1 id=1D2E:0C61 header=80\npci 3:04.0 id=1234:0001 header=80\n");
    const PELMIX_DEVICE_ENTRY* entry = nullptr;
    EXPECT_EQ(FindCard(3, 4, 1, &entry), PELMIX_RESULT_NO_CARD) << "before any scan";
    PELMIX_DEVICE_LIST list;
    Enumerate(&list);
    EXPECT_EQ(FindCard(3, 4, 1, &entry), 0u);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->Family, 3u);
    EXPECT_EQ(FindCard(3, 4, 0, &entry), PELMIX_RESULT_NOT_LISTED);
    EXPECT_EQ(entry, nullptr);
}

}  // namespace
