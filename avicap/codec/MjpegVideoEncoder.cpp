#include "avicap/codec/MjpegVideoEncoder.h"

#include <vector>

#include "avicap/avi/MjpegEncoder.h"
#include "avicap/avi/MjpegMarkers.h"

namespace {

class MjpegVideoEncoder : public VideoEncoder
{
public:
    explicit MjpegVideoEncoder(const VideoEncoderConfig& config) : config_(config), jpeg_(config.quality) {}

    bool encode(const VideoPicture& picture, EncodedFrame& out, std::string& error) override
    {
        out.keyFrame = true;
        if (picture.kind == VideoPicture::Kind::Jpeg) {
            if (!completeJpeg(picture.data, picture.size, stored_, error))
                return false;
            out.data = stored_.data();
            out.size = stored_.size();
            return true;
        }
        if (picture.size != dibBytes(config_.width, config_.height)) {
            error = "the picture is not a full frame of the file's size";
            return false;
        }
        if (!jpeg_.encode(picture.data, config_.width, config_.height, out.data, out.size)) {
            error = jpeg_.error();
            return false;
        }
        return true;
    }

private:
    VideoEncoderConfig config_;
    MjpegEncoder jpeg_;
    std::vector<uint8_t> stored_;
};

}  // namespace

std::unique_ptr<VideoEncoder> makeMjpegVideoEncoder(const VideoEncoderConfig& config, std::string& error)
{
    (void)error;
    return std::make_unique<MjpegVideoEncoder>(config);
}
