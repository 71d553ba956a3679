#include <algorithm>

#include "avicap/codec/Compressors.h"
#include "avicap/window/CaptureDialogs.h"

namespace {
const int kRates[] = {5, 10, 15, 20, 25, 30};
}

VideoFormatModel::VideoFormatModel(const CaptureDevice& device) : formats_(device.formats())
{
    // One entry per size; the rate list is separate.
    std::vector<CaptureFormat> sizes;
    for (const CaptureFormat& f : formats_)
        if (std::none_of(sizes.begin(), sizes.end(),
                         [&](const CaptureFormat& s) { return s.width == f.width && s.height == f.height; }))
            sizes.push_back(f);
    formats_ = sizes;
    CaptureFormat current = device.format();
    for (size_t i = 0; i < formats_.size(); ++i)
        if (formats_[i].width == current.width && formats_[i].height == current.height)
            sizeIndex = int(i);
    std::vector<int> offered = rates();
    for (size_t i = 0; i < offered.size(); ++i)
        if (offered[i] <= current.framesPerSecond)
            rateIndex = int(i);
}

std::vector<std::string> VideoFormatModel::sizeLabels() const
{
    std::vector<std::string> labels;
    for (const CaptureFormat& f : formats_)
        labels.push_back(std::to_string(f.width) + " x " + std::to_string(f.height));
    return labels;
}

std::vector<int> VideoFormatModel::rates() const
{
    int most = 0;
    for (const CaptureFormat& f : formats_)
        most = std::max(most, f.framesPerSecond);
    std::vector<int> out;
    for (int r : kRates)
        if (r <= most)
            out.push_back(r);
    return out;
}

CaptureFormat VideoFormatModel::chosen() const
{
    if (formats_.empty())
        return {};
    CaptureFormat f = formats_[size_t(std::clamp(sizeIndex, 0, int(formats_.size()) - 1))];
    std::vector<int> offered = rates();
    if (!offered.empty())
        f.framesPerSecond = offered[size_t(std::clamp(rateIndex, 0, int(offered.size()) - 1))];
    return f;
}

CaptureError VideoFormatModel::apply(CaptureDevice& device) const
{
    if (formats_.empty())
        return captureFault(CaptureFault::CameraUnsupported, "The camera offers no picture size");
    return device.setFormat(chosen());
}

VideoSourceModel::VideoSourceModel(const CaptureDevice& device) : controls_(device.controls()) {}

bool VideoSourceModel::setValue(size_t index, int value)
{
    if (index >= controls_.size())
        return false;
    CaptureControl& c = controls_[index];
    value = std::clamp(value, c.minimum, std::max(c.minimum, c.maximum));
    if (c.step > 1)
        value = c.minimum + (value - c.minimum) / c.step * c.step;
    if (c.kind == CaptureControl::CheckBox)
        value = value ? 1 : 0;
    c.value = value;
    return true;
}

void VideoSourceModel::resetToDefaults()
{
    for (size_t i = 0; i < controls_.size(); ++i)
        setValue(i, controls_[i].defaultValue);
}

bool VideoSourceModel::apply(CaptureDevice& device) const
{
    bool ok = true;
    for (const CaptureControl& c : controls_)
        ok = device.setControl(c.id, c.value) && ok;
    return ok;
}

std::vector<std::string> VideoCompressionModel::codecLabels()
{
    std::vector<std::string> labels;
    for (const Compressor& c : compressors())
        labels.push_back(c.label);
    return labels;
}

int VideoCompressionModel::codecIndex() const
{
    const auto& table = compressors();
    for (size_t i = 0; i < table.size(); ++i)
        if (table[i].codec == value.codec)
            return int(i);
    return 0;
}

void VideoCompressionModel::setCodec(int index)
{
    if (index >= 0 && size_t(index) < compressors().size())
        value.codec = compressors()[size_t(index)].codec;
}

bool VideoCompressionModel::qualityApplies() const
{
    return compressorFor(value.codec).quality != QualityScale::None;
}

void VideoCompressionModel::setQuality(int quality) { value.quality = std::clamp(quality, 1, 100); }
