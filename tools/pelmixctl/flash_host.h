// pelmixctl's WizardHost: the wizard's flash session reaches the driver
// through the transport, prints a line for each step it tells, and puts its
// one question, the write confirmation, to the command line.
#ifndef PELMIXCTL_FLASH_HOST_H
#define PELMIXCTL_FLASH_HOST_H

#include <stdint.h>

#include "chip_waits.h"
#include "pelmix_ioctl.h"
#include "wizard_host.h"

// What the host needs of the command, and the answer it gave.
struct FlashRunRecord {
    int Yes;                 // --yes answers the confirmation
    int Merge;               // the write sequence merges the board table
    const ChipWaits* Waits;  // of the target's chip
    char ChipName[32];       // "" when the identification named no chip
    int Declined;            // the confirmation was not given
    // Why the image is doubtful, asked about after the confirmation; "" for none.
    char Doubt[256];
};

extern FlashRunRecord FlashRun;

// What a run says of a chip the identification does not name (Status 15):
// the driver writes a code it does not list with the page method, and the
// few codes it lists without a name by their own.
extern const char ChipNotIdentifiedText[];

// The chip as the run's lines and confirmation name it: its name, or
// ChipNotIdentifiedText.
const char* ChipWords();

// The host table, for the wizard's logic (UseWizardHost) and for the
// session's calls.
extern const WizardHost PelmixctlHost;

// Reads the whole chip into record for a check of pelmixctl's own (the
// verify command); printed as step "read", as the write sequence's read of
// a restored old image is. The chip
// length (reply less header), or -1 when the read failed.
int32_t ReadChipForCheck(PELMIX_ROM_TRANSFER* record);

#endif
