// Formats with one argument and what FormatText makes of them: for an
// accepted conversion exactly wsprintfA's output (the Win32 tests compare
// with wsprintfA itself), for a refused one the format as written.
#ifndef DORVANE_TEST_FORMAT_CASES_H
#define DORVANE_TEST_FORMAT_CASES_H

struct FormatCase {
    const char* Format;
    const char* Text;  // the argument when not null, else Number
    long Number;
    int Refused;
    const char* Expected;
};

// clang-format off
#define ACCEPT_NUMBER(format, number, expected) {format, 0, number, 0, expected}
#define ACCEPT_TEXT(format, text, expected) {format, text, 0, 0, expected}
#define REFUSE_NUMBER(format) {format, 0, 1072, 1, format}
#define REFUSE_TEXT(format) {format, "Pelmix.sys", 0, 1, format}
// clang-format on

static const FormatCase FormatCases[] = {
    // Numbers: every integer conversion, flags, width, precision, prefixes.
    ACCEPT_NUMBER("No card (code %04d)", 7, "No card (code 0007)"),
    ACCEPT_NUMBER("%d", -5, "-5"),
    ACCEPT_NUMBER("%i", 1072, "1072"),
    ACCEPT_NUMBER("%u", -1, "4294967295"),
    ACCEPT_NUMBER("%ld", -2147483647L - 1, "-2147483648"),
    ACCEPT_NUMBER("%li", 42, "42"),
    ACCEPT_NUMBER("%lu", -2, "4294967294"),
    ACCEPT_NUMBER("%x", 255, "ff"),
    ACCEPT_NUMBER("%X", 48879, "BEEF"),
    ACCEPT_NUMBER("%lx", -1, "ffffffff"),
    ACCEPT_NUMBER("%lX", 0xABC, "ABC"),
    ACCEPT_NUMBER("%08X", 48879, "0000BEEF"),
    ACCEPT_NUMBER("%#x", 255, "0xff"),
    ACCEPT_NUMBER("%#X", 255, "0XFF"),
    ACCEPT_NUMBER("%#x", 0, "0x0"),
    ACCEPT_NUMBER("[%#6x]", 255, "[    0xff]"),
    ACCEPT_NUMBER("[%#06x]", 255, "[0x0000ff]"),
    ACCEPT_NUMBER("[%-#6x]", 255, "[0xff    ]"),
    ACCEPT_NUMBER("[%#.4x]", 26, "[0x001a]"),
    ACCEPT_NUMBER("[%5d]", 42, "[   42]"),
    ACCEPT_NUMBER("[%-5d]", 42, "[42   ]"),
    ACCEPT_NUMBER("[%-05d]", 42, "[42   ]"),
    ACCEPT_NUMBER("[%05d]", -42, "[-0042]"),
    ACCEPT_NUMBER("[%.5d]", -42, "[-0042]"),
    ACCEPT_NUMBER("[%8.5d]", -42, "[   -0042]"),
    ACCEPT_NUMBER("[%-8.5u]", 42, "[00042   ]"),
    ACCEPT_NUMBER("[%.0d]", 0, "[0]"),
    ACCEPT_NUMBER("[%.d]", 7, "[7]"),
    ACCEPT_NUMBER("[%2d]", 12345, "[12345]"),
    ACCEPT_NUMBER("[%010d]", 2147483647, "[2147483647]"),
    ACCEPT_NUMBER("%hd", -42, "-42"),
    ACCEPT_NUMBER("%hi", 70000, "70000"),
    ACCEPT_NUMBER("%hu", 65535, "65535"),
    ACCEPT_NUMBER("%hx", 0xBEEF, "beef"),
    ACCEPT_NUMBER("%hX", 0xBEEF, "BEEF"),
    ACCEPT_NUMBER("%d%% done", 50, "50% done"),
    // Characters: the low byte of the number.
    ACCEPT_NUMBER("%c", 65, "A"),
    ACCEPT_NUMBER("%c", 0x141, "A"),
    ACCEPT_NUMBER("%c", -191, "A"),
    ACCEPT_NUMBER("[%3c]", 'B', "[  B]"),
    ACCEPT_NUMBER("[%-3c]", 'C', "[C  ]"),
    ACCEPT_NUMBER("[%03c]", 'D', "[  D]"),
    ACCEPT_NUMBER("[%.5c]", 'E', "[E]"),
    ACCEPT_NUMBER("%hc", 'F', "F"),
    ACCEPT_NUMBER("%hC", 'G', "G"),
    // Texts.
    ACCEPT_TEXT("Unable to locate BIOS driver file:\n%s\n\nExiting...", "Pelmix.sys",
                "Unable to locate BIOS driver file:\nPelmix.sys\n\nExiting..."),
    ACCEPT_TEXT("[%10s]", "abc", "[       abc]"),
    ACCEPT_TEXT("[%-10s]", "abc", "[abc       ]"),
    ACCEPT_TEXT("[%010s]", "abc", "[       abc]"),
    ACCEPT_TEXT("[%.2s]", "abcdef", "[ab]"),
    ACCEPT_TEXT("[%.0s]", "abc", "[abc]"),
    ACCEPT_TEXT("[%.10s]", "abc", "[abc]"),
    ACCEPT_TEXT("[%6.2s]", "abcdef", "[    ab]"),
    ACCEPT_TEXT("[%-6.2s]", "abcdef", "[ab    ]"),
    ACCEPT_TEXT("[%1s]", "abc", "[abc]"),
    ACCEPT_TEXT("[%s]", "", "[]"),
    ACCEPT_TEXT("[%3s]", "", "[   ]"),
    ACCEPT_TEXT("%hs", "ORVEL", "ORVEL"),
    ACCEPT_TEXT("%hS", "ORVEL", "ORVEL"),
    ACCEPT_TEXT("100%% %s", "ORVEL", "100% ORVEL"),
    ACCEPT_TEXT("%s", "50%d", "50%d"),
    // A number where a text conversion stands, and what wsprintfA does not
    // read as an int or an 8-bit text.
    REFUSE_NUMBER("%s"),
    REFUSE_NUMBER("%hs"),
    REFUSE_NUMBER("%S"),
    REFUSE_NUMBER("%C"),
    REFUSE_NUMBER("%lc"),
    REFUSE_NUMBER("%wc"),
    REFUSE_NUMBER("%p"),
    REFUSE_NUMBER("%n"),
    REFUSE_NUMBER("%o"),
    REFUSE_NUMBER("%f"),
    REFUSE_NUMBER("%I64d"),
    REFUSE_NUMBER("%I32d"),
    REFUSE_NUMBER("%Id"),
    REFUSE_NUMBER("%lld"),
    REFUSE_NUMBER("%hhd"),
    REFUSE_NUMBER("%*d"),
    REFUSE_NUMBER("%.*d"),
    REFUSE_NUMBER("%#d"),
    REFUSE_NUMBER("%#u"),
    REFUSE_NUMBER("%0-5d"),
    REFUSE_NUMBER("%+d"),
    REFUSE_NUMBER("% d"),
    REFUSE_NUMBER("%5"),
    REFUSE_NUMBER("%"),
    // A text where a number conversion stands, and wide texts.
    REFUSE_TEXT("%d"),
    REFUSE_TEXT("%04x"),
    REFUSE_TEXT("%ld"),
    REFUSE_TEXT("%c"),
    REFUSE_TEXT("%hc"),
    REFUSE_TEXT("%S"),
    REFUSE_TEXT("%ls"),
    REFUSE_TEXT("%lS"),
    REFUSE_TEXT("%ws"),
    REFUSE_TEXT("%#s"),
    REFUSE_TEXT("%*s"),
    REFUSE_TEXT("%.*s"),
    REFUSE_TEXT("%p"),
};

#undef ACCEPT_NUMBER
#undef ACCEPT_TEXT
#undef REFUSE_NUMBER
#undef REFUSE_TEXT

#endif
