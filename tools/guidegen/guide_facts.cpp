#include "guide_facts.h"

#include <stdio.h>

#include "bios_table.h"
#include "card_types.h"
#include "flash_chip_table.h"
#include "inbuilt_image.h"
#include "orvel_cards.h"
#include "text_lookup.h"

// The card names come with the page library, whose texts guidegen reads from
// texts.txt itself: no string table here.
int LoadStringTableText(unsigned, char*, size_t)
{
    return 0;
}

namespace {

std::string Hex4(uint32_t value)
{
    char text[8];
    snprintf(text, sizeof text, "%04X", unsigned(value & 0xFFFF));
    return text;
}

std::string SizeKb(uint32_t bytes)
{
    return std::to_string(bytes / 1024) + " KB";
}

// The list line's product name; a kind that splits at revision 5 names both.
std::string ShownName(uint32_t vendorId, uint32_t deviceId)
{
    std::string early = CardProductName(ClassifyCard(deviceId, vendorId, 0));
    std::string late = CardProductName(ClassifyCard(deviceId, vendorId, 5));
    if (early == late)
        return early;
    return early + " (revisions below 5), " + late + " (revision 5 and above)";
}

void Cards(FactTable* t)
{
    t->Head = {"PCI vendor:device", "Shown on Select Device as"};
    for (const OrvelCard& card : OrvelCards) {
        if (card.Family != 0)
            t->Rows.push_back(
                {Hex4(card.VendorId) + ":" + Hex4(card.DeviceId), ShownName(card.VendorId, card.DeviceId)});
    }
}

std::string Method(const FlashChipRow& row)
{
    std::string how = row.Method == ByPage ? "by 128-byte pages" : "byte by byte";
    if (row.EraseRequired)
        how += ", erased first";
    return how;
}

void Chips(FactTable* t)
{
    t->Head = {"Chip", "Identification code", "Size", "Written"};
    for (uint32_t i = 0; i < ChipRowCount; ++i) {
        const FlashChipRow& row = ChipRows[i];
        t->Rows.push_back(
            {row.Name ? row.Name : "unnamed part", Hex4(row.ChipId), SizeKb(row.Parameters.ChipSize), Method(row)});
    }
    t->Rows.push_back({"any other chip", "any other", SizeKb(UnknownChipRow.Parameters.ChipSize) + " assumed",
                       Method(UnknownChipRow)});
}

// The version text without its line ends, as the write question shows it.
std::string OneLine(const char* text)
{
    std::string line;
    for (const char* p = text; *p; ++p) {
        if (*p == '\r' || *p == '\n') {
            if (!line.empty() && line.back() != ' ')
                line += ' ';
        } else {
            line += *p;
        }
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

// The card the image's PCI data structure names, as the list names it.
std::string MadeFor(const uint8_t* image)
{
    uint32_t pcir = ImageWord(image, 0x18);
    if (pcir + 8 > BiosImageBufferSize || image[pcir] != 'P' || image[pcir + 1] != 'C' || image[pcir + 2] != 'I' ||
        image[pcir + 3] != 'R')
        return "no card named in the image";
    uint32_t vendorId = ImageWord(image, pcir + 4), deviceId = ImageWord(image, pcir + 6);
    return Hex4(vendorId) + ":" + Hex4(deviceId) + ", shown as " + ShownName(vendorId, deviceId);
}

void InBuilt(FactTable* t)
{
    t->Head = {"In-built image", ""};
    if (!InBuiltImagePresent()) {
        t->Rows.push_back({"Carried", "no: this build has no in-built image"});
        return;
    }
    const uint8_t* image = InBuiltImageData();
    BiosTable table = {};
    char version[BiosStringAreaSize + 1] = "";
    if (ReadBiosTable(image, &table))
        TableVersionText(&table, version, sizeof version);
    t->Rows.push_back({"Version text", OneLine(version)});
    t->Rows.push_back({"Size", SizeKb(InBuiltImageSize())});
    t->Rows.push_back({"Board table",
                       table.Flags == 0 ? "none of its own (a blank image): the card's table is always "
                                          "merged into it"
                                        : "its own"});
    t->Rows.push_back({"Made for", MadeFor(image)});
}

}  // namespace

bool MakeFactTable(const std::string& name, FactTable* table)
{
    table->Head.clear();
    table->Rows.clear();
    if (name == "cards")
        Cards(table);
    else if (name == "chips")
        Chips(table);
    else if (name == "inbuilt")
        InBuilt(table);
    else
        return false;
    return true;
}
