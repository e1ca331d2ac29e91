// The card access sets: how each card family is put into the state in which
// its flash chip answers through the expansion ROM decoder, and taken out of
// it again. Registers are 32 bits wide, named by their byte offset in the
// card's register window.
#ifndef PELMIX_CARD_ACCESS_SETS_H
#define PELMIX_CARD_ACCESS_SETS_H

#include <stdint.h>

struct CardAccessSet {
    void (*Prepare)(void* registerWindow);
    void (*Restore)(void* registerWindow);
};

extern const CardAccessSet AccessSetA;
extern const CardAccessSet AccessSetB;
extern const CardAccessSet AccessSetC;

// Register values saved by Prepare for Restore live in the driver state
// (SavedCardRegisters); the sets share the slots.
enum { CardSavedRegisterCount = 6 };

// The set of a family's row in the card table (orvel_cards.h).
const CardAccessSet* AccessSetForFamily(uint32_t family);
// The bytes of the family's register window that the sets reach.
uint32_t RegisterWindowSize(uint32_t family);

#endif
