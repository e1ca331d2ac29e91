#include "card_types.h"

#include "format_text.h"
#include "orvel_cards.h"
#include "text_lookup.h"
#include "user_texts.h"

namespace {

const char UnknownName[] = "Unknown";

constexpr int CountCardTypes()
{
    int count = 1;
    for (const OrvelCard& card : OrvelCards)
        count += card.SplitRevision ? 2 : 1;
    return count;
}
static_assert(CountCardTypes() == CardTypeCount, "card types of the card table");

// The row that card type index names, and whether it is the row's split.
const OrvelCard* CardOfType(int index, int* split)
{
    int first = 1;
    for (const OrvelCard& card : OrvelCards) {
        int types = card.SplitRevision ? 2 : 1;
        if (index >= first && index < first + types) {
            *split = index - first;
            return &card;
        }
        first += types;
    }
    return nullptr;
}

}  // namespace

int ClassifyCard(uint32_t deviceId, uint32_t vendorId, uint32_t revisionId)
{
    int first = 1;
    for (const OrvelCard& card : OrvelCards) {
        if (card.DeviceId == deviceId && card.VendorId == vendorId)
            return first + (card.SplitRevision && revisionId >= card.SplitRevision ? 1 : 0);
        first += card.SplitRevision ? 2 : 1;
    }
    return 0;
}

const char* CardTypeName(int index)
{
    int split = 0;
    const OrvelCard* card = CardOfType(index, &split);
    if (!card)
        return UnknownName;
    return split ? card->SplitTypeName : card->TypeName;
}

const char* CardProductName(int index)
{
    int split = 0;
    const OrvelCard* card = CardOfType(index, &split);
    if (!card)
        return UnknownName;
    return split ? card->SplitProductName : card->ProductName;
}

void CardListLine(const PELMIX_DEVICE_ENTRY* entry, char* line, size_t size)
{
    int index = ClassifyCard(entry->DeviceId, entry->VendorId, entry->RevisionId);
    char product[ProductNameShownLength + 1];
    CopyText(product, sizeof product, CardProductName(index));
    char bus[TextBufferSize];
    if (entry->IsAgp)
        LookupText(TextAgpCard, bus);
    else
        LookupText(TextPciCard, bus);
    FormatText(line, size, "%s (%s)", product, bus);
}
