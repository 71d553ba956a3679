#pragma once
// Basic types of the platform interface, with the names and sizes the system's code uses.
#include <cstddef>
#include <cstdint>

using BOOL = int32_t;
using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using LONG = int32_t;
using UINT = uint32_t;
using INT = int32_t;
using COLORREF = uint32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using LPVOID = void*;
using LPCSTR = const char*;
using LPSTR = char*;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

// Handles are 32-bit ids into the platform's object tables, never pointers: a stale or
// forged handle is recognised and refused instead of touching freed memory.
using HANDLE = uint32_t;
using HGDIOBJ = uint32_t;
using HRGN = uint32_t;
using HBITMAP = uint32_t;
using HPALETTE = uint32_t;
using HBRUSH = uint32_t;
using HFONT = uint32_t;
using HDC = uint32_t;
using HWND = uint32_t;

struct RECT
{
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
};
using LPRECT = RECT*;

struct POINT
{
    LONG x = 0;
    LONG y = 0;
};

struct SIZE
{
    LONG cx = 0;
    LONG cy = 0;
};

constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b)
{
    return COLORREF(r) | (COLORREF(g) << 8) | (COLORREF(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) { return BYTE(c); }
constexpr BYTE GetGValue(COLORREF c) { return BYTE(c >> 8); }
constexpr BYTE GetBValue(COLORREF c) { return BYTE(c >> 16); }

constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

static_assert(sizeof(RECT) == 16);
