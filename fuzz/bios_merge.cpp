/* MergeBiosTable on arbitrary pairs of images. Input: one byte choosing the
   two bases (low and high nibble), one byte choosing the length, then the
   overlay: even bytes go over the current image, odd bytes over the new one.
   A merge either repairs the checksum over the length or leaves the new
   image untouched. */
#include "bios_fuzz_bases.h"
#include "bios_merge.h"

static uint8_t Current[BiosImageBufferSize];
static uint8_t NewImage[BiosImageBufferSize];
static uint8_t Before[BiosImageBufferSize];

static uint32_t PickLength(uint8_t choice)
{
    static const uint32_t lengths[] = {65536, BiosImageBufferSize,     32768,      17, 16,
                                       0,     BiosImageBufferSize + 1, 0xFFFFFFF4u};
    return lengths[choice % (sizeof(lengths) / sizeof(lengths[0]))];
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    memcpy(Current, FuzzBaseImage(data[0] & 0x0F), BiosImageBufferSize);
    memcpy(NewImage, FuzzBaseImage(data[0] >> 4), BiosImageBufferSize);
    uint32_t length = PickLength(data[1]);
    for (size_t i = 2; i + 1 < size && (i - 2) / 2 < BiosImageBufferSize; i += 2) {
        Current[(i - 2) / 2] ^= data[i];
        NewImage[(i - 2) / 2] ^= data[i + 1];
    }
    memcpy(Before, NewImage, BiosImageBufferSize);

    MergeResult result = MergeBiosTableChecked(Current, NewImage, length);
    if (result != MergeDone) {
        FUZZ_CHECK(memcmp(Before, NewImage, BiosImageBufferSize) == 0);
        return 0;
    }
    uint8_t sum = 0;
    for (uint32_t i = 0; i < length; i++)
        sum = (uint8_t)(sum + NewImage[i]);
    FUZZ_CHECK(sum == 0);

    /* The merged table carries the board's flags and the new image's size. */
    BiosTable board, merged;
    FUZZ_CHECK(ReadBiosTable(NewImage, &merged) == 1);
    if (ReadBiosTable(Current, &board))
        FUZZ_CHECK(board.Flags == merged.Flags);
    FUZZ_CHECK(memcmp(Before + ImageWord(Before, 0x4A), NewImage + ImageWord(NewImage, 0x4A), 2) == 0);
    return 0;
}
