/* SpliceVersionText on arbitrary table pairs. Input: one byte choosing the
   base images of R and T, then bytes XORed over R's and T's 388 bytes in
   turn. The splice changes nothing but R's text area and three descriptors,
   and either fits the text with its NUL or changes nothing at all. */
#include "bios_fuzz_bases.h"
#include "bios_merge.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    BiosTable r, t;
    const uint8_t* rb = FuzzBaseImage(data[0] & 0x0F);
    const uint8_t* tb = FuzzBaseImage(data[0] >> 4);
    if (!ReadBiosTable(rb, &r))
        return 0;
    memcpy(&t, tb + ImageWord(tb, 0x4A), sizeof(t));

    uint8_t* rbytes = reinterpret_cast<uint8_t*>(&r);
    uint8_t* tbytes = reinterpret_cast<uint8_t*>(&t);
    for (size_t i = 1; i < size && i - 1 < 2 * sizeof(BiosTable); i++) {
        size_t k = i - 1;
        if (k < sizeof(BiosTable))
            rbytes[k] ^= data[i];
        else
            tbytes[k - sizeof(BiosTable)] ^= data[i];
    }

    BiosTable before = r;
    int ok = SpliceVersionText(&r, &t);
    const uint8_t* b = reinterpret_cast<const uint8_t*>(&before);
    if (!ok) {
        FUZZ_CHECK(memcmp(b, rbytes, sizeof(r)) == 0);
        return 0;
    }
    for (size_t k = 0; k < sizeof(r); k++) {
        int area = k >= offsetof(BiosTable, StringArea) && k < offsetof(BiosTable, StringArea) + BiosStringAreaSize;
        int moved = k >= offsetof(BiosTable, StringDescriptors) + 2 * ProductOffsetIndex &&
            k < offsetof(BiosTable, StringDescriptors) + 2 * (ExtraOffsetIndex + 1);
        if (!area && !moved)
            FUZZ_CHECK(b[k] == rbytes[k]);
    }
    FUZZ_CHECK(r.StringDescriptors[VersionLengthIndex] == t.StringDescriptors[VersionLengthIndex]);
    FUZZ_CHECK(memchr(r.StringArea, 0, BiosStringAreaSize) != nullptr);
    FUZZ_CHECK(memcmp(r.StringArea + r.StringDescriptors[VersionOffsetIndex],
                      t.StringArea + t.StringDescriptors[VersionOffsetIndex],
                      t.StringDescriptors[VersionLengthIndex]) == 0);
    return 0;
}
