#pragma once
// The recorder behind the program's capture windows (installed at start-up, see
// setCaptureRecorderFactory):
// WM_CAP_SEQUENCE, WM_CAP_SEQUENCE_NOFILE and the single-frame messages write AVI files
// through AviWriter, with sound from an AudioInput.
//
// Timing: frames are taken on the grid of dwRequestMicroSecPerFrame from the start of the
// capture. The first camera frame that falls into a new grid slot is the slot's frame; the
// video-stream callback sees it (and may draw into it) and what it leaves in the buffer is
// recorded. A slot without a camera frame becomes a dropped frame (counted; players repeat
// the previous picture). Sound is read and handed to the wave-stream callback at every
// tick (a window timer, so everything runs on the user-interface thread); sound and video
// share the clock in force and the writer matches their durations.
//
// Ends: WM_CAP_STOP / WM_CAP_ABORT, the time limit, a FALSE from the yield or capture-control
// callback, or a failure. Failures keep the file playable up to the last frame written, call
// the error callback and leave the id in dwReturn:
//   file cannot be created    IDS_CAP_CANTOPEN   (the start message answers FALSE)
//   write error, disk full    IDS_CAP_WRITEERROR
//   camera failed or silent   the camera's own id (captureErrorId: busy, lost...), or
//                             IDS_CAP_DRIVER_ERROR when no frame came for kCameraSilenceMs
//
// Status: a start resets dwReturn to 0; a start that fails leaves fCapturingNow 0 and
// dwReturn non-zero. A caller waiting for fCapturingNow after its start message therefore
// ends its wait when fCapturingNow or dwReturn becomes non-zero.
//
// fYield 0: the start message returns only when the capture has ended, dispatching messages
// meanwhile (so the callbacks, timers and WM_CAP_STOP still work). The abort key and mouse
// buttons of the sequence setup are not watched.
#include <functional>
#include <memory>

#include "avicap/audio/AudioInput.h"
#include "avicap/CaptureRecorder.h"

using AudioInputFactory = std::function<std::unique_ptr<AudioInput>()>;

// A camera that delivers nothing for this long ends the capture.
constexpr int kCameraSilenceMs = 3000;
// How often sound is collected and the limits are checked.
constexpr int kRecorderTickMs = 50;

// Recorders taking sound from the given source (createAlsaAudioInput: ALSA's default capture
// device; empty: no sound input, a capture with sound goes on without it and says why).
CaptureRecorderFactory makeCaptureRecorderFactory(AudioInputFactory audio);
