/* The 388-byte board table (BiosTable) and how it is read from an image in
   either layout: stored whole at TableOffset, or built from the legacy parts
   the table locator points at. */
#ifndef DORVANE_BIOS_TABLE_H
#define DORVANE_BIOS_TABLE_H

#include <stddef.h>
#include <stdint.h>

#include "bios_image.h"

enum : uint32_t {
    BiosTableSize = 388,
    BiosTableOldSize = 352, /* older format, 36 bytes shorter */
    BiosStringAreaSize = 128,
    BiosVendorNameSize = 32,
    BiosVendorOffsetInArea = 132, /* VendorName counted from StringArea */
    BiosRegisterSlotCount = 22,
    BiosLegacyDescriptorLimit = 0x5000,
    BiosLegacyStringAreaLimit = 0x400,
    BiosLegacyRegisterListLimit = 0x2000,
    BiosLegacyMinRegisterCount = 5,  /* pair and entries 1-5 travel as one block */
    BiosLegacyMaxRegisterCount = 21, /* entries 6..21 fill slots 7..22 */
    BiosReg18C = 0x18C,
};

struct RegisterSlot {
    uint32_t Register;
    uint32_t Value;
};

/* Indexes into StringDescriptors. */
enum {
    VendorOffsetIndex,
    VendorLengthIndex,
    ProductOffsetIndex,
    ProductLengthIndex,
    VersionOffsetIndex,
    VersionLengthIndex,
    ExtraOffsetIndex,
    ExtraLengthIndex,
    CarriedDescriptorIndex,
    StringAreaSizeIndex,
    StringDescriptorCount
};

/* The fields the program reads or derives are named by what they hold. The
   rest are opaque, their meaning the BIOS's: the program carries Board5,
   Board6, Board9, Board10, Board16, Board18, ListWord, the descriptor at
   CarriedDescriptorIndex and every register slot's value as they stand,
   and knows Bit14Code, Bit11Code, Bit9Flag, Bit15Flag and Reg18CCode only
   by how a legacy table derives them (from bits of Flags and from the slots
   of register 0x18C). */
struct BiosTable {
    uint16_t TableSize;
    uint8_t Bit14Code;
    uint8_t Bit11Code;
    uint8_t Bit9Flag;
    uint8_t Board5;
    uint8_t Board6;
    uint8_t Bit15Flag;
    uint8_t Reg18CCode;
    uint8_t Board9;
    uint16_t Board10;
    uint8_t VersionMajor;
    uint8_t VersionMinor;
    uint16_t ClockMHz;
    uint16_t Board16;
    uint16_t Board18;
    uint32_t RegisterCount;
    uint32_t ListWord;
    RegisterSlot Slots1To5[5];
    /* Slot 6, whose value's upper half is the board's flags word. */
    uint32_t FlagsSlotRegister;
    uint16_t FlagsSlotValueLow;
    uint16_t Flags; /* 0: a blank image */
    RegisterSlot Slots7To22[16];
    uint16_t StringDescriptors[StringDescriptorCount];
    uint8_t StringArea[BiosStringAreaSize];
    uint32_t VendorFieldSize;
    uint8_t VendorName[BiosVendorNameSize];
};

static_assert(sizeof(BiosTable) == BiosTableSize, "BiosTable size");
static_assert(offsetof(BiosTable, Bit14Code) == 2, "Bit14Code");
static_assert(offsetof(BiosTable, Bit15Flag) == 7, "Bit15Flag");
static_assert(offsetof(BiosTable, Reg18CCode) == 8, "Reg18CCode");
static_assert(offsetof(BiosTable, Board10) == 10, "board word 10");
static_assert(offsetof(BiosTable, VersionMajor) == 12, "VersionMajor");
static_assert(offsetof(BiosTable, VersionMinor) == 13, "VersionMinor");
static_assert(offsetof(BiosTable, ClockMHz) == 14, "ClockMHz");
static_assert(offsetof(BiosTable, RegisterCount) == 20, "RegisterCount");
static_assert(offsetof(BiosTable, ListWord) == 24, "list word");
static_assert(offsetof(BiosTable, Slots1To5) == 28, "slots 1-5");
static_assert(offsetof(BiosTable, FlagsSlotRegister) == 68, "slot 6");
static_assert(offsetof(BiosTable, Flags) == 74, "Flags");
static_assert(offsetof(BiosTable, Slots7To22) == 76, "slots 7-22");
static_assert(offsetof(BiosTable, StringDescriptors) == 204, "StringDescriptors");
static_assert(offsetof(BiosTable, StringArea) == 224, "StringArea");
static_assert(offsetof(BiosTable, VendorFieldSize) == 352, "VendorFieldSize");
static_assert(offsetof(BiosTable, VendorName) == 356, "VendorName");
static_assert(offsetof(BiosTable, StringArea) + BiosVendorOffsetInArea == offsetof(BiosTable, VendorName),
              "VendorOffset 132 reaches VendorName");

/* Why a table can't be read. */
enum TableFault {
    TableReadable,
    TableDescriptorBeyondLimit,
    TableStringAreaBeyondLimit,
    TableRegisterListBeyondLimit,
    TableRegisterCountOutOfRange,
};

/* image holds BiosImageBufferSize bytes. Returns 1 with table filled, 0 when
   a legacy offset is out of bounds or the legacy register list does not fit
   the table's slots (count below 5 or above 21). */
int ReadBiosTable(const uint8_t* image, BiosTable* table);
/* The same, telling why when it fails (fault may be null). */
int ReadBiosTableChecked(const uint8_t* image, BiosTable* table, TableFault* fault);
const char* TableFaultText(TableFault fault);

/* Pieces of the legacy build, for the tools and tests. The text readers stop
   at the end of StringArea whatever the descriptors say. */
void ReadVersionNumbers(const BiosTable* table, uint8_t* major, uint8_t* minor);
int NameHasOrvelII(const BiosTable* table);
uint8_t ComputeReg18CCode(const BiosTable* table);

/* Register entry n (1..22) of the table, slot 6 included. */
RegisterSlot TableRegisterSlot(const BiosTable* table, uint32_t n);

/* Copies StringArea from offset up to its NUL (or the end of the area) into
   text, at most size - 1 characters, NUL-terminated; returns the length. */
uint32_t TableAreaText(const BiosTable* table, uint32_t offset, char* text, uint32_t size);
/* The version text: the area from its start up to the first NUL. */
uint32_t TableVersionText(const BiosTable* table, char* text, uint32_t size);
/* The version text cut at its first carriage return, as the image pages
   show it. */
uint32_t TableVersionLine(const BiosTable* table, char* text, uint32_t size);
/* VendorName up to its NUL, at most 32 characters. */
uint32_t TableVendorName(const BiosTable* table, char* text, uint32_t size);

#endif
