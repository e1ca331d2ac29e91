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

// Opens the phase for the record's target. A phase that cannot be opened
// ends the request: its code goes into Status and *result.
bool Open(PELMIX_REQUEST_HEADER* header, RomPhaseRecord* phase, uint32_t* result)
{
    *result = BeginRomAccess(header->Bus, header->Device, header->Function, PELMIX_ROM_WINDOW_SIZE, phase);
    if (*result == PELMIX_RESULT_OK)
        return true;
    Finish(header, *result);
    return false;
}

// A ROM decoder smaller than the chip shows only its lower part, the rest
// reading as erased: a backup of it would lack the rest and an erase would
// wipe it. Whole-chip requests refuse such a card as one whose ROM cannot be
// mapped; page requests reach the part the decoder shows.
bool DecoderCoversChip(const RomPhaseRecord* phase)
{
    return RomDecoderSize(phase->Entry) >= Driver.ChipParameters.ChipSize;
}

uint32_t ReachableSize(const RomPhaseRecord* phase)
{
    uint32_t decoder = RomDecoderSize(phase->Entry);
    return decoder < Driver.ChipParameters.ChipSize ? decoder : Driver.ChipParameters.ChipSize;
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

}  // namespace

uint32_t ReadRom(PELMIX_ROM_TRANSFER* record)
{
    RomPhaseRecord phase;
    uint32_t result;
    if (!Open(&record->Header, &phase, &result))
        return result;

    IdentifyChip(&phase);
    if (!DecoderCoversChip(&phase)) {
        EndRomAccess(&phase);
        return Finish(&record->Header, PELMIX_RESULT_MAP_ROM);
    }
    for (uint32_t offset = 0; offset < Driver.ChipParameters.ChipSize; offset += PELMIX_CHIP_BLOCK_SIZE)
        ReadBlock(&phase, record->Data + offset, offset);
    EndRomAccess(&phase);
    return Finish(&record->Header, PELMIX_RESULT_OK);
}

uint32_t WriteRom(PELMIX_ROM_TRANSFER* record, int preErased)
{
    RomPhaseRecord phase;
    uint32_t result;
    if (!Open(&record->Header, &phase, &result))
        return result;

    uint32_t chipId = IdentifyChip(&phase);
    if (!DecoderCoversChip(&phase)) {
        EndRomAccess(&phase);
        return Finish(&record->Header, PELMIX_RESULT_MAP_ROM);
    }
    if (!preErased && FindChipRow(chipId)->EraseRequired)
        EraseChip(&phase);
    // The first page is always attempted; a failed page ends the write there.
    int ok;
    uint32_t offset = 0;
    do {
        ok = ProgramPage(&phase, record->Data + offset, offset, chipId);
        offset += PELMIX_CHIP_BLOCK_SIZE;
    } while (offset < Driver.ChipParameters.ChipSize && ok);
    EndRomAccess(&phase);
    return Finish(&record->Header, ok ? PELMIX_RESULT_OK : PELMIX_RESULT_PROGRAM_TIMEOUT);
}

uint32_t ReadPages(PELMIX_PAGE_TRANSFER* record)
{
    RomPhaseRecord phase;
    uint32_t result;
    if (!OpenPages(record, &phase, &result))
        return result;

    IdentifyChip(&phase);
    const uint32_t start = record->StartOffset;
    const uint32_t count = record->PageCount;
    if (BeyondChip(start, count, ReachableSize(&phase))) {
        result = PELMIX_RESULT_BEYOND_CHIP;
    } else {
        for (uint32_t i = 0; i < count; ++i)
            ReadBlock(&phase, PageData(record, i), start + PELMIX_CHIP_BLOCK_SIZE * i);
        result = PELMIX_RESULT_OK;
    }
    EndRomAccess(&phase);
    return Finish(&record->Header, result);
}

uint32_t WritePages(PELMIX_PAGE_TRANSFER* record, int preErased)
{
    RomPhaseRecord phase;
    uint32_t result;
    if (!OpenPages(record, &phase, &result))
        return result;

    uint32_t chipId = IdentifyChip(&phase);
    const uint32_t start = record->StartOffset;
    const uint32_t count = record->PageCount;
    if (!preErased && FindChipRow(chipId)->EraseRequired) {
        result = PELMIX_RESULT_ERASE_REQUIRED;
    } else if (BeyondChip(start, count, ReachableSize(&phase))) {
        result = PELMIX_RESULT_BEYOND_CHIP;
    } else {
        int ok = 1;
        for (uint32_t i = 0; i < count && ok; ++i)
            ok = ProgramPage(&phase, PageData(record, i), start + PELMIX_CHIP_BLOCK_SIZE * i, chipId);
        result = ok ? PELMIX_RESULT_OK : PELMIX_RESULT_PROGRAM_TIMEOUT;
    }
    EndRomAccess(&phase);
    return Finish(&record->Header, result);
}

uint32_t EraseRom(PELMIX_REQUEST_HEADER* record)
{
    RomPhaseRecord phase;
    uint32_t result;
    if (!Open(record, &phase, &result))
        return result;

    IdentifyChip(&phase);
    result = PELMIX_RESULT_MAP_ROM;
    if (DecoderCoversChip(&phase)) {
        EraseChip(&phase);
        result = PELMIX_RESULT_OK;
    }
    EndRomAccess(&phase);
    return Finish(record, result);
}

uint32_t QueryChip(PELMIX_CHIP_INFO* record)
{
    RomPhaseRecord phase;
    uint32_t result;
    if (!Open(&record->Header, &phase, &result))
        return result;

    uint32_t chipId = IdentifyChip(&phase);
    record->ChipId = chipId;
    const FlashChipRow* named = FindNamedChip(chipId);
    if (named) {
        record->SizeKb = named->Parameters.ChipSize / 1024;
        record->SectorSize = named->SectorSize;
        record->EraseRequired = named->EraseRequired;
        // Ten characters and the terminating NUL; the rest of the field is left alone.
        for (uint32_t i = 0; i < 11; ++i)
            record->ChipName[i] = named->Name[i];
        result = PELMIX_RESULT_OK;
    } else {
        result = PELMIX_RESULT_UNKNOWN_CHIP;
    }
    EndRomAccess(&phase);
    return Finish(&record->Header, result);
}

uint32_t IdentifiedChipSize()
{
    return Driver.ChipParameters.ChipSize;
}
