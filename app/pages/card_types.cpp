#include "card_types.h"

#include "format_text.h"
#include "orvel_cards.h"
#include "text_lookup.h"
#include "user_texts.h"

namespace {

const char UnknownName[] = "Unknown";

// A kind with a revision split is two card types.
constexpr int TypesOf(const OrvelCard& card)
{
    return card.SplitRevision ? 2 : 1;
}

constexpr int CountCardTypes()
{
    int count = 1;
    for (const OrvelCard& card : OrvelCards)
        count += TypesOf(card);
    return count;
}
static_assert(CountCardTypes() == CardTypeCount, "card types of the card table");

struct TypeNames {
    const char* Type;
    const char* Product;
};

// The names of a card type index: the row it counts to, or its split.
TypeNames NamesOfType(int index)
{
    int first = 1;
    for (const OrvelCard& card : OrvelCards) {
        if (index == first)
            return {card.TypeName, card.ProductName};
        if (card.SplitRevision && index == first + 1)
            return {card.SplitTypeName, card.SplitProductName};
        first += TypesOf(card);
    }
    return {UnknownName, UnknownName};
}

}  // namespace

int ClassifyCard(uint32_t deviceId, uint32_t vendorId, uint32_t revisionId)
{
    int first = 1;
    for (const OrvelCard& card : OrvelCards) {
        if (card.DeviceId == deviceId && card.VendorId == vendorId)
            return first + (card.SplitRevision && revisionId >= card.SplitRevision ? 1 : 0);
        first += TypesOf(card);
    }
    return 0;
}

const char* CardTypeName(int index)
{
    return NamesOfType(index).Type;
}

const char* CardProductName(int index)
{
    return NamesOfType(index).Product;
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
