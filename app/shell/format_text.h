// Fills the placeholders of a shown text. The format may come from setup.cfg,
// so only "%s", "%d" and "%%" are understood, each placeholder takes the next
// argument whatever its kind, a missing argument prints nothing, and the
// result is cut to fit the buffer. Nothing a configured text holds can read
// or write memory it should not.
#ifndef DORVANE_FORMAT_TEXT_H
#define DORVANE_FORMAT_TEXT_H

#include <stddef.h>

struct FormatArg {
    const char* Text;  // used when not null
    long Number;
    FormatArg() : Text(0), Number(0), Present(0) {}
    FormatArg(const char* text) : Text(text ? text : ""), Number(0), Present(1) {}
    FormatArg(long number) : Text(0), Number(number), Present(1) {}
    FormatArg(int number) : Text(0), Number(number), Present(1) {}
    FormatArg(unsigned long number) : Text(0), Number(long(number)), Present(1) {}
    FormatArg(unsigned number) : Text(0), Number(long(number)), Present(1) {}
    int Present;
};

// Returns the length of the result.
size_t FormatText(char* buffer, size_t size, const char* format, FormatArg first = FormatArg(),
                  FormatArg second = FormatArg());

#endif
