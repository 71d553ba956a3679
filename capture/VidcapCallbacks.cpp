// The driver's callbacks carry only the capture window's handle. One set of static
// procedures serves every instance: each looks the handle up in the class-wide ThisList
// and raises the owning instance's event.
#include <cstdio>

#include "capture/Vidcap.h"

TList* TVidCap::ThisList = nullptr;

namespace {

struct CallbackEntry
{
    UINT message;
    LPARAM proc;
};

// The seven callbacks in the order they are installed and removed.
const CallbackEntry* callbackTable()
{
    static const CallbackEntry table[] = {
        {WM_CAP_SET_CALLBACK_CAPCONTROL, LPARAM(&TVidCap::CapControlCallbackProc)},
        {WM_CAP_SET_CALLBACK_ERROR, LPARAM(&TVidCap::ErrorCallbackProc)},
        {WM_CAP_SET_CALLBACK_FRAME, LPARAM(&TVidCap::capFrameCallback)},
        {WM_CAP_SET_CALLBACK_STATUS, LPARAM(&TVidCap::StatusCallbackProc)},
        {WM_CAP_SET_CALLBACK_VIDEOSTREAM, LPARAM(&TVidCap::capVideoStreamCallback)},
        {WM_CAP_SET_CALLBACK_WAVESTREAM, LPARAM(&TVidCap::WaveStreamCallbackProc)},
        {WM_CAP_SET_CALLBACK_YIELD, LPARAM(&TVidCap::YieldCallbackProc)},
    };
    return table;
}
constexpr int kCallbackCount = 7;

}  // namespace

void TVidCap::InstallCallbacks(bool Install)
{
    const CallbackEntry* table = callbackTable();
    for (int i = 0; i < kCallbackCount; ++i)
        Send(table[i].message, 0, Install ? table[i].proc : 0);
}

void TVidCap::AttachCallbacks()
{
    if (!ThisList)
        ThisList = new TList();
    ThisList->Add(this);
    InstallCallbacks(true);
}

void TVidCap::DettachCallbacks()
{
    InstallCallbacks(false);
    if (!ThisList)
        return;
    ThisList->Remove(this);
    if (ThisList->Count() == 0) {
        delete ThisList;
        ThisList = nullptr;
    }
}

bool TVidCap::InList() const { return Listed(this); }

// Compares addresses only, so it may be asked about an instance a handler has freed.
bool TVidCap::Listed(const TVidCap* Instance)
{
    return ThisList && ThisList->IndexOf(const_cast<TVidCap*>(Instance)) >= 0;
}

// Reports a handler's exception through the framework. A report shows a modal message whose
// loop goes on delivering frames; failures meanwhile go to standard error instead of piling
// up one message per frame.
void TVidCap::Report(const std::exception& E)
{
    static bool reporting = false;
    if (reporting) {
        std::fprintf(stderr, "TVidCap: a capture event handler failed: %s\n", E.what());
        return;
    }
    reporting = true;
    try {
        HandleControlException(E);
    } catch (...) {
        reporting = false;
        throw;
    }
    reporting = false;
}

// Calls Call(instance) for every instance whose capture window is hWnd. The list is read
// afresh at each step: a handler may attach or detach instances, or free the list.
template <class F>
LRESULT TVidCap::Dispatch(HWND hWnd, F Call)
{
    LRESULT result = 0;
    for (int index = 0; ThisList && index < ThisList->Count(); ++index) {
        auto* instance = static_cast<TVidCap*>(ThisList->Items(index));
        if (!instance || instance->FCapWnd != hWnd)
            continue;
        try {
            result = Call(instance);
        } catch (const std::exception& e) {
            // A handler's failure must not unwind into the driver; it is reported.
            result = 1;
            Report(e);
        }
        // The instance may have left the list in its handler; keep the position honest.
        if (ThisList && (index >= ThisList->Count() || ThisList->Items(index) != instance)) {
            int now = ThisList->IndexOf(instance);
            index = now >= 0 ? now : index - 1;
        }
    }
    return result;
}

// The frame into the bitmaps, the event, the picture back into the frame buffer. Without a
// handler VideoFrame holds exactly the bytes just copied from the buffer, so copying them
// back would change nothing: that copy is left out.
int TVidCap::FrameEvent(LPVIDEOHDR lpVHdr, int (TVidCap::*Method)(LPVIDEOHDR), bool Handled)
{
    UpdateFrameBitmaps(lpVHdr);
    ++FInFrameEvent;
    int result = 0;
    try {
        result = (this->*Method)(lpVHdr);
    } catch (...) {
        if (Listed(this))
            --FInFrameEvent;
        throw;
    }
    // A handler that freed the component leaves nothing to copy back.
    if (!Listed(this))
        return result;
    --FInFrameEvent;
    if (Handled)
        CopyBackVideoFrame(lpVHdr);
    return result;
}

LRESULT TVidCap::CapControlCallbackProc(HWND hWnd, int nState)
{
    return Dispatch(hWnd, [&](TVidCap* v) { return v->ThisCapControlCallbackProc(nState); });
}

LRESULT TVidCap::ErrorCallbackProc(HWND hWnd, int nID, LPCSTR lpsz)
{
    return Dispatch(hWnd, [&](TVidCap* v) {
        // An error may have ended a capture: Recording must say so to the handler.
        v->GetCapStatus();
        return v->ThisErrorCallbackProc(nID, const_cast<char*>(lpsz));
    });
}

LRESULT TVidCap::StatusCallbackProc(HWND hWnd, int nID, LPCSTR lpsz)
{
    return Dispatch(hWnd, [&](TVidCap* v) {
        // The capture ending by itself (time limit, camera gone) arrives here first.
        v->GetCapStatus();
        return v->ThisStatusCallbackProc(nID, const_cast<char*>(lpsz));
    });
}

LRESULT TVidCap::capFrameCallback(HWND hWnd, LPVIDEOHDR lpVHdr)
{
    return Dispatch(hWnd, [&](TVidCap* v) {
        return v->FrameEvent(lpVHdr, &TVidCap::ThisFrameCallbackProc, bool(v->OnFrame));
    });
}

LRESULT TVidCap::capVideoStreamCallback(HWND hWnd, LPVIDEOHDR lpVHdr)
{
    return Dispatch(hWnd, [&](TVidCap* v) {
        return v->FrameEvent(lpVHdr, &TVidCap::ThisVideoStreamCallbackProc, bool(v->OnVideoStream));
    });
}

LRESULT TVidCap::WaveStreamCallbackProc(HWND hWnd, LPWAVEHDR lpWHdr)
{
    return Dispatch(hWnd, [&](TVidCap* v) { return v->ThisWaveStreamCallbackProc(lpWHdr); });
}

LRESULT TVidCap::YieldCallbackProc(HWND hWnd)
{
    return Dispatch(hWnd, [&](TVidCap* v) { return v->ThisYieldCallbackProc(); });
}

// ---- Instance methods: raise the event; the platform always hears TRUE ----

int TVidCap::ThisCapControlCallbackProc(int)
{
    if (OnCapControl)
        OnCapControl(this);
    return 1;
}

int TVidCap::ThisErrorCallbackProc(int nID, char* lpsz)
{
    if (OnError)
        OnError(this, nID, lpsz);
    return 1;
}

int TVidCap::ThisFrameCallbackProc(LPVIDEOHDR lpVHdr)
{
    if (OnFrame)
        OnFrame(this, lpVHdr);
    return 1;
}

int TVidCap::ThisStatusCallbackProc(int nID, char* lpsz)
{
    if (OnStatus)
        OnStatus(this, nID, lpsz);
    return 1;
}

int TVidCap::ThisVideoStreamCallbackProc(LPVIDEOHDR lpVHdr)
{
    if (OnVideoStream)
        OnVideoStream(this, lpVHdr);
    return 1;
}

int TVidCap::ThisWaveStreamCallbackProc(LPWAVEHDR lpWHdr)
{
    if (OnWaveStream)
        OnWaveStream(this, lpWHdr);
    return 1;
}

int TVidCap::ThisYieldCallbackProc()
{
    if (OnYield)
        OnYield(this);
    return 1;
}
