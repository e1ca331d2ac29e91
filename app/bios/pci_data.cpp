#include "pci_data.h"

#include "bios_image.h"
#include "orvel_cards.h"
#include "text_append.h"

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
    if (size == 0)
        return;
    text[0] = 0;
    if (verdict == PciDataOrvel)
        return;
    AppendText(text, size, name);
    if (verdict == PciDataMissing) {
        AppendText(text, size,
                   " has no PCI data structure (no \"PCIR\" record where the word at 0x18 points), so the card it "
                   "is for cannot be checked");
        return;
    }
    AppendText(text, size, " is not a video BIOS for an Orvel card: its PCI data structure names ");
    AppendHex(text, size, data.VendorId, 4);
    AppendText(text, size, ":");
    AppendHex(text, size, data.DeviceId, 4);
    AppendText(text, size, ", class ");
    AppendHex(text, size, data.ClassCode, 6);
    AppendText(text, size, ", ");
    AppendText(text, size, why ? why : "");
}
