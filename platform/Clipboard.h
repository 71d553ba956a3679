#pragma once
// The clipboard and the movable memory blocks handed to it, with the names and rules of
// their classic namesakes: open, empty, set data, close; a block given to SetClipboardData
// belongs to the clipboard from then on. The one format offered is CF_DIB (a packed DIB:
// BITMAPINFOHEADER, colour table, pixels), published to the display as a BMP image.
#include <cstddef>

#include "platform/Windows.h"

using HGLOBAL = HANDLE;

constexpr UINT CF_DIB = 8;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;

HGLOBAL GlobalAlloc(UINT flags, size_t bytes);
void* GlobalLock(HGLOBAL memory);
BOOL GlobalUnlock(HGLOBAL memory);
size_t GlobalSize(HGLOBAL memory);
// Null on success, the handle again on failure.
HGLOBAL GlobalFree(HGLOBAL memory);

// FALSE while another owner has it open.
BOOL OpenClipboard(HWND owner);
BOOL EmptyClipboard();
// The data handle on success (the clipboard now owns it), 0 on failure: clipboard not open,
// a format other than CF_DIB, a block that is not a whole DIB, or a display without one.
HANDLE SetClipboardData(UINT format, HANDLE data);
BOOL CloseClipboard();
