// The card access sets: how each card family is put into the state in which
// its flash chip answers through the expansion ROM decoder, and taken out of
// it again. Registers are 32 bits wide, named by their byte offset in the
// card's register window.
#ifndef PELMIX_CARD_ACCESS_SETS_H
#define PELMIX_CARD_ACCESS_SETS_H

#include <stdint.h>

// A set's registers saved and written in order, rows of card_access_sets.cpp.
struct CardAccessSet;

// Register values Prepare saves for Restore, in storage the caller holds
// from one to the other; the sets share the slots.
enum { CardSavedRegisterCount = 6 };

// The set of a family's row in the card table (orvel_cards.h).
const CardAccessSet* AccessSetForFamily(uint32_t family);
// The bytes of the family's register window that the sets reach.
uint32_t RegisterWindowSize(uint32_t family);

// Saves the set's registers into saved, then writes and waits as the set says.
void PrepareCard(const CardAccessSet* set, void* registerWindow, uint32_t* saved);
// Writes the saved values back as the set says.
void RestoreCard(const CardAccessSet* set, void* registerWindow, const uint32_t* saved);

#endif
