#include "command_words.h"

#include <stdio.h>
#include <stdlib.h>

#include "text_lookup.h"
#include "user_texts.h"

namespace {

struct Words {
    const TextRef* Wizard;
    const char* Line;  // "%ld": the Status the wizard's text carried
};

const Words Table[] = {
    {&TextNoBiosWriteErr, "the new image could not be written (Status %ld); the old image goes back on the card now"},
    {&TextNoBiosWrite, "the new image could not be written; the old image goes back on the card now"},
    {&TextNoBiosRereadErr,
     "the chip could not be read back after the write (Status %ld); the old image goes back on the card now"},
    {&TextNoBiosReread, "the chip could not be read back after the write; the old image goes back on the card now"},
    {&TextRereadCsErr, "the chip read back after the write fails its checksum"},
    {&TextRereadMemcmpErr, "the chip read back after the write differs from the image written"},
    {&TextNoBiosRestoreErr, "the old image could not be written back (Status %ld)"},
    {&TextNoBiosRestore, "the old image could not be written back and read back equal"},
};

// 1 when text is pattern with its "%d" (at most one) filled in; the number in *number.
int Matches(const char* pattern, const char* text, long* number)
{
    while (*pattern) {
        if (pattern[0] == '%' && pattern[1] == 'd') {
            char* end = 0;
            *number = strtol(text, &end, 10);
            if (end == text)
                return 0;
            text = end;
            pattern += 2;
        } else if (*pattern++ != *text++) {
            return 0;
        }
    }
    return *text == 0;
}

}  // namespace

const char* CommandWords(const char* shown, char* buffer, size_t size)
{
    char pattern[TextBufferSize];
    for (const Words& words : Table) {
        LookupText(*words.Wizard, pattern, sizeof pattern);
        long number = 0;
        if (Matches(pattern, shown, &number)) {
            snprintf(buffer, size, words.Line, number);
            return buffer;
        }
    }
    return shown;
}
