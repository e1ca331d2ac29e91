#include "flash_models.h"

#include "emu_text.h"
#include "jedec_flash.h"

// Completion times on the virtual clock. Each is inside what the driver's
// waits allow for that code, so a correct driver always succeeds and a driver
// that waits too little does not. The driver allows a byte 20..40 us; a page
// six polls of 3 ms (351F) or 1 ms (08BF, noid); a chip erase 20 ms (351F,
// 171F), 1500 ms (2320) or 100 ms (the others).
//
// Parts that only clear bits must be erased first. Page parts erase the page
// themselves: bytes of the page that were not loaded read 0xFF afterwards.
// The 0x2320 part decodes only address bits 0..10, so 0x5555/0x2AAA reach it
// as 0x555/0x2AA.
namespace {

const uint32_t Id = EmuFlashAnswersId, Pages = EmuFlashPageLoad, ClearsOnly = EmuFlashClearsOnly,
               Sectors = EmuFlashSectors;
const uint32_t A1 = JedecCommandAddress1, A2 = JedecCommandAddress2;

// One row per part, its fields in columns.
// clang-format off
const EmuFlashModel FlashModels[] = {
    // key   code    traits                       size     mask    commands      byte  page   chip     sector
    {"351F", 0x351F, Id | Pages,                  0x20000, 0x7FFF, A1, A2,       {0,   10000, 10000,   0}},
    {"171F", 0x171F, Id,                          0x20000, 0x7FFF, A1, A2,       {12,  0,     15000,   0}},
    {"2320", 0x2320, Id,                          0x20000, 0x07FF, 0x555, 0x2AA, {16,  0,     1000000, 0}},
    {"D4BF", 0xD4BF, Id | ClearsOnly | Sectors,   0x10000, 0x7FFF, A1, A2,       {14,  0,     70000,   18000}},
    {"D5BF", 0xD5BF, Id | ClearsOnly | Sectors,   0x20000, 0x7FFF, A1, A2,       {14,  0,     70000,   18000}},
    {"9FDF", 0x9FDF, Id,                          0x20000, 0x7FFF, A1, A2,       {10,  0,     80000,   0}},
    {"08BF", 0x08BF, Id | Pages,                  0x20000, 0x7FFF, A1, A2,       {0,   5000,  50000,   0}},
    {"noid", 0xFFFF, Pages,                       0x20000, 0x7FFF, A1, A2,       {0,   4000,  50000,   0}},
};
// clang-format on

}  // namespace

const EmuFlashModel* EmuFindFlashModel(const char* key, uint32_t keyLength)
{
    for (const EmuFlashModel& model : FlashModels) {
        uint32_t length = EmuTextLength(model.Key);
        if (length != keyLength)
            continue;
        uint32_t i = 0;
        for (; i < length; ++i) {
            char a = key[i], b = model.Key[i];
            if (a >= 'a' && a <= 'z')
                a = static_cast<char>(a - 'a' + 'A');
            if (b >= 'a' && b <= 'z')
                b = static_cast<char>(b - 'a' + 'A');
            if (a != b)
                break;
        }
        if (i == length)
            return &model;
    }
    return nullptr;
}
