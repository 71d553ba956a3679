#pragma once
// The driver dialogs: video format, video source and video compression. Each is a model
// (the choices and how they apply, testable without a screen) and a modal form over it.
#include <functional>
#include <string>
#include <vector>

#include "avicap/CaptureDriver.h"
#include "avicap/CaptureRecorder.h"

class TForm;

class VideoFormatModel
{
public:
    explicit VideoFormatModel(const CaptureDevice& device);
    std::vector<std::string> sizeLabels() const;   // "640 x 480"
    std::vector<int> rates() const;                // frames per second offered
    int sizeIndex = 0;
    int rateIndex = 0;
    CaptureFormat chosen() const;
    CaptureError apply(CaptureDevice& device) const;

private:
    std::vector<CaptureFormat> formats_;
};

class VideoSourceModel
{
public:
    explicit VideoSourceModel(const CaptureDevice& device);
    const std::vector<CaptureControl>& controls() const { return controls_; }
    // Clamped to the control's range and step; false for an index out of range.
    bool setValue(size_t index, int value);
    void resetToDefaults();
    bool apply(CaptureDevice& device) const;

private:
    std::vector<CaptureControl> controls_;
};

class VideoCompressionModel
{
public:
    explicit VideoCompressionModel(const VideoCompression& current) : value(current) {}
    // The compressor table's rows, in its order; an index is a row.
    static std::vector<std::string> codecLabels();
    int codecIndex() const;
    void setCodec(int index);
    void setQuality(int quality);
    bool qualityApplies() const;
    VideoCompression value;
};

// Modal dialogs; true when closed with OK, after applying the choice.
// The format dialog's failure to apply the choice is in error, when given.
bool runVideoFormatDialog(CaptureDevice& device, CaptureError* error = nullptr);
bool runVideoSourceDialog(CaptureDevice& device);
bool runVideoCompressionDialog(VideoCompression& compression);

// Tests: called with each dialog form once it is on screen; it may work the named controls
// ("SizeBox", "RateBox", "CodecBox", "QualityBar", "Control0".., "OKButton") and set the
// form's ModalResult to close it.
using CaptureDialogHook = std::function<void(TForm& dialog)>;
void setCaptureDialogHook(CaptureDialogHook hook);
