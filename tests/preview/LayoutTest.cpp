// TBitmapPreview in a stored layout: what is written, and that reading it back gives the
// same view.
#include <map>
#include <string>

#include "PreviewFixture.h"
#include "framework/Layouts.h"

namespace {

using PreviewLayout = PreviewFixture;
using Bytes = std::vector<uint8_t>;

// Saves bitmaps in memory under the name the writer asks for; resolves them again on reading.
struct MemoryFolder
{
    std::map<std::string, Bytes> files;
    TBitmapSaver saver()
    {
        return [this](const AnsiString& path, TBitmap* bitmap) {
            TMemoryStream stream;
            bitmap->SaveToStream(&stream);
            auto* data = static_cast<const uint8_t*>(stream.Memory());
            files[std::string(path.c_str()) + ".bmp"] = Bytes(data, data + stream.GetSize());
            return path + ".bmp";
        };
    }
    TLayoutResolver resolver()
    {
        return [this](const AnsiString& name) -> std::unique_ptr<TStream> {
            auto it = files.find(name.c_str());
            if (it == files.end())
                return nullptr;
            auto stream = std::make_unique<TMemoryStream>();
            stream->WriteBuffer(it->second.data(), int(it->second.size()));
            stream->SetPosition(0);
            return stream;
        };
    }
};

std::unique_ptr<TForm> formWithPreview(TBitmapPreview*& preview)
{
    auto form = std::make_unique<TForm>(nullptr, 0);
    form->SetName("ViewForm");
    preview = new TBitmapPreview(form.get());
    preview->SetName("Preview");
    preview->SetParent(form.get());
    return form;
}

}  // namespace

TEST_F(PreviewLayout, WritesNonZeroValuesAndReadsBackTheSameView)
{
    Bitmappreview::Register();
    TBitmapPreview* original = nullptr;
    auto form = formWithPreview(original);
    original->SetBounds(4, 6, 200, 100);
    // An empty component stores IsEmpty and no bitmap; the zoom of 1 differs from the
    // streaming default 0, so it is written.
    AnsiString empty = WriteLayout(form.get());
    EXPECT_NE(empty.find("IsEmpty = True"), std::string::npos) << empty.c_str();
    EXPECT_NE(empty.find("Zoom = 1"), std::string::npos);
    EXPECT_EQ(empty.find("Bitmap = "), std::string::npos);
    EXPECT_EQ(empty.find("OriginX"), std::string::npos);

    auto src = picture(50, 40, [](int x, int y) { return Pixel{uint8_t(x), uint8_t(y), 1}; });
    original->SetBitmap(src.get());
    original->SetZoom(2);
    original->SetOriginX(10);
    original->SetOriginY(5);
    original->SetQualityLevel(2);
    original->SetHandScrollable(true);
    original->SetColor(clRed);
    MemoryFolder folder;
    AnsiString text = WriteLayout(form.get(), folder.saver());
    EXPECT_NE(text.find("Bitmap = 'Preview.Bitmap.bmp'"), std::string::npos) << text.c_str();

    TBitmapPreview* copy = nullptr;
    auto again = formWithPreview(copy);
    copy->SetName("");   // the layout creates its own
    delete copy;
    ReadLayout(again.get(), text, "ViewForm.lfm", folder.resolver());
    auto* read = dynamic_cast<TBitmapPreview*>(again->FindComponent("Preview"));
    ASSERT_NE(read, nullptr);
    // The stored origin is kept although the zoom is read after it.
    EXPECT_DOUBLE_EQ(read->GetZoom(), 2.0);
    EXPECT_DOUBLE_EQ(read->GetOriginX(), 10.0);
    EXPECT_DOUBLE_EQ(read->GetOriginY(), 5.0);
    EXPECT_EQ(read->GetQualityLevel(), 2);
    EXPECT_TRUE(read->GetHandScrollable());
    EXPECT_EQ(read->GetColor(), clRed);
    EXPECT_FALSE(read->GetIsEmpty());
    EXPECT_EQ(pixelAt(read->GetBitmap(), 7, 3), (Pixel{7, 3, 1}));
    EXPECT_EQ(WriteLayout(again.get(), folder.saver()), text);
}

TEST_F(PreviewLayout, ModesInForceAreReappliedOnReading)
{
    Bitmappreview::Register();
    TBitmapPreview* original = nullptr;
    auto form = formWithPreview(original);
    original->SetBounds(0, 0, 128, 72);
    auto src = picture(640, 480, [](int, int) { return grey(3); });
    original->SetBitmap(src.get());
    original->SetCenterFitFrame(true);
    MemoryFolder folder;
    AnsiString text = WriteLayout(form.get(), folder.saver());
    TBitmapPreview* unused = nullptr;
    auto again = formWithPreview(unused);
    delete unused;
    ReadLayout(again.get(), text, "ViewForm.lfm", folder.resolver());
    auto* read = dynamic_cast<TBitmapPreview*>(again->FindComponent("Preview"));
    ASSERT_NE(read, nullptr);
    EXPECT_DOUBLE_EQ(read->GetZoom(), 0.15);
    EXPECT_DOUBLE_EQ(read->GetOriginX(), -106.667);
    EXPECT_DOUBLE_EQ(read->GetOriginY(), 0.0);
    EXPECT_TRUE(read->GetCenterFitFrame());
}
