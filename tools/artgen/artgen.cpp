// Draws the wizard's artwork at build time: the side picture of every page
// (a 126 x 258 bitmap in 256 colours) and the program icon (32x32 and 16x16
// in 16 colours, 48x48 in 256 colours).
//
//   artgen bitmap OUT.bmp
//   artgen icon OUT.ico
//
// Everything is drawn from simple shapes so that no picture file is needed.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cmath>

namespace {

struct Rgb {
    uint8_t r, g, b;
};

// The sixteen standard colours, first in both palettes.
const Rgb Vga[16] = {{0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},  {0, 0, 128}, {128, 0, 128},
                     {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},    {0, 255, 0}, {255, 255, 0},
                     {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};

// 256-colour palette: the sixteen standard colours, then a 64-step blue
// ramp, a 64-step green ramp, a 64-step gold ramp and a grey ramp.
Rgb Palette256[256];

void BuildPalette256()
{
    for (int i = 0; i < 16; ++i)
        Palette256[i] = Vga[i];
    for (int i = 0; i < 64; ++i) {
        Palette256[16 + i] = {uint8_t(i * 2), uint8_t(i * 3), uint8_t(64 + i * 3)};
        Palette256[80 + i] = {uint8_t(i), uint8_t(60 + i * 2), uint8_t(30 + i)};
        Palette256[144 + i] = {uint8_t(150 + i * 1.6), uint8_t(110 + i * 1.6), uint8_t(20 + i)};
    }
    for (int i = 0; i < 48; ++i) {
        uint8_t v = uint8_t(i * 255 / 47);
        Palette256[208 + i] = {v, v, v};
    }
}

int Blue(int step)
{
    return 16 + (step < 0 ? 0 : step > 63 ? 63 : step);
}
int Green(int step)
{
    return 80 + (step < 0 ? 0 : step > 63 ? 63 : step);
}
int Gold(int step)
{
    return 144 + (step < 0 ? 0 : step > 63 ? 63 : step);
}
int Grey(int step)
{
    return 208 + (step < 0 ? 0 : step > 47 ? 47 : step);
}

// An index raster, top row first.
struct Raster {
    int w, h;
    uint8_t px[258 * 126];
    uint8_t mask[258 * 126];  // 1 = transparent (icons only)
};

void Fill(Raster& r, int x0, int y0, int x1, int y1, int colour)
{
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (x >= 0 && y >= 0 && x < r.w && y < r.h) {
                r.px[y * r.w + x] = uint8_t(colour);
                r.mask[y * r.w + x] = 0;
            }
}

// A graphics card seen from above: board, edge fingers, flash chip, fan.
// Coordinates are in 1/48 of the size so that every icon size shares it.
void DrawCard(Raster& r, bool many_colours)
{
    auto s = [&](int v) { return v * r.w / 48; };
    int board = many_colours ? Green(20) : 2;
    int board_edge = many_colours ? Green(40) : 10;
    int finger = many_colours ? Gold(40) : 11;
    int chip = many_colours ? Grey(6) : 0;
    int chip_mark = many_colours ? Grey(30) : 8;
    int fan = many_colours ? Grey(38) : 7;
    int hub = many_colours ? Blue(30) : 4;
    for (int i = 0; i < r.w * r.h; ++i)
        r.mask[i] = 1, r.px[i] = 0;
    Fill(r, s(2), s(8), s(46), s(38), board_edge);
    Fill(r, s(3), s(9), s(45), s(37), board);
    for (int x = 6; x < 42; x += 4)
        Fill(r, s(x), s(38), s(x) + (s(2) > 0 ? s(2) : 1), s(43), finger);
    Fill(r, s(6), s(13), s(20), s(27), chip);
    Fill(r, s(9), s(16), s(17), s(18), chip_mark);
    int cx = s(32), cy = s(21), rad = s(9);
    for (int y = cy - rad; y <= cy + rad; ++y)
        for (int x = cx - rad; x <= cx + rad; ++x) {
            int dx = x - cx, dy = y - cy;
            int d2 = dx * dx + dy * dy;
            if (d2 <= rad * rad)
                Fill(r, x, y, x + 1, y + 1, d2 * 9 <= rad * rad ? hub : fan);
        }
}

// The side picture: a deep blue fade with a faint grid, and the card.
void DrawBanner(Raster& r)
{
    for (int y = 0; y < r.h; ++y)
        for (int x = 0; x < r.w; ++x) {
            int step = 8 + y * 40 / r.h + ((x + y) % 24 == 0 ? 10 : 0);
            r.px[y * r.w + x] = uint8_t(Blue(step));
        }
    Raster card;
    card.w = card.h = 96;
    DrawCard(card, true);
    for (int y = 0; y < card.h; ++y)
        for (int x = 0; x < card.w; ++x)
            if (!card.mask[y * card.w + x])
                r.px[(150 + y) * r.w + 15 + x] = card.px[y * card.w + x];
    // Three light bars as a simple signature at the top.
    for (int i = 0; i < 3; ++i)
        Fill(r, 14, 24 + i * 14, 112 - i * 24, 32 + i * 14, Blue(63 - i * 8));
}

void Put16(FILE* f, unsigned v)
{
    fputc(v & 255, f);
    fputc((v >> 8) & 255, f);
}
void Put32(FILE* f, unsigned v)
{
    Put16(f, v & 0xFFFF);
    Put16(f, v >> 16);
}

int RowBytes(int w, int bits)
{
    return ((w * bits + 31) / 32) * 4;
}

void PutInfoHeader(FILE* f, int w, int h, int bits, int colours, unsigned image_size)
{
    Put32(f, 40);
    Put32(f, unsigned(w));
    Put32(f, unsigned(h));
    Put16(f, 1);
    Put16(f, unsigned(bits));
    Put32(f, 0);
    Put32(f, image_size);
    Put32(f, 0);
    Put32(f, 0);
    Put32(f, unsigned(colours));
    Put32(f, 0);
}

void PutPalette(FILE* f, int colours)
{
    for (int i = 0; i < colours; ++i) {
        const Rgb& c = colours == 16 ? Vga[i] : Palette256[i];
        fputc(c.b, f);
        fputc(c.g, f);
        fputc(c.r, f);
        fputc(0, f);
    }
}

// Colour rows bottom-up, 4 or 8 bits per pixel.
void PutPixels(FILE* f, const Raster& r, int bits)
{
    int row = RowBytes(r.w, bits);
    for (int y = r.h - 1; y >= 0; --y) {
        uint8_t line[256] = {0};
        for (int x = 0; x < r.w; ++x) {
            uint8_t v = r.px[y * r.w + x];
            if (bits == 8)
                line[x] = v;
            else
                line[x / 2] |= uint8_t(x % 2 ? v & 15 : (v & 15) << 4);
        }
        fwrite(line, 1, size_t(row), f);
    }
}

void PutMask(FILE* f, const Raster& r)
{
    int row = RowBytes(r.w, 1);
    for (int y = r.h - 1; y >= 0; --y) {
        uint8_t line[16] = {0};
        for (int x = 0; x < r.w; ++x)
            if (r.mask[y * r.w + x])
                line[x / 8] |= uint8_t(0x80 >> (x % 8));
        fwrite(line, 1, size_t(row), f);
    }
}

int WriteBitmap(const char* path)
{
    static Raster r;
    r.w = 126;
    r.h = 258;
    DrawBanner(r);
    FILE* f = fopen(path, "wb");
    if (!f)
        return 0;
    unsigned pixels = unsigned(RowBytes(r.w, 8) * r.h);
    unsigned offset = 14 + 40 + 256 * 4;
    fputc('B', f);
    fputc('M', f);
    Put32(f, offset + pixels);
    Put32(f, 0);
    Put32(f, offset);
    PutInfoHeader(f, r.w, r.h, 8, 256, pixels);
    PutPalette(f, 256);
    PutPixels(f, r, 8);
    return fclose(f) == 0;
}

struct IconImage {
    int size, bits;
};

int WriteIcon(const char* path)
{
    const IconImage images[3] = {{32, 4}, {16, 4}, {48, 8}};
    static Raster r[3];
    unsigned sizes[3];
    for (int i = 0; i < 3; ++i) {
        r[i].w = r[i].h = images[i].size;
        DrawCard(r[i], images[i].bits == 8);
        int colours = 1 << images[i].bits;
        sizes[i] = unsigned(40 + colours * 4 + RowBytes(images[i].size, images[i].bits) * images[i].size +
                            RowBytes(images[i].size, 1) * images[i].size);
    }
    FILE* f = fopen(path, "wb");
    if (!f)
        return 0;
    Put16(f, 0);
    Put16(f, 1);
    Put16(f, 3);
    unsigned offset = 6 + 3 * 16;
    for (int i = 0; i < 3; ++i) {
        int colours = 1 << images[i].bits;
        fputc(images[i].size, f);
        fputc(images[i].size, f);
        fputc(colours == 256 ? 0 : colours, f);
        fputc(0, f);
        Put16(f, 1);
        Put16(f, unsigned(images[i].bits));
        Put32(f, sizes[i]);
        Put32(f, offset);
        offset += sizes[i];
    }
    for (int i = 0; i < 3; ++i) {
        int colours = 1 << images[i].bits;
        int n = images[i].size;
        unsigned body = unsigned(RowBytes(n, images[i].bits) * n + RowBytes(n, 1) * n);
        PutInfoHeader(f, n, n * 2, images[i].bits, colours, body);
        PutPalette(f, colours);
        PutPixels(f, r[i], images[i].bits);
        PutMask(f, r[i]);
    }
    return fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: artgen bitmap|icon OUTPUT\n");
        return 2;
    }
    BuildPalette256();
    int ok = 0;
    if (strcmp(argv[1], "bitmap") == 0)
        ok = WriteBitmap(argv[2]);
    else if (strcmp(argv[1], "icon") == 0)
        ok = WriteIcon(argv[2]);
    else {
        fprintf(stderr, "artgen: unknown kind %s\n", argv[1]);
        return 2;
    }
    if (!ok) {
        fprintf(stderr, "artgen: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
