#include "text_append.h"

int AppendText(char* buffer, size_t size, const char* piece)
{
    if (size == 0)
        return 0;
    size_t at = 0;
    while (at < size && buffer[at])
        ++at;
    if (at == size) {
        buffer[size - 1] = 0;
        return 0;
    }
    while (*piece && at + 1 < size)
        buffer[at++] = *piece++;
    buffer[at] = 0;
    return *piece == 0;
}

namespace {

int AppendDigits(char* buffer, size_t size, uint32_t value, uint32_t base, uint32_t digits)
{
    char reversed[33];
    uint32_t count = 0;
    do {
        reversed[count++] = "0123456789ABCDEF"[value % base];
        value /= base;
    } while (value != 0 && count < 32);
    while (count < digits && count < 32)
        reversed[count++] = '0';
    char piece[33];
    for (uint32_t i = 0; i < count; ++i)
        piece[i] = reversed[count - 1 - i];
    piece[count] = 0;
    return AppendText(buffer, size, piece);
}

}  // namespace

int AppendDecimal(char* buffer, size_t size, uint32_t value)
{
    return AppendDigits(buffer, size, value, 10, 1);
}

int AppendHex(char* buffer, size_t size, uint32_t value, uint32_t digits)
{
    return AppendDigits(buffer, size, value, 16, digits);
}
