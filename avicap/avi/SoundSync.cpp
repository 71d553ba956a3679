#include "avicap/avi/SoundSync.h"

#include <algorithm>
#include <cmath>

namespace {

// Loop tuning, in seconds. The offset is smoothed over kSmoothSec so timestamp jitter of a
// few milliseconds hardly moves the rate; the proportional gain takes a tenth of the
// offset away per second; the integral gain (critically damped with it) learns the card's
// rate within a minute or so. A 300 ppm card then stays within a few ms of its picture.
constexpr double kSmoothSec = 2.0;
constexpr double kGainP = 0.1;
constexpr double kGainI = kGainP * kGainP / 4;
// Buffers longer than this (a stalled reader) do not make one giant correction step.
constexpr double kMaxStepSec = 1.0;
// Input frames resampled at a time, so a long hole of silence needs no big buffer.
constexpr size_t kChunk = 4096;

// Catmull-Rom through four neighbours, at t in [0, 1) between x0 and x1; exact at t = 0.
inline float interpolate(float xm, float x0, float x1, float x2, float t)
{
    const float c1 = 0.5f * (x1 - xm);
    const float c2 = xm - 2.5f * x0 + 2.0f * x1 - 0.5f * x2;
    const float c3 = 0.5f * (x2 - xm) + 1.5f * (x0 - x1);
    return x0 + t * (c1 + t * (c2 + t * c3));
}

}  // namespace

SoundSync::SoundSync(const AviAudioFormat& format, int64_t startUs, Spill spill)
    : format_(format), startUs_(startUs), block_(std::max<size_t>(1, format.blockAlign())), spill_(std::move(spill))
{
}

void SoundSync::place(const uint8_t* pcm, size_t bytes, int64_t timestampUs, std::vector<uint8_t>& out)
{
    size_t frames = bytes / block_;
    if (frames == 0 || format_.samplesPerSec == 0)
        return;
    const double rate = format_.samplesPerSec;
    // Where the first frame belongs in the output, whole and fractional parts apart so a
    // month into a recording the fraction still has its microsecond resolution.
    const __int128 scaled = (__int128)(timestampUs - startUs_) * format_.samplesPerSec;
    int64_t targetInt = int64_t(scaled / 1000000);
    if (scaled < 0 && scaled % 1000000 != 0)
        --targetInt;
    const double targetFrac = double(scaled - (__int128)targetInt * 1000000) / 1e6;

    if (!started_) {
        if (targetInt < 0) {
            auto early = uint64_t(std::llround(-(double(targetInt) + targetFrac)));
            if (early >= frames)
                return;   // all of it from before the start
            pcm += early * block_;
            frames -= early;
        } else {
            auto silence = uint64_t(std::llround(double(targetInt) + targetFrac));
            outFrames_ += silence;
            while (silence > 0) {
                const size_t n = size_t(std::min<uint64_t>(silence, kChunk));
                out.insert(out.end(), n * block_, format_.bitsPerSample == 8 ? 0x80 : 0);
                silence -= n;
                spillIfLarge(out);
            }
        }
        started_ = true;
        reserve(frames, out);
        resample(pcm, frames, out);
        return;
    }

    // Where the first frame will land: the resampler reaches input frame inFrames_ after
    // (inFrames_ - position) / ratio more output frames.
    double late = double(int64_t(outFrames_) - targetInt) - targetFrac +
                  (double(inFrames_ - posInt_) - posFrac_) / ratio_;
    if (late < -kStepUs * rate / 1e6) {
        // Sound is missing (an overrun, the device gone for a while): silence in its place.
        auto hole = uint64_t(std::llround(-late * ratio_));
        reserve(std::min<uint64_t>(hole, kChunk), out);
        resample(nullptr, hole, out);
        late += double(hole) / ratio_;
        stats_.silenceSamples += hole;
        ++stats_.gaps;
    } else if (late > kStepUs * rate / 1e6) {
        // The buffer repeats sound already placed: drop what overlaps.
        auto overlap = std::min<uint64_t>(frames, uint64_t(std::llround(late * ratio_)));
        stats_.cutSamples += overlap;
        ++stats_.overlaps;
        if (overlap == frames)
            return;
        pcm += overlap * block_;
        frames -= overlap;
        late -= double(overlap) / ratio_;
    }
    steer(late / rate, double(frames) / rate);
    reserve(frames, out);
    resample(pcm, frames, out);
}

void SoundSync::reserve(size_t frames, std::vector<uint8_t>& out) const
{
    // Room for the buffer at once rather than by doubling sample by sample, and growing
    // by at least half so buffers a frame longer than the last do not reallocate each time.
    const size_t need = out.size() + (size_t(double(frames) / ratio_) + kTail + 1) * block_;
    if (out.capacity() < need)
        out.reserve(std::max(need, out.capacity() + out.capacity() / 2));
}

void SoundSync::steer(double offsetSec, double bufferSec)
{
    const double dt = std::min(bufferSec, kMaxStepSec);
    filtered_ += dt / (kSmoothSec + dt) * (offsetSec - filtered_);
    integral_ = std::clamp(integral_ + kGainI * filtered_ * dt, -kMaxCorrection, kMaxCorrection);
    // Late sound is consumed a little faster, early sound a little slower.
    ratio_ = 1.0 + std::clamp(integral_ + kGainP * filtered_, -kMaxCorrection, kMaxCorrection);
    stats_.rate = ratio_;
    stats_.offsetMs = filtered_ * 1000;
}

void SoundSync::load(const uint8_t* pcm, size_t frames)
{
    const size_t channels = format_.channels;
    // The very first frame gets a copy before it: the interpolation looks one frame back.
    const bool firstEver = tailFrames_ == 0;
    if (firstEver)
        tailFrames_ = 1;
    const size_t base = tailFrames_ * channels;
    work_.resize(base + frames * channels);
    float* w = work_.data() + base;
    if (!pcm) {
        std::fill(w, w + frames * channels, 0.0f);
    } else if (format_.bitsPerSample == 8) {
        for (size_t i = 0; i < frames * channels; ++i)
            w[i] = float(int(pcm[i]) - 128);
    } else {
        for (size_t i = 0; i < frames * channels; ++i)
            w[i] = float(int16_t(uint16_t(pcm[2 * i] | pcm[2 * i + 1] << 8)));
    }
    if (firstEver)
        std::copy(w, w + channels, work_.begin());
}

uint8_t* SoundSync::emit(float value, uint8_t* p) const
{
    // Rounded half away from zero by hand: lrint is a library call, per sample.
    if (format_.bitsPerSample == 8) {
        *p++ = uint8_t(int(std::clamp(value, -128.0f, 127.0f) + 128.5f));
    } else {
        const float v = std::clamp(value, -32768.0f, 32767.0f);
        const auto s = uint16_t(int16_t(int(v + (v < 0 ? -0.5f : 0.5f))));
        *p++ = uint8_t(s);
        *p++ = uint8_t(s >> 8);
    }
    return p;
}

void SoundSync::resample(const uint8_t* pcm, size_t frames, std::vector<uint8_t>& out)
{
    while (frames > 0) {
        const size_t n = std::min(frames, kChunk);
        load(pcm, n);
        advance(n, out);
        if (pcm)
            pcm += n * block_;
        frames -= n;
        spillIfLarge(out);
    }
}

void SoundSync::spillIfLarge(std::vector<uint8_t>& out)
{
    if (spill_ && out.size() >= kSpillBytes)
        spill_(out);
}

void SoundSync::finish(std::vector<uint8_t>& out)
{
    if (tailFrames_ == 0)
        return;
    // The last frame held on past the end lets the frames waiting for neighbours out.
    const size_t channels = format_.channels;
    for (size_t i = 0; i < kTail - 1; ++i) {
        const std::vector<float> last(work_.end() - ptrdiff_t(channels), work_.end());
        work_.insert(work_.end(), last.begin(), last.end());
    }
    advance(kTail - 1, out);
}

void SoundSync::advance(size_t frames, std::vector<uint8_t>& out)
{
    const size_t channels = format_.channels;
    inFrames_ += int64_t(frames);
    const size_t have = tailFrames_ + frames;
    const int64_t first = inFrames_ - int64_t(have);   // input index of work_'s first frame
    // Written in place (no growth check per sample): at most this many frames come out.
    const size_t before = out.size();
    const double room = (double(inFrames_ - 2 - posInt_) - posFrac_) / ratio_;
    out.resize(before + (size_t(std::max(0.0, room)) + 2) * block_);
    uint8_t* p = out.data() + before;
    const double step = ratio_ - 1.0;
    // Each output frame needs the input frames one before and two after its position.
    while (posInt_ + 2 < inFrames_) {
        const float* x = work_.data() + size_t(posInt_ - 1 - first) * channels;
        const auto t = float(posFrac_);
        for (size_t c = 0; c < channels; ++c)
            p = emit(interpolate(x[c], x[channels + c], x[2 * channels + c], x[3 * channels + c], t), p);
        ++outFrames_;
        // A step is one frame and a sliver (the ratio is bounded well inside 1 +- 1).
        ++posInt_;
        posFrac_ += step;
        if (posFrac_ >= 1.0) {
            posFrac_ -= 1.0;
            ++posInt_;
        } else if (posFrac_ < 0.0) {
            posFrac_ += 1.0;
            --posInt_;
        }
    }
    out.resize(size_t(p - out.data()));
    tailFrames_ = std::min(have, kTail);
    std::copy(work_.end() - ptrdiff_t(tailFrames_ * channels), work_.end(), work_.begin());
    work_.resize(tailFrames_ * channels);
}
