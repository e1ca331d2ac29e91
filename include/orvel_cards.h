// The Orvel cards by their PCI ids, and the family that says how each one's
// flash chip is reached. The driver lists the cards it finds by this table;
// the emulated machine makes a card of a listed id behave as its family does.
#ifndef PELMIX_ORVEL_CARDS_H
#define PELMIX_ORVEL_CARDS_H

#include <stdint.h>

struct OrvelCardId {
    uint16_t VendorId;
    uint16_t DeviceId;
    uint32_t Family;  // 1 to 4
};

inline constexpr OrvelCardId OrvelCardIds[] = {
    {0x1E5B, 0x0A51, 1},
    {0x1E5B, 0x0A52, 2},
    {0x1D2E, 0x0C61, 3},
    {0x1D2E, 0x0C62, 4},
};

// The family of the card with these ids; 0 for any other device.
inline uint32_t OrvelCardFamily(uint32_t vendorId, uint32_t deviceId)
{
    for (const OrvelCardId& id : OrvelCardIds) {
        if (id.VendorId == vendorId && id.DeviceId == deviceId)
            return id.Family;
    }
    return 0;
}

#endif
