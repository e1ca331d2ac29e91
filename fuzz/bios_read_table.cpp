/* ReadBiosTable and the text readers on arbitrary images. Input: a base
   selector byte, then bytes XORed over the base image. */
#include "bios_fuzz_bases.h"

static uint8_t Image[BiosImageBufferSize];

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    memcpy(Image, FuzzBaseImage(data[0]), BiosImageBufferSize);
    FuzzOverlay(Image, data + 1, size - 1);

    BiosTable table;
    TableFault fault;
    int ok = ReadBiosTableChecked(Image, &table, &fault);
    FUZZ_CHECK(ok == (fault == TableReadable));
    if (!ok)
        return 0;

    char text[BiosStringAreaSize + 1];
    FUZZ_CHECK(TableVersionText(&table, text, sizeof(text)) < sizeof(text));
    FUZZ_CHECK(TableVendorName(&table, text, sizeof(text)) <= BiosVendorNameSize);
    uint8_t major, minor;
    ReadVersionNumbers(&table, &major, &minor);
    NameHasOrvelII(&table);
    for (uint32_t n = 1; n <= BiosRegisterSlotCount; n++)
        TableRegisterSlot(&table, n);
    if (ImageWord(Image, 0x48) != 0) {
        FUZZ_CHECK(table.Flags != 0);
        FUZZ_CHECK(table.RegisterCount >= 6 && table.RegisterCount <= BiosRegisterSlotCount);
        FUZZ_CHECK(table.Reg18CCode <= 6);
    }
    ImageChecksumValid(Image, (uint32_t)size);
    return 0;
}
