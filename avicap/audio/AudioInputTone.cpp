#include "avicap/audio/AudioInputTone.h"

#include <cmath>
#include <numbers>

#include "platform/Clock.h"

CaptureError ToneAudioInput::open(const AviAudioFormat& format)
{
    if (format.bitsPerSample != 16 || format.channels == 0 || format.samplesPerSec == 0)
        return captureFault(CaptureFault::SoundFailed, "the tone source makes 16-bit sound only");
    format_ = format;
    startUs_ = currentClock().monotonicUs();
    produced_ = 0;
    open_ = true;
    return captureOk();
}

bool ToneAudioInput::read(AudioBuffer& buffer)
{
    if (!open_)
        return false;
    uint64_t rate = format_.samplesPerSec;
    uint64_t due = uint64_t(currentClock().monotonicUs() - startUs_) * rate / 1000000;
    if (due <= produced_)
        return false;
    size_t count = size_t(due - produced_);
    buffer.timestampUs = startUs_ + int64_t(produced_ * 1000000 / rate);
    buffer.data.resize(count * format_.blockAlign());
    uint8_t* p = buffer.data.data();
    for (size_t i = 0; i < count; ++i) {
        double phase = 2 * std::numbers::pi * hz_ * double(produced_ + i) / double(rate);
        auto v = uint16_t(int16_t(std::lround(amplitude_ * std::sin(phase))));
        for (int c = 0; c < format_.channels; ++c) {
            *p++ = uint8_t(v);
            *p++ = uint8_t(v >> 8);
        }
    }
    produced_ = due;
    return true;
}
