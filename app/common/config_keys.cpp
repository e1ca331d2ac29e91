#include "config_keys.h"

#include <stdio.h>
#include <string.h>

#include "config_file.h"
#include "user_texts.h"

// The keys of texts.txt; FontColour is the one setting that is not a text.
const char* const ConfigKeys[] = {DORVANE_CONFIG_KEYS};
const int ConfigKeyCount = int(sizeof ConfigKeys / sizeof ConfigKeys[0]);

const char* ConfigLineKey(const char* line)
{
    const char* value;
    for (int i = 0; i < ConfigKeyCount; ++i)
        if (ConfigLineValue(line, ConfigKeys[i], &value))
            return ConfigKeys[i];
    return 0;
}

int FindUnknownConfigLines(const char* path, void (*report)(int lineNumber, const char* line))
{
    FILE* file = fopen(path, "r");
    if (!file)
        return -1;
    char line[ConfigReadSize];
    int unknown = 0, number = 0, atLineStart = 1;
    while (fgets(line, sizeof line, file)) {
        // A piece of a long line counts as a line of its own, as the program
        // reads it, but keeps the number of the line it came from.
        if (atLineStart)
            ++number;
        atLineStart = strchr(line, '\n') != 0;
        if (line[0] == ';' || !strchr(line, '=') || ConfigLineKey(line))
            continue;
        ++unknown;
        report(number, line);
    }
    fclose(file);
    return unknown;
}
