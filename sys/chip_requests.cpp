#include "chip_requests.h"

#include "driver_state.h"
#include "flash_chip.h"
#include "rom_access.h"

namespace {

uint32_t Finish(PELMIX_REQUEST_HEADER* header, uint32_t result)
{
    header->Status = result;
    return result;
}

uint32_t ChipSize(const RomPhaseRecord* phase)
{
    return phase->Chip->Parameters.ChipSize;
}

// Opens the phase for the record's target and identifies the chip, as every
// request does first. A phase that cannot be opened ends the request: its
// code goes into Status and *result.
bool Open(PELMIX_REQUEST_HEADER* header, RomPhaseRecord* phase, uint32_t* result)
{
    *result = BeginRomAccess(header->Bus, header->Device, header->Function, PELMIX_ROM_WINDOW_SIZE, phase);
    if (*result != PELMIX_RESULT_OK) {
        Finish(header, *result);
        return false;
    }
    IdentifyChip(phase);
    Driver.IdentifiedChipSize = ChipSize(phase);
    return true;
}

// A ROM decoder smaller than the chip shows only its lower part, the rest
// reading as erased: a backup of it would lack the rest and an erase would
// wipe it. Whole-chip requests refuse such a card as one whose ROM cannot be
// mapped, the phase closed again; page requests reach the part the decoder
// shows.
bool OpenWholeChip(PELMIX_REQUEST_HEADER* header, RomPhaseRecord* phase, uint32_t* result)
{
    if (!Open(header, phase, result))
        return false;
    if (RomDecoderSize(phase->Entry) >= ChipSize(phase))
        return true;
    EndRomAccess(phase);
    *result = Finish(header, PELMIX_RESULT_MAP_ROM);
    return false;
}

uint32_t ReachableSize(const RomPhaseRecord* phase)
{
    uint32_t decoder = RomDecoderSize(phase->Entry);
    return decoder < ChipSize(phase) ? decoder : ChipSize(phase);
}

// Page i of a page record; the pages run on past the record's declared Data.
uint8_t* PageData(PELMIX_PAGE_TRANSFER* record, uint32_t i)
{
    return reinterpret_cast<uint8_t*>(record) + PELMIX_PAGE_TRANSFER_DATA_OFFSET + PELMIX_CHIP_BLOCK_SIZE * i;
}

// Whether startOffset + 128 * pageCount lies beyond the chip, computed so
// that no sum or product can wrap.
bool BeyondChip(uint32_t startOffset, uint32_t pageCount, uint32_t chipSize)
{
    if (startOffset > chipSize)
        return true;
    return pageCount > (chipSize - startOffset) / PELMIX_CHIP_BLOCK_SIZE;
}

// A page request whose start is not on a page boundary ends before the phase.
bool OpenPages(PELMIX_PAGE_TRANSFER* record, RomPhaseRecord* phase, uint32_t* result)
{
    if (record->StartOffset % PELMIX_CHIP_BLOCK_SIZE != 0) {
        *result = Finish(&record->Header, PELMIX_RESULT_BAD_START_OFFSET);
        return false;
    }
    return Open(&record->Header, phase, result);
}

// The page requests: each page read, or programmed until one fails. A write
// on a chip erased before every write is refused unless it says the chip is
// erased; so is a range past what the decoder shows.
uint32_t TransferPages(PELMIX_PAGE_TRANSFER* record, bool write, int preErased)
{
    RomPhaseRecord phase;
    uint32_t result;
    if (!OpenPages(record, &phase, &result))
        return result;

    const uint32_t start = record->StartOffset;
    const uint32_t count = record->PageCount;
    if (write && !preErased && phase.Chip->EraseRequired) {
        result = PELMIX_RESULT_ERASE_REQUIRED;
    } else if (BeyondChip(start, count, ReachableSize(&phase))) {
        result = PELMIX_RESULT_BEYOND_CHIP;
    } else {
        int ok = 1;
        for (uint32_t i = 0; i < count && ok; ++i) {
            uint8_t* data = PageData(record, i);
            const uint32_t offset = start + PELMIX_CHIP_BLOCK_SIZE * i;
            if (write)
                ok = ProgramPage(&phase, data, offset);
            else
                ReadBlock(&phase, data, offset);
        }
        result = ok ? PELMIX_RESULT_OK : PELMIX_RESULT_PROGRAM_TIMEOUT;
    }
    EndRomAccess(&phase);
    return Finish(&record->Header, result);
}

}  // namespace

uint32_t ReadRom(PELMIX_ROM_TRANSFER* record)
{
    RomPhaseRecord phase;
    uint32_t result;
    if (!OpenWholeChip(&record->Header, &phase, &result))
        return result;

    for (uint32_t offset = 0; offset < ChipSize(&phase); offset += PELMIX_CHIP_BLOCK_SIZE)
        ReadBlock(&phase, record->Data + offset, offset);
    EndRomAccess(&phase);
    return Finish(&record->Header, PELMIX_RESULT_OK);
}

uint32_t WriteRom(PELMIX_ROM_TRANSFER* record, int preErased)
{
    RomPhaseRecord phase;
    uint32_t result;
    if (!OpenWholeChip(&record->Header, &phase, &result))
        return result;

    if (!preErased && phase.Chip->EraseRequired)
        EraseChip(&phase);
    // The first page is always attempted; a failed page ends the write there.
    int ok;
    uint32_t offset = 0;
    do {
        ok = ProgramPage(&phase, record->Data + offset, offset);
        offset += PELMIX_CHIP_BLOCK_SIZE;
    } while (offset < ChipSize(&phase) && ok);
    EndRomAccess(&phase);
    return Finish(&record->Header, ok ? PELMIX_RESULT_OK : PELMIX_RESULT_PROGRAM_TIMEOUT);
}

uint32_t ReadPages(PELMIX_PAGE_TRANSFER* record)
{
    return TransferPages(record, false, 0);
}

uint32_t WritePages(PELMIX_PAGE_TRANSFER* record, int preErased)
{
    return TransferPages(record, true, preErased);
}

uint32_t EraseRom(PELMIX_REQUEST_HEADER* record)
{
    RomPhaseRecord phase;
    uint32_t result;
    if (!OpenWholeChip(record, &phase, &result))
        return result;

    EraseChip(&phase);
    EndRomAccess(&phase);
    return Finish(record, PELMIX_RESULT_OK);
}

uint32_t QueryChip(PELMIX_CHIP_INFO* record)
{
    RomPhaseRecord phase;
    uint32_t result;
    if (!Open(&record->Header, &phase, &result))
        return result;

    record->ChipId = phase.ChipId;
    const FlashChipRow* chip = phase.Chip;
    if (chip->Name) {
        record->SizeKb = chip->Parameters.ChipSize / 1024;
        record->SectorSize = chip->SectorSize;
        record->EraseRequired = chip->EraseRequired;
        // Ten characters and the terminating NUL; the rest of the field is left alone.
        for (uint32_t i = 0; i < 11; ++i)
            record->ChipName[i] = chip->Name[i];
        result = PELMIX_RESULT_OK;
    } else {
        result = PELMIX_RESULT_UNKNOWN_CHIP;
    }
    EndRomAccess(&phase);
    return Finish(&record->Header, result);
}

uint32_t IdentifiedChipSize()
{
    return Driver.IdentifiedChipSize;
}
