// The banner above the options, drawn at any size. Resource 105 is the
// banner at 96 dpi, 279 x 32; on a screen of another dpi the dialog draws
// it anew at its own scale rather than stretching that bitmap. No Windows
// header here.
#pragma once

constexpr int BANNER_WIDTH = 279;
constexpr int BANNER_HEIGHT = 32;

// length (pixels at 96 dpi) at dpi, rounded to the nearest pixel as
// MulDiv rounds: 279 is 419 at 144 dpi and 558 at 192.
int ScaleToDpi(int length, int dpi);

// Draws the banner width x height pixels large into pixels: rows from the
// top, stride bytes apart, three bytes a pixel in the order blue, green,
// red (a 24-bit top-down DIB). The grey ramp runs over the whole width and
// the blue lettering keeps its place and size relative to the banner; each
// pixel is the mean of 4 x 4 samples, so at 279 x 32 every pixel is that of
// resource 105 exactly.
void DrawBanner(unsigned char* pixels, int width, int height, int stride);
