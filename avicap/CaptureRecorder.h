#pragma once
// The seam between a capture window and recording. The window keeps the settings (file name,
// sequence setup, audio format, codec choice) and answers the recording messages through the
// recorder that the installed factory makes; without a factory they answer FALSE.
#include <functional>
#include <memory>
#include <string>

#include "avicap/CaptureDriver.h"
#include "avicap/Vfw.h"
#include "avicap/codec/VideoCodec.h"

// The codec chosen in the compression dialog.
struct VideoCompression
{
    VideoCodec codec = VideoCodec::MotionJpeg;
    int quality = 85;   // 1..100, for compressors the slider applies to (Compressors.h)
    bool operator==(const VideoCompression&) const = default;
};

// Everything a recording needs to know, copied when it starts.
struct CaptureSession
{
    HWND window = 0;
    std::string fileName;
    bool toFile = true;   // false for WM_CAP_SEQUENCE_NOFILE
    CAPTUREPARMS parms{};
    BITMAPINFOHEADER videoFormat{};   // packed records last but one: keeps members aligned
    WAVEFORMATEX audioFormat{};
    VideoCompression compression;
};

// What the capture window offers a recorder; every call on the user-interface thread.
class CaptureRecorderHost
{
public:
    virtual ~CaptureRecorderHost() = default;
    // Each runs the installed callback (if any) and answers its result (TRUE without one).
    virtual LRESULT reportStatus(int id, const char* text) = 0;
    virtual LRESULT reportError(int id, const char* text) = 0;
    virtual LRESULT yield() = 0;
    virtual LRESULT capControl(int state) = 0;
    virtual LRESULT videoStream(VIDEOHDR* header) = 0;
    virtual LRESULT waveStream(WAVEHDR* header) = 0;
    // The recording ended by itself (time limit, error): the window refreshes its state.
    virtual void recordingEnded() = 0;
    // A capture that blocks inside its start message began: the camera must stream now.
    virtual void recordingStarted() {}
};

class CaptureRecorder
{
public:
    virtual ~CaptureRecorder() = default;
    // WM_CAP_SEQUENCE and WM_CAP_SEQUENCE_NOFILE.
    virtual bool start(const CaptureSession& session, CaptureRecorderHost& host) = 0;
    // WM_CAP_STOP (abort false) and WM_CAP_ABORT (abort true).
    virtual bool stop(bool abort) = 0;
    virtual bool singleFrameOpen(const CaptureSession& session, CaptureRecorderHost& host) = 0;
    // Appends the current frame (24-bit bottom-up, as in the frame callback).
    virtual bool singleFrame(const VIDEOHDR& frame) = 0;
    virtual bool singleFrameClose() = 0;
    // Each camera frame while recording, before the preview sees it.
    virtual void videoFrame(VIDEOHDR& frame) = 0;
    // The same with the camera's frame behind the header (its time, its own JPEG).
    virtual void cameraFrame(VIDEOHDR& header, const CaptureFrame& source)
    {
        (void)source;
        videoFrame(header);
    }
    // The camera failed while recording: end the capture and keep the file. The window
    // reports the error itself.
    virtual void deviceFailed(const CaptureError& error)
    {
        (void)error;
        stop(true);
    }
    virtual bool capturing() const = 0;
    // Files of ended captures are finished on the writer's thread, which then posts
    // WM_CAPTURE_FILE_CLOSED to the window; the window passes it here to report the result.
    virtual void filesClosed() {}
    // Waits until the file of every ended capture is closed, reporting as filesClosed does.
    virtual void waitForFiles() {}
    // Waits until the running capture's writer has written what it was given so far.
    virtual void waitForWriter() {}
    // Fills the recording members of the status: fCapturingNow, frame, drop and sample
    // counts, elapsed time, dwReturn, buffers allocated, fCapFileExists.
    virtual void fillStatus(CAPSTATUS& status) const = 0;
    virtual bool allocateFile(const std::string& fileName, DWORD bytes) = 0;
    virtual bool saveAs(const std::string& fileName, const std::string& newName) = 0;
    virtual bool setInfoChunk(const void* chunk) = 0;
};

// Posted by a writer that has closed the file of an ended capture; outside the WM_CAP_ range.
constexpr UINT WM_CAPTURE_FILE_CLOSED = WM_USER + 0x201;

using CaptureRecorderFactory = std::function<std::unique_ptr<CaptureRecorder>()>;
// Installs the factory used by capture windows created from now on (null: none). There is
// none until a call; the program installs the recorder of avicap/avi/Recorder.h.
void setCaptureRecorderFactory(CaptureRecorderFactory factory);
CaptureRecorderFactory captureRecorderFactory();

// Waits until the files of the window's ended captures are closed (a stop returns before
// that). The window's destruction waits too, so no file is left unfinished.
void capWaitForFiles(HWND window);
// Waits until the running capture's file holds what the camera delivered so far: tests that
// run the clock faster than real time keep the writer from falling behind with it.
void capWaitForWriter(HWND window);

// The codec choice of a capture window (default for a window that is not one).
VideoCompression capGetVideoCompression(HWND window);
