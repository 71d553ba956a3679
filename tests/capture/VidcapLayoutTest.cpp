#include "VidcapFixture.h"
#include "framework/Layouts.h"
#include "framework/Published.h"

namespace {

// Notes, when its last property is read, whether any window existed yet.
class TVidCapProbe : public TVidCap
{
public:
    using TVidCap::TVidCap;
    static TClass StaticClass();
    TClass ClassType() const override { return StaticClass(); }
    int GetProbe() const { return FProbe; }
    void SetProbe(int Value)
    {
        FProbe = Value;
        WindowWhileLoading = HandleAllocated() || GetCapWnd() != 0;
    }
    bool WindowWhileLoading = true;

private:
    int FProbe = 0;
};

TClass TVidCapProbe::StaticClass()
{
    static const TClass Class =
        TPublished<TVidCapProbe, TVidCap>("TVidCapProbe").Property("Probe", &TVidCapProbe::GetProbe, &TVidCapProbe::SetProbe, Default(0));
    return Class;
}

// The main window's stored values for its capture component.
const char* const layout = R"(object Host: TForm
  Left = 0
  Top = 0
  Width = 300
  Height = 200
  object VidCap: TVidCapProbe
    Left = 0
    Top = 0
    Width = 132
    Height = 101
    Color = clBlack
    KeepAspectRatio = True
    Preview = True
    PreviewRate = 10
    PreviewScaling = True
    CaptureAudio = True
    FileName = 'Untitled'
    FrameInterval = 100000
    FrameRate = 10
    TimeLimit = 30
    Probe = 1
  end
end
)";

using VidcapLayout = VidcapFixture;

TEST_F(VidcapLayout, AStoredComponentGetsItsWindowOnceTheLayoutIsRead)
{
    RegisterClass(ClassOf<TVidCapProbe>());
    auto host = std::make_unique<TForm>(nullptr, 0);
    ReadLayout(host.get(), layout, "Host.lfm", ResourceResolver());
    ASSERT_EQ(host->ComponentCount(), 1);
    auto* v = dynamic_cast<TVidCapProbe*>(host->Components(0));
    ASSERT_NE(v, nullptr);
    EXPECT_FALSE(v->WindowWhileLoading);
    ASSERT_NE(v->GetCapWnd(), 0u);
    EXPECT_TRUE(v->GetDeviceConnected());
    EXPECT_EQ(v->GetColor(), clBlack);
    EXPECT_EQ(v->GetFileName(), "Untitled");
    EXPECT_EQ(v->GetFrameInterval(), 100000);
    EXPECT_EQ(placement(v), CaptureWindowPlacement(132, 101, 640, 480, true, true));
    host.reset();
    EXPECT_EQ(TVidCap::ThisList, nullptr);
}

TEST_F(VidcapLayout, OnlyValuesOtherThanZeroAreWritten)
{
    auto host = std::make_unique<TForm>(nullptr, 0);
    host->SetName("Host");
    auto* v = new TVidCap(host.get());
    v->SetName("VidCap");
    v->SetParent(host.get());
    AnsiString text = WriteLayout(host.get());
    EXPECT_NE(text.find("KeepAspectRatio = True"), AnsiString::npos) << text;
    EXPECT_NE(text.find("FileName = 'Untitled'"), AnsiString::npos) << text;
    EXPECT_NE(text.find("TimeLimit = 30"), AnsiString::npos) << text;
    EXPECT_EQ(text.find("Overlay"), AnsiString::npos) << text;
    EXPECT_EQ(text.find("StopGap"), AnsiString::npos) << text;
    EXPECT_EQ(text.find("TimeLimitEnabled"), AnsiString::npos) << text;
}

}  // namespace
