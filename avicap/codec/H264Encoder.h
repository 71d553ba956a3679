#pragma once
// H.264 through libx264, tuned for live recording on a small machine: every picture comes
// back encoded at once (no B-frames, no lookahead), an IDR frame starts the file and follows
// at least every 10 seconds of it, and each IDR frame carries its SPS and PPS, so a file cut
// anywhere decodes from its next key frame. The stream is Annex B, 4:2:0, full-range BT.601
// (the colours a camera's JPEG has).
#include <memory>
#include <string>

#include "avicap/codec/VideoEncoder.h"

// Null with the reason when the size is odd (4:2:0 H.264 cannot carry it) or x264 refuses.
std::unique_ptr<VideoEncoder> makeH264Encoder(const VideoEncoderConfig& config, std::string& error);

// The dialog's quality (1..100) as x264's constant rate factor: the slider moves H.264's
// quantiser as it moves JPEG's. JPEG scales its tables to s = 5000/q percent below quality 50
// and s = 200 - 2q above; the rate factor is 26 + 6 log2(s / 30), rounded and kept within
// 18 (visually near lossless) to 51 (x264's coarsest). So the default quality 85 (s = 30%)
// gives CRF 26, where H.264's picture measures at least as close to the camera's as Motion
// JPEG's at 85; 90 gives 22, 70 gives 32, 50 gives 36, 10 gives 50, and 95 and above 18.
// Out-of-range qualities are clamped.
int h264RateFactor(int quality);
