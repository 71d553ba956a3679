#include <stdexcept>

#include "VidcapFixture.h"

namespace {

struct EventLog
{
    int frames = 0, videoStream = 0, capControl = 0, yields = 0, waves = 0;
    std::vector<std::pair<int, LPSTR>> errors, statuses;
    std::vector<TObject*> senders;
};

class VidcapCallbacks : public VidcapFixture
{
protected:
    static void listen(TVidCap* v, EventLog& log)
    {
        v->OnFrame = [&log](TObject* s, LPVIDEOHDR) {
            ++log.frames;
            log.senders.push_back(s);
        };
        v->OnVideoStream = [&log](TObject*, LPVIDEOHDR) { ++log.videoStream; };
        v->OnError = [&log](TObject* s, int id, LPSTR text) {
            log.errors.push_back({id, text});
            log.senders.push_back(s);
        };
        v->OnStatus = [&log](TObject*, int id, LPSTR text) { log.statuses.push_back({id, text}); };
        v->OnCapControl = [&log](TObject*) { ++log.capControl; };
        v->OnYield = [&log](TObject*) { ++log.yields; };
        v->OnWaveStream = [&log](TObject*, LPWAVEHDR) { ++log.waves; };
    }
};

TEST_F(VidcapCallbacks, EachComponentHearsOnlyItsOwnCaptureWindow)
{
    TVidCap* first = place();
    TVidCap* second = place();
    ASSERT_NE(first->GetCapWnd(), second->GetCapWnd());
    ASSERT_NE(TVidCap::ThisList, nullptr);
    EXPECT_EQ(TVidCap::ThisList->Count(), 2);
    EventLog a, b;
    listen(first, a);
    listen(second, b);

    // The platform's error on the second window.
    findCaptureWindow(second->GetCapWnd())->reportError(IDS_CAP_DRIVER_ERROR, "second only");
    EXPECT_TRUE(a.errors.empty());
    ASSERT_EQ(b.errors.size(), 1u);
    EXPECT_STREQ(b.errors[0].second, "second only");
    EXPECT_EQ(b.senders.back(), second);

    // Preview frames: each its own, with itself as sender.
    for (int i = 0; i < 4; ++i)
        advance(100);
    EXPECT_GT(a.frames, 0);
    EXPECT_GT(b.frames, 0);
    for (TObject* s : a.senders)
        EXPECT_EQ(s, first);

    // Every kind of callback through the static procedures.
    const HWND w = second->GetCapWnd();
    VIDEOHDR frame{};
    WAVEHDR wave{};
    EXPECT_EQ(TVidCap::CapControlCallbackProc(w, CONTROLCALLBACK_CAPTURING), 1);
    EXPECT_EQ(TVidCap::YieldCallbackProc(w), 1);
    EXPECT_EQ(TVidCap::WaveStreamCallbackProc(w, &wave), 1);
    EXPECT_EQ(TVidCap::capVideoStreamCallback(w, &frame), 1);
    EXPECT_EQ(b.capControl, 1);
    EXPECT_EQ(b.yields, 1);
    EXPECT_EQ(b.waves, 1);
    EXPECT_EQ(b.videoStream, 1);
    EXPECT_EQ(a.capControl + a.yields + a.waves + a.videoStream, 0);

    // The status and error ids and texts pass unchanged, a null text included.
    char text[] = "as passed";
    EXPECT_EQ(TVidCap::StatusCallbackProc(w, 1234, text), 1);
    EXPECT_EQ(TVidCap::ErrorCallbackProc(w, 77, nullptr), 1);
    ASSERT_EQ(b.statuses.size(), 1u);
    EXPECT_EQ(b.statuses[0].first, 1234);
    EXPECT_EQ(b.statuses[0].second, text);
    EXPECT_EQ(b.errors.back().first, 77);
    EXPECT_EQ(b.errors.back().second, nullptr);
}

TEST_F(VidcapCallbacks, UnknownWindowsGetZeroAndNoEvent)
{
    TVidCap* v = place();
    EventLog log;
    listen(v, log);
    const HWND stranger = HWND(0x7777);
    VIDEOHDR frame{};
    EXPECT_EQ(TVidCap::ErrorCallbackProc(stranger, 1, "x"), 0);
    EXPECT_EQ(TVidCap::capFrameCallback(stranger, &frame), 0);
    EXPECT_EQ(TVidCap::YieldCallbackProc(stranger), 0);
    EXPECT_TRUE(log.errors.empty());
    EXPECT_EQ(log.frames + log.yields, 0);
    EXPECT_FALSE(v->GetFrameUpdated());
}

TEST_F(VidcapCallbacks, WithoutHandlersCallbacksAnswerOneAndFramesStillReachTheBitmaps)
{
    TVidCap* v = place();
    std::vector<uint8_t> pixels(640 * 480 * 3, 0x5A);
    VIDEOHDR frame{};
    frame.lpData = pixels.data();
    frame.dwBufferLength = frame.dwBytesUsed = DWORD(pixels.size());
    EXPECT_EQ(TVidCap::capFrameCallback(v->GetCapWnd(), &frame), 1);
    EXPECT_EQ(TVidCap::ErrorCallbackProc(v->GetCapWnd(), 1, "x"), 1);
    EXPECT_TRUE(v->GetFrameUpdated());
    EXPECT_EQ(static_cast<uint8_t*>(v->GetVideoFrame()->ScanLine(0))[0], 0x5A);
}

TEST_F(VidcapCallbacks, TheListLivesFromTheFirstAttachToTheLastDetach)
{
    TVidCap* v = place();
    ASSERT_NE(TVidCap::ThisList, nullptr);
    MessageLog log;
    log.attach(v->GetCapWnd());
    v->DettachCallbacks();
    EXPECT_EQ(TVidCap::ThisList, nullptr);
    // All seven removed, in order.
    const std::vector<UINT> removed = {WM_CAP_SET_CALLBACK_CAPCONTROL, WM_CAP_SET_CALLBACK_ERROR,
                                       WM_CAP_SET_CALLBACK_FRAME, WM_CAP_SET_CALLBACK_STATUS,
                                       WM_CAP_SET_CALLBACK_VIDEOSTREAM, WM_CAP_SET_CALLBACK_WAVESTREAM,
                                       WM_CAP_SET_CALLBACK_YIELD};
    EXPECT_EQ(log.messages(), removed);
    for (const auto& e : log.entries)
        EXPECT_EQ(e.lParam, 0);
    v->AttachCallbacks();
    ASSERT_NE(TVidCap::ThisList, nullptr);
    EXPECT_EQ(TVidCap::ThisList->Count(), 1);
    EXPECT_NE(log.entries.back().lParam, 0);

    // Disconnecting clears only the status, error and frame callbacks; the instance stays.
    log.entries.clear();
    v->DisconnectDevice();
    EXPECT_EQ(log.count(WM_CAP_SET_CALLBACK_STATUS), 1);
    EXPECT_EQ(log.count(WM_CAP_SET_CALLBACK_ERROR), 1);
    EXPECT_EQ(log.count(WM_CAP_SET_CALLBACK_FRAME), 1);
    EXPECT_EQ(log.count(WM_CAP_SET_CALLBACK_YIELD), 0);
    EXPECT_EQ(TVidCap::ThisList->Count(), 1);
}

TEST_F(VidcapCallbacks, AHandlerThatDetachesCannotBreakTheDispatch)
{
    TVidCap* first = place();
    TVidCap* second = place();
    int seen = 0;
    // The first instance leaves the list from inside its own callback; the second, later in
    // the list, must still be reached for its own window.
    first->OnError = [&](TObject*, int, LPSTR) {
        ++seen;
        first->DettachCallbacks();
    };
    second->OnError = [&](TObject*, int, LPSTR) { ++seen; };
    EXPECT_EQ(TVidCap::ErrorCallbackProc(first->GetCapWnd(), 1, "x"), 1);
    EXPECT_EQ(seen, 1);
    ASSERT_NE(TVidCap::ThisList, nullptr);
    EXPECT_EQ(TVidCap::ThisList->Count(), 1);
    EXPECT_EQ(TVidCap::ErrorCallbackProc(second->GetCapWnd(), 1, "x"), 1);
    EXPECT_EQ(seen, 2);

    // The last instance detaching frees the list under the loop; the loop notices.
    int frames = 0;
    second->OnFrame = [&](TObject*, LPVIDEOHDR) {
        ++frames;
        second->DettachCallbacks();
    };
    std::vector<uint8_t> pixels(640 * 480 * 3, 1);
    VIDEOHDR frame{};
    frame.lpData = pixels.data();
    frame.dwBufferLength = frame.dwBytesUsed = DWORD(pixels.size());
    EXPECT_EQ(TVidCap::capFrameCallback(second->GetCapWnd(), &frame), 1);
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(TVidCap::ThisList, nullptr);
}

TEST_F(VidcapCallbacks, AnExceptionInAHandlerIsReportedNotPassedToTheDriver)
{
    TVidCap* v = place();
    std::vector<std::string> reported;
    // The report (a modal message in the program) goes on handling callbacks: another failure
    // meanwhile is not reported into it again.
    SetControlExceptionHandler([&](const std::exception& e) {
        reported.push_back(e.what());
        EXPECT_EQ(TVidCap::ErrorCallbackProc(v->GetCapWnd(), 2, "again"), 1);
    });
    v->OnError = [](TObject*, int, LPSTR) { throw std::runtime_error("handler failed"); };
    LRESULT result = 0;
    EXPECT_NO_THROW(result = TVidCap::ErrorCallbackProc(v->GetCapWnd(), 1, "x"));
    EXPECT_EQ(result, 1);
    SetControlExceptionHandler([](const std::exception& e) { Application->HandleException(Application, e); });
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0], "handler failed");
}

}  // namespace
