// H.264 from DIB pictures and from cameras' JPEGs, read back by ffprobe and ffmpeg: each
// picture comes out at once as a frame of its own, no B-frames, key frames where the file's
// timeline needs them (dropped slots included), a stream cut at a key frame decodes, and the
// decoded pictures look like their sources.
#include <turbojpeg.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>

#include "AviProbe.h"
#include "avicap/avi/MjpegMarkers.h"
#include "avicap/codec/H264Encoder.h"
#include "avicap/codec/YuvPlanes.h"

using namespace aviprobe;

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr size_t kRow = kWidth * 3;   // already a multiple of 4
constexpr uint32_t kQuarterSecond = 250000;

// Shading, a box moving across the upper half and a fixed grain; bottom-up BGR. (Grain new in
// every picture would make x264 see a scene cut in each few, hiding the timeline's key frames.)
std::vector<uint8_t> scene(int n)
{
    std::vector<uint8_t> dib(kRow * kHeight);
    uint32_t noise = 7u;
    const int left = n * 5 % (kWidth - 60);
    for (int y = 0; y < kHeight; ++y) {
        const int row = kHeight - 1 - y;   // the picture's row
        for (int x = 0; x < kWidth; ++x) {
            noise = noise * 1103515245u + 12345u;
            const int grain = int(noise >> 30) - 2;
            const bool box = x >= left && x < left + 60 && row >= 40 && row < 100;
            uint8_t* p = &dib[size_t(y) * kRow + size_t(x) * 3];
            p[0] = uint8_t(std::clamp(x / 2 + grain + (box ? 70 : 0), 0, 255));
            p[1] = uint8_t(std::clamp(row + grain, 0, 255));
            p[2] = uint8_t(std::clamp(200 - x / 3 + grain - (box ? 90 : 0), 0, 255));
        }
    }
    return dib;
}

std::vector<uint8_t> topDown(const std::vector<uint8_t>& dib)
{
    std::vector<uint8_t> rows;
    for (int y = kHeight - 1; y >= 0; --y)
        rows.insert(rows.end(), dib.begin() + ptrdiff_t(size_t(y) * kRow), dib.begin() + ptrdiff_t(size_t(y + 1) * kRow));
    return rows;
}

std::vector<uint8_t> jpegOf(const std::vector<uint8_t>& dib, int width, int height, int subsamp, int quality = 90)
{
    const int pitch = (width * 3 + 3) & ~3;
    tjhandle tj = tjInitCompress();
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    EXPECT_EQ(tjCompress2(tj, dib.data(), width, pitch, height, TJPF_BGR, &buffer, &size, subsamp, quality,
                          TJFLAG_BOTTOMUP), 0);
    std::vector<uint8_t> jpeg(buffer, buffer + size);
    tjFree(buffer);
    tjDestroy(tj);
    return jpeg;
}

// What many cameras send: the JPEG without its DHT segments.
std::vector<uint8_t> withoutHuffmanTables(const std::vector<uint8_t>& jpeg)
{
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
    size_t i = 2;
    while (jpeg[i + 1] != 0xDA) {
        const size_t end = i + 2 + (size_t(jpeg[i + 2]) << 8 | jpeg[i + 3]);
        if (jpeg[i + 1] != 0xC4)
            out.insert(out.end(), jpeg.begin() + ptrdiff_t(i), jpeg.begin() + ptrdiff_t(end));
        i = end;
    }
    out.insert(out.end(), jpeg.begin() + ptrdiff_t(i), jpeg.end());
    return out;
}

std::vector<uint8_t> decoded(const std::vector<uint8_t>& jpeg)
{
    tjhandle tj = tjInitDecompress();
    std::vector<uint8_t> bgr(kRow * kHeight);
    EXPECT_EQ(tjDecompress2(tj, jpeg.data(), jpeg.size(), bgr.data(), kWidth, 0, kHeight, TJPF_BGR, 0), 0);
    tjDestroy(tj);
    return bgr;
}

struct Input
{
    VideoPicture::Kind kind;
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> shown;   // what the picture shows, top-down BGR
};

struct Recording
{
    std::string dir;
    std::string stream;   // Annex B
    std::vector<uint8_t> bytes;   // the same stream
    std::string source;   // the encoded pictures, top-down BGR
    std::vector<uint64_t> slots;
    std::vector<bool> keys;
    std::vector<size_t> offsets;   // of each frame in the stream
};

void save(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Slots 0..100 at 4 fps (25 s) with drops: a 15-slot gap and one slot in nine.
Recording record(const std::function<Input(int)>& make)
{
    Recording rec;
    rec.dir = tempDir();
    rec.stream = rec.dir + "/stream.h264";
    rec.source = rec.dir + "/source.bgr";
    std::string why;
    auto encoder = makeH264Encoder({kWidth, kHeight, kQuarterSecond, 85}, why);
    EXPECT_TRUE(encoder) << why;
    if (!encoder)
        return rec;
    std::vector<uint8_t> source;
    for (int slot = 0; slot <= 100; ++slot) {
        if (slot % 9 == 4 || (slot >= 30 && slot < 45))
            continue;
        Input in = make(slot);
        EncodedFrame out;
        EXPECT_TRUE(encoder->encode({in.kind, in.bytes.data(), in.bytes.size(), uint64_t(slot)}, out, why))
            << "slot " << slot << ": " << why;
        rec.slots.push_back(uint64_t(slot));
        rec.keys.push_back(out.keyFrame);
        rec.offsets.push_back(rec.bytes.size());
        rec.bytes.insert(rec.bytes.end(), out.data, out.data + out.size);
        source.insert(source.end(), in.shown.begin(), in.shown.end());
    }
    save(rec.stream, rec.bytes);
    save(rec.source, source);
    return rec;
}

// Frame by frame, paired by number: the stream's own frame rate is not the raw source's.
double psnr(const std::string& stream, const std::string& source)
{
    std::string out = run("ffmpeg -nostdin -hide_banner -i " + quoted(stream) +
                          " -f rawvideo -pix_fmt bgr24 -s 320x240 -i " + quoted(source) +
                          " -lavfi '[0:v]format=rgb24,setpts=N/TB[a];[1:v]format=rgb24,setpts=N/TB[b];[a][b]psnr'"
                          " -f null -");
    size_t at = out.find("average:");
    return at == std::string::npos ? 0 : std::atof(out.c_str() + at + 8);
}

void expectPlayable(const Recording& rec)
{
    ASSERT_FALSE(rec.slots.empty());
    EXPECT_EQ(decodeErrors(rec.stream), "");
    std::istringstream frames(run("ffprobe -v error -show_frames -show_entries frame=key_frame,pict_type -of csv=p=0 " +
                                  quoted(rec.stream)));
    std::vector<std::string> lines;
    for (std::string line; std::getline(frames, line);) {
        if (line.size() > 1 && line[1] == ',')   // not a line of side data
            lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), rec.slots.size());
    uint64_t lastKey = 0;
    int keys = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const bool key = lines[i].rfind("1,", 0) == 0;
        const char type = lines[i].size() > 2 ? lines[i][2] : '?';
        EXPECT_TRUE(type == 'I' || type == 'P') << lines[i];
        EXPECT_EQ(rec.keys[i], key) << "slot " << rec.slots[i];
        if (i == 0 || (rec.slots[i] - lastKey) * kQuarterSecond >= 10'000'000) {
            EXPECT_TRUE(key) << "slot " << rec.slots[i] << " is 10 s or more after the key frame at " << lastKey;
        }
        if (key) {
            lastKey = rec.slots[i];
            ++keys;
        }
    }
    EXPECT_GE(keys, 3);
    // About 43 dB here; a wrong colour range alone brings it down to 30.
    EXPECT_GT(psnr(rec.stream, rec.source), 36.0);

    // Cut at the second key frame, the rest still decodes: it carries its own SPS and PPS.
    auto second = std::find(rec.keys.begin() + 1, rec.keys.end(), true);
    ASSERT_NE(second, rec.keys.end());
    const size_t index = size_t(second - rec.keys.begin());
    const std::string cut = rec.dir + "/cut.h264";
    save(cut, std::vector<uint8_t>(rec.bytes.begin() + ptrdiff_t(rec.offsets[index]), rec.bytes.end()));
    EXPECT_EQ(decodeErrors(cut), "");
    EXPECT_EQ(number(stream(cut, "v:0"), "nb_read_frames"), double(rec.slots.size() - index));
    EXPECT_EQ(std::system(("rm -rf " + quoted(rec.dir)).c_str()), 0);
}

}  // namespace

TEST(H264Encoder, DibPicturesDecodeWithKeyFramesOnTheFileTimeline)
{
    REQUIRE_FFMPEG();
    expectPlayable(record([](int n) {
        auto dib = scene(n);
        return Input{VideoPicture::Kind::Dib, dib, topDown(dib)};
    }));
}

class H264CameraJpeg : public testing::TestWithParam<int>
{
};

// Every other picture lacks its Huffman tables, as many cameras send them.
TEST_P(H264CameraJpeg, DecodesLikeTheCamerasPictures)
{
    REQUIRE_FFMPEG();
    const int subsamp = GetParam();
    expectPlayable(record([subsamp](int n) {
        auto jpeg = jpegOf(scene(n), kWidth, kHeight, subsamp);
        auto shown = decoded(jpeg);
        return Input{VideoPicture::Kind::Jpeg, n % 2 ? withoutHuffmanTables(jpeg) : jpeg, shown};
    }));
}

std::string subsamplingName(const testing::TestParamInfo<int>& info)
{
    static const char* const names[] = {"s444", "s422", "s420", "gray"};
    return names[info.param];
}

INSTANTIATE_TEST_SUITE_P(H264, H264CameraJpeg, testing::Values(TJSAMP_420, TJSAMP_422, TJSAMP_444, TJSAMP_GRAY),
                         subsamplingName);

int largestDifference(const YuvPlanes& a, const YuvPlanes& b, int plane)
{
    const int width = plane ? (a.width() + 1) / 2 : (a.width() + 1) & ~1;   // the padding included
    int largest = 0;
    for (int y = 0; y < a.planeHeight(plane); ++y) {
        const uint8_t* rowA = a.plane(plane) + y * a.stride(plane);
        const uint8_t* rowB = b.plane(plane) + y * b.stride(plane);
        for (int x = 0; x < width; ++x)
            largest = std::max(largest, std::abs(rowA[x] - rowB[x]));
    }
    return largest;
}

// One-pixel squares of two colours: a camera's chroma, whatever its subsampling, becomes the
// mean of each 2x2 block as the DIB path makes it, odd sizes padded alike.
TEST(H264YuvPlanes, CameraPicturesMatchTheDibPathInEverySubsampling)
{
    for (auto [width, height] : {std::pair{64, 32}, std::pair{35, 19}}) {
        const size_t stride = size_t(width * 3 + 3) & ~size_t(3);
        std::vector<uint8_t> dib(stride * size_t(height));
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                uint8_t* p = &dib[size_t(y) * stride + size_t(x) * 3];
                const bool odd = (x + y) % 2;
                p[0] = odd ? 220 : 30;
                p[1] = uint8_t(60 + y * 3);
                p[2] = odd ? 40 : 200;
            }
        }
        std::string why;
        YuvPlanes reference(width, height);
        ASSERT_TRUE(reference.fromDib(dib.data(), dib.size(), why)) << why;
        for (int subsamp : {TJSAMP_420, TJSAMP_422, TJSAMP_444, TJSAMP_GRAY, TJSAMP_440, TJSAMP_411}) {
            // These two go through BGR, and at an odd edge their chroma is the JPEG codec's guess.
            if (width % 2 && (subsamp == TJSAMP_440 || subsamp == TJSAMP_411))
                continue;
            auto jpeg = jpegOf(dib, width, height, subsamp, 100);
            YuvPlanes planes(width, height);
            ASSERT_TRUE(planes.fromJpeg(jpeg.data(), jpeg.size(), why)) << why;
            SCOPED_TRACE(testing::Message() << width << "x" << height << " subsampling " << subsamp);
            EXPECT_LE(largestDifference(planes, reference, 0), 3);
            if (subsamp == TJSAMP_GRAY) {
                const uint8_t* u = planes.plane(1);
                const uint8_t* end = u + 2 * planes.stride(1) * planes.planeHeight(1);   // U and V
                EXPECT_TRUE(std::all_of(u, end, [](uint8_t v) { return v == 128; }));
            } else {
                EXPECT_LE(largestDifference(planes, reference, 1), 3);
                EXPECT_LE(largestDifference(planes, reference, 2), 3);
            }
        }
    }
}

TEST(H264Encoder, BadPicturesAreRefusedWithAReasonAndTheNextEncodes)
{
    std::string why;
    EXPECT_EQ(makeH264Encoder({321, 240, kQuarterSecond, 85}, why), nullptr);
    EXPECT_NE(why.find("321x240"), std::string::npos) << why;
    EXPECT_EQ(makeH264Encoder({20000, 16, kQuarterSecond, 85}, why), nullptr);
    EXPECT_NE(why.find("x264 refused the settings: "), std::string::npos) << why;   // and says why

    auto encoder = makeH264Encoder({kWidth, kHeight, kQuarterSecond, 85}, why);
    ASSERT_TRUE(encoder) << why;
    EncodedFrame out;
    auto small = jpegOf(std::vector<uint8_t>(160 * 120 * 3, 90), 160, 120, TJSAMP_420);
    EXPECT_FALSE(encoder->encode({VideoPicture::Kind::Jpeg, small.data(), small.size(), 0}, out, why));
    EXPECT_NE(why.find("160x120"), std::string::npos) << why;

    auto jpeg = withoutHuffmanTables(jpegOf(scene(0), kWidth, kHeight, TJSAMP_420));
    JpegLayout layout;
    ASSERT_TRUE(parseJpeg(jpeg.data(), jpeg.size(), layout, why)) << why;
    EXPECT_FALSE(layout.hasHuffmanTables);
    why.clear();
    EXPECT_FALSE(encoder->encode({VideoPicture::Kind::Jpeg, jpeg.data(), jpeg.size() / 2, 1}, out, why));
    EXPECT_FALSE(why.empty());
    auto dib = scene(1);
    why.clear();
    EXPECT_FALSE(encoder->encode({VideoPicture::Kind::Dib, dib.data(), dib.size() - 1, 2}, out, why));
    EXPECT_FALSE(why.empty());

    ASSERT_TRUE(encoder->encode({VideoPicture::Kind::Jpeg, jpeg.data(), jpeg.size(), 3}, out, why)) << why;
    EXPECT_TRUE(out.keyFrame);
    EXPECT_GT(out.size, 0u);
    EXPECT_FALSE(encoder->encode({VideoPicture::Kind::Dib, dib.data(), dib.size(), 3}, out, why));   // slot again
    ASSERT_TRUE(encoder->encode({VideoPicture::Kind::Dib, dib.data(), dib.size(), 4}, out, why)) << why;
    EXPECT_FALSE(out.keyFrame);
}

TEST(H264Encoder, QualityMovesTheRateFactorAsItMovesJpegsQuantisers)
{
    EXPECT_EQ(h264RateFactor(1), 51);
    EXPECT_EQ(h264RateFactor(50), 36);
    EXPECT_EQ(h264RateFactor(85), 26);
    EXPECT_EQ(h264RateFactor(90), 22);
    EXPECT_EQ(h264RateFactor(100), 18);
    for (int q = 2; q <= 100; ++q)
        EXPECT_LE(h264RateFactor(q), h264RateFactor(q - 1)) << "more quality is never a coarser rate factor";
}
