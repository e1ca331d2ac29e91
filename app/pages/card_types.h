/* Which Orvel card a device entry is, and the line the device page lists
   for it. */
#ifndef DORVANE_CARD_TYPES_H
#define DORVANE_CARD_TYPES_H

#include <stddef.h>
#include <stdint.h>

#include "pelmix_ioctl.h"

enum { CardTypeCount = 7, ProductNameShownLength = 12 };

extern const char* const CardTypeNames[CardTypeCount];
extern const char* const ProductNames[CardTypeCount];

/* The card type index 0 (unknown) to 6. */
int ClassifyCard(uint32_t deviceId, uint32_t vendorId, uint32_t revisionId);

/* "PRODUCT (BUS)": the product name, at most 12 characters, and the
   looked-up bus text ("AGPCard" or "PCICard"). */
void CardListLine(const PELMIX_DEVICE_ENTRY* entry, char* line, size_t size);

#endif
