#include "pci_data.h"

#include <stdio.h>

#include "bios_image.h"
#include "orvel_cards.h"

namespace {

const uint8_t Signature[4] = {'P', 'C', 'I', 'R'};

int VendorOfCardTable(uint32_t vendorId)
{
    for (const OrvelCard& card : OrvelCards) {
        if (card.VendorId == vendorId)
            return 1;
    }
    return 0;
}

}  // namespace

int ReadPciData(const uint8_t* image, uint32_t length, PciData* data)
{
    if (length < PciDataPointerOffset + 2 || image[0] != 0x55 || image[1] != 0xAA)
        return 0;
    uint32_t at = ImageWord(image, PciDataPointerOffset);
    if (at > length || length - at < PciDataRecordSize)
        return 0;
    for (uint32_t i = 0; i < sizeof Signature; ++i) {
        if (image[at + i] != Signature[i])
            return 0;
    }
    data->Offset = at;
    data->VendorId = ImageWord(image, at + 4);
    data->DeviceId = ImageWord(image, at + 6);
    data->ClassCode = uint32_t(image[at + 0x0F]) << 16 | uint32_t(image[at + 0x0E]) << 8 | image[at + 0x0D];
    data->ImageLength = uint32_t(ImageWord(image, at + 0x10)) * BiosSizeUnit;
    data->CodeRevision = ImageWord(image, at + 0x12);
    data->CodeType = image[at + 0x14];
    data->Indicator = image[at + 0x15];
    return 1;
}

PciDataVerdict JudgePciData(const uint8_t* image, uint32_t length, PciData* data)
{
    *data = PciData();
    if (!ReadPciData(image, length, data))
        return PciDataMissing;
    if (!VendorOfCardTable(data->VendorId))
        return PciDataOtherVendor;
    if (data->ClassCode >> 16 != PciDisplayClass)
        return PciDataNotDisplay;
    return PciDataOrvel;
}

void PciDataProblem(const char* name, PciDataVerdict verdict, const PciData& data, char* text, size_t size)
{
    const char* why = verdict == PciDataOtherVendor ? "a vendor no Orvel card has"
        : verdict == PciDataNotDisplay              ? "a class other than display (03)"
                                                    : 0;
    if (verdict == PciDataOrvel)
        snprintf(text, size, "%s", "");
    else if (verdict == PciDataMissing)
        snprintf(text, size,
                 "%s has no PCI data structure (no \"PCIR\" record where the word at 0x18 points), so the card it "
                 "is for cannot be checked",
                 name);
    else
        snprintf(text, size,
                 "%s is not a video BIOS for an Orvel card: its PCI data structure names %04X:%04X, class %06X, "
                 "%s",
                 name, unsigned(data.VendorId), unsigned(data.DeviceId), unsigned(data.ClassCode), why);
}
