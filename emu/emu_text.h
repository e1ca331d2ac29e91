// Small text helpers for the machine core, which has no C library: token
// comparison, number parsing and line building in caller-owned buffers.
#ifndef PELMIX_EMU_TEXT_H
#define PELMIX_EMU_TEXT_H

#include <stdint.h>

// A piece of a larger text: not NUL-terminated.
struct EmuToken {
    const char* Text;
    uint32_t Length;
};

uint32_t EmuTextLength(const char* text);
int EmuTokenIs(EmuToken token, const char* word);
int EmuTokenStartsWith(EmuToken token, const char* prefix);
// The part of token after its first occurrence of separator; 0 if absent.
int EmuTokenSplit(EmuToken token, char separator, EmuToken* before, EmuToken* after);

// Hexadecimal digits, with or without a 0x prefix.
int EmuParseHex(EmuToken token, uint32_t* value);
// Decimal digits only.
int EmuParseDecimal(EmuToken token, uint32_t* value);
// Decimal, or hexadecimal with 0x.
int EmuParseNumber(EmuToken token, uint32_t* value);
// A size: decimal with an optional K, M or G suffix, or hexadecimal with 0x.
int EmuParseSize(EmuToken token, uint32_t* value);
// B:D.F with the bus decimal and the device and function hexadecimal.
int EmuParseLocation(EmuToken token, uint32_t* bus, uint32_t* device, uint32_t* function);

// Builds a NUL-terminated line in a fixed buffer; output past the end is
// dropped, the terminator always fits.
struct EmuLine {
    char* Buffer;
    uint32_t Size;
    uint32_t Length;
};

void EmuLineStart(EmuLine* line, char* buffer, uint32_t size);
void EmuLineText(EmuLine* line, const char* text);
void EmuLineToken(EmuLine* line, EmuToken token);
void EmuLineDecimal(EmuLine* line, uint64_t value);
// Upper-case hexadecimal, at least digits wide, without a prefix.
void EmuLineHex(EmuLine* line, uint32_t value, uint32_t digits);
void EmuLineLocation(EmuLine* line, uint32_t bus, uint32_t device, uint32_t function);

void EmuFill(void* destination, uint8_t value, uint32_t size);
void EmuCopy(void* destination, const void* source, uint32_t size);

#endif
