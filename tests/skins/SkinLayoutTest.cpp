#include "SkinFixture.h"

#include "framework/Layouts.h"

// A skinned control read from and written to a stored layout: the order of the properties
// decides between the artwork set and the single artwork, and the outline is built while
// the form loads.

namespace {

// The core with a few of its properties published, as the components publish them.
class TLayoutSkin : public TCustomSkinnedControl
{
public:
    using TCustomSkinnedControl::TCustomSkinnedControl;
    static TClass StaticClass()
    {
        static const TClass Class = TPublished<TLayoutSkin, TCustomSkinnedControl>("TLayoutSkin")
            .Property("ThemeHorzCount", &TLayoutSkin::GetThemeHorzCount, &TLayoutSkin::SetThemeHorzCount, Default(0))
            .Property("ThemeHorzIndex", &TLayoutSkin::GetThemeHorzIndex, &TLayoutSkin::SetThemeHorzIndex, Default(0))
            .Property("ArtworkSet", &TLayoutSkin::GetArtworkSet, Stored(&TLayoutSkin::StoreArtworkSet))
            .Property("Artwork", &TLayoutSkin::GetArtwork, Stored(&TLayoutSkin::StoreArtwork))
            .Property("Artworked", &TLayoutSkin::GetArtworked, &TLayoutSkin::SetArtworked, Default(false))
            .Property("Shaped", &TLayoutSkin::GetShaped, &TLayoutSkin::SetShaped, Default(false))
            .Property("ShapeParent", &TLayoutSkin::GetShapeParent, &TLayoutSkin::SetShapeParent, Default(false));
        return Class;
    }
    TClass ClassType() const override { return StaticClass(); }
};

using Bytes = std::vector<uint8_t>;

Bytes bmpFile(TBitmap* Bitmap)
{
    TMemoryStream stream;
    Bitmap->SaveToStream(&stream);
    auto* data = static_cast<const uint8_t*>(stream.Memory());
    return Bytes(data, data + stream.GetSize());
}

TLayoutResolver filesOf(std::map<std::string, Bytes> Files)
{
    return [Files](const AnsiString& Name) -> std::unique_ptr<TStream> {
        auto it = Files.find(Name);
        if (it == Files.end())
            return nullptr;
        auto stream = std::make_unique<TMemoryStream>();
        stream->WriteBuffer(it->second.data(), int(it->second.size()));
        stream->SetPosition(0);
        return stream;
    };
}

const char* const layout = R"(object F: TForm
  Left = 100
  Top = 100
  Width = 120
  Height = 90
  BorderStyle = bsNone
  object Button: TLayoutSkin
    Left = 4
    Top = 6
    Width = 32
    Height = 32
    ThemeHorzCount = 3
    ThemeHorzIndex = 1
    ArtworkSet = 'set.bmp'
    Artworked = True
    Shaped = True
    ShapeParent = True
  end
  object Single: TLayoutSkin
    Left = 60
    Top = 50
    Width = 20
    Height = 10
    ArtworkSet = 'set.bmp'
    Artwork = 'single.bmp'
    Artworked = True
  end
end
)";

using SkinLayout = SkinFixture;

TEST_F(SkinLayout, PropertiesReadInOrderChooseTheArtworkAndShapeTheForm)
{
    RegisterClass(ClassOf<TLayoutSkin>());
    // Cell 0 has a cut-away corner, cell 1 none.
    auto set = gradient(96, 32);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            set->Canvas()->SetPixel(x, y, clLime);
    auto single = gradient(20, 10);
    TForm form(nullptr, 0);
    ReadLayout(&form, layout, "F.lfm", filesOf({{"set.bmp", bmpFile(set.get())}, {"single.bmp", bmpFile(single.get())}}));
    auto* button = static_cast<TLayoutSkin*>(form.FindComponent("Button"));
    auto* singleSkin = static_cast<TLayoutSkin*>(form.FindComponent("Single"));
    ASSERT_TRUE(button && singleSkin);
    EXPECT_TRUE(button->GetArtworkSetPresent());
    EXPECT_EQ(pixelsOf(button->GetArtwork()), pixelsOf(cutByHand(set.get(), TRect(32, 0, 64, 32)).get()));
    EXPECT_FALSE(singleSkin->GetArtworkSetPresent()) << "the artwork read after the set drops it";
    EXPECT_EQ(pixelsOf(singleSkin->GetArtwork()), pixelsOf(single.get()));
    EXPECT_TRUE(singleSkin->GetShapeParent()) << "shared with the sibling";

    form.Show();
    pump();
    // The button's outline is that of the cell shown when it was built: cell 1 has no lime.
    HRGN r = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(form.Handle(), r), ERROR);
    HRGN expected = CreateRectRgn(4, 6, 36, 38);
    HRGN rect = CreateRectRgn(60, 50, 80, 60);
    CombineRgn(expected, expected, rect, RGN_OR);
    // The sibling read later was placed while the layout was read, so it counts where it is.
    EXPECT_TRUE(EqualRgn(r, expected));
    for (HRGN h : {r, expected, rect})
        DeleteObject(h);

    // Written back: each control carries either its set or its single artwork.
    std::map<std::string, Bytes> saved;
    AnsiString text = WriteLayout(&form, [&](const AnsiString& Path, TBitmap* Bitmap) {
        saved[std::string(Path.c_str())] = bmpFile(Bitmap);
        return AnsiString(Path + ".bmp");
    });
    EXPECT_NE(text.find("ArtworkSet = 'Button.ArtworkSet.bmp'"), AnsiString::npos) << text;
    EXPECT_EQ(text.find("Button.Artwork.bmp"), AnsiString::npos) << text;
    EXPECT_NE(text.find("Artwork = 'Single.Artwork.bmp'"), AnsiString::npos) << text;
    EXPECT_EQ(text.find("Single.ArtworkSet"), AnsiString::npos) << text;
}

}  // namespace
