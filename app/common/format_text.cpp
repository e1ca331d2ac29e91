#include "format_text.h"

#include <stdint.h>
#include <string.h>

namespace {

// wsprintfA writes at most this many bytes, the terminator included, and
// holds widths and precisions to the room it has left.
const size_t WsprintfLimit = 1024;

struct Output {
    char* buffer;
    size_t size;  // at most WsprintfLimit
    size_t used;
};

size_t Room(const Output* out)
{
    return out->size - 1 - out->used;
}

size_t WsprintfRoom(const Output* out)
{
    return WsprintfLimit - 1 - out->used;
}

size_t AtMost(size_t value, size_t limit)
{
    return value < limit ? value : limit;
}

void Put(Output* out, const char* text, size_t len)
{
    len = AtMost(len, Room(out));
    memcpy(out->buffer + out->used, text, len);
    out->used += len;
}

void PutRepeated(Output* out, char c, size_t count)
{
    count = AtMost(count, Room(out));
    memset(out->buffer + out->used, c, count);
    out->used += count;
}

// One conversion as wsprintfA reads it: %[-][#][0][width][.precision][h|l]type,
// the flags in that order only.
struct Conversion {
    int LeftAlign;
    int HexPrefix;
    int ZeroPad;
    size_t Width;
    size_t Precision;
    char Size;  // 0, 'h' or 'l'
    char Type;
    size_t Length;  // characters after the percent sign
};

size_t AddDigit(size_t value, char digit)
{
    // Anything past the limit is cut to the room anyway.
    return value < WsprintfLimit ? value * 10 + size_t(digit - '0') : value;
}

// Reads the conversion after a percent sign; 0 when the text ends first.
int ParseConversion(const char* start, Conversion* c)
{
    const char* p = start;
    memset(c, 0, sizeof *c);
    if (*p == '-')
        c->LeftAlign = 1, ++p;
    if (*p == '#')
        c->HexPrefix = 1, ++p;
    if (*p == '0')
        c->ZeroPad = 1, ++p;
    for (; *p >= '0' && *p <= '9'; ++p)
        c->Width = AddDigit(c->Width, *p);
    if (*p == '.')
        for (++p; *p >= '0' && *p <= '9'; ++p)
            c->Precision = AddDigit(c->Precision, *p);
    if (*p == 'h' || *p == 'l')
        c->Size = *p++;
    if (!*p)
        return 0;
    c->Type = *p++;
    c->Length = size_t(p - start);
    return 1;
}

void PutNumber(Output* out, const Conversion& c, const FormatArg& arg)
{
    uint32_t bits = uint32_t(arg.Number);
    int negative = (c.Type == 'd' || c.Type == 'i') && (bits & 0x80000000u);
    uint32_t magnitude = negative ? 0u - bits : bits;
    unsigned base = c.Type == 'x' || c.Type == 'X' ? 16 : 10;
    const char* digitSet = c.Type == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
    char reversed[12];
    size_t count = 0;
    do {
        reversed[count++] = digitSet[magnitude % base];
        magnitude /= base;
    } while (magnitude);
    char digits[12];
    for (size_t i = 0; i < count; ++i)
        digits[i] = reversed[count - 1 - i];

    // As wsprintfA counts: the sign is one of the precision's digits, and
    // the 0x prefix lies outside the width.
    size_t room = WsprintfRoom(out);
    size_t len = AtMost(count + size_t(negative), room);
    size_t width = AtMost(c.Width, room);
    size_t precision = AtMost(c.Precision > len ? c.Precision : len, room);
    if (c.ZeroPad && !c.LeftAlign && width > precision)
        precision = width;
    size_t pad = width > precision ? width - precision : 0;
    if (!c.LeftAlign)
        PutRepeated(out, ' ', pad);
    if (c.HexPrefix)
        Put(out, c.Type == 'X' ? "0X" : "0x", 2);
    if (negative)
        Put(out, "-", 1);
    PutRepeated(out, '0', precision > len ? precision - len : 0);
    Put(out, digits, len - size_t(negative));
    if (c.LeftAlign)
        PutRepeated(out, ' ', pad);
}

void PutCharacter(Output* out, const Conversion& c, const FormatArg& arg)
{
    char ch = char(uint32_t(arg.Number) & 0xFF);
    if (!ch)
        return;  // wsprintfA ignores a character of value zero
    size_t width = AtMost(c.Width, WsprintfRoom(out));
    size_t pad = width > 1 ? width - 1 : 0;
    if (!c.LeftAlign)
        PutRepeated(out, ' ', pad);
    Put(out, &ch, 1);
    if (c.LeftAlign)
        PutRepeated(out, ' ', pad);
}

void PutString(Output* out, const Conversion& c, const FormatArg& arg)
{
    // A precision of 0 takes the whole text, as in wsprintfA.
    size_t len = 0;
    while ((!c.Precision || len < c.Precision) && arg.Text[len])
        ++len;
    size_t room = WsprintfRoom(out);
    len = AtMost(len, room);
    size_t width = AtMost(c.Width, room);
    size_t pad = width > len ? width - len : 0;
    if (!c.LeftAlign)
        PutRepeated(out, ' ', pad);
    Put(out, arg.Text, len);
    if (c.LeftAlign)
        PutRepeated(out, ' ', pad);
}

enum ArgKind { NumberArg, TextArg };

typedef void (*Writer)(Output* out, const Conversion& c, const FormatArg& arg);

struct ConversionKind {
    char Size;
    char Type;
    ArgKind Kind;
    Writer Write;
};

// The conversions wsprintfA reads an int-sized number or an 8-bit text for.
// Left out: C, lc (a wide character), S, ls, ws (a wide text), p (a pointer),
// I64 and I (64-bit or pointer-sized numbers) and o, e, f, n (not known).
// h and l do not change how wsprintfA prints a number read as an int.
const ConversionKind Conversions[] = {
    {0, 'd', NumberArg, PutNumber},    {0, 'i', NumberArg, PutNumber},      {0, 'u', NumberArg, PutNumber},
    {0, 'x', NumberArg, PutNumber},    {0, 'X', NumberArg, PutNumber},      {'l', 'd', NumberArg, PutNumber},
    {'l', 'i', NumberArg, PutNumber},  {'l', 'u', NumberArg, PutNumber},    {'l', 'x', NumberArg, PutNumber},
    {'l', 'X', NumberArg, PutNumber},  {'h', 'd', NumberArg, PutNumber},    {'h', 'i', NumberArg, PutNumber},
    {'h', 'u', NumberArg, PutNumber},  {'h', 'x', NumberArg, PutNumber},    {'h', 'X', NumberArg, PutNumber},
    {0, 'c', NumberArg, PutCharacter}, {'h', 'c', NumberArg, PutCharacter}, {'h', 'C', NumberArg, PutCharacter},
    {0, 's', TextArg, PutString},      {'h', 's', TextArg, PutString},      {'h', 'S', TextArg, PutString},
};

const ConversionKind* KindOf(const Conversion& c)
{
    // '#' is for hexadecimal only; on other numbers wsprintfA miscounts it.
    if (c.HexPrefix && c.Type != 'x' && c.Type != 'X')
        return 0;
    for (const ConversionKind& k : Conversions)
        if (k.Size == c.Size && k.Type == c.Type)
            return &k;
    return 0;
}

int Fits(const ConversionKind* kind, const FormatArg* arg)
{
    return kind && arg && arg->Present && (kind->Kind == TextArg) == (arg->Text != 0);
}

}  // namespace

size_t FormatText(char* buffer, size_t size, const char* format, FormatArg first, FormatArg second)
{
    if (size == 0)
        return 0;
    Output out = {buffer, AtMost(size, WsprintfLimit), 0};
    const FormatArg* args[2] = {&first, &second};
    int next = 0;
    const char* p = format;
    while (*p && Room(&out)) {
        if (p[0] != '%') {
            Put(&out, p++, 1);
            continue;
        }
        if (p[1] == '%') {
            Put(&out, "%", 1);
            p += 2;
            continue;
        }
        Conversion c;
        const ConversionKind* kind = ParseConversion(p + 1, &c) ? KindOf(c) : 0;
        const FormatArg* arg = next < 2 ? args[next] : 0;
        if (Fits(kind, arg)) {
            kind->Write(&out, c, *arg);
            ++next;
            p += 1 + c.Length;
        } else {
            Put(&out, p++, 1);  // shown as written; the rest follows as plain text
        }
    }
    buffer[out.used] = 0;
    return out.used;
}
