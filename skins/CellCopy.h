#pragma once
// Copies a rectangle of one bitmap onto the whole of another of the rectangle's size. Both
// 24-bit, as the skinned controls keep their pictures, the rows are copied as they are; any
// other case goes through the canvas. The result is the same either way; the row copy is
// what keeps a cell change cheap enough to follow every mouse move.
#include "framework/Graphics.h"

void CopyCell(TBitmap* Dest, TBitmap* Source, const TRect& From);
