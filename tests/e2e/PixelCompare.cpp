#include "PixelCompare.h"

#include <cstdio>
#include <fstream>
#include <sstream>

bool writePpm(const std::string& path, const Screenshot& shot)
{
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << shot.width << ' ' << shot.height << "\n255\n";
    for (COLORREF c : shot.pixels) {
        char rgb[3] = {char(GetRValue(c)), char(GetGValue(c)), char(GetBValue(c))};
        out.write(rgb, 3);
    }
    return bool(out);
}

bool readPpm(const std::string& path, Screenshot& shot)
{
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    auto skipComments = [&in] {
        in >> std::ws;
        while (in.peek() == '#') {
            std::string line;
            std::getline(in, line);
            in >> std::ws;
        }
    };
    in >> magic;
    skipComments();
    in >> shot.width;
    skipComments();
    in >> shot.height;
    skipComments();
    in >> maxValue;
    in.get();
    if (!in || magic != "P6" || maxValue != 255 || shot.width <= 0 || shot.height <= 0 ||
        shot.width > 16384 || shot.height > 16384)
        return false;
    shot.pixels.resize(size_t(shot.width) * size_t(shot.height));
    for (COLORREF& c : shot.pixels) {
        unsigned char rgb[3];
        if (!in.read(reinterpret_cast<char*>(rgb), 3))
            return false;
        c = RGB(rgb[0], rgb[1], rgb[2]);
    }
    return true;
}

double insideMatch(const Screenshot& reference, const Screenshot& shot)
{
    long inside = 0, equal = 0;
    for (int y = 0; y < reference.height; ++y)
        for (int x = 0; x < reference.width; ++x) {
            COLORREF want = reference.at(x, y);
            if (want == HeadlessDisplay::kOutsideShape)
                continue;
            ++inside;
            equal += shot.at(x, y) == want;
        }
    return inside ? double(equal) / double(inside) : 0.0;
}

double outsideClear(const Screenshot& reference, const Screenshot& screen, int left, int top,
                    COLORREF body)
{
    long outside = 0, clear = 0;
    for (int y = 0; y < reference.height; ++y)
        for (int x = 0; x < reference.width; ++x) {
            if (reference.at(x, y) != HeadlessDisplay::kOutsideShape)
                continue;
            ++outside;
            clear += screen.at(left + x, top + y) != body;
        }
    return outside ? double(clear) / double(outside) : 0.0;
}
