#include <alsa/asoundlib.h>

#include <algorithm>

#include "avicap/audio/AudioInput.h"
#include "platform/Clock.h"

namespace {

// ALSA prints its own complaints to stderr; the caller reports errors itself.
void quiet(const char*, int, const char*, int, const char*, ...) {}

class AlsaAudioInput : public AudioInput
{
public:
    ~AlsaAudioInput() override { close(); }

    CaptureError open(const AviAudioFormat& format) override
    {
        close();
        snd_lib_error_set_handler(quiet);
        if (format.bitsPerSample != 16)
            return captureFault(CaptureFault::SoundFailed, "only 16-bit sound is supported");
        const char* call = "snd_pcm_open";
        int rc = snd_pcm_open(&pcm_, "default", SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK);
        if (rc >= 0) {
            call = "snd_pcm_set_params";
            rc = snd_pcm_set_params(pcm_, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED,
                                    format.channels, format.samplesPerSec, 1, 500000);
        }
        stamped_ = rc >= 0 && enableTimestamps();
        if (rc >= 0) {
            call = "snd_pcm_start";
            rc = snd_pcm_start(pcm_);
        }
        if (rc < 0) {
            CaptureError error = captureFault(CaptureFault::SoundFailed,
                                              std::string(call) + " on default: " + snd_strerror(rc));
            error.call = call;
            error.sysError = -rc;
            close();
            return error;
        }
        format_ = format;
        return captureOk();
    }

    bool read(AudioBuffer& buffer) override
    {
        if (!pcm_)
            return false;
        snd_pcm_sframes_t avail = snd_pcm_avail_update(pcm_);
        if (avail < 0) {
            snd_pcm_recover(pcm_, int(avail), 1);   // an overrun: the gap is filled by timestamps
            snd_pcm_start(pcm_);
            return false;
        }
        if (avail == 0)
            return false;
        ClockRef clock = currentClock();
        // The card's stamp is on CLOCK_MONOTONIC, which only the system clock reads.
        const bool systemClock = dynamic_cast<SystemClock*>(&clock.clock()) != nullptr;
        const int64_t stamp = systemClock ? cardStamp() : -1;
        size_t block = format_.blockAlign();
        buffer.data.resize(size_t(avail) * block);
        snd_pcm_sframes_t got = snd_pcm_readi(pcm_, buffer.data.data(), snd_pcm_uframes_t(avail));
        if (got <= 0) {
            if (got < 0 && got != -EAGAIN)
                snd_pcm_recover(pcm_, int(got), 1);
            return false;
        }
        buffer.data.resize(size_t(got) * block);
        const int64_t now = clock.monotonicUs();
        // A plugin that stamps nothing, or on another clock, is caught by its distance from now.
        if (stamp >= 0 && stamp <= now && now - stamp < kPlausibleAgeUs) {
            buffer.timestampUs = stamp;
            return true;
        }
        // The first sample was taken (what is still queued + what we read) sample times ago.
        snd_pcm_sframes_t delay = 0;
        if (snd_pcm_delay(pcm_, &delay) < 0)
            delay = 0;
        int64_t age = (int64_t(delay) + got) * 1000000 / format_.samplesPerSec;
        buffer.timestampUs = now - age;
        return true;
    }

    void close() override
    {
        if (pcm_)
            snd_pcm_close(pcm_);
        pcm_ = nullptr;
    }

private:
    // Older than the card's half-second buffer and then some: not a stamp of this read.
    static constexpr int64_t kPlausibleAgeUs = 2000000;

    // Has the card stamp its status (the time its position was last updated) on
    // CLOCK_MONOTONIC, far steadier than reading the clock after the read.
    bool enableTimestamps()
    {
        snd_pcm_sw_params_t* sw;
        snd_pcm_sw_params_alloca(&sw);
        return snd_pcm_sw_params_current(pcm_, sw) >= 0 &&
               snd_pcm_sw_params_set_tstamp_mode(pcm_, sw, SND_PCM_TSTAMP_ENABLE) >= 0 &&
               snd_pcm_sw_params_set_tstamp_type(pcm_, sw, SND_PCM_TSTAMP_TYPE_MONOTONIC) >= 0 &&
               snd_pcm_sw_params(pcm_, sw) >= 0;
    }

    // When the next frame to read was taken, in microseconds of CLOCK_MONOTONIC; -1: unknown.
    int64_t cardStamp()
    {
        if (!stamped_)
            return -1;
        snd_pcm_status_t* status;
        snd_pcm_status_alloca(&status);
        if (snd_pcm_status(pcm_, status) < 0)
            return -1;
        snd_htimestamp_t at;
        snd_pcm_status_get_htstamp(status, &at);
        if (at.tv_sec == 0 && at.tv_nsec == 0)
            return -1;
        // At the stamp, the frame at the reading position was `delay` frames old: the
        // unread ones after it and the ones still in the converter. Some plugins report
        // less than what is there to read, which it cannot be.
        const int64_t delay = std::max<int64_t>(snd_pcm_status_get_delay(status),
                                                int64_t(snd_pcm_status_get_avail(status)));
        return int64_t(at.tv_sec) * 1000000 + at.tv_nsec / 1000 - delay * 1000000 / int64_t(format_.samplesPerSec);
    }

    snd_pcm_t* pcm_ = nullptr;
    bool stamped_ = false;
    AviAudioFormat format_;
};

}  // namespace

std::unique_ptr<AudioInput> createAlsaAudioInput() { return std::make_unique<AlsaAudioInput>(); }

bool audioHardwarePresent()
{
    AlsaAudioInput input;
    return input.open(AviAudioFormat{}).ok();
}
