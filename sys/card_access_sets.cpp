#include "card_access_sets.h"

#include "delay.h"
#include "flash_chip_table.h"
#include "orvel_cards.h"
#include "orvel_registers.h"
#include "platform.h"

namespace {

enum CardStepKind : uint32_t {
    CardStepsEnd,    // the rest of the list is unused
    CardWriteZero,   // write 0
    CardWriteSaved,  // write saved slot Slot, SetBits set and ClearBits cleared
    CardChangeBits,  // read the register, set SetBits, clear ClearBits, write it back
    CardSettle,      // wait CardSettleMs
};

// One register write or wait of an access set.
struct CardStep {
    CardStepKind Kind;
    uint32_t Register;
    uint32_t Slot;
    uint32_t SetBits;
    uint32_t ClearBits;
};

constexpr CardStep Zero(uint32_t reg)
{
    return {CardWriteZero, reg, 0, 0, 0};
}

constexpr CardStep Saved(uint32_t reg, uint32_t slot, uint32_t setBits = 0, uint32_t clearBits = 0)
{
    return {CardWriteSaved, reg, slot, setBits, clearBits};
}

constexpr CardStep Change(uint32_t reg, uint32_t setBits, uint32_t clearBits)
{
    return {CardChangeBits, reg, 0, setBits, clearBits};
}

constexpr CardStep Settle = {CardSettle, 0, 0, 0, 0};

template <typename T, uint32_t N>
constexpr uint32_t CountOf(const T (&)[N])
{
    return N;
}

}  // namespace

// Prepare reads the Saves registers into slots 0, 1, ... in order, then runs
// its steps; Restore only runs its steps. The longest set fills each list.
struct CardAccessSet {
    uint32_t Saves[CardSavedRegisterCount];
    uint32_t SaveCount;
    CardStep Prepare[6];
    CardStep Restore[5];
};

namespace {

// In the order of OrvelAccessSet. The saved values go back crosswise: each
// is written to its partner register, not to the one it was read from.
// clang-format off
constexpr CardAccessSet AccessSets[] = {
    // A: registers 0x00, 0x04, 0x08, 0x0C; partners 0x00/0x0C and 0x04/0x08.
    {{OrvelRegister00, OrvelRegister04, OrvelRegister08, OrvelRegister0C}, 4,
     {Zero(OrvelRegister00), Zero(OrvelRegister04), Zero(OrvelRegister08), Zero(OrvelRegister0C), Settle},
     {Saved(OrvelRegister0C, 0), Settle,
      Saved(OrvelRegister08, 1), Saved(OrvelRegister04, 2), Saved(OrvelRegister00, 3)}},
    // B: 0x147C, 0x1480, then 0x00 and 0x04 (partners).
    {{OrvelRegister147C, OrvelRegister1480, OrvelRegister00, OrvelRegister04}, 4,
     {Saved(OrvelRegister147C, 0, Orvel147CRomOn), Saved(OrvelRegister1480, 1, 0, Orvel1480RomOff), Settle,
      Zero(OrvelRegister00), Zero(OrvelRegister04), Settle},
     {Saved(OrvelRegister04, 2), Saved(OrvelRegister00, 3), Settle,
      Saved(OrvelRegister1480, 1), Saved(OrvelRegister147C, 0)}},
    // C: 0x00 and 0x04 (partners), and bit 0 of 0x80.
    {{OrvelRegister00, OrvelRegister04}, 2,
     {Change(OrvelRegister80, 0, Orvel80RomOff), Settle, Zero(OrvelRegister00), Zero(OrvelRegister04), Settle},
     {Saved(OrvelRegister04, 0), Saved(OrvelRegister00, 1), Settle, Change(OrvelRegister80, Orvel80RomOff, 0)}},
};
// clang-format on

constexpr bool WritesOnlySavedSlots(const CardStep* steps, uint32_t count, uint32_t saveCount)
{
    for (uint32_t i = 0; i < count; ++i) {
        if (steps[i].Kind == CardWriteSaved && steps[i].Slot >= saveCount)
            return false;
    }
    return true;
}

constexpr bool EverySetWritesBackWhatItSaved()
{
    for (const CardAccessSet& set : AccessSets) {
        if (set.SaveCount > CountOf(set.Saves) ||
            !WritesOnlySavedSlots(set.Prepare, CountOf(set.Prepare), set.SaveCount) ||
            !WritesOnlySavedSlots(set.Restore, CountOf(set.Restore), set.SaveCount))
            return false;
    }
    return true;
}
static_assert(EverySetWritesBackWhatItSaved(), "an access set writes back a slot it did not save");

void RunSteps(const CardStep* steps, uint32_t count, void* registers, const uint32_t* saved)
{
    for (uint32_t i = 0; i < count && steps[i].Kind != CardStepsEnd; ++i) {
        const CardStep& step = steps[i];
        switch (step.Kind) {
        case CardWriteZero: PlatformWrite32(registers, step.Register, 0); break;
        case CardWriteSaved:
            PlatformWrite32(registers, step.Register, (saved[step.Slot] | step.SetBits) & ~step.ClearBits);
            break;
        case CardChangeBits: {
            uint32_t value = PlatformRead32(registers, step.Register);
            PlatformWrite32(registers, step.Register, (value | step.SetBits) & ~step.ClearBits);
            break;
        }
        case CardSettle: DelayMs(CardSettleMs); break;
        case CardStepsEnd: break;
        }
    }
}

// Families come from the card table; one it does not hold is taken as the
// first.
const OrvelFamily& FamilyRow(uint32_t family)
{
    const OrvelFamily* row = FindOrvelFamily(family);
    return row ? *row : OrvelFamilies[0];
}

}  // namespace

const CardAccessSet* AccessSetForFamily(uint32_t family)
{
    uint32_t set = FamilyRow(family).AccessSet;
    return &AccessSets[set < CountOf(AccessSets) ? set : OrvelAccessA];
}

uint32_t RegisterWindowSize(uint32_t family)
{
    return FamilyRow(family).RegisterWindowSize;
}

void PrepareCard(const CardAccessSet* set, void* registerWindow, uint32_t* saved)
{
    for (uint32_t i = 0; i < set->SaveCount; ++i)
        saved[i] = PlatformRead32(registerWindow, set->Saves[i]);
    RunSteps(set->Prepare, CountOf(set->Prepare), registerWindow, saved);
}

void RestoreCard(const CardAccessSet* set, void* registerWindow, const uint32_t* saved)
{
    RunSteps(set->Restore, CountOf(set->Restore), registerWindow, saved);
}
