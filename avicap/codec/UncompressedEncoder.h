#pragma once
// Full frames: the picture's rows go into the file as they are.
#include "avicap/codec/VideoEncoder.h"

std::unique_ptr<VideoEncoder> makeUncompressedEncoder(const VideoEncoderConfig& config, std::string& error);
