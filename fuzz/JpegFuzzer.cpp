// A camera's Motion JPEG frame: the marker walk that stores it in a recording (adding the
// standard Huffman tables where the camera left them out), the decode for the picture and the
// decode straight to the 4:2:0 planes an H.264 recording encodes.
#include <linux/videodev2.h>

#include "avicap/avi/MjpegMarkers.h"
#include "avicap/codec/YuvPlanes.h"
#include "avicap/v4l2/V4l2Convert.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    // The size the driver claims for its frames; the frame may say otherwise.
    const int width = input.take<uint16_t>() % (kMaxV4l2Side + 2);
    const int height = input.take<uint16_t>() % (kMaxV4l2Side + 2);
    const std::vector<uint8_t> frame(input.rest(), input.rest() + input.restSize());

    JpegLayout layout;
    std::string error;
    if (parseJpeg(frame.data(), frame.size(), layout, error)) {
        if (layout.scanStart >= frame.size() || layout.width <= 0 || layout.height <= 0)
            __builtin_trap();   // a layout that passed must point inside the frame
    }
    std::vector<uint8_t> stored;
    if (completeJpeg(frame.data(), frame.size(), stored, error)) {
        // What is stored must itself be a whole frame with tables.
        JpegLayout again;
        if (!parseJpeg(stored.data(), stored.size(), again, error) || !again.hasHuffmanTables)
            __builtin_trap();
    }

    static V4l2Converter converter;
    std::vector<uint8_t> pixels;
    if (converter.convert({V4L2_PIX_FMT_MJPEG, width, height, 0}, frame.data(), frame.size(), pixels) &&
        pixels.size() != size_t(width) * size_t(height) * 3)
        __builtin_trap();

    if (width > 0 && height > 0 && size_t(width) * size_t(height) <= (size_t(1) << 22)) {
        YuvPlanes planes(width, height);
        planes.fromJpeg(frame.data(), frame.size(), error);   // refused or filled, never past the planes
    }
    return 0;
}
