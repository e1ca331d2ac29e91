#include "flash_models.h"

#include "emu_text.h"

// Completion times on the virtual clock. Each is inside what the driver's
// waits allow for that code, so a correct driver always succeeds and a driver
// that waits too little does not:
//
//   code  size   method  command addresses  byte    page    chip erase  driver allows
//   351F  128 K  page    5555/2AAA          -       10 ms   10 ms       6 polls of 3 ms; erase 20 ms
//   171F  128 K  byte    5555/2AAA          12 us   -       15 ms       byte 20..40 us; erase 20 ms
//   2320  128 K  byte    555/2AA (11 bits)  16 us   -       1000 ms     byte 20..40 us; erase 1500 ms
//   D4BF   64 K  byte*   5555/2AAA          14 us   -       70 ms       byte 20..40 us; erase 100 ms
//   D5BF  128 K  byte*   5555/2AAA          14 us   -       70 ms       byte 20..40 us; erase 100 ms
//   9FDF  128 K  byte    5555/2AAA          10 us   -       80 ms       byte 20..40 us; erase 100 ms
//   08BF  128 K  page    5555/2AAA          -       5 ms    50 ms       6 polls of 1 ms; erase 100 ms
//   noid  128 K  page    5555/2AAA          -       4 ms    50 ms       6 polls of 1 ms; erase 100 ms
//
// * programming only clears bits: the chip must be erased first (sector
//   erase of 4 KB takes 18 ms). Page parts erase the page themselves: bytes
//   of the page that were not loaded read 0xFF afterwards. The 0x2320 part
//   decodes only address bits 0..10, so 0x5555/0x2AAA reach it as 0x555/0x2AA.
static const EmuFlashModel FlashModels[] = {
    {"351F", 0x351F, 1, 1, 0, 0, 0x20000, 0x7FFF, 0x5555, 0x2AAA, 0, 10000, 10000, 0},
    {"171F", 0x171F, 1, 0, 0, 0, 0x20000, 0x7FFF, 0x5555, 0x2AAA, 12, 0, 15000, 0},
    {"2320", 0x2320, 1, 0, 0, 0, 0x20000, 0x07FF, 0x555, 0x2AA, 16, 0, 1000000, 0},
    {"D4BF", 0xD4BF, 1, 0, 1, 1, 0x10000, 0x7FFF, 0x5555, 0x2AAA, 14, 0, 70000, 18000},
    {"D5BF", 0xD5BF, 1, 0, 1, 1, 0x20000, 0x7FFF, 0x5555, 0x2AAA, 14, 0, 70000, 18000},
    {"9FDF", 0x9FDF, 1, 0, 0, 0, 0x20000, 0x7FFF, 0x5555, 0x2AAA, 10, 0, 80000, 0},
    {"08BF", 0x08BF, 1, 1, 0, 0, 0x20000, 0x7FFF, 0x5555, 0x2AAA, 0, 5000, 50000, 0},
    {"noid", 0xFFFF, 0, 1, 0, 0, 0x20000, 0x7FFF, 0x5555, 0x2AAA, 0, 4000, 50000, 0},
};

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
