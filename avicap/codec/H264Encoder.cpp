#include "avicap/codec/H264Encoder.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
// x264.h needs the fixed-width integer types first.
#include <x264.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <optional>
#include <thread>

#include "avicap/codec/YuvPlanes.h"

namespace {

constexpr uint64_t kKeyFrameSpanUs = 10'000'000;
constexpr int kBt601Matrix = 6;   // smpte170m in the VUI's matrix_coefficients

class H264Encoder final : public VideoEncoder
{
public:
    explicit H264Encoder(const VideoEncoderConfig& config)
        : planes_(config.width, config.height),
          // Dropped slots never reach the encoder, so the interval counts slots of the file.
          keyInterval_((kKeyFrameSpanUs + config.microSecPerFrame - 1) / config.microSecPerFrame)
    {
    }

    ~H264Encoder() override
    {
        if (x264_)
            x264_encoder_close(x264_);
    }

    bool open(const VideoEncoderConfig& config, std::string& error)
    {
        x264_param_t p;
        // zerolatency: no B-frames, no lookahead, sliced threads: nothing is held back.
        if (x264_param_default_preset(&p, "veryfast", "zerolatency") < 0) {
            error = "x264 lacks the veryfast preset";
            return false;
        }
        // Two threads at most, and never every core: the live preview needs one to stay smooth.
        const int cores = int(std::thread::hardware_concurrency());
        p.i_threads = std::max(1, std::min(2, cores - 1));
        p.b_sliced_threads = 1;
        p.i_sync_lookahead = 0;
        p.rc.i_lookahead = 0;
        p.rc.b_mb_tree = 0;
        p.i_bframe = 0;   // AVI has no presentation times to reorder frames by
        p.b_vfr_input = 0;
        p.i_width = config.width;
        p.i_height = config.height;
        p.i_csp = X264_CSP_I420;
        p.i_fps_num = 1000000;
        p.i_fps_den = config.microSecPerFrame;
        p.i_timebase_num = config.microSecPerFrame;   // pts counts slots
        p.i_timebase_den = 1000000;
        p.i_keyint_max = int(std::min<uint64_t>(keyInterval_, X264_KEYINT_MAX_INFINITE - 1));
        // Key frames at the interval only: without lookahead, a camera's sensor noise passes
        // for a scene cut and would make nearly every frame a key frame.
        p.i_scenecut_threshold = 0;
        p.rc.i_rc_method = X264_RC_CRF;
        p.rc.f_rf_constant = float(h264RateFactor(config.quality));
        p.b_repeat_headers = 1;
        p.b_annexb = 1;
        p.vui.b_fullrange = 1;
        p.vui.i_colmatrix = kBt601Matrix;
        p.vui.i_chroma_loc = 1;   // chroma sited between the pixels, as JPEG and our averaging place it
        p.i_log_level = X264_LOG_ERROR;
        p.pf_log = &H264Encoder::log;
        p.p_log_private = this;
        // One pass, no statistics files: x264 copies their names and, refusing the settings,
        // loses the copies.
        p.rc.psz_stat_in = nullptr;
        p.rc.psz_stat_out = nullptr;
        x264_ = x264_encoder_open(&p);
        if (!x264_) {
            error = "x264 refused the settings" + (log_.empty() ? std::string() : ": " + log_);
            return false;
        }
        return true;
    }

    bool encode(const VideoPicture& picture, EncodedFrame& out, std::string& error) override
    {
        try {
            return encodeOrFail(picture, out, error);
        } catch (const std::exception& e) {
            error = std::string("H.264 encoding failed: ") + e.what();
        } catch (...) {
            error = "H.264 encoding failed";
        }
        return false;
    }

private:
    static void log(void* self, int level, const char* format, va_list args)
    {
        if (level > X264_LOG_ERROR)
            return;
        char line[512];
        std::vsnprintf(line, sizeof line, format, args);
        std::string& text = static_cast<H264Encoder*>(self)->log_;
        text = line;
        while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
            text.pop_back();
    }

    bool encodeOrFail(const VideoPicture& picture, EncodedFrame& out, std::string& error)
    {
        if (lastSlot_ && picture.slot <= *lastSlot_) {
            error = "picture for slot " + std::to_string(picture.slot) + " after slot " + std::to_string(*lastSlot_);
            return false;
        }
        const bool filled = picture.kind == VideoPicture::Kind::Jpeg
                                ? planes_.fromJpeg(picture.data, picture.size, error)
                                : planes_.fromDib(picture.data, picture.size, error);
        if (!filled)
            return false;

        x264_picture_t in;
        x264_picture_init(&in);
        in.img.i_csp = X264_CSP_I420;
        in.img.i_plane = 3;
        for (int i = 0; i < 3; ++i) {
            in.img.plane[i] = planes_.plane(i);
            in.img.i_stride[i] = planes_.stride(i);
        }
        in.i_pts = int64_t(picture.slot);
        const bool keyDue = !lastKeySlot_ || picture.slot - *lastKeySlot_ >= keyInterval_;
        in.i_type = keyDue ? X264_TYPE_IDR : X264_TYPE_AUTO;

        x264_nal_t* nals = nullptr;
        int count = 0;
        x264_picture_t encoded;
        log_.clear();
        const int bytes = x264_encoder_encode(x264_, &nals, &count, &in, &encoded);
        if (bytes < 0) {
            error = "x264 could not encode the picture" + (log_.empty() ? std::string() : ": " + log_);
            return false;
        }
        // Anything held back would come out with a later picture and shift every frame after it.
        if (bytes == 0 || count == 0 || encoded.i_pts != in.i_pts) {
            error = "x264 did not return the picture of slot " + std::to_string(picture.slot) + " at once";
            return false;
        }
        out.data = nals[0].p_payload;   // x264 lays a frame's NAL units out back to back
        out.size = size_t(bytes);
        out.keyFrame = encoded.b_keyframe != 0;
        if (out.keyFrame)
            lastKeySlot_ = picture.slot;
        lastSlot_ = picture.slot;
        return true;
    }

    YuvPlanes planes_;
    uint64_t keyInterval_;   // slots
    x264_t* x264_ = nullptr;
    std::optional<uint64_t> lastKeySlot_;
    std::optional<uint64_t> lastSlot_;
    std::string log_;   // x264's last error message
};

}  // namespace

int h264RateFactor(int quality)
{
    // JPEG scales its quantisers to 5000/q percent below quality 50 and 200 - 2q above;
    // H.264's quantiser step doubles every 6 steps of the rate factor.
    const int q = std::clamp(quality, 1, 100);
    const double scale = std::max(1.0, q < 50 ? 5000.0 / q : 200.0 - 2.0 * q);
    const double factor = 26.0 + 6.0 * std::log2(scale / 30.0);
    return int(std::clamp(std::lround(factor), 18L, 51L));
}

std::unique_ptr<VideoEncoder> makeH264Encoder(const VideoEncoderConfig& config, std::string& error)
{
    if (config.width <= 0 || config.height <= 0 || config.microSecPerFrame == 0) {
        error = "H.264 needs a picture size and a frame rate";
        return nullptr;
    }
    if (config.width % 2 || config.height % 2) {
        error = "H.264 4:2:0 cannot carry the odd size " + std::to_string(config.width) + "x" +
                std::to_string(config.height) + ": choose an even width and height";
        return nullptr;
    }
    try {
        auto encoder = std::make_unique<H264Encoder>(config);
        if (!encoder->open(config, error))
            return nullptr;
        return encoder;
    } catch (const std::exception& e) {
        error = std::string("the H.264 encoder could not be made: ") + e.what();
        return nullptr;
    }
}
