#pragma once
// Motion JPEG: every frame a JPEG of its own. The camera's own JPEG goes in as it came (with
// the standard Huffman tables added when it left them out); other pictures are compressed at
// the dialog's quality.
#include "avicap/codec/VideoEncoder.h"

std::unique_ptr<VideoEncoder> makeMjpegVideoEncoder(const VideoEncoderConfig& config, std::string& error);
