/* Which Orvel card a device entry is, and the line the device page lists
   for it. */
#ifndef DORVANE_CARD_TYPES_H
#define DORVANE_CARD_TYPES_H

#include <stddef.h>
#include <stdint.h>

#include "pelmix_ioctl.h"

enum { CardTypeCount = 7, ProductNameShownLength = 12 };

/* The card type index 0 (unknown) to 6: the kinds of the card table in
   order from 1, a kind with a revision split taking two. */
int ClassifyCard(uint32_t deviceId, uint32_t vendorId, uint32_t revisionId);

/* The names of a card type index; "Unknown" for 0 and any index out of
   range. */
const char* CardTypeName(int index);
const char* CardProductName(int index);

/* "PRODUCT (BUS)": the product name, at most 12 characters, and the
   looked-up bus text ("AGPCard" or "PCICard"). */
void CardListLine(const PELMIX_DEVICE_ENTRY* entry, char* line, size_t size);

#endif
