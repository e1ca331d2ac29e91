#include "text_lookup.h"

#include <string.h>

void CopyText(char* buffer, size_t size, const char* text)
{
    if (size == 0)
        return;
    size_t len = strlen(text);
    if (len > size - 1)
        len = size - 1;
    memcpy(buffer, text, len);
    buffer[len] = 0;
}

int LookupText(unsigned id, const char* key, const char* fallback, char* buffer, size_t size)
{
    if (ReadConfigValue(key, buffer, size))
        return 1;
    if (id != 0) {
        int count = LoadStringTableText(id, buffer, size);
        if (count > 0)
            return count;
    }
    CopyText(buffer, size, fallback);
    return 0;
}
