// pelmixctl: the wizard's backup, write and restore sequence from a prompt,
// and the driver's single requests.
#include <signal.h>
#include <stdio.h>

#include "command_line.h"
#include "dorvane_version.h"
#include "request_runner.h"
#include "user_commands.h"

static CommandLine Line;

int main(int argc, char** argv)
{
#ifdef SIGXFSZ
    // Past a file-size limit a write fails and is reported, as on a full disk.
    signal(SIGXFSZ, SIG_IGN);
#endif
    char error[256] = {};
    if (!ParseCommandLine(argc, argv, &Line, error, sizeof error)) {
        fprintf(stderr, "pelmixctl: %s\n", error);
        // The user-level commands keep 1 for every refusal before the chip:
        // their 2 says that an old image was put back.
        if (Line.User.Kind != UserNone)
            return UserRefused;
        fputs(UsageText, stderr);
        fputs("pelmixctl --help tells more.\n", stderr);
        return 2;
    }
    if (Line.Help) {
        fputs(UsageText, stdout);
        fputs(HelpText, stdout);
        return 0;
    }
    if (Line.Version) {
        printf("pelmixctl %s\n", DORVANE_VERSION_TEXT);
        return 0;
    }
    if (Line.User.Kind != UserNone)
        return RunUserCommand(&Line);
    return RunCommands(&Line);
}
