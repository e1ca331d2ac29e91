#include "config_file.h"

#include <stdio.h>
#include <string.h>

char ConfigPath[PathBufferSize];

namespace {

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

int IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

}  // namespace

int ConfigLineValue(const char* line, const char* key, const char** value)
{
    if (line[0] == ';')
        return 0;
    const char* equals = strchr(line, '=');
    if (!equals)
        return 0;
    size_t n = strlen(key);
    // The key must start the line; only blanks may stand between it and '='.
    for (size_t i = 0; i < n; ++i)
        if (line + i >= equals || LowerAscii(line[i]) != LowerAscii(key[i]))
            return 0;
    for (const char* p = line + n; p < equals; ++p)
        if (!IsBlank(*p))
            return 0;
    const char* v = equals + 1;
    while (IsBlank(*v))
        ++v;
    *value = v;
    return 1;
}

int ReadConfigValueFrom(const char* path, const char* key, char* buffer, size_t size)
{
    if (!path[0] || size == 0)
        return 0;
    FILE* file = fopen(path, "r");
    if (!file)
        return 0;
    // A line longer than the read buffer arrives in pieces, each read as a
    // line of its own.
    char line[ConfigReadSize];
    int found = 0;
    while (!found && fgets(line, sizeof line, file)) {
        const char* value;
        if (!ConfigLineValue(line, key, &value))
            continue;
        size_t len = strlen(value);
        if (len > 0 && value[len - 1] == '\n')
            --len;
        if (len > 0 && value[len - 1] == '\r')
            --len;
        if (len == 0)
            continue;  // an empty value counts as absent
        if (len > size - 1)
            len = size - 1;
        memcpy(buffer, value, len);
        buffer[len] = 0;
        found = 1;
    }
    fclose(file);
    return found;
}

int ReadConfigValue(const char* key, char* buffer, size_t size)
{
    return ReadConfigValueFrom(ConfigPath, key, buffer, size);
}
