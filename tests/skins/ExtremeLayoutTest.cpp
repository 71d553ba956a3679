// Layouts that may come from outside the program (a skin folder): positions and sizes at the
// integer limits and enormous forms are clamped, never overflow, never allocate beyond reason.
#include <climits>

#include "SkinFixture.h"
#include "framework/Layouts.h"
#include "skins/Registration.h"

namespace {

// Found by fuzzing the layout reader: each overflowed a right or bottom edge.
const char* const extremeLayout = R"(object F: TForm
  Left = -2147483648
  Top = 2147483647
  Width = 2147483647
  Height = 2147483647
  object P: TSkinnedPanel
    Left = 2147483647
    Top = -2147483648
    Width = 1000000000
    Height = 2147483647
    ArtworkSet = 'a.bmp'
    Artworked = True
    Shaped = True
    object S: TSkinnedSwitch
      Left = 2147483600
      Top = 2147483600
      Width = 2147483647
      Height = 48
    end
  end
end
)";

}  // namespace

using ExtremeLayout = SkinFixture;

TEST_F(ExtremeLayout, BoundsAtTheIntegerLimitsAreClampedToTheWindowLimits)
{
    Skins::RegisterAll();
    auto art = gradient(8, 8);
    TMemoryStream file;
    art->SaveToStream(&file);
    TLayoutResolver files = [&](const AnsiString&) -> std::unique_ptr<TStream> {
        auto stream = std::make_unique<TMemoryStream>();
        stream->WriteBuffer(file.Memory(), int(file.GetSize()));
        stream->SetPosition(0);
        return stream;
    };
    TForm form(nullptr, 0);
    ReadLayout(&form, extremeLayout, "F.lfm", files);
    form.Show();
    pump();

    EXPECT_EQ(form.GetLeft(), -kMaxWindowCoord);
    EXPECT_EQ(form.GetTop(), kMaxWindowCoord);
    EXPECT_EQ(form.GetWidth(), kMaxWindowSide);
    auto* panel = static_cast<TControl*>(form.FindComponent("P"));
    auto* sw = static_cast<TControl*>(form.FindComponent("S"));
    ASSERT_TRUE(panel && sw);
    EXPECT_EQ(panel->GetLeft(), kMaxWindowCoord);
    EXPECT_EQ(panel->GetWidth(), kMaxWindowSide);
    EXPECT_EQ(panel->GetHeight(), kMaxWindowSide);
    EXPECT_EQ(sw->GetLeft(), kMaxWindowCoord);
    EXPECT_EQ(sw->GetWidth(), kMaxWindowSide);
    EXPECT_EQ(sw->GetHeight(), 48);
    const TRect bounds = sw->GetBoundsRect();
    EXPECT_EQ(bounds.Right, kMaxWindowCoord + kMaxWindowSide);

    // Back to ordinary sizes, nothing is left over from the clamp.
    panel->SetBounds(1, 2, 30, 40);
    EXPECT_EQ(panel->GetBoundsRect(), TRect(1, 2, 31, 42));
}
