#include "bios_table.h"

#include "byte_routines.h"

static const char OrvelIIText[] = "ORVEL II";
static const uint32_t OrvelIILength = sizeof(OrvelIIText) - 1;

RegisterSlot TableRegisterSlot(const BiosTable* table, uint32_t n)
{
    RegisterSlot slot = {0, 0};
    if (n >= 1 && n <= 5) {
        slot = table->Slots1To5[n - 1];
    } else if (n == 6) {
        slot.Register = table->FlagsSlotRegister;
        slot.Value = (uint32_t)table->FlagsSlotValueLow | ((uint32_t)table->Flags << 16);
    } else if (n >= 7 && n <= BiosRegisterSlotCount) {
        slot = table->Slots7To22[n - 7];
    }
    return slot;
}

/* Every read of the text area goes through here: past the area is NUL. */
static uint8_t AreaChar(const BiosTable* table, uint32_t offset)
{
    return offset < BiosStringAreaSize ? table->StringArea[offset] : 0;
}

static int IsDigit(uint8_t c)
{
    return c >= '0' && c <= '9';
}

void ReadVersionNumbers(const BiosTable* table, uint8_t* major, uint8_t* minor)
{
    uint32_t start = table->StringDescriptors[VersionOffsetIndex];
    uint32_t length = table->StringDescriptors[VersionLengthIndex];
    uint32_t numbers[4] = {0, 0, 0, 0};
    uint32_t stored = 0;
    uint32_t points = 0;
    uint32_t pos = start;
    uint32_t end = start + length;
    if (end > BiosStringAreaSize)
        end = BiosStringAreaSize;

    while (pos < end && !(AreaChar(table, pos) >= '1' && AreaChar(table, pos) <= '9'))
        pos++;
    if (pos >= end) {
        *major = 0;
        *minor = 0;
        return;
    }

    /* Once started the reading runs past the version length, but never past
       the end of the area, where AreaChar gives NUL. */
    uint32_t current = 0;
    for (;;) {
        uint8_t c = AreaChar(table, pos);
        if (IsDigit(c)) {
            current = current * 10 + (uint32_t)(c - '0');
            pos++;
            continue;
        }
        if (stored < 4)
            numbers[stored] = current;
        stored++;
        if (c != '.')
            break;
        points++;
        current = 0;
        pos++;
        if (!IsDigit(AreaChar(table, pos)))
            break;
    }

    if (points == 3) {
        *major = (uint8_t)numbers[1];
        *minor = (uint8_t)numbers[3];
    } else {
        *major = (uint8_t)numbers[0];
        *minor = (uint8_t)numbers[1];
    }
}

int NameHasOrvelII(const BiosTable* table)
{
    uint32_t offset = table->StringDescriptors[ProductOffsetIndex];
    uint32_t length = table->StringDescriptors[ProductLengthIndex];
    if (length <= OrvelIILength)
        return 0;
    for (uint32_t start = 0; start <= length - OrvelIILength; start++) {
        uint32_t at = offset + start;
        if (at + OrvelIILength > BiosStringAreaSize)
            return 0;
        if (CompareBytes(table->StringArea + at, OrvelIIText, OrvelIILength) == 0)
            return 1;
    }
    return 0;
}

uint8_t ComputeReg18CCode(const BiosTable* table)
{
    uint8_t code = 6;
    for (uint32_t i = 0; i < 16; i++) {
        if (table->Slots7To22[i].Register != BiosReg18C)
            continue;
        uint32_t v = table->Slots7To22[i].Value;
        uint8_t b = (v & 0x200) ? 1 : 0;
        if (v == 0)
            code = 0;
        else if (v & 0x4)
            code = (uint8_t)(5 + b);
        else if (v & 0x2)
            code = (uint8_t)(3 + b);
        else
            code = (uint8_t)(1 + b);
    }
    return code;
}

static TableFault ReadLegacyTable(const uint8_t* image, const TableLocator* loc, BiosTable* table)
{
    FillBytes(table, 0, sizeof(*table));
    table->TableSize = BiosTableSize;

    if (loc->DescriptorOffset > BiosLegacyDescriptorLimit)
        return TableDescriptorBeyondLimit;
    CopyBytes(table->StringDescriptors, image + loc->DescriptorOffset, sizeof(table->StringDescriptors));
    /* The legacy block holds image offsets; the table counts from its area. */
    uint16_t areaBase = (uint16_t)loc->StringAreaOffset;
    uint16_t vendorImageOffset = table->StringDescriptors[VendorOffsetIndex];
    table->StringDescriptors[VendorOffsetIndex] = BiosVendorOffsetInArea;
    table->StringDescriptors[ProductOffsetIndex] = (uint16_t)(table->StringDescriptors[ProductOffsetIndex] - areaBase);
    table->StringDescriptors[VersionOffsetIndex] = (uint16_t)(table->StringDescriptors[VersionOffsetIndex] - areaBase);
    table->StringDescriptors[ExtraOffsetIndex] = (uint16_t)(table->StringDescriptors[ExtraOffsetIndex] - areaBase);

    if (loc->StringAreaOffset > BiosLegacyStringAreaLimit)
        return TableStringAreaBeyondLimit;
    CopyBytes(table->StringArea, image + loc->StringAreaOffset, BiosStringAreaSize);

    CopyBytes(table->VendorName, image + vendorImageOffset, BiosVendorNameSize);
    table->VendorFieldSize = BiosVendorNameSize;

    table->FlagsSlotRegister = loc->LegacySlot6Register;
    table->FlagsSlotValueLow = loc->LegacySlot6Value;
    table->Flags = loc->LegacyFlags;

    if (loc->RegisterListOffset > BiosLegacyRegisterListLimit)
        return TableRegisterListBeyondLimit;
    const uint8_t* list = image + loc->RegisterListOffset;
    uint32_t count = ImageDword(list, 0);
    /* A list outside 5..21 entries does not fit the 22 slots around the
       inserted slot 6. Clipping would drop board registers from a merged
       image unnoticed, so such a table is refused. */
    if (count < BiosLegacyMinRegisterCount || count > BiosLegacyMaxRegisterCount)
        return TableRegisterCountOutOfRange;
    /* The list's head is laid out as the table's: count, list word, entries 1-5. */
    const uint32_t head = offsetof(BiosTable, FlagsSlotRegister) - offsetof(BiosTable, RegisterCount);
    uint8_t* bytes = reinterpret_cast<uint8_t*>(table);
    CopyBytes(bytes + offsetof(BiosTable, RegisterCount), list, head);
    CopyBytes(table->Slots7To22, list + head, (count - 5) * sizeof(RegisterSlot));
    table->RegisterCount = count + 1;

    table->ClockMHz = (uint16_t)(loc->LegacyClockHz / 1000000u);
    ReadVersionNumbers(table, &table->VersionMajor, &table->VersionMinor);

    int orvel = NameHasOrvelII(table);
    uint16_t flags = table->Flags;
    table->Bit15Flag = (flags & 0x8000) ? 1 : 0;
    table->Bit14Code = (flags & 0x4000) ? (orvel ? 4 : 1) : 0;
    table->Bit11Code = (flags & 0x0800) ? (orvel ? 2 : 1) : 0;
    table->Bit9Flag = (flags & 0x0200) ? 1 : 0;
    table->Reg18CCode = ComputeReg18CCode(table);
    return TableReadable;
}

int ReadBiosTableChecked(const uint8_t* image, BiosTable* table, TableFault* fault)
{
    TableLocator loc;
    TableFault result = TableReadable;
    ReadTableLocator(image, &loc);
    if (loc.LegacyFlags == 0) {
        /* A stored table is taken as it stands. TableOffset is 16-bit, so
           the 388 bytes always lie inside the image buffer. */
        CopyBytes(table, image + loc.TableOffset, BiosTableSize);
    } else {
        result = ReadLegacyTable(image, &loc, table);
    }
    if (fault)
        *fault = result;
    return result == TableReadable;
}

int ReadBiosTable(const uint8_t* image, BiosTable* table)
{
    return ReadBiosTableChecked(image, table, 0);
}

const char* TableFaultText(TableFault fault)
{
    static const char* const texts[] = {
        "table readable",
        "legacy text descriptor block lies beyond 0x5000",
        "legacy text area lies beyond 0x400",
        "legacy register list lies beyond 0x2000",
        "legacy register list count is outside 5..21",
    };
    return ResultText(texts, sizeof(texts) / sizeof(texts[0]), (uint32_t)fault, "unknown table fault");
}

uint32_t TableAreaText(const BiosTable* table, uint32_t offset, char* text, uint32_t size)
{
    uint32_t n = 0;
    if (size == 0)
        return 0;
    while (n + 1 < size && AreaChar(table, offset + n) != 0 && offset + n < BiosStringAreaSize) {
        text[n] = (char)table->StringArea[offset + n];
        n++;
    }
    text[n] = 0;
    return n;
}

uint32_t TableVersionText(const BiosTable* table, char* text, uint32_t size)
{
    return TableAreaText(table, 0, text, size);
}

uint32_t TableVersionLine(const BiosTable* table, char* text, uint32_t size)
{
    uint32_t n = TableVersionText(table, text, size);
    for (uint32_t i = 0; i < n; i++) {
        if (text[i] == '\r') {
            text[i] = 0;
            return i;
        }
    }
    return n;
}

uint32_t TableVendorName(const BiosTable* table, char* text, uint32_t size)
{
    uint32_t n = 0;
    if (size == 0)
        return 0;
    while (n + 1 < size && n < BiosVendorNameSize && table->VendorName[n] != 0) {
        text[n] = (char)table->VendorName[n];
        n++;
    }
    text[n] = 0;
    return n;
}
