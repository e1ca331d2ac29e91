// Turns each command into its request record, sends it through the
// transport, writes reply data to files and prints one line per request.
#ifndef PELMIXCTL_REQUEST_RUNNER_H
#define PELMIXCTL_REQUEST_RUNNER_H

#include "command_line.h"

// Exit code: 0 when every request completed at the system level, 1 when one
// did not or a reply could not be saved, 2 for an unusable input file.
int RunCommands(const CommandLine* line);

#endif
