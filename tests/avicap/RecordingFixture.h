#pragma once
// Recording through a capture window: the real recorder with a test tone as its sound
// input, the test-pattern camera, a fake clock; callbacks logged.
#include <string>
#include <utility>
#include <vector>

#include "AviProbe.h"
#include "CaptureFixture.h"
#include "avicap/audio/AudioInputTone.h"
#include "avicap/avi/Recorder.h"

struct RecordingLog
{
    std::vector<std::pair<int, std::string>> status, errors;
    std::vector<int> control;
    int videoCalls = 0, waveCalls = 0, yieldCalls = 0;
    uint64_t waveBytes = 0;
    std::vector<DWORD> times;                 // dwTimeCaptured of every recorded frame
    bool paintCorner = false;                 // the video-stream callback draws a red square
    std::function<void()> onYield;            // runs inside the yield callback
};
inline RecordingLog recording;

inline LRESULT logStatus(HWND, int id, LPCSTR text)
{
    recording.status.push_back({id, text ? text : ""});
    return TRUE;
}
inline LRESULT logError(HWND, int id, LPCSTR text)
{
    recording.errors.push_back({id, text ? text : ""});
    return TRUE;
}
inline LRESULT logControl(HWND, int state)
{
    recording.control.push_back(state);
    return TRUE;
}
inline LRESULT logYield(HWND)
{
    ++recording.yieldCalls;
    if (recording.onYield)
        recording.onYield();
    return TRUE;
}
inline LRESULT logWave(HWND, LPWAVEHDR header)
{
    ++recording.waveCalls;
    recording.waveBytes += header->dwBytesRecorded;
    return TRUE;
}
// Paints the top-left 32 x 32 pixels of a 320 x 240 picture red (rows are bottom-up).
inline LRESULT logVideo(HWND, LPVIDEOHDR header)
{
    ++recording.videoCalls;
    recording.times.push_back(header->dwTimeCaptured);
    for (int y = 240 - 32; recording.paintCorner && y < 240; ++y)
        for (int x = 0; x < 32; ++x) {
            uint8_t* p = header->lpData + (size_t(y) * 320 + size_t(x)) * 3;
            p[0] = 0, p[1] = 0, p[2] = 255;
        }
    return TRUE;
}

class RecordingFixture : public CaptureFixture
{
protected:
    std::string dir;
    std::string path;

    void installRecorder() override
    {
        setCaptureRecorderFactory(makeCaptureRecorderFactory([] { return std::make_unique<ToneAudioInput>(); }));
    }

    void SetUp() override
    {
        recording = RecordingLog{};
        CaptureFixture::SetUp();
        dir = aviprobe::tempDir();
        path = dir + "/capture.avi";
        ASSERT_TRUE(send(WM_CAP_DRIVER_CONNECT, 0));
        BITMAPINFO info{};
        ASSERT_TRUE(send(WM_CAP_GET_VIDEOFORMAT, sizeof info.bmiHeader, LPARAM(&info)));
        info.bmiHeader.biWidth = 320;
        info.bmiHeader.biHeight = 240;
        ASSERT_TRUE(send(WM_CAP_SET_VIDEOFORMAT, sizeof info.bmiHeader, LPARAM(&info)));
        // The program's sound: 8000 Hz, mono, 16 bits.
        WAVEFORMATEX wave{WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0};
        ASSERT_TRUE(send(WM_CAP_SET_AUDIOFORMAT, sizeof wave, LPARAM(&wave)));
        ASSERT_TRUE(send(WM_CAP_FILE_SET_CAPTURE_FILE, 0, LPARAM(path.c_str())));
        ASSERT_TRUE(send(WM_CAP_SET_CALLBACK_STATUS, 0, LPARAM(&logStatus)));
        ASSERT_TRUE(send(WM_CAP_SET_CALLBACK_ERROR, 0, LPARAM(&logError)));
        ASSERT_TRUE(send(WM_CAP_SET_CALLBACK_CAPCONTROL, 0, LPARAM(&logControl)));
        ASSERT_TRUE(send(WM_CAP_SET_CALLBACK_YIELD, 0, LPARAM(&logYield)));
        ASSERT_TRUE(send(WM_CAP_SET_CALLBACK_WAVESTREAM, 0, LPARAM(&logWave)));
        ASSERT_TRUE(send(WM_CAP_SET_CALLBACK_VIDEOSTREAM, 0, LPARAM(&logVideo)));
        setup(4, true, false, 0);
    }

    void TearDown() override
    {
        CaptureFixture::TearDown();
        if (!dir.empty() && dir != "/tmp") {
            EXPECT_EQ(std::system(("rm -rf '" + dir + "'").c_str()), 0);
        }
    }

    // The program's sequence setup with the given rate, sound and time limit.
    void setup(int fps, bool audio, bool limit, int seconds, bool yield = true)
    {
        CAPTUREPARMS parms{};
        ASSERT_TRUE(send(WM_CAP_GET_SEQUENCE_SETUP, &parms));
        parms.dwRequestMicroSecPerFrame = DWORD(1000000 / fps);
        parms.fYield = yield;
        parms.fCaptureAudio = audio;
        parms.fLimitEnabled = limit;
        parms.wTimeLimit = uint32_t(seconds);
        ASSERT_TRUE(send(WM_CAP_SET_SEQUENCE_SETUP, &parms));
    }

    // Moves simulated time on in steps of one frame interval.
    void record(int ms, int stepMs = 250)
    {
        for (int t = 0; t < ms; t += stepMs)
            advance(stepMs);
    }
};
