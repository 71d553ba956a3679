#pragma once
// The video capture window interface: message numbers, records and entry points with the
// documented names, numbers and 32-bit layouts of their classic namesakes.
#include "platform/Windows.h"

// ---- Messages (WM_USER plus the documented offsets) ----
constexpr UINT WM_CAP_START = WM_USER;
constexpr UINT WM_CAP_GET_CAPSTREAMPTR = WM_CAP_START + 1;
constexpr UINT WM_CAP_SET_CALLBACK_ERRORA = WM_CAP_START + 2;
constexpr UINT WM_CAP_SET_CALLBACK_STATUSA = WM_CAP_START + 3;
constexpr UINT WM_CAP_SET_CALLBACK_YIELD = WM_CAP_START + 4;
constexpr UINT WM_CAP_SET_CALLBACK_FRAME = WM_CAP_START + 5;
constexpr UINT WM_CAP_SET_CALLBACK_VIDEOSTREAM = WM_CAP_START + 6;
constexpr UINT WM_CAP_SET_CALLBACK_WAVESTREAM = WM_CAP_START + 7;
constexpr UINT WM_CAP_GET_USER_DATA = WM_CAP_START + 8;
constexpr UINT WM_CAP_SET_USER_DATA = WM_CAP_START + 9;
constexpr UINT WM_CAP_DRIVER_CONNECT = WM_CAP_START + 10;
constexpr UINT WM_CAP_DRIVER_DISCONNECT = WM_CAP_START + 11;
constexpr UINT WM_CAP_DRIVER_GET_NAMEA = WM_CAP_START + 12;
constexpr UINT WM_CAP_DRIVER_GET_VERSIONA = WM_CAP_START + 13;
constexpr UINT WM_CAP_DRIVER_GET_CAPS = WM_CAP_START + 14;
constexpr UINT WM_CAP_FILE_SET_CAPTURE_FILEA = WM_CAP_START + 20;
constexpr UINT WM_CAP_FILE_GET_CAPTURE_FILEA = WM_CAP_START + 21;
constexpr UINT WM_CAP_FILE_ALLOCATE = WM_CAP_START + 22;
constexpr UINT WM_CAP_FILE_SAVEASA = WM_CAP_START + 23;
constexpr UINT WM_CAP_FILE_SET_INFOCHUNK = WM_CAP_START + 24;
constexpr UINT WM_CAP_FILE_SAVEDIBA = WM_CAP_START + 25;
constexpr UINT WM_CAP_EDIT_COPY = WM_CAP_START + 30;
constexpr UINT WM_CAP_SET_AUDIOFORMAT = WM_CAP_START + 35;
constexpr UINT WM_CAP_GET_AUDIOFORMAT = WM_CAP_START + 36;
constexpr UINT WM_CAP_DLG_VIDEOFORMAT = WM_CAP_START + 41;
constexpr UINT WM_CAP_DLG_VIDEOSOURCE = WM_CAP_START + 42;
constexpr UINT WM_CAP_DLG_VIDEODISPLAY = WM_CAP_START + 43;
constexpr UINT WM_CAP_GET_VIDEOFORMAT = WM_CAP_START + 44;
constexpr UINT WM_CAP_SET_VIDEOFORMAT = WM_CAP_START + 45;
constexpr UINT WM_CAP_DLG_VIDEOCOMPRESSION = WM_CAP_START + 46;
constexpr UINT WM_CAP_SET_PREVIEW = WM_CAP_START + 50;
constexpr UINT WM_CAP_SET_OVERLAY = WM_CAP_START + 51;
constexpr UINT WM_CAP_SET_PREVIEWRATE = WM_CAP_START + 52;
constexpr UINT WM_CAP_SET_SCALE = WM_CAP_START + 53;
constexpr UINT WM_CAP_GET_STATUS = WM_CAP_START + 54;
constexpr UINT WM_CAP_SET_SCROLL = WM_CAP_START + 55;
constexpr UINT WM_CAP_GRAB_FRAME = WM_CAP_START + 60;
constexpr UINT WM_CAP_GRAB_FRAME_NOSTOP = WM_CAP_START + 61;
constexpr UINT WM_CAP_SEQUENCE = WM_CAP_START + 62;
constexpr UINT WM_CAP_SEQUENCE_NOFILE = WM_CAP_START + 63;
constexpr UINT WM_CAP_SET_SEQUENCE_SETUP = WM_CAP_START + 64;
constexpr UINT WM_CAP_GET_SEQUENCE_SETUP = WM_CAP_START + 65;
constexpr UINT WM_CAP_SET_MCI_DEVICEA = WM_CAP_START + 66;
constexpr UINT WM_CAP_GET_MCI_DEVICEA = WM_CAP_START + 67;
constexpr UINT WM_CAP_STOP = WM_CAP_START + 68;
constexpr UINT WM_CAP_ABORT = WM_CAP_START + 69;
constexpr UINT WM_CAP_SINGLE_FRAME_OPEN = WM_CAP_START + 70;
constexpr UINT WM_CAP_SINGLE_FRAME_CLOSE = WM_CAP_START + 71;
constexpr UINT WM_CAP_SINGLE_FRAME = WM_CAP_START + 72;
constexpr UINT WM_CAP_PAL_OPENA = WM_CAP_START + 80;
constexpr UINT WM_CAP_PAL_SAVEA = WM_CAP_START + 81;
constexpr UINT WM_CAP_PAL_PASTE = WM_CAP_START + 82;
constexpr UINT WM_CAP_PAL_AUTOCREATE = WM_CAP_START + 83;
constexpr UINT WM_CAP_PAL_MANUALCREATE = WM_CAP_START + 84;
constexpr UINT WM_CAP_SET_CALLBACK_CAPCONTROL = WM_CAP_START + 85;
constexpr UINT WM_CAP_END = WM_CAP_SET_CALLBACK_CAPCONTROL;

// The program is ANSI throughout: the plain names are the A forms.
constexpr UINT WM_CAP_SET_CALLBACK_ERROR = WM_CAP_SET_CALLBACK_ERRORA;
constexpr UINT WM_CAP_SET_CALLBACK_STATUS = WM_CAP_SET_CALLBACK_STATUSA;
constexpr UINT WM_CAP_DRIVER_GET_NAME = WM_CAP_DRIVER_GET_NAMEA;
constexpr UINT WM_CAP_DRIVER_GET_VERSION = WM_CAP_DRIVER_GET_VERSIONA;
constexpr UINT WM_CAP_FILE_SET_CAPTURE_FILE = WM_CAP_FILE_SET_CAPTURE_FILEA;
constexpr UINT WM_CAP_FILE_GET_CAPTURE_FILE = WM_CAP_FILE_GET_CAPTURE_FILEA;
constexpr UINT WM_CAP_FILE_SAVEAS = WM_CAP_FILE_SAVEASA;
constexpr UINT WM_CAP_FILE_SAVEDIB = WM_CAP_FILE_SAVEDIBA;
constexpr UINT WM_CAP_SET_MCI_DEVICE = WM_CAP_SET_MCI_DEVICEA;
constexpr UINT WM_CAP_GET_MCI_DEVICE = WM_CAP_GET_MCI_DEVICEA;
constexpr UINT WM_CAP_PAL_OPEN = WM_CAP_PAL_OPENA;
constexpr UINT WM_CAP_PAL_SAVE = WM_CAP_PAL_SAVEA;

// ---- Status and error ids passed to the callbacks ----
constexpr int IDS_CAP_BEGIN = 300;
constexpr int IDS_CAP_END = 301;
constexpr int IDS_CAP_INFO = 401;
constexpr int IDS_CAP_OUTOFMEM = 402;
constexpr int IDS_CAP_ERRORDIBSAVE = 406;
constexpr int IDS_CAP_CANTOPEN = 409;
constexpr int IDS_CAP_WRITEERROR = 414;
constexpr int IDS_CAP_COMPRESSOR_ERROR = 440;
constexpr int IDS_CAP_DRIVER_ERROR = 418;
constexpr int IDS_CAP_WAVE_OPEN_ERROR = 419;
constexpr int IDS_CAP_VIDEO_OPEN_ERROR = 424;
constexpr int IDS_CAP_STAT_LIVE_MODE = 500;
constexpr int IDS_CAP_STAT_CAP_INIT = 502;
constexpr int IDS_CAP_STAT_CAP_FINI = 503;
// This system's own ids, above the classic ranges: a callback of the program threw, a
// capture-control callback refused the preroll, and camera troubles the classic ids would
// all call a driver error, though each asks something else of the person.
constexpr int IDS_CAP_CALLBACK_EXCEPTION = 900;
constexpr int IDS_CAP_PREROLL_REFUSED = 901;
constexpr int IDS_CAP_CAMERA_BUSY = 902;
constexpr int IDS_CAP_CAMERA_DENIED = 903;
constexpr int IDS_CAP_CAMERA_UNSUPPORTED = 904;
// The camera refused something else (too little USB bandwidth, an I/O error) without going.
constexpr int IDS_CAP_CAMERA_ERROR = 905;

// Capture-control callback states.
constexpr int CONTROLCALLBACK_PREROLL = 1;
constexpr int CONTROLCALLBACK_CAPTURING = 2;

// ---- Records (32-bit layouts) ----
struct CAPDRIVERCAPS
{
    uint32_t wDeviceIndex;
    BOOL fHasOverlay;
    BOOL fHasDlgVideoSource;
    BOOL fHasDlgVideoFormat;
    BOOL fHasDlgVideoDisplay;
    BOOL fCaptureInitialized;
    BOOL fDriverSuppliesPalettes;
    uint32_t hVideoIn;
    uint32_t hVideoOut;
    uint32_t hVideoExtIn;
    uint32_t hVideoExtOut;
};
static_assert(sizeof(CAPDRIVERCAPS) == 44);

struct CAPSTATUS
{
    uint32_t uiImageWidth;
    uint32_t uiImageHeight;
    BOOL fLiveWindow;
    BOOL fOverlayWindow;
    BOOL fScale;
    POINT ptScroll;
    BOOL fUsingDefaultPalette;
    BOOL fAudioHardware;
    BOOL fCapFileExists;
    DWORD dwCurrentVideoFrame;
    DWORD dwCurrentVideoFramesDropped;
    DWORD dwCurrentWaveSamples;
    DWORD dwCurrentTimeElapsedMS;
    uint32_t hPalCurrent;
    BOOL fCapturingNow;
    DWORD dwReturn;
    uint32_t wNumVideoAllocated;
    uint32_t wNumAudioAllocated;
};
static_assert(sizeof(CAPSTATUS) == 76);

struct CAPTUREPARMS
{
    DWORD dwRequestMicroSecPerFrame;
    BOOL fMakeUserHitOKToCapture;
    uint32_t wPercentDropForError;
    BOOL fYield;
    DWORD dwIndexSize;
    uint32_t wChunkGranularity;
    BOOL fUsingDOSMemory;
    uint32_t wNumVideoRequested;
    BOOL fCaptureAudio;
    uint32_t wNumAudioRequested;
    uint32_t vKeyAbort;
    BOOL fAbortLeftMouse;
    BOOL fAbortRightMouse;
    BOOL fLimitEnabled;
    uint32_t wTimeLimit;
    BOOL fMCIControl;
    BOOL fStepMCIDevice;
    DWORD dwMCIStartTime;
    DWORD dwMCIStopTime;
    BOOL fStepCaptureAt2x;
    uint32_t wStepCaptureAverageFrames;
    DWORD dwAudioBufferSize;
    BOOL fDisableWriteCache;
    uint32_t AVStreamMaster;
};
static_assert(sizeof(CAPTUREPARMS) == 96);

constexpr uint32_t AVSTREAMMASTER_AUDIO = 0;
constexpr uint32_t AVSTREAMMASTER_NONE = 1;

constexpr WORD WAVE_FORMAT_PCM = 1;

#pragma pack(push, 1)
struct WAVEFORMATEX
{
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

constexpr DWORD VHDR_DONE = 0x00000001;
constexpr DWORD VHDR_PREPARED = 0x00000002;
constexpr DWORD VHDR_INQUEUE = 0x00000004;
constexpr DWORD VHDR_KEYFRAME = 0x00000008;

struct VIDEOHDR
{
    uint8_t* lpData;
    DWORD dwBufferLength;
    DWORD dwBytesUsed;
    DWORD dwTimeCaptured;   // milliseconds since the stream started
    uintptr_t dwUser;
    DWORD dwFlags;
    uintptr_t dwReserved[4];
};
using LPVIDEOHDR = VIDEOHDR*;

constexpr DWORD WHDR_DONE = 0x00000001;
constexpr DWORD WHDR_PREPARED = 0x00000002;

struct WAVEHDR
{
    uint8_t* lpData;
    DWORD dwBufferLength;
    DWORD dwBytesRecorded;
    uintptr_t dwUser;
    DWORD dwFlags;
    DWORD dwLoops;
    WAVEHDR* lpNext;
    uintptr_t reserved;
};
using LPWAVEHDR = WAVEHDR*;

// ---- Callbacks ----
using CAPERRORCALLBACKA = LRESULT (*)(HWND hWnd, int nID, LPCSTR lpsz);
using CAPSTATUSCALLBACKA = LRESULT (*)(HWND hWnd, int nID, LPCSTR lpsz);
using CAPYIELDCALLBACK = LRESULT (*)(HWND hWnd);
using CAPVIDEOCALLBACK = LRESULT (*)(HWND hWnd, LPVIDEOHDR lpVHdr);
using CAPWAVECALLBACK = LRESULT (*)(HWND hWnd, LPWAVEHDR lpWHdr);
using CAPCONTROLCALLBACK = LRESULT (*)(HWND hWnd, int nState);

// ---- Entry points ----
// A child (or top-level) window that answers the WM_CAP_ messages; 0 on failure.
HWND capCreateCaptureWindowA(LPCSTR lpszWindowName, DWORD dwStyle, int x, int y, int nWidth,
                             int nHeight, HWND hwndParent, int nID);
// Name and version of driver wDriverIndex (0 to 9); FALSE past the last driver.
BOOL capGetDriverDescriptionA(WORD wDriverIndex, LPSTR lpszName, int cbName, LPSTR lpszVer,
                              int cbVer);
