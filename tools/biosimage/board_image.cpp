#include "board_image.h"

#include <string.h>

/* Where the pieces of a generated image lie. The stored table sits where
   the release keeps it (0x68, just in front of the PCI data structure);
   legacy pieces sit behind the PCI data structure, inside the bounds a
   legacy table must keep. */
enum : uint32_t {
    EntryStubOffset = 0x60,
    StoredTableOffset = 0x68,
    PcirOffset = 0x1F0,
    PcirLength = 0x18,
    LegacyListOffset = 0x210,
    LegacyDescriptorOffset = 0x2C0,
    LegacyAreaOffset = 0x300,
    LegacyVendorOffset = 0x380,
    LegacyEnd = 0x400,
    InBuiltCodeEnd = 0x61 * 512,
};

struct RomShape {
    uint8_t SizeByte;        /* option-ROM size in 512-byte units */
    uint16_t PcirImageUnits; /* PCI data structure image length, 512-byte units */
    uint32_t FillStart;
    uint32_t FillEnd;
};

void DefaultBoardRecipe(BoardRecipe* recipe)
{
    static const RegisterSlot registers[] = {
        {0x0100, 0x00000011}, {0x0104, 0x0000A000}, {0x0110, 0x00F00F00}, {0x0114, 0x00000003},
        {0x0140, 0x01000000}, {0x018C, 0x00000202}, {0x0200, 0x12345678},
    };
    memset(recipe, 0, sizeof(*recipe));
    recipe->Layout = LayoutLegacy;
    recipe->ImageSize = 65536;
    recipe->TableSize = BiosTableSize;
    strcpy(recipe->Product, "ORVEL II AGP 16MB");
    strcpy(recipe->Version, "Bios Rev 1.01.00.0021");
    strcpy(recipe->SecondLine, "Kestrel Boards Ltd");
    strcpy(recipe->Vendor, "Kestrel Boards");
    recipe->Flags = 0x4A01;
    recipe->Slot6Register = 0x0108;
    recipe->Slot6Value = 0x1234;
    recipe->ClockHz = 100000000;
    recipe->ListWord = 0x00010002;
    recipe->RegisterCount = sizeof(registers) / sizeof(registers[0]);
    memcpy(recipe->Registers, registers, sizeof(registers));
    recipe->WrittenCount = recipe->RegisterCount;
    recipe->VersionMajor = 1;
    recipe->VersionMinor = 21;
    recipe->FillSeed = 0x5EED0001;
}

static void Put16(uint8_t* image, uint32_t offset, uint32_t value)
{
    SetImageWord(image, offset, (uint16_t)value);
}

static void WriteRomFrame(uint8_t* image, const RomShape* shape)
{
    image[0] = 0x55;
    image[1] = 0xAA;
    image[2] = shape->SizeByte;
    image[3] = 0xEB; /* jmp short to the entry stub */
    image[4] = (uint8_t)(EntryStubOffset - 5);
    Put16(image, 0x18, PcirOffset);
    image[EntryStubOffset] = 0xCB; /* retf: a minimal entry */

    uint8_t* pcir = image + PcirOffset;
    memcpy(pcir, "PCIR", 4);
    Put16(pcir, 0x04, 0x1D2E);
    Put16(pcir, 0x06, 0x0C61);
    Put16(pcir, 0x0A, PcirLength);
    pcir[0x0C] = 0;    /* structure revision */
    pcir[0x0D] = 0x00; /* class code 03 00 00 */
    pcir[0x0E] = 0x00;
    pcir[0x0F] = 0x03;
    Put16(pcir, 0x10, shape->PcirImageUnits);
    Put16(pcir, 0x12, 0x0222);
    pcir[0x14] = 0;    /* code type */
    pcir[0x15] = 0x80; /* last image */
}

/* Stands in for the BIOS code: fixed pseudo-random bytes, so checksums over
   different lengths really differ. */
static void FillCode(uint8_t* image, const RomShape* shape, uint32_t seed)
{
    uint32_t x = seed;
    if (seed == 0)
        return;
    for (uint32_t i = shape->FillStart; i < shape->FillEnd; i++) {
        x = x * 1103515245u + 12345u;
        image[i] = (uint8_t)(x >> 16);
    }
}

struct AreaLayout {
    uint8_t Text[BiosStringAreaSize];
    uint16_t ProductOffset, ProductLength;
    uint16_t VersionOffset, VersionLength;
    uint16_t ExtraOffset;
    uint16_t VendorOffset, VendorLength; /* in the area (352-byte tables) */
};

/* Product, blank, version, CR LF, second line, CR LF; the extra text is the
   empty text right behind. withVendor also puts the maker's name behind it. */
static int LayOutArea(const BoardRecipe* recipe, int withVendor, AreaLayout* out)
{
    uint32_t product = (uint32_t)strlen(recipe->Product);
    uint32_t version = (uint32_t)strlen(recipe->Version);
    uint32_t line = (uint32_t)strlen(recipe->SecondLine);
    uint32_t vendor = (uint32_t)strlen(recipe->Vendor);
    uint32_t used = product + 1 + version + 2 + (line ? line + 2 : 0) + 1;
    if (withVendor)
        used += vendor + 1;
    if (used > BiosStringAreaSize || vendor >= BiosVendorNameSize)
        return 0;

    memset(out, 0, sizeof(*out));
    uint32_t at = 0;
    memcpy(out->Text + at, recipe->Product, product);
    out->ProductOffset = 0;
    out->ProductLength = (uint16_t)product;
    at += product;
    out->Text[at++] = ' ';
    out->VersionOffset = (uint16_t)at;
    out->VersionLength = (uint16_t)version;
    memcpy(out->Text + at, recipe->Version, version);
    at += version;
    out->Text[at++] = '\r';
    out->Text[at++] = '\n';
    if (line) {
        memcpy(out->Text + at, recipe->SecondLine, line);
        at += line;
        out->Text[at++] = '\r';
        out->Text[at++] = '\n';
    }
    out->ExtraOffset = (uint16_t)at;
    at++;
    if (withVendor) {
        out->VendorOffset = (uint16_t)at;
        out->VendorLength = (uint16_t)vendor;
        memcpy(out->Text + at, recipe->Vendor, vendor);
    }
    return 1;
}

static uint8_t Reg18CCodeOf(const BoardRecipe* recipe)
{
    uint8_t code = 6;
    for (uint32_t i = 5; i < recipe->RegisterCount; i++) {
        if (recipe->Registers[i].Register != BiosReg18C)
            continue;
        uint32_t v = recipe->Registers[i].Value;
        uint8_t b = (v >> 9) & 1;
        code = v == 0 ? 0 : (v & 4) ? 5 + b : (v & 2) ? 3 + b : 1 + b;
    }
    return code;
}

static void FillRegisters(const BoardRecipe* recipe, BiosTable* t)
{
    t->RegisterCount = recipe->RegisterCount + 1;
    t->ListWord = recipe->ListWord;
    for (uint32_t i = 0; i < recipe->RegisterCount; i++) {
        if (i < 5)
            t->Slots1To5[i] = recipe->Registers[i];
        else
            t->Slots7To22[i - 5] = recipe->Registers[i];
    }
    t->FlagsSlotRegister = recipe->Slot6Register;
    t->FlagsSlotValueLow = recipe->Slot6Value;
    t->Flags = recipe->Flags;
}

static int WriteStoredTable(const BoardRecipe* recipe, uint8_t* image)
{
    int old = recipe->TableSize == BiosTableOldSize;
    if (!old && recipe->TableSize != BiosTableSize)
        return 0;
    AreaLayout area;
    if (!LayOutArea(recipe, old, &area))
        return 0;

    BiosTable t;
    memset(&t, 0, sizeof(t));
    t.TableSize = (uint16_t)recipe->TableSize;
    int orvel = strstr(recipe->Product, "ORVEL II") != 0;
    t.Bit15Flag = (recipe->Flags & 0x8000) ? 1 : 0;
    t.Bit14Code = (recipe->Flags & 0x4000) ? (orvel ? 4 : 1) : 0;
    t.Bit11Code = (recipe->Flags & 0x0800) ? (orvel ? 2 : 1) : 0;
    t.Bit9Flag = (recipe->Flags & 0x0200) ? 1 : 0;
    t.Reg18CCode = Reg18CCodeOf(recipe);
    if (recipe->Flags != 0) {
        /* Board bytes the program only carries: give them values a merge
           must keep. */
        t.Board5 = 0x01;
        t.Board6 = 0x02;
        t.Board9 = 0x20;
        t.Board10 = 0x0100;
        t.Board16 = 0x0040;
        t.Board18 = 0x000C;
    }
    t.VersionMajor = recipe->VersionMajor;
    t.VersionMinor = recipe->VersionMinor;
    t.ClockMHz = (uint16_t)(recipe->ClockHz / 1000000u);
    FillRegisters(recipe, &t);

    uint16_t* d = t.StringDescriptors;
    d[ProductOffsetIndex] = area.ProductOffset;
    d[ProductLengthIndex] = area.ProductLength;
    d[VersionOffsetIndex] = area.VersionOffset;
    d[VersionLengthIndex] = area.VersionLength;
    d[ExtraOffsetIndex] = area.ExtraOffset;
    d[ExtraLengthIndex] = 0;
    d[CarriedDescriptorIndex] = 1;
    d[StringAreaSizeIndex] = BiosStringAreaSize;
    memcpy(t.StringArea, area.Text, BiosStringAreaSize);
    if (old) {
        d[VendorOffsetIndex] = area.VendorOffset;
        d[VendorLengthIndex] = area.VendorLength;
    } else {
        d[VendorOffsetIndex] = BiosVendorOffsetInArea;
        d[VendorLengthIndex] = (uint16_t)strlen(recipe->Vendor);
        t.VendorFieldSize = BiosVendorNameSize;
        memcpy(t.VendorName, recipe->Vendor, strlen(recipe->Vendor));
    }

    memcpy(image + StoredTableOffset, &t, recipe->TableSize);
    /* The locator's legacy offsets point at the matching parts of the table. */
    SetImageDword(image, 0x40, StoredTableOffset + offsetof(BiosTable, StringArea));
    SetImageWord(image, 0x48, 0);
    SetImageWord(image, 0x4A, StoredTableOffset);
    SetImageDword(image, 0x58, StoredTableOffset + offsetof(BiosTable, StringDescriptors));
    SetImageDword(image, 0x5C, StoredTableOffset + offsetof(BiosTable, RegisterCount));
    return 1;
}

static int WriteLegacyParts(const BoardRecipe* recipe, uint8_t* image)
{
    if (recipe->Flags == 0 || recipe->Slot6Register > 0xFFFF)
        return 0;
    AreaLayout area;
    if (!LayOutArea(recipe, 0, &area))
        return 0;

    SetImageDword(image, LegacyListOffset, recipe->WrittenCount);
    SetImageDword(image, LegacyListOffset + 4, recipe->ListWord);
    for (uint32_t i = 0; i < recipe->RegisterCount; i++) {
        SetImageDword(image, LegacyListOffset + 8 + 8 * i, recipe->Registers[i].Register);
        SetImageDword(image, LegacyListOffset + 12 + 8 * i, recipe->Registers[i].Value);
    }

    uint32_t d = LegacyDescriptorOffset;
    Put16(image, d + 0, LegacyVendorOffset);
    Put16(image, d + 2, strlen(recipe->Vendor));
    Put16(image, d + 4, LegacyAreaOffset + area.ProductOffset);
    Put16(image, d + 6, area.ProductLength);
    Put16(image, d + 8, LegacyAreaOffset + area.VersionOffset);
    Put16(image, d + 10, area.VersionLength);
    Put16(image, d + 12, LegacyAreaOffset + area.ExtraOffset);
    Put16(image, d + 14, 0);
    Put16(image, d + 16, 1);
    Put16(image, d + 18, BiosStringAreaSize);
    memcpy(image + LegacyAreaOffset, area.Text, BiosStringAreaSize);
    memcpy(image + LegacyVendorOffset, recipe->Vendor, strlen(recipe->Vendor));

    SetImageDword(image, 0x40, LegacyAreaOffset);
    SetImageWord(image, 0x48, recipe->Flags);
    SetImageWord(image, 0x4A, 0);
    SetImageWord(image, 0x4C, recipe->Slot6Value);
    SetImageWord(image, 0x4E, (uint16_t)recipe->Slot6Register);
    SetImageDword(image, 0x54, recipe->ClockHz);
    SetImageDword(image, 0x58, LegacyDescriptorOffset);
    SetImageDword(image, 0x5C, LegacyListOffset);
    return 1;
}

int BuildBoardImage(const BoardRecipe* recipe, uint8_t* image)
{
    if (recipe->ImageSize != 65536 && recipe->ImageSize != BiosImageBufferSize)
        return 0;
    if (recipe->RegisterCount > BiosLegacyMaxRegisterCount)
        return 0;
    if (recipe->Layout == LayoutLegacy && recipe->WrittenCount == recipe->RegisterCount &&
        recipe->RegisterCount < BiosLegacyMinRegisterCount)
        return 0;

    memset(image, 0, BiosImageBufferSize);
    RomShape shape;
    shape.SizeByte = (uint8_t)((recipe->ImageSize - 0x1000) / 512 > 255 ? 255 : (recipe->ImageSize - 0x1000) / 512);
    shape.PcirImageUnits = (uint16_t)(recipe->ImageSize / 512);
    shape.FillStart = recipe->Layout == LayoutLegacy ? LegacyEnd : PcirOffset + PcirLength;
    shape.FillEnd = recipe->ImageSize - 0x100;
    FillCode(image, &shape, recipe->FillSeed);
    WriteRomFrame(image, &shape);

    int ok = recipe->Layout == LayoutLegacy ? WriteLegacyParts(recipe, image) : WriteStoredTable(recipe, image);
    if (!ok)
        return 0;
    RepairImageChecksum(image, recipe->ImageSize);
    return 1;
}

void BuildInBuiltImage(uint8_t* image)
{
    /* Release defaults of a blank table: registers the BIOS starts from,
       no board flags, no maker. */
    static const RegisterSlot registers[] = {
        {0x0100, 0x00000001}, {0x0104, 0x00008000}, {0x0110, 0x00A00A00}, {0x0114, 0x00000001},
        {0x0140, 0x00800000}, {0x0144, 0x00000000}, {0x0200, 0x00000000},
    };
    BoardRecipe recipe;
    memset(&recipe, 0, sizeof(recipe));
    recipe.Layout = LayoutStored;
    recipe.ImageSize = BiosImageBufferSize;
    recipe.TableSize = BiosTableSize;
    strcpy(recipe.Product, "ORVEL II AGP");
    strcpy(recipe.Version, "Bios Rev 1.02.00.0034");
    strcpy(recipe.SecondLine, "Copyright (C) Lumivex Corporation 1998-2001.");
    recipe.Slot6Register = 0x0108;
    recipe.ClockHz = 110000000;
    recipe.RegisterCount = sizeof(registers) / sizeof(registers[0]);
    memcpy(recipe.Registers, registers, sizeof(registers));
    recipe.WrittenCount = recipe.RegisterCount;
    recipe.VersionMajor = 2;
    recipe.VersionMinor = 34;

    memset(image, 0, BiosImageBufferSize);
    RomShape shape = {0x61, 128, PcirOffset + PcirLength, InBuiltCodeEnd};
    FillCode(image, &shape, 0x1D2E0C61);
    WriteRomFrame(image, &shape);
    WriteStoredTable(&recipe, image);
    RepairImageChecksum(image, BiosImageBufferSize);
}
