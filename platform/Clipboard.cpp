#include "platform/Clipboard.h"

#include <cstring>
#include <mutex>
#include <vector>

#include "platform/HandleTable.h"
#include "platform/display/DisplayBackend.h"

namespace {

struct Block
{
    std::vector<uint8_t> bytes;
    int locks = 0;
};

HandleTable<Block>& blocks()
{
    static HandleTable<Block> table;
    return table;
}

// Threads: the clipboard is claimed by one owner at a time, from any thread.
std::mutex clipboardMutex;
bool clipboardOpen = false;

// The bytes a packed DIB needs before its pixels: header, masks and colour table.
size_t dibHeaderBytes(const BITMAPINFOHEADER& h)
{
    size_t bytes = h.biSize;
    if (h.biCompression == BI_BITFIELDS && h.biSize == sizeof(BITMAPINFOHEADER))
        bytes += 12;
    size_t colours = h.biClrUsed;
    if (colours == 0 && h.biBitCount <= 8)
        colours = size_t(1) << h.biBitCount;
    return bytes + colours * 4;
}

// A packed DIB becomes a BMP file by gaining the 14-byte file header.
bool dibToBmp(const std::vector<uint8_t>& dib, std::vector<uint8_t>& bmp)
{
    BITMAPINFOHEADER h{};
    if (dib.size() < sizeof h)
        return false;
    std::memcpy(&h, dib.data(), sizeof h);
    if (h.biSize < sizeof h || h.biWidth <= 0 || h.biHeight == 0 || h.biPlanes != 1)
        return false;
    const size_t stride = (size_t(h.biWidth) * h.biBitCount + 31) / 32 * 4;
    const size_t rows = size_t(h.biHeight < 0 ? -int64_t(h.biHeight) : h.biHeight);
    const size_t offset = dibHeaderBytes(h);
    if (h.biCompression == BI_RGB && dib.size() < offset + stride * rows)
        return false;   // the pixels are not all there
    const uint32_t fileSize = uint32_t(14 + dib.size()), pixelsAt = uint32_t(14 + offset);
    bmp.assign({'B', 'M'});
    for (uint32_t v : {fileSize, 0u, pixelsAt})
        for (int i = 0; i < 4; ++i)
            bmp.push_back(uint8_t(v >> (8 * i)));
    bmp.insert(bmp.end(), dib.begin(), dib.end());
    return true;
}

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, size_t bytes)
{
    auto block = std::make_unique<Block>();
    block->bytes.assign(bytes, 0);   // zeroed whether or not GMEM_ZEROINIT asks for it
    (void)flags;
    return blocks().add(std::move(block));
}

void* GlobalLock(HGLOBAL memory)
{
    Block* block = blocks().get(memory);
    if (!block)
        return nullptr;
    ++block->locks;
    return block->bytes.data();
}

BOOL GlobalUnlock(HGLOBAL memory)
{
    Block* block = blocks().get(memory);
    if (block && block->locks > 0)
        --block->locks;
    return block && block->locks > 0 ? TRUE : FALSE;
}

size_t GlobalSize(HGLOBAL memory)
{
    Block* block = blocks().get(memory);
    return block ? block->bytes.size() : 0;
}

HGLOBAL GlobalFree(HGLOBAL memory)
{
    return blocks().remove(memory) ? 0 : memory;
}

BOOL OpenClipboard(HWND owner)
{
    (void)owner;
    std::lock_guard lock(clipboardMutex);
    if (clipboardOpen)
        return FALSE;
    clipboardOpen = true;
    return TRUE;
}

BOOL EmptyClipboard()
{
    std::lock_guard lock(clipboardMutex);
    return clipboardOpen ? TRUE : FALSE;
}

HANDLE SetClipboardData(UINT format, HANDLE data)
{
    {
        std::lock_guard lock(clipboardMutex);
        if (!clipboardOpen)
            return 0;
    }
    Block* block = format == CF_DIB ? blocks().get(data) : nullptr;
    std::vector<uint8_t> bmp;
    if (!block || !dibToBmp(block->bytes, bmp))
        return 0;
    if (!displayBackend().putClipboard("image/bmp", std::move(bmp)))
        return 0;
    blocks().remove(data);   // the clipboard owns it now, and holds its own copy
    return data;
}

BOOL CloseClipboard()
{
    std::lock_guard lock(clipboardMutex);
    if (!clipboardOpen)
        return FALSE;
    clipboardOpen = false;
    return TRUE;
}
