// The driver dialogs, modal inside their message. Preview goes on meanwhile: the modal loop
// keeps handling the frames the camera delivers.
#include "avicap/window/CaptureDialogs.h"
#include "avicap/window/CaptureWindow.h"

LRESULT CaptureWindow::dialog(UINT message)
{
    if (!device_ || recordingNow())
        return FALSE;
    // Held across the modal loop: a callback may disconnect meanwhile.
    std::shared_ptr<CaptureDevice> device = device_;
    switch (message) {
    case WM_CAP_DLG_VIDEOFORMAT: {
        if (device->formats().empty())
            return FALSE;
        CaptureError error;
        if (!runVideoFormatDialog(*device, &error) && error.failed())
            reportError(captureErrorId(error), error.text.c_str());
        break;
    }
    case WM_CAP_DLG_VIDEOSOURCE:
        if (device->controls().empty())
            return FALSE;
        runVideoSourceDialog(*device);
        break;
    case WM_CAP_DLG_VIDEODISPLAY:
        if (!device->hasDisplayDialog())
            return FALSE;
        device->showDisplayDialog(window_);
        break;
    case WM_CAP_DLG_VIDEOCOMPRESSION: runVideoCompressionDialog(compression_); break;
    default: return FALSE;
    }
    InvalidateRect(window_, nullptr, FALSE);
    return TRUE;
}
