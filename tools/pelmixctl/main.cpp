// pelmixctl: sends the driver's requests from the command line.
#include <stdio.h>

#include "command_line.h"
#include "request_runner.h"

static CommandLine Line;

int main(int argc, char** argv)
{
    char error[256] = {};
    if (!ParseCommandLine(argc, argv, &Line, error, sizeof error)) {
        fprintf(stderr, "pelmixctl: %s\n%s", error, UsageText);
        return 2;
    }
    if (Line.Help) {
        fputs(UsageText, stdout);
        return 0;
    }
    return RunCommands(&Line);
}
