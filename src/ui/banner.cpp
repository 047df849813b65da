#include "ui/banner.h"

namespace {

// The 5 x 7 letters of the banner, one row a string, '#' for ink; the same
// as the drawing script's (tools/make_images.py).
struct Glyph {
    char name;
    const char* rows[7];
};

const Glyph GLYPHS[] = {
    {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'v', {".....", ".....", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'e', {".....", ".....", ".###.", "#...#", "#####", "#....", ".###."}},
    {'r', {".....", ".....", "#.##.", "##..#", "#....", "#....", "#...."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
};

// A line of lettering in 96-dpi pixels: its top left corner, and the
// pixels a cell of the 5 x 7 grid takes. Letters stand one cell apart.
struct Lettering {
    const char* text;
    int left, top, cell;
};

// "QUIB" three pixels a cell and "ver2" two, both standing on row 26.
const Lettering LETTERING[] = {
    {"QUIB", 8, 5, 3},
    {"ver2", 86, 12, 2},
};

const int GREYS = 240; // 0..239 from white to black
const unsigned char BLUE[3] = {0xE0, 0x40, 0x10};   // blue, green, red
const unsigned char SHADOW[3] = {0x58, 0x10, 0x00}; // one pixel right and down

const Glyph* FindGlyph(char name)
{
    for (const Glyph& glyph : GLYPHS) {
        if (glyph.name == name)
            return &glyph;
    }
    return nullptr;
}

// Whether the point (x, y), in 96-dpi pixels, is ink of the lettering.
bool IsInk(double x, double y)
{
    for (const Lettering& line : LETTERING) {
        double u = (x - line.left) / line.cell;
        double v = (y - line.top) / line.cell;
        if (u < 0 || v < 0 || v >= 7)
            continue;
        int column = static_cast<int>(u);
        int letter = column / 6;
        column %= 6;
        int length = 0;
        while (line.text[length] != '\0')
            length++;
        if (column == 5 || letter >= length)
            continue;
        const Glyph* glyph = FindGlyph(line.text[letter]);
        if (glyph != nullptr && glyph->rows[static_cast<int>(v)][column] == '#')
            return true;
    }
    return false;
}

// numerator / denominator rounded to the nearest, a half to the even
// neighbour, as the drawing script's round() does.
int RoundHalfEven(int numerator, int denominator)
{
    int quotient = numerator / denominator;
    int twice = 2 * (numerator % denominator);
    if (twice > denominator || (twice == denominator && quotient % 2 != 0))
        quotient++;
    return quotient;
}

} // namespace

int ScaleToDpi(int length, int dpi)
{
    return (length * dpi + 48) / 96;
}

void DrawBanner(unsigned char* pixels, int width, int height, int stride)
{
    const int samples = 4;
    const double toX = static_cast<double>(BANNER_WIDTH) / width;
    const double toY = static_cast<double>(BANNER_HEIGHT) / height;
    for (int y = 0; y < height; y++) {
        unsigned char* out = pixels + static_cast<long>(y) * stride;
        for (int x = 0; x < width; x++, out += 3) {
            int step = width > 1 ? RoundHalfEven((GREYS - 1) * x, width - 1) : 0;
            const int grey = 255 - RoundHalfEven(255 * step, GREYS - 1);
            int sum[3] = {0, 0, 0};
            for (int sy = 0; sy < samples; sy++) {
                for (int sx = 0; sx < samples; sx++) {
                    double bx = (x + (sx + 0.5) / samples) * toX;
                    double by = (y + (sy + 0.5) / samples) * toY;
                    const unsigned char* colour = nullptr;
                    // The blue letters lie over their shadow.
                    if (IsInk(bx, by))
                        colour = BLUE;
                    else if (IsInk(bx - 1, by - 1))
                        colour = SHADOW;
                    for (int c = 0; c < 3; c++)
                        sum[c] += colour != nullptr ? colour[c] : grey;
                }
            }
            for (int c = 0; c < 3; c++)
                out[c] = static_cast<unsigned char>((sum[c] + samples * samples / 2) / (samples * samples));
        }
    }
}
