// cfgcheck: checks a setup.cfg with the program's own reader. Lists every
// line that sets a key the program never reads (it would change nothing).
//   cfgcheck FILE     exit 0: every key=value line is read by the program;
//                     1: some are not (listed); 2: the file cannot be read
//   cfgcheck --keys   the keys the program reads, one a line
#include <stdio.h>
#include <string.h>

#include "config_keys.h"

static const char* CheckedPath = "";

static void ReportUnknown(int lineNumber, const char* line)
{
    size_t n = strcspn(line, "\r\n");
    printf("%s:%d: no such key: %.*s\n", CheckedPath, lineNumber, int(n), line);
}

int main(int argc, char** argv)
{
    if (argc == 2 && strcmp(argv[1], "--keys") == 0) {
        for (int i = 0; i < ConfigKeyCount; ++i)
            printf("%s\n", ConfigKeys[i]);
        return 0;
    }
    if (argc != 2 || argv[1][0] == '-') {
        fprintf(stderr, "usage: cfgcheck FILE | cfgcheck --keys\n");
        return 2;
    }
    CheckedPath = argv[1];
    int unknown = FindUnknownConfigLines(CheckedPath, ReportUnknown);
    if (unknown < 0) {
        fprintf(stderr, "cfgcheck: cannot read %s\n", CheckedPath);
        return 2;
    }
    return unknown == 0 ? 0 : 1;
}
