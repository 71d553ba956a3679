// Captures through the capture window into files that ffprobe and ffmpeg read whole.
#include <sys/statvfs.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "ManualCamera.h"
#include "RecordingFixture.h"
#include "avicap/avi/MjpegEncoder.h"
#include "avicap/window/CaptureDialogs.h"
#include "framework/Forms.h"
#include "framework/StdCtrls.h"

using namespace aviprobe;

namespace {

class Recording : public RecordingFixture
{
protected:
    // Starts a capture and takes the camera's first frame at once.
    void startSequence(UINT message = WM_CAP_SEQUENCE)
    {
        ASSERT_TRUE(send(message));
        advance(0);
    }

    void recordHalfAnHour(VideoCodec codec);

    void expectFile(int frames, double seconds, bool sound)
    {
        capWaitForFiles(cap);   // a stop returns before the writer has closed the file
        auto v = stream(path, "v:0");
        EXPECT_EQ(v["codec_name"], "mjpeg") << v["error"];
        EXPECT_EQ(v["width"], "320");
        EXPECT_EQ(v["height"], "240");
        EXPECT_EQ(v["r_frame_rate"], "4/1");
        EXPECT_EQ(number(v, "nb_read_frames"), frames);
        EXPECT_NEAR(number(v, "duration"), seconds, 0.001);
        auto a = stream(path, "a:0");
        if (sound) {
            EXPECT_EQ(a["codec_name"], "pcm_s16le");
            EXPECT_EQ(a["sample_rate"], "8000");
            EXPECT_EQ(a["channels"], "1");
            EXPECT_EQ(a["sample_fmt"], "s16");
            EXPECT_NEAR(audioSeconds(path), seconds, 0.25);   // within one frame interval
        } else {
            EXPECT_EQ(a.count("codec_name"), 0u);
        }
        EXPECT_EQ(decodeErrors(path), "");
    }
};

}  // namespace

TEST_F(Recording, SequenceWritesSoundAndPicturesWhileTheStatusFollows)
{
    REQUIRE_FFMPEG();
    startSequence();
    CAPSTATUS s = status();
    EXPECT_EQ(s.fCapturingNow, 1);
    EXPECT_EQ(s.dwReturn, 0u);
    EXPECT_EQ(s.fAudioHardware, 1);
    EXPECT_EQ(s.dwCurrentVideoFrame, 1u);
    // Settings hold still while recording.
    EXPECT_FALSE(send(WM_CAP_FILE_SET_CAPTURE_FILE, 0, LPARAM("/tmp/other.avi")));
    EXPECT_FALSE(send(WM_CAP_SEQUENCE));

    record(5000 - 250);
    s = status();
    EXPECT_EQ(s.dwCurrentVideoFrame, 20u);
    EXPECT_EQ(s.dwCurrentVideoFramesDropped, 0u);
    EXPECT_EQ(s.dwCurrentTimeElapsedMS, 4750u);
    EXPECT_EQ(s.dwCurrentWaveSamples, 4750u * 8);
    record(5000);
    ASSERT_TRUE(send(WM_CAP_STOP));
    s = status();
    EXPECT_EQ(s.fCapturingNow, 0);
    EXPECT_EQ(s.dwCurrentVideoFrame, 40u);
    EXPECT_EQ(s.dwReturn, 0u);
    EXPECT_FALSE(send(WM_CAP_STOP));

    // Every recorded frame passed the video-stream callback, on the frame grid.
    ASSERT_EQ(recording.videoCalls, 40);
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(recording.times[size_t(i)], DWORD(i * 250));
    EXPECT_GT(recording.waveCalls, 10);
    EXPECT_EQ(recording.waveBytes, uint64_t(s.dwCurrentWaveSamples) * 2);
    EXPECT_GT(recording.yieldCalls, 10);
    ASSERT_GE(recording.control.size(), 2u);
    EXPECT_EQ(recording.control.front(), CONTROLCALLBACK_PREROLL);
    EXPECT_EQ(recording.control.back(), CONTROLCALLBACK_CAPTURING);
    ASSERT_GE(recording.status.size(), 2u);
    EXPECT_EQ(recording.status.front().first, IDS_CAP_BEGIN);
    EXPECT_EQ(recording.status.back().first, IDS_CAP_END);
    EXPECT_TRUE(recording.errors.empty());
    expectFile(40, 10.0, true);
}

// Half an hour at the program's rate, 4 frames a second with sound, in simulated time.
void Recording::recordHalfAnHour(VideoCodec codec)
{
    REQUIRE_FFMPEG();
    setCaptureDialogHook([codec](TForm& form) {
        auto* box = dynamic_cast<TComboBox*>(form.FindComponent("CodecBox"));
        ASSERT_NE(box, nullptr);
        box->SetItemIndex(VideoCompressionModel(VideoCompression{codec, 85}).codecIndex());
        form.SetModalResult(mrOk);
    });
    ASSERT_TRUE(send(WM_CAP_DLG_VIDEOCOMPRESSION));
    setCaptureDialogHook(nullptr);
    ASSERT_EQ(capGetVideoCompression(cap).codec, codec);
    // A file system in memory when there is room: a simulated second still costs a real
    // fdatasync on disk.
    struct statvfs shm{};
    if (statvfs("/dev/shm", &shm) == 0 && uint64_t(shm.f_bavail) * shm.f_frsize > (uint64_t(1) << 30)) {
        char name[] = "/dev/shm/lumo-avi-XXXXXX";
        if (mkdtemp(name)) {
            std::filesystem::remove_all(dir);
            dir = name;
            path = dir + "/capture.avi";
            ASSERT_TRUE(send(WM_CAP_FILE_SET_CAPTURE_FILE, 0, LPARAM(path.c_str())));
        }
    }
    auto began = std::chrono::steady_clock::now();
    startSequence();
    for (int i = 1; i < 7200; ++i) {
        advance(250);
        // Simulated time runs far ahead of real time: let the writer keep up.
        while (status().wNumVideoAllocated > 64)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    ASSERT_TRUE(send(WM_CAP_STOP));
    capWaitForFiles(cap);
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::printf("30 simulated minutes (7200 frames, sound) recorded in %.2f s into %s\n", took, dir.c_str());
    CAPSTATUS s = status();
    EXPECT_EQ(s.dwCurrentVideoFrame, 7200u);
    EXPECT_EQ(s.dwCurrentVideoFramesDropped, 0u);
    // Counted from the packets (the other tests decode every frame).
    std::string out = run("ffprobe -v error -count_packets -select_streams v:0 -show_entries "
                          "stream=nb_read_packets,duration,r_frame_rate -of csv=p=0 '" + path + "'");
    EXPECT_EQ(out, "4/1,1800.000000,7200\n");
    EXPECT_NEAR(audioSeconds(path), 1800.0, 0.25);
}

TEST_F(Recording, HalfAnHourAtTheProgramsRateRunsInSimulatedTime) { recordHalfAnHour(VideoCodec::MotionJpeg); }

// The same in H.264: every frame decodes, a key frame opens the file and follows at least
// every ten seconds, and no frame is a B-frame.
TEST_F(Recording, HalfAnHourOfH264DecodesWholeWithKeyFramesEveryTenSeconds)
{
    recordHalfAnHour(VideoCodec::H264);
    EXPECT_EQ(decodeErrors(path), "");
    const std::string frames = run("ffprobe -v error -select_streams v:0 -show_entries frame=key_frame,pict_type "
                                   "-of csv=p=0 " + aviprobe::quoted(path));
    int count = 0, sinceKey = 0, longest = 0, bFrames = 0;
    bool firstIsKey = false;
    for (size_t at = 0; at < frames.size();) {
        const size_t end = frames.find('\n', at);
        const std::string line = frames.substr(at, end - at);
        at = end == std::string::npos ? frames.size() : end + 1;
        if (line.empty())
            continue;
        const bool key = line[0] == '1';
        firstIsKey = firstIsKey || (count == 0 && key);
        bFrames += line.find('B') != std::string::npos;
        sinceKey = key ? 0 : sinceKey + 1;
        longest = std::max(longest, sinceKey);
        ++count;
    }
    EXPECT_EQ(count, 7200);
    EXPECT_TRUE(firstIsKey);
    EXPECT_LT(longest, 40) << "frames after a key frame, at 4 a second";
    EXPECT_EQ(bFrames, 0);
}

TEST_F(Recording, TimeLimitEndsTheCaptureByItself)
{
    REQUIRE_FFMPEG();
    setup(4, true, true, 3);
    startSequence();
    record(2500);
    EXPECT_EQ(status().fCapturingNow, 1);
    record(1000);
    CAPSTATUS s = status();
    EXPECT_EQ(s.fCapturingNow, 0);
    EXPECT_EQ(s.dwCurrentVideoFrame, 12u);
    EXPECT_EQ(s.dwReturn, 0u);
    EXPECT_EQ(recording.status.back().first, IDS_CAP_END);
    EXPECT_TRUE(recording.errors.empty());
    expectFile(12, 3.0, true);
}

TEST_F(Recording, WithoutYieldTheStartMessageReturnsWhenTheCaptureIsDone)
{
    REQUIRE_FFMPEG();
    setup(4, false, true, 2, false);
    // Time passes only while the capture yields.
    recording.onYield = [this] {
        clock->advanceMs(50);
        TestPatternDriver::pumpFrames();
    };
    EXPECT_TRUE(send(WM_CAP_SEQUENCE));
    CAPSTATUS s = status();
    EXPECT_EQ(s.fCapturingNow, 0);
    EXPECT_EQ(s.dwCurrentVideoFrame, 8u);
    EXPECT_EQ(recording.videoCalls, 8);
    expectFile(8, 2.0, false);
}

TEST_F(Recording, WhatTheVideoStreamCallbackDrawsIsRecorded)
{
    REQUIRE_FFMPEG();
    recording.paintCorner = true;
    startSequence();
    record(1000);
    ASSERT_TRUE(send(WM_CAP_STOP));
    std::string raw = dir + "/frame.rgb";
    run("ffmpeg -nostdin -v error -i '" + path + "' -frames:v 1 -f rawvideo -pix_fmt rgb24 '" + raw + "'");
    std::ifstream in(raw, std::ios::binary);
    std::vector<uint8_t> rgb((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(rgb.size(), 320u * 240 * 3);
    const uint8_t* corner = &rgb[(16 * 320 + 16) * 3];   // top-down rows: top left
    EXPECT_GT(corner[0], 220);
    EXPECT_LT(corner[1], 40);
    EXPECT_LT(corner[2], 40);
    const uint8_t* below = &rgb[(120 * 320 + 16) * 3];
    EXPECT_FALSE(below[0] > 220 && below[1] < 40 && below[2] < 40) << "the camera's picture stays elsewhere";
}

// A camera's own JPEG goes into the file as it is, unless the video-stream callback drew.
TEST_F(Recording, CamerasOwnJpegIsStoredWhileTheCallbackLeavesThePictureAlone)
{
    REQUIRE_FFMPEG();
    auto driver = std::make_shared<ManualDriver>();
    setCameraDriver(driver);
    ASSERT_TRUE(send(WM_CAP_DRIVER_CONNECT, 0));
    std::vector<uint8_t> dib = frame(320, 240, 3);
    MjpegEncoder camera(40);   // unlike the recorder's quality: the bytes tell who encoded
    const uint8_t* jpeg = nullptr;
    size_t size = 0;
    ASSERT_TRUE(camera.encode(dib.data(), 320, 240, jpeg, size));
    for (bool draw : {false, true}) {
        recording.paintCorner = draw;
        driver->camera->pixels = dib;
        driver->camera->jpeg.assign(jpeg, jpeg + size);
        ASSERT_TRUE(send(WM_CAP_SEQUENCE));
        for (int i = 0; i < 4; ++i) {
            ASSERT_TRUE(driver->camera->deliver());
            advance(250);
        }
        ASSERT_TRUE(send(WM_CAP_STOP));
        capWaitForFiles(cap);
        std::ifstream in(path, std::ios::binary);
        std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const bool stored = std::search(file.begin(), file.end(), jpeg, jpeg + size) != file.end();
        EXPECT_EQ(stored, !draw);
        EXPECT_EQ(number(stream(path, "v:0"), "nb_read_frames"), 4);
        EXPECT_EQ(decodeErrors(path), "");
    }
    setCameraDriver(nullptr);
}

TEST_F(Recording, SingleFramesAreWrittenOnRequest)
{
    REQUIRE_FFMPEG();
    ASSERT_TRUE(send(WM_CAP_SINGLE_FRAME_OPEN));
    EXPECT_EQ(status().fCapturingNow, 1);
    EXPECT_FALSE(send(WM_CAP_SEQUENCE));
    for (int i = 0; i < 3; ++i) {
        advance(700);
        EXPECT_TRUE(send(WM_CAP_SINGLE_FRAME));
    }
    EXPECT_EQ(status().dwCurrentVideoFrame, 3u);
    ASSERT_TRUE(send(WM_CAP_SINGLE_FRAME_CLOSE));
    EXPECT_EQ(status().fCapturingNow, 0);
    EXPECT_FALSE(send(WM_CAP_SINGLE_FRAME));
    EXPECT_FALSE(send(WM_CAP_SINGLE_FRAME_CLOSE));
    expectFile(3, 0.75, false);
}

TEST_F(Recording, NoFileSequenceRunsTheCallbacksOnly)
{
    startSequence(WM_CAP_SEQUENCE_NOFILE);
    record(1000 - 250);
    ASSERT_TRUE(send(WM_CAP_STOP));
    EXPECT_EQ(recording.videoCalls, 4);
    EXPECT_GT(recording.waveBytes, 0u);
    EXPECT_EQ(status().dwCurrentVideoFrame, 4u);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(Recording, FileThatCannotBeCreatedFailsTheStartAndEndsTheWait)
{
    ASSERT_EQ(std::system(("touch '" + dir + "/plain'").c_str()), 0);
    for (const std::string& bad : {std::string("/nonexistent-lumo-folder/a.avi"), dir + "/plain/a.avi", std::string()}) {
        recording.errors.clear();
        ASSERT_TRUE(send(WM_CAP_FILE_SET_CAPTURE_FILE, 0, LPARAM(bad.c_str())));
        EXPECT_FALSE(send(WM_CAP_SEQUENCE)) << bad;
        // The program's start wait: status and messages until capturing or an error shows.
        int rounds = 0;
        CAPSTATUS s{};
        do {
            s = status();
            processPendingMessages();
        } while (!s.fCapturingNow && !s.dwReturn && ++rounds < 100);
        EXPECT_EQ(rounds, 0);
        EXPECT_EQ(s.fCapturingNow, 0);
        EXPECT_EQ(s.dwReturn, DWORD(IDS_CAP_CANTOPEN));
        ASSERT_EQ(recording.errors.size(), 1u) << bad;
        EXPECT_EQ(recording.errors[0].first, IDS_CAP_CANTOPEN);
        EXPECT_NE(recording.errors[0].second.find(bad), std::string::npos) << recording.errors[0].second;
        EXPECT_FALSE(send(WM_CAP_SINGLE_FRAME_OPEN));
        EXPECT_EQ(status().fCapturingNow, 0);
    }
    EXPECT_TRUE(recording.status.empty());
    // A later start that works clears the error.
    ASSERT_TRUE(send(WM_CAP_FILE_SET_CAPTURE_FILE, 0, LPARAM(path.c_str())));
    startSequence();
    EXPECT_EQ(status().dwReturn, 0u);
    ASSERT_TRUE(send(WM_CAP_ABORT));
}
