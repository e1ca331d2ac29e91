#include "flash_chip_table.h"

#include "jedec_flash.h"

namespace {

const uint32_t A1 = JedecCommandAddress1, A2 = JedecCommandAddress2;

}  // namespace

// The parts the driver knows. Parameters: program wait, erase wait (ms),
// command addresses, size in bytes.
// One row per part, its fields in columns.
// clang-format off
const FlashChipRow ChipRows[] = {
    // id    name          sector erase  parameters                          exit  method
    {0x08BF, "SST29LE010", 0,     0,     {10, 100, A1, A2, 0x20000},         10,   ByPage},
    {0x351F, "AT29LE010A", 0,     0,     {20, 20, A1, A2, 0x20000},          20,   ByPage},
    {0xD4BF, "SST39VF512", 4096,  1,     {10, 100, A1, A2, 0x10000},         10,   ByBytes},
    {0xD5BF, "SST39VF010", 4096,  1,     {10, 100, A1, A2, 0x20000},         10,   ByBytes},
    {0x171F, nullptr,      0,     0,     {20, 20, A1, A2, 0x20000},          20,   ByBytes},
    {0x2320, nullptr,      0,     0,     {0, 1500, 0x555, 0x2AA, 0x20000},   1,    ByBytes},
    {0x9FDF, nullptr,      0,     0,     {10, 100, A1, A2, 0x20000},         10,   ByBytes},
};
// clang-format on
const uint32_t ChipRowCount = sizeof ChipRows / sizeof ChipRows[0];
const FlashChipRow UnknownChipRow = {0, nullptr, 0, 0, {10, 100, A1, A2, 0x20000}, 10, ByPage};

const FlashChipRow* FindChipRow(uint32_t chipId)
{
    for (const FlashChipRow& row : ChipRows) {
        if (row.ChipId == chipId)
            return &row;
    }
    return &UnknownChipRow;
}
