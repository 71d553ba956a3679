#include "avicap/codec/UncompressedEncoder.h"

namespace {

class UncompressedEncoder : public VideoEncoder
{
public:
    explicit UncompressedEncoder(const VideoEncoderConfig& config)
        : bytes_(dibBytes(config.width, config.height))
    {
    }

    bool encode(const VideoPicture& picture, EncodedFrame& out, std::string& error) override
    {
        if (picture.kind != VideoPicture::Kind::Dib || picture.size != bytes_) {
            error = "the picture is not a full frame of the file's size";
            return false;
        }
        out = {picture.data, picture.size, true};
        return true;
    }

private:
    size_t bytes_;
};

}  // namespace

std::unique_ptr<VideoEncoder> makeUncompressedEncoder(const VideoEncoderConfig& config, std::string& error)
{
    (void)error;
    return std::make_unique<UncompressedEncoder>(config);
}
