// Fills the placeholders of a shown text as wsprintfA does. The format may
// come from setup.cfg, so a conversion is made only when it fits the argument
// it would read: a number conversion (d i u x X c, with the size prefixes h
// and l) for a number, a text conversion (s, hs, hS) for a text, each with
// the flags - # 0, a width and a precision as wsprintfA reads them. Anything
// else (a conversion of the other kind or with no argument left, wide, 64-bit
// or pointer conversions, %n, '*' widths, '#' on a decimal) is shown as
// written and reads no argument. The result is cut to the buffer and, like
// wsprintfA's, to 1023 characters. Nothing a configured text holds can read
// or write memory it should not.
#ifndef DORVANE_FORMAT_TEXT_H
#define DORVANE_FORMAT_TEXT_H

#include <stddef.h>

struct FormatArg {
    const char* Text;  // used when not null
    long Number;       // read as wsprintfA reads an int: its low 32 bits
    FormatArg() : Text(0), Number(0), Present(0) { }
    FormatArg(const char* text) : Text(text ? text : ""), Number(0), Present(1) { }
    FormatArg(long number) : Text(0), Number(number), Present(1) { }
    FormatArg(int number) : Text(0), Number(number), Present(1) { }
    FormatArg(unsigned long number) : Text(0), Number(long(number)), Present(1) { }
    FormatArg(unsigned number) : Text(0), Number(long(number)), Present(1) { }
    int Present;
};

// Returns the length of the result.
size_t FormatText(char* buffer, size_t size, const char* format, FormatArg first = FormatArg(),
                  FormatArg second = FormatArg());

#endif
