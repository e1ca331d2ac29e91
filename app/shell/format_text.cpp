#include "format_text.h"

#include <stdio.h>
#include <string.h>

namespace {

struct Output {
    char* buffer;
    size_t size;
    size_t used;
};

void Put(Output* out, const char* text, size_t len)
{
    size_t room = out->size - 1 - out->used;
    if (len > room)
        len = room;
    memcpy(out->buffer + out->used, text, len);
    out->used += len;
}

void PutArg(Output* out, const FormatArg& arg)
{
    if (!arg.Present)
        return;
    if (arg.Text) {
        Put(out, arg.Text, strlen(arg.Text));
        return;
    }
    char number[24];
    snprintf(number, sizeof number, "%ld", arg.Number);
    Put(out, number, strlen(number));
}

}  // namespace

size_t FormatText(char* buffer, size_t size, const char* format, FormatArg first, FormatArg second)
{
    if (size == 0)
        return 0;
    Output out = {buffer, size, 0};
    const FormatArg* args[2] = {&first, &second};
    int next = 0;
    for (const char* p = format; *p; ++p) {
        if (p[0] == '%' && (p[1] == 's' || p[1] == 'd')) {
            if (next < 2)
                PutArg(&out, *args[next]);
            ++next;
            ++p;
        } else if (p[0] == '%' && p[1] == '%') {
            Put(&out, "%", 1);
            ++p;
        } else {
            Put(&out, p, 1);
        }
    }
    buffer[out.used] = 0;
    return out.used;
}
