#pragma once
// The recorder of Recorder.h. Internal to avicap/; every call on the user-interface thread.
#include <optional>
#include <string>
#include <vector>

#include "avicap/avi/AviWriter.h"
#include "avicap/avi/FrameGrid.h"
#include "avicap/avi/Recorder.h"

class Recorder : public CaptureRecorder
{
public:
    explicit Recorder(AudioInputFactory audio) : audioFactory_(std::move(audio)) {}
    ~Recorder() override;

    bool start(const CaptureSession& session, CaptureRecorderHost& host) override;
    bool stop(bool abort) override;
    bool singleFrameOpen(const CaptureSession& session, CaptureRecorderHost& host) override;
    bool singleFrame(const VIDEOHDR& frame) override;
    bool singleFrameClose() override;
    void videoFrame(VIDEOHDR& frame) override;
    void cameraFrame(VIDEOHDR& header, const CaptureFrame& source) override;
    void deviceFailed(const CaptureError& error) override;
    bool capturing() const override { return mode_ != Mode::Idle; }
    void filesClosed() override { collectClosed(false, {}); }
    void waitForFiles() override { collectClosed(true, {}); }
    void waitForWriter() override
    {
        if (writer_)
            writer_->waitWritten();
    }
    void fillStatus(CAPSTATUS& status) const override;
    bool allocateFile(const std::string& fileName, DWORD bytes) override;
    bool saveAs(const std::string& fileName, const std::string& newName) override;
    bool setInfoChunk(const void* chunk) override;

private:
    enum class Mode { Idle, Sequence, SingleFrame };

    // Recorder.cpp
    void begin(const CaptureSession& session, CaptureRecorderHost& host);
    bool openFile(bool withAudio);
    void openAudio();
    void finish(int errorId, const std::string& text);
    // Collects writers that have closed their files (all of them with wait, or only those
    // writing path when it is not empty) and reports failures not yet reported.
    void collectClosed(bool wait, const std::string& path);
    void finishIfWriterFailed();
    int64_t limitUs() const;
    // Frames of the file and the dropped ones among them (grid counts unless it was cut short).
    uint64_t fileFrames() const;
    uint64_t fileDropped() const;

    // RecorderStreams.cpp
    void takeFrame(VIDEOHDR& header, int64_t timestampUs, const std::vector<uint8_t>* jpeg);
    bool writeDib(const uint8_t* pixels, size_t size, uint64_t slot);
    void pumpAudio();
    void tick();
    void runBlocking();
    void startTicks();
    void stopTicks();
    static void timerProc(HWND window, UINT message, UINT_PTR id, DWORD time);

    AudioInputFactory audioFactory_;
    Mode mode_ = Mode::Idle;
    CaptureSession session_;
    CaptureRecorderHost* host_ = nullptr;
    std::unique_ptr<AviWriter> writer_;
    // Writers of ended captures still finishing their files on their own threads.
    struct Closing
    {
        std::unique_ptr<AviWriter> writer;
        std::string path;
        bool reported = false;   // its failure already reached the error callback
        uint64_t capture = 0;    // which capture it wrote
    };
    std::vector<Closing> closing_;
    std::unique_ptr<AudioInput> audio_;
    AviAudioFormat audioFormat_;
    int width_ = 0;
    int height_ = 0;

    FrameGrid grid_;
    // What the file of the last capture holds when its writer failed before the grid's end.
    struct FileCounts
    {
        uint64_t frames = 0;
        uint64_t dropped = 0;
    };
    std::optional<FileCounts> cutShort_;
    int64_t startUs_ = 0;
    int64_t elapsedUs_ = 0;      // frozen when the capture ends
    int64_t lastCameraUs_ = 0;   // when the camera last delivered
    uint64_t unencoded_ = 0;     // pictures of the last capture its compressor refused
    uint64_t waveSamples_ = 0;
    DWORD return_ = 0;
    bool ran_ = false;   // a capture has begun since the recorder was made
    uint64_t captures_ = 0;   // captures begun: the last one's file gives the status its counts

    std::vector<uint8_t> padded_;   // frame rows padded to 4 bytes for the writer
    std::vector<uint8_t> before_;   // the camera's picture before the video-stream callback
    std::vector<uint8_t> sound_;    // 8-bit sound converted from the 16-bit input
};
