// The wizard's logic on the emulated machine: its requests go through the
// driver's dispatcher to one Orvel card at 1:00.0, whose flash chip a test
// fills and reads directly. Message boxes and the end of the run stay with
// the fake host.
#ifndef DORVANE_TEST_EMULATED_CARD_H
#define DORVANE_TEST_EMULATED_CARD_H

#include <stdint.h>

#include <string>
#include <vector>

// Called after each request with its code, its record as the program sees
// it and whether the call succeeded; returns whether it did. Stands for a
// fault the machine file cannot describe (a reply spoiled on its way back,
// a cell that did not take).
typedef int (*RequestFault)(uint32_t code, void* record, int ok);

// A fresh driver on a machine with the card (flash part flash, e.g. "08BF")
// holding image; extra machine lines (faults) may follow. The wizard's
// device list is the driver's, with the card selected, and the host's
// requests go to the driver until StopEmulatedCard.
void StartEmulatedCard(const char* flash, const uint8_t* image, uint32_t size, const std::string& extraLines = "",
                       RequestFault fault = 0);
void StopEmulatedCard();

std::vector<uint8_t> ChipBytes();
void PokeChip(uint32_t offset, uint8_t value);
// Codes of the requests sent since the start.
const std::vector<uint32_t>& EmulatedRequests();

#endif
