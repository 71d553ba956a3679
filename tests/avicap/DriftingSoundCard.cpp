#include "DriftingSoundCard.h"

#include <cmath>
#include <numbers>

#include "platform/Clock.h"

namespace {

// Frames per second times 1e12, kept whole so a day of frames is still counted exactly.
__int128 framesPerSecondE12(const AviAudioFormat& f, int ppm)
{
    return (__int128)f.samplesPerSec * (1000000 + ppm) * 1000000;
}

}  // namespace

CaptureError DriftingSoundCard::open(const AviAudioFormat& format)
{
    if ((format.bitsPerSample != 8 && format.bitsPerSample != 16) || !format.channels || !format.samplesPerSec)
        return captureFault(CaptureFault::SoundFailed, "the simulated card makes 8- or 16-bit sound only");
    start(format, currentClock().monotonicUs());
    return captureOk();
}

bool DriftingSoundCard::read(AudioBuffer& buffer) { return readUntil(currentClock().monotonicUs(), buffer); }

void DriftingSoundCard::start(const AviAudioFormat& format, int64_t startUs)
{
    format_ = format;
    startUs_ = startUs;
    produced_ = 0;
    nextClick_ = 1;
    open_ = true;
}

uint64_t DriftingSoundCard::clickFrame(uint64_t second) const
{
    // round(second * rate * (1 + ppm / 1e6))
    const __int128 scaled = (__int128)second * format_.samplesPerSec * (1000000 + ppm_);
    return uint64_t((scaled + 500000) / 1000000);
}

int DriftingSoundCard::value(uint64_t frame, int channel)
{
    // A 300 Hz tone on the card's own clock, quiet enough to leave the clicks standing out.
    const double phase = 2 * std::numbers::pi * 300 * double(frame) / format_.samplesPerSec;
    int v = int(std::lround(500 * std::cos(phase)));
    if (channel > 0)
        return v + kLevelStep * channel;
    if (frame == clickFrame(nextClick_)) {
        ++nextClick_;
        return v + kClick;
    }
    return v;
}

bool DriftingSoundCard::readUntil(int64_t nowUs, AudioBuffer& buffer)
{
    if (!open_ || nowUs <= startUs_)
        return false;
    const __int128 perSecond = framesPerSecondE12(format_, ppm_);
    const auto due = uint64_t((__int128)(nowUs - startUs_) * perSecond / 1000000000000000000LL);
    if (due <= produced_)
        return false;
    // When the first frame was taken, rounded to the microsecond.
    const __int128 takenE12 = (__int128)produced_ * 1000000000000000000LL;
    buffer.timestampUs = startUs_ + int64_t((takenE12 + perSecond / 2) / perSecond);
    if (jitterUs_ > 0)
        buffer.timestampUs += int64_t(random_() % uint32_t(2 * jitterUs_ + 1)) - jitterUs_;
    const size_t count = size_t(due - produced_);
    const int channels = format_.channels;
    buffer.data.resize(count * format_.blockAlign());
    uint8_t* p = buffer.data.data();
    for (size_t i = 0; i < count; ++i) {
        for (int c = 0; c < channels; ++c) {
            const int v = value(produced_ + i, c);
            if (format_.bitsPerSample == 8) {
                *p++ = uint8_t(128 + v / 256);
            } else {
                *p++ = uint8_t(uint16_t(v));
                *p++ = uint8_t(uint16_t(v) >> 8);
            }
        }
    }
    produced_ = due;
    return true;
}
