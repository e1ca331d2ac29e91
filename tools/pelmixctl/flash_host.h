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
    char ChipName[32];       // "" when the chip is not named
    int Declined;            // the confirmation was not given
    // Why the image is doubtful, asked about after the confirmation; "" for none.
    char Doubt[256];
};

extern FlashRunRecord FlashRun;

// The host table, for the wizard's logic (UseWizardHost) and for the
// session's calls.
extern const WizardHost PelmixctlHost;

// Reads the whole chip into record for a check of pelmixctl's own (the
// verify command); printed as step "read", as the write sequence's read of
// a restored old image is. The chip
// length (reply less header), or -1 when the read failed.
int32_t ReadChipForCheck(PELMIX_ROM_TRANSFER* record);

#endif
