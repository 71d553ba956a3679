// Still frames. A grab asks the device for a frame taken after the message arrived (the
// device waits for its next frame, at most two seconds; the test pattern draws one at
// once), runs the frame callback on it and shows it, all before the message returns.
#include <cstring>
#include <fstream>

#include "avicap/window/CaptureWindow.h"
#include "framework/BmpFormat.h"
#include "platform/Clipboard.h"

LRESULT CaptureWindow::grab(bool stopPreview)
{
    if (!device_)
        return FALSE;
    if (stopPreview && (preview_ || previewLost_))
        setPreview(false);
    CaptureFrame frame;
    if (CaptureError error = device_->grabFrame(frame, kGrabTimeoutMs); error.failed()) {
        reportError(captureErrorId(error), error.text.c_str());
        return FALSE;
    }
    showFrame(std::move(frame), true);
    return TRUE;
}

std::vector<uint8_t> CaptureWindow::bmpFile() const
{
    BmpImage image;
    image.Width = current_.width;
    image.Height = current_.height;
    image.BitCount = 24;
    const size_t row = size_t(image.Width) * 3, stride = size_t(image.Stride());
    image.Pixels.assign(stride * size_t(image.Height), 0);
    for (int y = 0; y < image.Height; ++y)
        std::memcpy(image.Pixels.data() + stride * size_t(y), current_.pixels.data() + row * size_t(y), row);
    return WriteBmp(image);
}

LRESULT CaptureWindow::saveDib(LPARAM fileName)
{
    if (!device_ || !fileName)
        return FALSE;
    if (!haveCurrent_ && !grab(false))
        return FALSE;
    const std::string name = reinterpret_cast<const char*>(fileName);
    std::vector<uint8_t> bytes = bmpFile();
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    if (!out) {
        std::string text = "Error saving frame '" + name + "'";
        reportError(IDS_CAP_ERRORDIBSAVE, text.c_str());
        return FALSE;
    }
    return TRUE;
}

LRESULT CaptureWindow::editCopy()
{
    if (!device_)
        return FALSE;
    if (!haveCurrent_ && !grab(false))
        return FALSE;
    // The clipboard takes a packed DIB: the BMP file without its 14-byte file header.
    const std::vector<uint8_t> file = bmpFile();
    const size_t fileHeader = 14;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, file.size() - fileHeader);
    void* bytes = GlobalLock(memory);
    if (!bytes) {
        GlobalFree(memory);
        return FALSE;
    }
    std::memcpy(bytes, file.data() + fileHeader, file.size() - fileHeader);
    GlobalUnlock(memory);
    if (!OpenClipboard(window_)) {
        GlobalFree(memory);
        return FALSE;
    }
    EmptyClipboard();
    const bool placed = SetClipboardData(CF_DIB, memory) != 0;
    if (!placed)
        GlobalFree(memory);   // still ours
    CloseClipboard();
    return placed ? TRUE : FALSE;
}
