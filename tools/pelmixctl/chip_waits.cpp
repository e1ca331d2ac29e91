#include "chip_waits.h"

#include "flash_chip_table.h"
#include "pelmix_ioctl.h"

namespace {

// Opening and closing the ROM access phase lets the card settle, with the
// processors already held.
const uint32_t PhaseSettleMs = CardSettlesPerPhase * CardSettleMs;
// Byte method: each byte is polled for at most its budget.
const uint32_t BytePageUs = PELMIX_PAGE_SIZE * ByteBudgetUs;

// Page method: every poll waits its share of the chip's program wait.
uint32_t PageUs(const FlashChipRow& row)
{
    if (row.Method == ByBytes)
        return BytePageUs;
    return PagePolls * (row.Parameters.ProgramWaitMs / PagePolls) * 1000;
}

ChipWaits WaitsOfRow(const FlashChipRow& row)
{
    ChipWaits waits = {row.ChipId, row.ExitWaitMs, row.EraseRequired ? row.Parameters.EraseWaitMs : 0, PageUs(row)};
    return waits;
}

// The longest of every wait a part might make.
void TakeLonger(ChipWaits* waits, const ChipWaits& other)
{
    if (other.ExitWaitMs > waits->ExitWaitMs)
        waits->ExitWaitMs = other.ExitWaitMs;
    if (other.EraseMs > waits->EraseMs)
        waits->EraseMs = other.EraseMs;
    if (other.PageUs > waits->PageUs)
        waits->PageUs = other.PageUs;
}

ChipWaits Chosen;

}  // namespace

const ChipWaits* WaitsOfChip(uint32_t identifyStatus, uint32_t chipId)
{
    if (identifyStatus == PELMIX_RESULT_OK) {
        Chosen = WaitsOfRow(*FindChipRow(chipId));
        return &Chosen;
    }
    // The identification named no part, so the driver used the row of one
    // it does not name: any of them.
    Chosen = WaitsOfRow(UnknownChipRow);
    for (uint32_t i = 0; i < ChipRowCount; ++i) {
        if (!ChipRows[i].Name)
            TakeLonger(&Chosen, WaitsOfRow(ChipRows[i]));
    }
    Chosen.ChipId = 0;
    return &Chosen;
}

uint32_t ReadHoldMs(const ChipWaits* waits)
{
    return PhaseSettleMs + ChipIdentifyWaitMs + waits->ExitWaitMs;
}

uint32_t WriteHoldMs(const ChipWaits* waits, uint32_t chipSize)
{
    uint64_t pages = chipSize / PELMIX_PAGE_SIZE;
    return ReadHoldMs(waits) + waits->EraseMs + uint32_t((pages * waits->PageUs + 999) / 1000);
}
