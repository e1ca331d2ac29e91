// pelmixctl's WizardHost: the wizard's backup step and write sequence reach
// the driver through the transport, print a line for each step, and put
// their one question, the write confirmation, to the command line.
#ifndef PELMIXCTL_FLASH_HOST_H
#define PELMIXCTL_FLASH_HOST_H

#include <stdint.h>

#include "chip_waits.h"
#include "pelmix_ioctl.h"

// What the run has seen; the commands read it to choose the exit code.
struct FlashRunRecord {
    int Yes;                 // --yes answers the confirmation
    int Merge;               // the write sequence merges the board table
    const ChipWaits* Waits;  // of the target's chip
    char ChipName[32];       // "" when the chip is not named
    int WriteSent;           // the chip may have changed
    int ReadBackDone;        // the read-back request succeeded
    int RestoreSent, RestoreDone;
    int EndRunCalled;
    int Declined;  // the confirmation was not given
    // Why the image is doubtful, asked about after the confirmation; "" for none.
    char Doubt[256];
};

extern FlashRunRecord FlashRun;

// Reads the whole chip into record for a check of pelmixctl's own (the
// verify command); printed as step "read", as the write sequence's read of
// a restored old image is. The chip
// length (reply less header), or -1 when the read failed.
int32_t ReadChipForCheck(PELMIX_ROM_TRANSFER* record);

#endif
