#include "emu_text.h"

namespace {

int HexDigit(char c, uint32_t* digit)
{
    if (c >= '0' && c <= '9')
        *digit = static_cast<uint32_t>(c - '0');
    else if (c >= 'a' && c <= 'f')
        *digit = static_cast<uint32_t>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F')
        *digit = static_cast<uint32_t>(c - 'A' + 10);
    else
        return 0;
    return 1;
}

int HasHexPrefix(EmuToken token)
{
    return token.Length > 2 && token.Text[0] == '0' && (token.Text[1] == 'x' || token.Text[1] == 'X');
}

void Put(EmuLine* line, char c)
{
    if (line->Length + 1 < line->Size) {
        line->Buffer[line->Length++] = c;
        line->Buffer[line->Length] = 0;
    }
}

}  // namespace

uint32_t EmuTextLength(const char* text)
{
    uint32_t length = 0;
    while (text[length])
        ++length;
    return length;
}

int EmuTokenIs(EmuToken token, const char* word)
{
    uint32_t i = 0;
    for (; i < token.Length; ++i) {
        if (word[i] == 0 || word[i] != token.Text[i])
            return 0;
    }
    return word[i] == 0;
}

int EmuTokenStartsWith(EmuToken token, const char* prefix)
{
    for (uint32_t i = 0; prefix[i]; ++i) {
        if (i >= token.Length || token.Text[i] != prefix[i])
            return 0;
    }
    return 1;
}

int EmuTokenSplit(EmuToken token, char separator, EmuToken* before, EmuToken* after)
{
    for (uint32_t i = 0; i < token.Length; ++i) {
        if (token.Text[i] == separator) {
            before->Text = token.Text;
            before->Length = i;
            after->Text = token.Text + i + 1;
            after->Length = token.Length - i - 1;
            return 1;
        }
    }
    return 0;
}

int EmuParseHex(EmuToken token, uint32_t* value)
{
    if (HasHexPrefix(token)) {
        token.Text += 2;
        token.Length -= 2;
    }
    if (token.Length == 0 || token.Length > 8)
        return 0;
    uint32_t result = 0;
    for (uint32_t i = 0; i < token.Length; ++i) {
        uint32_t digit;
        if (!HexDigit(token.Text[i], &digit))
            return 0;
        result = (result << 4) | digit;
    }
    *value = result;
    return 1;
}

int EmuParseDecimal(EmuToken token, uint32_t* value)
{
    if (token.Length == 0)
        return 0;
    uint64_t result = 0;
    for (uint32_t i = 0; i < token.Length; ++i) {
        char c = token.Text[i];
        if (c < '0' || c > '9')
            return 0;
        result = result * 10 + static_cast<uint32_t>(c - '0');
        if (result > 0xFFFFFFFFull)
            return 0;
    }
    *value = static_cast<uint32_t>(result);
    return 1;
}

int EmuParseNumber(EmuToken token, uint32_t* value)
{
    if (HasHexPrefix(token))
        return EmuParseHex(token, value);
    return EmuParseDecimal(token, value);
}

int EmuParseSize(EmuToken token, uint32_t* value)
{
    if (HasHexPrefix(token))
        return EmuParseHex(token, value);
    if (token.Length == 0)
        return 0;
    uint64_t unit = 1;
    char last = token.Text[token.Length - 1];
    if (last == 'K' || last == 'k')
        unit = 1024;
    else if (last == 'M' || last == 'm')
        unit = 1024 * 1024;
    else if (last == 'G' || last == 'g')
        unit = 1024ull * 1024 * 1024;
    if (unit != 1)
        --token.Length;
    uint32_t count;
    if (!EmuParseDecimal(token, &count))
        return 0;
    uint64_t size = count * unit;
    if (size > 0xFFFFFFFFull)
        return 0;
    *value = static_cast<uint32_t>(size);
    return 1;
}

int EmuParseLocation(EmuToken token, uint32_t* bus, uint32_t* device, uint32_t* function)
{
    EmuToken busText, rest, deviceText, functionText;
    if (!EmuTokenSplit(token, ':', &busText, &rest))
        return 0;
    if (!EmuTokenSplit(rest, '.', &deviceText, &functionText))
        return 0;
    if (HasHexPrefix(deviceText) || HasHexPrefix(functionText))
        return 0;
    if (!EmuParseDecimal(busText, bus) || !EmuParseHex(deviceText, device) || !EmuParseHex(functionText, function))
        return 0;
    return *bus <= 255 && *device <= 31 && *function <= 7;
}

void EmuLineStart(EmuLine* line, char* buffer, uint32_t size)
{
    line->Buffer = buffer;
    line->Size = size;
    line->Length = 0;
    if (size > 0)
        buffer[0] = 0;
}

void EmuLineText(EmuLine* line, const char* text)
{
    while (*text)
        Put(line, *text++);
}

void EmuLineToken(EmuLine* line, EmuToken token)
{
    for (uint32_t i = 0; i < token.Length; ++i)
        Put(line, token.Text[i]);
}

void EmuLineDecimal(EmuLine* line, uint64_t value)
{
    char digits[24];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0)
        Put(line, digits[--count]);
}

void EmuLineHex(EmuLine* line, uint32_t value, uint32_t digits)
{
    const char* hex = "0123456789ABCDEF";
    uint32_t width = 8;
    while (width > digits && width > 1 && ((value >> (4 * (width - 1))) & 0xF) == 0)
        --width;
    for (uint32_t i = width; i > 0; --i)
        Put(line, hex[(value >> (4 * (i - 1))) & 0xF]);
}

void EmuLineLocation(EmuLine* line, uint32_t bus, uint32_t device, uint32_t function)
{
    EmuLineDecimal(line, bus);
    Put(line, ':');
    EmuLineHex(line, device, 2);
    Put(line, '.');
    EmuLineHex(line, function, 1);
}

void EmuFill(void* destination, uint8_t value, uint32_t size)
{
    volatile uint8_t* bytes = static_cast<volatile uint8_t*>(destination);
    for (uint32_t i = 0; i < size; ++i)
        bytes[i] = value;
}

void EmuCopy(void* destination, const void* source, uint32_t size)
{
    volatile uint8_t* to = static_cast<volatile uint8_t*>(destination);
    const uint8_t* from = static_cast<const uint8_t*>(source);
    for (uint32_t i = 0; i < size; ++i)
        to[i] = from[i];
}
