// The stored-layout reader with the program's own component classes: any text either builds a
// form or raises a parser or read error; positions and sizes near the integer limits and
// enormous forms are refused or clamped, never undefined or a giant allocation.
#include "framework/Forms.h"
#include "framework/Graphics.h"
#include "framework/Layouts.h"
#include "platform/display/headless/HeadlessDisplay.h"
#include "skins/Registration.h"

namespace {

// Every file the layout names is the same small artwork set (two cells of 8 x 8).
std::vector<uint8_t> artworkFile()
{
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(16, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            bitmap.Canvas()->SetPixel(x, y, (x + y) % 3 ? clRed : clLime);
    TMemoryStream stream;
    bitmap.SaveToStream(&stream);
    const auto* bytes = static_cast<const uint8_t*>(stream.Memory());
    return {bytes, bytes + stream.GetSize()};
}

// The classes the program registers, and a display for the windows the layouts make.
void setUpOnce()
{
    static const bool done = [] {
        Skins::RegisterAll();
        installHeadlessDisplay();
        return true;
    }();
    (void)done;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    setUpOnce();
    static const std::vector<uint8_t> artwork = artworkFile();
    AnsiString text(reinterpret_cast<const char*>(data), size);
    TLayoutResolver files = [](const AnsiString&) -> std::unique_ptr<TStream> {
        auto stream = std::make_unique<TMemoryStream>();
        stream->WriteBuffer(artwork.data(), int(artwork.size()));
        stream->SetPosition(0);
        return stream;
    };
    try {
        TForm form(nullptr, 0);
        ReadLayout(&form, text, "Fuzz.lfm", files);
        // Make the windows and paint them once: sizes read are used from here on.
        form.Show();
        form.Repaint();
    } catch (const Exception&) {
    }
    return 0;
}
