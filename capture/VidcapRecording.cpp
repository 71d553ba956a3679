// Capture parameters, the settings re-applied on every connection, recording and the
// still-frame operations.
#include <climits>
#include <cmath>

#include "capture/Vidcap.h"
#include "framework/Forms.h"
#include "platform/Clock.h"

namespace {

// A start or stop the driver never confirms is given up after this long.
constexpr int64_t kRecordingWaitMs = 15000;
// Longest sleep between two looks at the status while nothing arrives.
constexpr DWORD kPollMs = 10;

}  // namespace

void TVidCap::InitCapParms()
{
    FCaptureParms.dwRequestMicroSecPerFrame = 1000000 / 5;
    FCaptureParms.fMakeUserHitOKToCapture = 0;
    FCaptureParms.wPercentDropForError = 100;
    FCaptureParms.fYield = 1;
    FCaptureParms.dwIndexSize = 324000;
    FCaptureParms.wChunkGranularity = 0;
    FCaptureParms.fCaptureAudio = 1;
    FCaptureParms.wNumAudioRequested = 10;
    FCaptureParms.vKeyAbort = 0;
    FCaptureParms.fAbortLeftMouse = 0;
    FCaptureParms.fAbortRightMouse = 0;
    FCaptureParms.fLimitEnabled = 0;
    FCaptureParms.wTimeLimit = 30;
    FCaptureParms.fMCIControl = 0;
    FCaptureParms.fStepMCIDevice = 0;
    FCaptureParms.dwMCIStartTime = 0;
    FCaptureParms.dwMCIStopTime = 30000;
    FCaptureParms.fStepCaptureAt2x = 0;
    FCaptureParms.wStepCaptureAverageFrames = 1;
    FCaptureParms.dwAudioBufferSize = 0;
    FCaptureParms.AVStreamMaster = AVSTREAMMASTER_AUDIO;
}

void TVidCap::InitAudioFormat()
{
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = 8000;
    format.wBitsPerSample = 16;
    format.nBlockAlign = WORD(format.nChannels * format.wBitsPerSample / 8);
    format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
    format.cbSize = 0;
    Send(WM_CAP_SET_AUDIOFORMAT, sizeof format, LPARAM(&format));
}

bool TVidCap::RestoreSettings()
{
    if (!FCapWnd)
        return false;
    if (Send(WM_CAP_SET_SEQUENCE_SETUP, sizeof FCaptureParms, LPARAM(&FCaptureParms)) == 0)
        return false;
    Send(WM_CAP_SET_OVERLAY, FCapStatus.fOverlayWindow ? 1 : 0, 0);
    Send(WM_CAP_SET_PREVIEW, FCapStatus.fLiveWindow ? 1 : 0, 0);
    Send(WM_CAP_SET_PREVIEWRATE, WPARAM(PreviewPeriodMs()), 0);
    Send(WM_CAP_SET_SCALE, FCapStatus.fScale ? 1 : 0, 0);
    Send(WM_CAP_FILE_SET_CAPTURE_FILE, 0, LPARAM(FFileName.c_str()));
    InitAudioFormat();
    char text[256] = {};
    Send(WM_CAP_DRIVER_GET_NAME, sizeof text, LPARAM(text));
    text[sizeof text - 1] = 0;
    FDriverName = text;
    text[0] = 0;
    Send(WM_CAP_DRIVER_GET_VERSION, sizeof text, LPARAM(text));
    text[sizeof text - 1] = 0;
    FDriverVersion = text;
    GetCapDriverCaps();
    GetCapStatus();
    InstallCallbacks(true);
    return true;
}

void TVidCap::SendSequenceSetup()
{
    if (GetDeviceConnected())
        Send(WM_CAP_SET_SEQUENCE_SETUP, sizeof FCaptureParms, LPARAM(&FCaptureParms));
}

// ---- Parameters ----

long double TVidCap::GetFrameRate() const
{
    return static_cast<long double>(1000000.0f) / static_cast<long double>(GetFrameInterval());
}

void TVidCap::SetFrameRate(float Value)
{
    if (!std::isfinite(Value) || Value <= 0)
        return;
    if (!FInitializing && GetFrameRate() == static_cast<long double>(Value))
        return;
    // In single precision, so a rate read back as a float gives its interval again.
    const float interval = 1000000.0f / Value;
    // Under a microsecond, or a period no capture could use (and clear of the float
    // rounding of INT_MAX).
    if (!(interval >= 1.0f) || interval > float(INT_MAX / 2))
        return;
    SetFrameInterval(int(interval));
}

void TVidCap::SetFrameInterval(int Value)
{
    if (Value <= 0)
        return;   // no frame rate has a period of zero or less
    if (!FInitializing && DWORD(Value) == FCaptureParms.dwRequestMicroSecPerFrame)
        return;
    FCaptureParms.dwRequestMicroSecPerFrame = DWORD(Value);
    SendSequenceSetup();
}

void TVidCap::SetCaptureAudio(bool Value)
{
    if (!FInitializing && Value == GetCaptureAudio())
        return;
    FCaptureParms.fCaptureAudio = Value ? 1 : 0;
    SendSequenceSetup();
}

void TVidCap::SetTimeLimit(int Value)
{
    if (Value < 0)
        return;   // no time limit lies in the past
    if (!FInitializing && uint32_t(Value) == FCaptureParms.wTimeLimit)
        return;
    FCaptureParms.wTimeLimit = uint32_t(Value);
    SendSequenceSetup();
}

void TVidCap::SetTimeLimitEnabled(bool Value)
{
    if (!FInitializing && Value == GetTimeLimitEnabled())
        return;
    FCaptureParms.fLimitEnabled = Value ? 1 : 0;
    SendSequenceSetup();
}

void TVidCap::SetFileName(const AnsiString& Value)
{
    if (!FInitializing && Value == FFileName)
        return;
    FFileName = Value;
    if (GetDeviceConnected())
        Send(WM_CAP_FILE_SET_CAPTURE_FILE, 0, LPARAM(FFileName.c_str()));
}

void TVidCap::SetStopGap(bool Value)
{
    // The stop message follows the mode the capture was started in.
    if (!FInitializing && GetRecording())
        return;
    FStopGap = Value;
}

// ---- Recording ----

bool TVidCap::WaitFor(const std::function<bool()>& Done, int64_t LimitMs)
{
    const int64_t start = currentClock().monotonicMs();
    for (;;) {
        if (Done())
            return true;
        if (!FCapWnd || !IsWindow(FCapWnd))
            return false;
        if (LimitMs >= 0 && currentClock().monotonicMs() - start >= LimitMs)
            return false;
        if (Application)
            Application->ProcessMessages();
        else
            processPendingMessages();
        if (Done())
            return true;
        // Sleeps until something arrives (a message, a due timer) or the poll period ends.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kPollMs, QS_ALLINPUT);
    }
}

void TVidCap::SetRecording(bool Value)
{
    // A start or stop asked for from a handler while another one waits: the outer call
    // decides.
    if (FWaiting)
        return;
    if (!GetDeviceConnected() || Value == GetRecording())
        return;
    struct Guard
    {
        bool& flag;
        explicit Guard(bool& f) : flag(f) { flag = true; }
        ~Guard() { flag = false; }
    } guard(FWaiting);

    if (!Value) {
        const bool sent = Send(FStopGap ? WM_CAP_SINGLE_FRAME_CLOSE : WM_CAP_STOP, 0, 0) != 0;
        GetCapStatus();
        // Without sent, the capture had already ended or the driver refused: the status says.
        if (sent)
            WaitFor([this] {
                GetCapStatus();
                return FCapStatus.fCapturingNow == 0 || !GetDeviceConnected();
            }, kRecordingWaitMs);
        // A capture window destroyed meanwhile (by a handler, say) answers no status, and its
        // last reading would say "capturing" for ever. No window, no capture.
        if (!FCapWnd || !IsWindow(FCapWnd))
            FCapStatus.fCapturingNow = 0;
        return;
    }
    Send(WM_CAP_FILE_SET_CAPTURE_FILE, 0, LPARAM(FFileName.c_str()));
    const bool started = Send(FStopGap ? WM_CAP_SINGLE_FRAME_OPEN : WM_CAP_SEQUENCE, 0, 0) != 0;
    GetCapStatus();
    if (!started)
        return;   // no file, no driver, a full disk: Recording stays false, GetReturn says why
    WaitFor([this] {
        GetCapStatus();
        return FCapStatus.fCapturingNow != 0 || FCapStatus.dwReturn != 0 || !GetDeviceConnected();
    }, kRecordingWaitMs);
}

int TVidCap::GetReturn()
{
    if (GetDeviceConnected())
        GetCapStatus();
    return int(FCapStatus.dwReturn);
}

void TVidCap::CopyFrame()
{
    if (GetRecording())
        return;
    Send(WM_CAP_EDIT_COPY, 0, 0);
}

void TVidCap::SaveFrame()
{
    if (GetRecording()) {
        if (FStopGap)
            Send(WM_CAP_SINGLE_FRAME, 0, 0);
        return;
    }
    Send(WM_CAP_GRAB_FRAME_NOSTOP, 0, 0);
    Send(WM_CAP_FILE_SAVEDIB, 0, LPARAM(FFileName.c_str()));
}

// ---- Statistics ----

int TVidCap::GetCurrentTimeElapsedMS()
{
    if (GetDeviceConnected())
        GetCapStatus();
    return int(FCapStatus.dwCurrentTimeElapsedMS);
}

int TVidCap::GetCurrentVideoFrame()
{
    if (GetDeviceConnected())
        GetCapStatus();
    return int(FCapStatus.dwCurrentVideoFrame);
}

int TVidCap::GetCurrentVideoFramesDropped()
{
    if (GetDeviceConnected())
        GetCapStatus();
    return int(FCapStatus.dwCurrentVideoFramesDropped);
}

int TVidCap::GetCurrentWaveSamples()
{
    if (GetDeviceConnected())
        GetCapStatus();
    return int(FCapStatus.dwCurrentWaveSamples);
}

int TVidCap::GetNumVideoAllocated()
{
    if (GetDeviceConnected())
        GetCapStatus();
    return int(FCapStatus.wNumVideoAllocated);
}

int TVidCap::GetNumAudioAllocated()
{
    if (GetDeviceConnected())
        GetCapStatus();
    return int(FCapStatus.wNumAudioAllocated);
}
