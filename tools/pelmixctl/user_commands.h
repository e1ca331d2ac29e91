// The user-level commands: backup, flash, restore and verify, run by the
// wizard's own backup step, image load, merge and write sequence.
#ifndef PELMIXCTL_USER_COMMANDS_H
#define PELMIXCTL_USER_COMMANDS_H

#include "command_line.h"

enum UserExit {
    UserDone = 0,           // done and verified
    UserRefused = 1,        // refused before the chip was touched; also usage
    UserRestored = 2,       // the write failed; the old image is back and verified
    UserNeedsRecovery = 3,  // the restore failed too
    UserNoDriver = 4,       // the driver could not be started: nothing was touched
};

int RunUserCommand(const CommandLine* line);

#endif
