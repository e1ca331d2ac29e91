// The Orvel cards, one row per PCI id, and their families, one row each. The
// driver lists the cards of a family, the emulated machine makes a card of a
// listed id behave as its family does, and the wizard names a card by its
// row. Constant data only, so the driver reads it as it is.
#ifndef PELMIX_ORVEL_CARDS_H
#define PELMIX_ORVEL_CARDS_H

#include <stdint.h>

// How a family's flash chip is reached: the card access set that prepares
// the card for the expansion ROM decoder and restores it.
enum OrvelAccessSet : uint32_t {
    OrvelAccessA,  // registers 0x00, 0x04, 0x08, 0x0C
    OrvelAccessB,  // 0x147C, 0x1480, 0x00, 0x04
    OrvelAccessC,  // 0x00, 0x04 and bit 0 of 0x80
};

struct OrvelFamily {
    uint32_t Family;  // 1 to 4
    OrvelAccessSet AccessSet;
    uint32_t RegisterWindowSize;  // bytes behind BAR 0x14
};

inline constexpr OrvelFamily OrvelFamilies[] = {
    {1, OrvelAccessA, 0x2000},
    {2, OrvelAccessB, 0x4000},
    {3, OrvelAccessB, 0x4000},
    {4, OrvelAccessC, 0x4000},
};

// One card kind. A kind with a revision split is two card types: revisions
// below SplitRevision take the first names, the others the split names.
struct OrvelCard {
    uint16_t VendorId;
    uint16_t DeviceId;
    uint32_t Family;  // 0: a kind the driver does not list
    const char* TypeName;
    const char* ProductName;
    uint32_t SplitRevision;  // 0: no split
    const char* SplitTypeName;
    const char* SplitProductName;
};

// clang-format off
inline constexpr OrvelCard OrvelCards[] = {
    // vendor device  family type    product      split  type    product
    {0x1E5B, 0x0A51, 1,     "ZT10", "ZT10-E",    0,     nullptr, nullptr},
    {0x1E5B, 0x0A52, 2,     "ZT20", "ZNA",       0,     nullptr, nullptr},
    {0x1D2E, 0x0C61, 3,     "ZR1B", "Orvel I",   5,     "ZR11",  "Orvel II"},
    {0x1D2E, 0x0C62, 4,     "ZR2",  "Orvel III", 0,     nullptr, nullptr},
    {0x1D2E, 0x0C63, 0,     "ZR3",  "Orvel IV",  0,     nullptr, nullptr},
};
// clang-format on

// The row of the card with these ids, else null.
inline const OrvelCard* FindOrvelCard(uint32_t vendorId, uint32_t deviceId)
{
    for (const OrvelCard& card : OrvelCards) {
        if (card.VendorId == vendorId && card.DeviceId == deviceId)
            return &card;
    }
    return nullptr;
}

// The family of the card with these ids; 0 for a device the driver does not
// list.
inline uint32_t OrvelCardFamily(uint32_t vendorId, uint32_t deviceId)
{
    const OrvelCard* card = FindOrvelCard(vendorId, deviceId);
    return card ? card->Family : 0;
}

// The row of a family 1 to 4, else null.
inline const OrvelFamily* FindOrvelFamily(uint32_t family)
{
    for (const OrvelFamily& row : OrvelFamilies) {
        if (row.Family == family)
            return &row;
    }
    return nullptr;
}

#endif
