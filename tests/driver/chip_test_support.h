// Shared pieces of the processor hold, ROM access phase and chip request
// tests: machines with one Orvel card, requests aimed at it, and a snapshot
// of everything a request must leave as it found it.
#ifndef PELMIX_TESTS_CHIP_TEST_SUPPORT_H
#define PELMIX_TESTS_CHIP_TEST_SUPPORT_H

#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "driver_harness.h"
#include "driver_state.h"
#include "host_platform.h"
#include "pci_machine.h"
#include "pelmix_ioctl.h"

namespace chiptest {

// The card under test always sits at 1:00.0.
const uint32_t CardBus = 1, CardDevice = 0, CardFunction = 0;

inline const char* CardId(uint32_t family)
{
    switch (family) {
    case 1: return "1E5B:0A51";
    case 2: return "1E5B:0A52";
    case 3: return "1D2E:0C61";
    default: return "1D2E:0C62";
    }
}

// One card of the family with the chip, plus extra machine lines.
inline std::string CardMachine(uint32_t family, const std::string& flash, const std::string& cardKeys = "",
                               const std::string& extraLines = "")
{
    std::string window = family == 1 ? "8K" : "16K";
    return "cpus 2\n"
           "pci 1:00.0 id=" +
        std::string(CardId(family)) + " bar0=0xD0000000/64M bar1=0xD4000000/" + window +
        " rom=0xD5000000/128K flash=" + flash + " " + cardKeys + "\n" + extraLines;
}

// A fresh platform and driver on the machine, enumerated.
inline void StartOn(const std::string& machine)
{
    HostResetPlatform();
    LoadMachine(machine);
    PELMIX_DEVICE_LIST list;
    RequestReply reply = Enumerate(&list);
    ASSERT_EQ(reply.SystemStatus, 0u);
    ASSERT_EQ(list.Status, PELMIX_RESULT_OK);
    EmuClearChipCommands();
    HostClearDelayLog();
}

// Joins the holding threads of the test, so none outlives the program.
struct ChipTest : ::testing::Test {
    void TearDown() override { HostResetPlatform(); }
};

// Registers the card access sets touch.
const uint32_t AccessSetRegisters[] = {0x00, 0x04, 0x08, 0x0C, 0x80, 0x147C, 0x1480};

struct CardSnapshot {
    uint32_t Config[64];
    uint32_t Registers[sizeof AccessSetRegisters / sizeof AccessSetRegisters[0]];
};

inline CardSnapshot TakeSnapshot()
{
    CardSnapshot snapshot;
    for (uint32_t i = 0; i < 64; ++i)
        snapshot.Config[i] = EmuPeekConfig32(CardBus, CardDevice, CardFunction, 4 * i);
    for (uint32_t i = 0; i < sizeof AccessSetRegisters / sizeof AccessSetRegisters[0]; ++i) {
        snapshot.Registers[i] = 0xDEAD;
        EmuCardRegister(CardBus, CardDevice, CardFunction, AccessSetRegisters[i], &snapshot.Registers[i]);
    }
    return snapshot;
}

// The card as before, no processor held, no window mapped, the caller back
// at PASSIVE_LEVEL with its priority, and no misuse of the platform.
inline void ExpectLeftAsFound(const CardSnapshot& before)
{
    CardSnapshot after = TakeSnapshot();
    for (uint32_t i = 0; i < 64; ++i)
        EXPECT_EQ(after.Config[i], before.Config[i]) << "configuration register 0x" << std::hex << 4 * i;
    for (uint32_t i = 0; i < sizeof AccessSetRegisters / sizeof AccessSetRegisters[0]; ++i)
        EXPECT_EQ(after.Registers[i], before.Registers[i]) << "card register 0x" << std::hex << AccessSetRegisters[i];
    EXPECT_EQ(HostOpenMappings(), 0u);
    EXPECT_EQ(HostCurrentIrql(), 0);
    EXPECT_EQ(HostCurrentPriority(), 8);
    EXPECT_EQ(HostWaitForHoldingThreads(5000), 1) << "a holding thread still runs";
    EXPECT_EQ(HostMisuseCount(), 0u) << HostFirstMisuse();
    EXPECT_EQ(EmuChipIdle(CardBus, CardDevice, CardFunction), 1) << "chip left in a command state";
}

// ---- Requests aimed at the card

inline PELMIX_REQUEST_HEADER CardHeader()
{
    return Target(CardBus, CardDevice, CardFunction);
}

struct RomRequest {
    std::vector<uint8_t> Buffer = std::vector<uint8_t>(sizeof(PELMIX_ROM_TRANSFER));
    PELMIX_ROM_TRANSFER* Record() { return reinterpret_cast<PELMIX_ROM_TRANSFER*>(Buffer.data()); }
};

inline RequestReply SendRom(uint32_t code, RomRequest* request)
{
    request->Record()->Header = CardHeader();
    uint32_t length = sizeof(PELMIX_ROM_TRANSFER);
    return SendRequest(code, request->Buffer.data(), length, length);
}

struct PageRequest {
    std::vector<uint8_t> Buffer;
    PageRequest(uint32_t startOffset, uint32_t pageCount) : Buffer(PELMIX_PAGE_BUFFER_LENGTH(pageCount))
    {
        PELMIX_PAGE_TRANSFER* record = Record();
        record->Header = CardHeader();
        record->StartOffset = startOffset;
        record->PageCount = pageCount;
    }
    PELMIX_PAGE_TRANSFER* Record() { return reinterpret_cast<PELMIX_PAGE_TRANSFER*>(Buffer.data()); }
    uint8_t* Page(uint32_t i) { return Buffer.data() + PELMIX_PAGE_TRANSFER_DATA_OFFSET + 128 * i; }
    uint32_t Status() const
    {
        uint32_t status;
        memcpy(&status, Buffer.data(), 4);
        return status;
    }
};

inline RequestReply SendPages(uint32_t code, PageRequest* request)
{
    uint32_t length = static_cast<uint32_t>(request->Buffer.size());
    return SendRequest(code, request->Buffer.data(), length, length);
}

inline RequestReply SendErase(PELMIX_REQUEST_HEADER* header)
{
    *header = CardHeader();
    return SendRequest(IOCTL_PELMIX_ERASE_CHIP, header, sizeof *header, sizeof *header);
}

inline RequestReply SendIdentify(PELMIX_CHIP_INFO* info)
{
    memset(info, 0xA5, sizeof *info);
    info->Header = CardHeader();
    return SendRequest(IOCTL_PELMIX_IDENTIFY_CHIP, info, sizeof *info, sizeof *info);
}

// ---- Chip contents and what the driver did

inline std::vector<uint8_t> ChipBytes(uint32_t offset, uint32_t count)
{
    std::vector<uint8_t> bytes(count);
    EXPECT_EQ(EmuChipPeek(CardBus, CardDevice, CardFunction, offset, bytes.data(), count), 1);
    return bytes;
}

inline void FillChip(uint8_t value)
{
    std::vector<uint8_t> bytes(EmuChipSize(CardBus, CardDevice, CardFunction), value);
    ASSERT_EQ(EmuChipPoke(CardBus, CardDevice, CardFunction, 0, bytes.data(), static_cast<uint32_t>(bytes.size())), 1);
}

// A pattern that differs from page to page and never reads 0xFF throughout.
inline uint8_t PatternByte(uint32_t offset)
{
    return static_cast<uint8_t>((offset * 7 + (offset >> 7) * 13) ^ 0x5A);
}

inline std::vector<HostDelay> Delays()
{
    std::vector<HostDelay> delays;
    HostDelay delay;
    for (uint32_t i = 0; HostDelayAt(i, &delay); ++i)
        delays.push_back(delay);
    return delays;
}

// The delays as "sleep N" / "stall N" words, for readable comparisons.
inline std::vector<std::string> DelayWords()
{
    std::vector<std::string> words;
    for (const HostDelay& delay : Delays())
        words.push_back((delay.Kind == HostDelaySleep ? "sleep " : "stall ") + std::to_string(delay.Amount));
    return words;
}

inline std::vector<EmuChipCommand> ChipCommands()
{
    std::vector<EmuChipCommand> commands;
    EmuChipCommand command;
    for (uint32_t i = 0; EmuChipCommandAt(i, &command); ++i)
        commands.push_back(command);
    return commands;
}

}  // namespace chiptest

#endif
