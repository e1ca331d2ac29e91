// Every shown text comes through LookupText: the setup.cfg value for its key,
// else the program's string table, else the caller's built-in default.
#ifndef DORVANE_TEXT_LOOKUP_H
#define DORVANE_TEXT_LOOKUP_H

#include <stddef.h>

#include "config_file.h"

// 1 when the text came from setup.cfg, the number of characters when it came
// from the string table, 0 when the default was used. The buffer always
// receives a text, cut to fit size. id 0 skips the string table.
int LookupText(unsigned id, const char* key, const char* fallback, char* buffer, size_t size = TextBufferSize);

// One text of texts.txt (user_texts.h names each one Text<Name>).
struct TextRef {
    unsigned Id;          // in the string table; 0 for none
    const char* Key;      // in setup.cfg
    const char* Default;  // built in
};

inline int LookupText(const TextRef& text, char* buffer, size_t size = TextBufferSize)
{
    return LookupText(text.Id, text.Key, text.Default, buffer, size);
}

// Reads string id of the program's string table into buffer; the number of
// characters copied (0 when the table lacks it). Win32: LoadStringA.
int LoadStringTableText(unsigned id, char* buffer, size_t size);

// Copies text into buffer, cut to fit size.
void CopyText(char* buffer, size_t size, const char* text);

#endif
