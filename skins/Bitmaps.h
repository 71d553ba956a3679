#pragma once
// Unit Bitmaps: the pixel work behind skinned artwork (copying, stretching, tinting,
// cross-fading, filling, format conversion) and a few colour helpers. No state is kept.
//
// Every routine that writes a bitmap detaches its OnChange handler while it works, so that
// a cache rebuild causes at most one notification. Pixel work happens on 24-bit bitmaps;
// a bitmap in another format is handled through a 24-bit working copy.
#include <array>
#include <cstdint>

#include "framework/Graphics.h"

// Three colour bytes: blue, green, red in pixel order; red, green, blue in RGB order.
using TColorBytes = std::array<uint8_t, 3>;

// A system colour (high byte 0x80) becomes its current RGB value; any flag byte is dropped.
TColor ResolveColor(TColor Color);
// The colour's bytes in pixel order (blue, green, red) when Reversed, in RGB order otherwise.
void ColorToBytes(TColor Color, bool Reversed, TColorBytes& Bytes);
// Inverse of ColorToBytes for the same Reversed.
TColor BytesToColor(const TColorBytes& Bytes, bool Reversed);
// Per channel A * WeightA + B * WeightB, kept within 0..255 and truncated.
TColor MixColors(TColor ColorA, TColor ColorB, double WeightA, double WeightB);

// Copies Source into Dest keeping Dest's change handler and taking Source's transparency.
// The handler is called once afterwards only when Notify is true.
void AssignBitmap(TBitmap* Source, TBitmap* Dest, bool Notify);
// Resizes Source into Dest. Method 0 stretches through the canvas, 1 averages boxes of
// source pixels; any other value only resizes. An empty source fills Dest with its
// transparent colour.
void StretchBitmap(TBitmap* Source, TBitmap* Dest, int Width, int Height, int Method);
// Paints every pixel in one colour; the pixel format is kept.
void FillBitmap(TBitmap* Bitmap, TColor Color);
// Multiplies every channel by the tint's channel / 255: white keeps the artwork, black
// blackens it.
void ColorizeBitmap(TBitmap* Source, TBitmap* Dest, TColor Color);
// Dest = A * WeightA + B * WeightB over the area both sources cover.
void BlendBitmaps(TBitmap* BitmapA, TBitmap* BitmapB, TBitmap* Dest, double WeightA,
                  double WeightB);

// A new 256-level grey palette; the caller owns the handle.
HPALETTE CreateGreyPalette();
// Gives the bitmap a new grey palette in place of its current one.
void SetGreyPalette(TBitmap* Bitmap);
// Converts Source into Dest with the given pixel format. ReadPalette false reads an 8-bit
// source's indexes as grey levels; Grey turns the picture into greys (with a grey palette
// when the format is 8-bit).
void ConvertBitmap(TBitmap* Source, TBitmap* Dest, TPixelFormat PixelFormat, bool ReadPalette,
                   bool Grey);
