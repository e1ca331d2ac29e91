#include "chip_waits.h"

#include "pelmix_ioctl.h"

namespace {

// Every identification waits 20 ms in identification mode, then the chip's
// exit wait.
const uint32_t IdentifyWaitMs = 20;
// Opening and closing the ROM access phase lets the card settle up to three
// times 67 ms, with the processors already held.
const uint32_t CardSettleMs = 3 * 67;
// Byte method: each byte is polled for at most 40 us.
const uint32_t BytePageUs = 128 * 40;

// Page method: six polls of a sixth of the chip's program wait each.
constexpr uint32_t PagePolls(uint32_t programWaitMs)
{
    return 6 * (programWaitMs / 6) * 1000;
}

const ChipWaits NamedChipWaits[] = {
    {0x08BF, 10, 0, PagePolls(10)},     // SST29LE010
    {0x351F, 20, 0, PagePolls(20)},     // AT29LE010A
    {0xD4BF, 10, 100, BytePageUs},      // SST39VF512, erased first
    {0xD5BF, 10, 100, BytePageUs},      // SST39VF010, erased first
};
// The chips it does not name (0x171F, 0x2320, 0x9FDF and any other code)
// never erase on a whole-chip write; the slowest page is a 6-ms page-method
// one, the longest exit wait 20 ms.
const ChipWaits UnnamedChipWaits = {0, 20, 0, PagePolls(10)};

}  // namespace

const ChipWaits* WaitsOfChip(uint32_t identifyStatus, uint32_t chipId)
{
    if (identifyStatus == 0) {
        for (const ChipWaits& waits : NamedChipWaits) {
            if (waits.ChipId == chipId)
                return &waits;
        }
    }
    return &UnnamedChipWaits;
}

uint32_t ReadHoldMs(const ChipWaits* waits)
{
    return CardSettleMs + IdentifyWaitMs + waits->ExitWaitMs;
}

uint32_t WriteHoldMs(const ChipWaits* waits, uint32_t chipSize)
{
    uint64_t pages = chipSize / PELMIX_PAGE_SIZE;
    return ReadHoldMs(waits) + waits->EraseMs + uint32_t((pages * waits->PageUs + 999) / 1000);
}
