// Layouts and artwork compiled into the program (tests/framework/resources, through
// lumo_add_resources): a form built from them shows the artwork pixel for pixel.
#include "tests/framework/ControlsFixture.h"

#include "RegisterFrameworkTestResources.h"
#include "framework/Layouts.h"

namespace {

// Shows its picture at its top-left corner, untouched.
class TPictureBox : public TCustomControl
{
public:
    explicit TPictureBox(TComponent* AOwner) : TCustomControl(AOwner) {}
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }
    TBitmap* GetPicture() { return &FPicture; }

protected:
    void Paint() override { GetCanvas()->Draw(0, 0, &FPicture); }

private:
    TBitmap FPicture;
};

TClass TPictureBox::StaticClass()
{
    static const TClass Class = TPublished<TPictureBox, TCustomControl>("TPictureBox")
        .Property("Picture", &TPictureBox::GetPicture);
    return Class;
}

class TArtworkForm : public TForm
{
public:
    explicit TArtworkForm(TComponent* AOwner) : TForm(AOwner) { InitInheritedComponent(); }
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }
    TPictureBox* Panel = nullptr;
    TPictureBox* Badge = nullptr;
};

TClass TArtworkForm::StaticClass()
{
    static const TClass Class = TPublished<TArtworkForm, TForm>("TArtworkForm")
        .Field("Panel", &TArtworkForm::Panel)
        .Field("Badge", &TArtworkForm::Badge);
    return Class;
}

class CompiledResourcesTest : public ControlsFixture
{
protected:
    static void SetUpTestSuite()
    {
        RegisterFrameworkTestResources();
        RegisterClasses({ClassOf<TArtworkForm>(), ClassOf<TPictureBox>()});
    }
};

TEST_F(CompiledResourcesTest, AFormBuiltFromItsCompiledInLayoutShowsItsArtworkPixelForPixel)
{
    TArtworkForm form(nullptr);
    ASSERT_NE(form.Panel, nullptr);
    ASSERT_NE(form.Badge, nullptr);
    EXPECT_EQ(form.Panel->GetPicture()->GetPixelFormat(), pf24bit);
    form.Show();
    pump();
    Screenshot shot = display->screenshot(form.Handle());
    ASSERT_EQ(shot.width, 40);
    ASSERT_EQ(shot.height, 30);
    // The artwork file (ArtworkForm.Panel.Picture.bmp) holds red 20x, green 30y, blue 200-10x.
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x)
            ASSERT_EQ(shot.at(5 + x, 6 + y), RGB(x * 20, y * 30, 200 - x * 10)) << x << "," << y;
    // The badge embedded in the layout: red, green / blue, white.
    EXPECT_EQ(shot.at(20, 6), RGB(255, 0, 0));
    EXPECT_EQ(shot.at(21, 6), RGB(0, 255, 0));
    EXPECT_EQ(shot.at(20, 7), RGB(0, 0, 255));
    EXPECT_EQ(shot.at(21, 7), RGB(255, 255, 255));
    EXPECT_EQ(shot.at(0, 0), RGB(0, 0, 0));   // the form's own colour around them
}

TEST_F(CompiledResourcesTest, MissingResourcesAreErrorsThatNameThem)
{
    ASSERT_NE(FindResource("artworkform.panel.picture"), nullptr);   // names ignore case
    TForm form(nullptr, 0);
    try {
        LoadLayout(&form, "NoSuchForm.lfm", ResourceResolver());
        ADD_FAILURE() << "nothing raised";
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message(), "Layout NoSuchForm.lfm not found");
    }
    try {
        TResourceStream stream("ArtworkForm.Panel.Glyph");
        ADD_FAILURE() << "nothing raised";
    } catch (const EResNotFound& e) {
        EXPECT_EQ(e.Message(), "Resource ArtworkForm.Panel.Glyph not found");
    }
}

}   // namespace
