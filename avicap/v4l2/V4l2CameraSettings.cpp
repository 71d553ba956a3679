// The settings file holds one line per camera: driver, card and bus separated by tabs, then
// the chosen format as mode=fourcc:width:height:numerator:denominator and the chosen
// controls as id=value pairs. It is rewritten whole through a temporary file, so a
// full disk or a crash leaves the old one.
#include "avicap/v4l2/V4l2CameraSettings.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string_view>
#include <system_error>

#include "avicap/v4l2/V4l2Convert.h"

namespace {

std::mutex settingsMutex;
std::string settingsFile;

constexpr size_t kMaxCameras = 64;   // the oldest go first: cameras come and go for years

// A name field as the file keeps it: no tabs or line breaks inside.
std::string field(const std::string& text)
{
    std::string out = text;
    std::replace_if(out.begin(), out.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    return out;
}

std::string keyOf(const V4l2Identity& camera)
{
    return field(camera.driver) + '\t' + field(camera.card) + '\t' + field(camera.busInfo);
}

// Numbers separated by ':' that fill text exactly, each within its type.
template <class... T>
bool readNumbers(std::string_view text, int base, T&... numbers)
{
    const char* at = text.data();
    const char* const end = at + text.size();
    bool ok = true, first = true;
    const auto next = [&](auto& number) {
        if (ok && !first)
            ok = at < end && *at++ == ':';
        first = false;
        if (!ok)
            return;
        const auto [stop, error] = std::from_chars(at, end, number, base);
        ok = error == std::errc() && stop != at;
        at = stop;
    };
    (next(numbers), ...);
    return ok && at == end;
}

V4l2Choice parseChoice(const std::string& text)
{
    V4l2Choice choice;
    std::istringstream in(text);
    std::string word;
    while (in >> word) {
        const std::string_view pair(word);
        const size_t equals = pair.find('=');
        if (equals == std::string_view::npos)
            continue;
        const std::string_view name = pair.substr(0, equals), numbers = pair.substr(equals + 1);
        uint32_t fourcc = 0, id = 0, numerator = 0, denominator = 0;
        int width = 0, height = 0, value = 0;
        if (name == "mode") {
            const size_t colon = numbers.find(':');
            if (colon != std::string_view::npos && readNumbers(numbers.substr(0, colon), 16, fourcc) &&
                readNumbers(numbers.substr(colon + 1), 10, width, height, numerator, denominator) && width > 0 &&
                height > 0 && width <= kMaxV4l2Side && height <= kMaxV4l2Side && numerator > 0 && denominator > 0)
                choice.mode = V4l2Mode{fourcc, width, height, numerator, denominator};
        } else if (readNumbers(name, 10, id) && readNumbers(numbers, 10, value)) {
            choice.controls.emplace_back(id, value);
        }
    }
    return choice;
}

std::string choiceText(const V4l2Choice& choice)
{
    std::ostringstream out;
    if (const auto& mode = choice.mode)
        out << "mode=" << std::hex << mode->fourcc << std::dec << ':' << mode->width << ':' << mode->height << ':'
            << mode->numerator << ':' << mode->denominator;
    for (const auto& [id, value] : choice.controls)
        out << (out.tellp() > 0 ? " " : "") << id << '=' << value;
    return out.str();
}

// Each line split into its camera and its values; lines of another form are dropped.
std::vector<std::pair<std::string, std::string>> readLines()
{
    std::vector<std::pair<std::string, std::string>> lines;
    std::ifstream in(settingsFile);
    std::string line;
    while (std::getline(in, line)) {
        const size_t second = line.find('\t', line.find('\t') + 1);
        const size_t third = second == std::string::npos ? second : line.find('\t', second + 1);
        if (third != std::string::npos)
            lines.emplace_back(line.substr(0, third), line.substr(third + 1));
    }
    return lines;
}

}  // namespace

std::string V4l2Identity::text() const { return "\"" + card + "\" (" + driver + ", " + busInfo + ")"; }

V4l2Identity v4l2IdentityOf(const v4l2_capability& caps)
{
    return {v4l2Text(caps.driver, sizeof caps.driver), v4l2Text(caps.card, sizeof caps.card),
            v4l2Text(caps.bus_info, sizeof caps.bus_info)};
}

void rememberV4l2Control(V4l2ControlValues& values, uint32_t id, int value)
{
    values.erase(std::remove_if(values.begin(), values.end(), [&](const auto& entry) { return entry.first == id; }),
                 values.end());
    values.emplace_back(id, value);
}

void setV4l2SettingsFile(const std::string& path)
{
    std::lock_guard lock(settingsMutex);
    settingsFile = path;
}

V4l2Choice storedV4l2Choice(const V4l2Identity& camera)
{
    std::lock_guard lock(settingsMutex);
    if (settingsFile.empty())
        return {};
    const std::string key = keyOf(camera);
    for (const auto& [name, values] : readLines())
        if (name == key)
            return parseChoice(values);
    return {};
}

void storeV4l2Choice(const V4l2Identity& camera, const V4l2Choice& choice)
{
    std::lock_guard lock(settingsMutex);
    if (settingsFile.empty())
        return;
    const std::string key = keyOf(camera);
    std::vector<std::pair<std::string, std::string>> lines = readLines();
    lines.erase(std::remove_if(lines.begin(), lines.end(), [&](const auto& line) { return line.first == key; }),
                lines.end());
    lines.emplace_back(key, choiceText(choice));
    if (lines.size() > kMaxCameras)
        lines.erase(lines.begin(), lines.end() - long(kMaxCameras));

    const std::filesystem::path path(settingsFile);
    const std::string temporary = settingsFile + ".new";
    std::error_code error;
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path(), error);
    {
        std::ofstream out(temporary, std::ios::trunc);
        for (const auto& [name, pairs] : lines)
            out << name << '\t' << pairs << '\n';
        out.flush();
        if (!out) {
            std::fprintf(stderr, "Lumo free: cannot write the camera settings to %s\n", temporary.c_str());
            std::filesystem::remove(temporary, error);
            return;
        }
    }
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::fprintf(stderr, "Lumo free: cannot keep the camera settings in %s: %s\n", settingsFile.c_str(),
                     error.message().c_str());
        std::filesystem::remove(temporary, error);
    }
}
