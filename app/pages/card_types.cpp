#include "card_types.h"

#include "format_text.h"
#include "text_lookup.h"
#include "user_texts.h"

const char* const CardTypeNames[CardTypeCount] = {"Unknown", "ZT10", "ZT20", "ZR1B", "ZR11", "ZR2", "ZR3"};
const char* const ProductNames[CardTypeCount] = {"Unknown",  "ZT10-E",    "ZNA",     "Orvel I",
                                                 "Orvel II", "Orvel III", "Orvel IV"};

namespace {

struct CardKind {
    uint32_t Vendor;
    uint32_t Device;
    int Index;  // revisions 5 and above of the first kind with a split take Index + 1
    int SplitsAtRevision5;
};

const CardKind CardKinds[] = {
    {0x1E5B, 0x0A51, 1, 0}, {0x1E5B, 0x0A52, 2, 0}, {0x1D2E, 0x0C61, 3, 1},
    {0x1D2E, 0x0C62, 5, 0}, {0x1D2E, 0x0C63, 6, 0},
};

}  // namespace

int ClassifyCard(uint32_t deviceId, uint32_t vendorId, uint32_t revisionId)
{
    for (const CardKind& kind : CardKinds)
        if (kind.Device == deviceId && kind.Vendor == vendorId)
            return kind.Index + (kind.SplitsAtRevision5 && revisionId >= 5 ? 1 : 0);
    return 0;
}

void CardListLine(const PELMIX_DEVICE_ENTRY* entry, char* line, size_t size)
{
    int index = ClassifyCard(entry->DeviceId, entry->VendorId, entry->RevisionId);
    char product[ProductNameShownLength + 1];
    CopyText(product, sizeof product, ProductNames[index]);
    char bus[TextBufferSize];
    if (entry->IsAgp)
        LookupText(TextAgpCard, bus);
    else
        LookupText(TextPciCard, bus);
    FormatText(line, size, "%s (%s)", product, bus);
}
