#pragma once
// Picture files of the end-to-end test: binary PPM written and read, and the comparisons.
#include <string>

#include "platform/display/headless/HeadlessDisplay.h"

bool writePpm(const std::string& path, const Screenshot& shot);
bool readPpm(const std::string& path, Screenshot& shot);
// Share of the reference's pixels inside the shape (not kOutsideShape) equal in `shot`.
double insideMatch(const Screenshot& reference, const Screenshot& shot);
// Share of the reference's cut-away pixels where the screen at (left, top) does not show
// `body`, the window's own colour.
double outsideClear(const Screenshot& reference, const Screenshot& screen, int left, int top,
                    COLORREF body);
