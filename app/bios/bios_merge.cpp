#include "bios_merge.h"

#include "byte_routines.h"

/* The usable size of a table's text area: what the table says, never more
   than the 128 bytes it has. */
static uint32_t AreaCapacity(const BiosTable* table)
{
    uint32_t size = table->StringDescriptors[StringAreaSizeIndex];
    return size < BiosStringAreaSize ? size : BiosStringAreaSize;
}

int SpliceVersionText(BiosTable* r, const BiosTable* t)
{
    uint32_t p = r->StringDescriptors[VersionOffsetIndex];
    uint32_t oldLength = r->StringDescriptors[VersionLengthIndex];
    uint32_t newOffset = t->StringDescriptors[VersionOffsetIndex];
    uint32_t newLength = t->StringDescriptors[VersionLengthIndex];
    uint32_t capacity = AreaCapacity(r);

    if (p + oldLength > BiosStringAreaSize || newOffset + newLength > BiosStringAreaSize)
        return 0;

    uint8_t tail[BiosStringAreaSize];
    uint32_t tailLength = 0;
    while (p + oldLength + tailLength < BiosStringAreaSize && r->StringArea[p + oldLength + tailLength] != 0) {
        tail[tailLength] = r->StringArea[p + oldLength + tailLength];
        tailLength++;
    }

    /* Refuse rather than cut: a cut tail would lose board text silently. */
    if (p + newLength + tailLength + 1 > capacity)
        return 0;

    CopyBytes(r->StringArea + p, t->StringArea + newOffset, newLength);
    CopyBytes(r->StringArea + p + newLength, tail, tailLength);
    r->StringArea[p + newLength + tailLength] = 0;

    uint16_t delta = (uint16_t)(newLength - oldLength);
    r->StringDescriptors[VersionLengthIndex] = (uint16_t)newLength;
    if (r->StringDescriptors[ProductOffsetIndex] > p)
        r->StringDescriptors[ProductOffsetIndex] = (uint16_t)(r->StringDescriptors[ProductOffsetIndex] + delta);
    if (r->StringDescriptors[ExtraOffsetIndex] > p)
        r->StringDescriptors[ExtraOffsetIndex] = (uint16_t)(r->StringDescriptors[ExtraOffsetIndex] + delta);
    return 1;
}

/* An older 352-byte table keeps the maker's name in its text area; the
   388-byte format has a field of its own for it. */
static void MoveVendorNameOutOfArea(BiosTable* r, uint16_t newTableSize)
{
    uint32_t offset = r->StringDescriptors[VendorOffsetIndex];
    uint32_t length = r->StringDescriptors[VendorLengthIndex];
    if (offset >= r->StringDescriptors[StringAreaSizeIndex] || length >= BiosVendorNameSize)
        return;
    if (offset + length > BiosStringAreaSize)
        return;
    FillBytes(r->VendorName, 0, BiosVendorNameSize);
    CopyBytes(r->VendorName, r->StringArea + offset, length);
    FillBytes(r->StringArea + offset, 0, length);
    r->StringDescriptors[VendorOffsetIndex] = BiosVendorOffsetInArea;
    r->VendorFieldSize = BiosVendorNameSize;
    r->TableSize = newTableSize;
}

MergeResult MergeBiosTableChecked(const uint8_t* current, uint8_t* newImage, uint32_t length)
{
    /* A failed card read leaves no chip size; never repair over such a length. */
    if (length < BiosRepairMinLength || length > BiosImageBufferSize)
        return MergeBadLength;

    TableLocator loc;
    ReadTableLocator(newImage, &loc);
    if (loc.LegacyFlags != 0)
        return MergeNewImageLegacy;
    BiosTable t;
    CopyBytes(&t, newImage + loc.TableOffset, BiosTableSize);

    BiosTable r;
    if (!ReadBiosTable(current, &r))
        return MergeCurrentTableUnreadable;

    if (t.TableSize == (uint32_t)r.TableSize + (BiosTableSize - BiosTableOldSize))
        MoveVendorNameOutOfArea(&r, t.TableSize);
    if (t.TableSize != r.TableSize)
        return MergeTableSizeMismatch;

    if (!SpliceVersionText(&r, &t))
        return MergeVersionTextDoesNotFit;

    const uint8_t* from = reinterpret_cast<const uint8_t*>(&r);
    uint8_t* to = newImage + loc.TableOffset;
    /* The board's table goes over the new one but for its size word and the
       new image's version numbers. */
    const uint32_t boardStart = offsetof(BiosTable, Bit14Code);
    const uint32_t versionStart = offsetof(BiosTable, VersionMajor);
    const uint32_t versionEnd = offsetof(BiosTable, ClockMHz);
    CopyBytes(to + boardStart, from + boardStart, versionStart - boardStart);
    CopyBytes(to + versionEnd, from + versionEnd, BiosTableSize - versionEnd);
    RepairImageChecksum(newImage, length);
    return MergeDone;
}

int MergeBiosTable(const uint8_t* current, uint8_t* newImage, uint32_t length)
{
    return MergeBiosTableChecked(current, newImage, length) == MergeDone;
}

const char* MergeResultText(MergeResult result)
{
    static const char* const texts[] = {
        "merged",
        "the image length is not 17..131072 bytes",
        "the new image keeps its table in the legacy layout",
        "the current image's table can't be read",
        "the table sizes of the two images differ",
        "the new version text and the board's texts do not fit the text area",
    };
    return ResultText(texts, sizeof(texts) / sizeof(texts[0]), (uint32_t)result, "unknown merge result");
}
