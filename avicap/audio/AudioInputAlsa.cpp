#include <alsa/asoundlib.h>

#include "avicap/audio/AudioInput.h"
#include "platform/Clock.h"

namespace {

// ALSA prints its own complaints to stderr; the caller reports errors itself.
void quiet(const char*, int, const char*, int, const char*, ...) {}

class AlsaAudioInput : public AudioInput
{
public:
    ~AlsaAudioInput() override { close(); }

    bool open(const AviAudioFormat& format, std::string& error) override
    {
        close();
        snd_lib_error_set_handler(quiet);
        if (format.bitsPerSample != 16) {
            error = "only 16-bit sound is supported";
            return false;
        }
        int rc = snd_pcm_open(&pcm_, "default", SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK);
        if (rc >= 0)
            rc = snd_pcm_set_params(pcm_, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED,
                                    format.channels, format.samplesPerSec, 1, 500000);
        if (rc >= 0)
            rc = snd_pcm_start(pcm_);
        if (rc < 0) {
            error = std::string("Cannot open the sound input: ") + snd_strerror(rc);
            close();
            return false;
        }
        format_ = format;
        return true;
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
        size_t block = format_.blockAlign();
        buffer.data.resize(size_t(avail) * block);
        snd_pcm_sframes_t got = snd_pcm_readi(pcm_, buffer.data.data(), snd_pcm_uframes_t(avail));
        if (got <= 0) {
            if (got < 0 && got != -EAGAIN)
                snd_pcm_recover(pcm_, int(got), 1);
            return false;
        }
        buffer.data.resize(size_t(got) * block);
        // The first sample was taken (what is still queued + what we read) sample times ago.
        snd_pcm_sframes_t delay = 0;
        if (snd_pcm_delay(pcm_, &delay) < 0)
            delay = 0;
        int64_t age = (int64_t(delay) + got) * 1000000 / format_.samplesPerSec;
        buffer.timestampUs = currentClock().monotonicUs() - age;
        return true;
    }

    void close() override
    {
        if (pcm_)
            snd_pcm_close(pcm_);
        pcm_ = nullptr;
    }

private:
    snd_pcm_t* pcm_ = nullptr;
    AviAudioFormat format_;
};

}  // namespace

std::unique_ptr<AudioInput> createAlsaAudioInput() { return std::make_unique<AlsaAudioInput>(); }

bool audioHardwarePresent()
{
    AlsaAudioInput input;
    std::string ignored;
    return input.open(AviAudioFormat{}, ignored);
}
