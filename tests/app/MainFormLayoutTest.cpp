// The main window as its compiled-in layout and its constructor make it: every component with
// its class, parent, bounds, stacking order and handler; the capture settings; the outline.
#include <set>

#include "framework/TypeInfo.h"
#include "tests/app/MainFormFixture.h"

namespace {

using MouseUpHandler = TMethodHandler<void(TObject*, TMouseButton, TShiftState, int, int)>;

std::string mouseUpName(TCustomSkinnedControl* c)
{
    const auto* h = c->OnMouseUp.target<MouseUpHandler>();
    return h ? h->MethodName() : "";
}

using MainFormLayout = MainFormFixture;

TEST_F(MainFormLayout, EveryComponentAsStored)
{
    struct Expected
    {
        const char* name;
        const char* className;
        const char* parent;
        int left, top, width, height;
        const char* mouseUp;
    };
    // Creation order, which is also the stacking order within each parent.
    const Expected expected[] = {
        {"MiddlePanel", "TSkinnedPanel", "MainForm", 0, 78, 148, 148, ""},
        {"VidCapFrameTopLeft", "TSkinnedPanel", "MiddlePanel", 0, 0, 8, 8, ""},
        {"VidCapFrameTopRight", "TSkinnedPanel", "MiddlePanel", 140, 0, 8, 8, ""},
        {"VidCapFrameBottomLeft", "TSkinnedPanel", "MiddlePanel", 0, 140, 8, 8, ""},
        {"VidCapFrameBottomRight", "TSkinnedPanel", "MiddlePanel", 140, 140, 8, 8, ""},
        {"VidCapFrameTop", "TSkinnedPanel", "MiddlePanel", 8, 0, 132, 8, ""},
        {"VidCapFrameBottom", "TSkinnedPanel", "MiddlePanel", 8, 140, 132, 8, ""},
        {"VidCapFrameLeft", "TSkinnedPanel", "MiddlePanel", 0, 8, 8, 132, ""},
        {"VidCapFrameRight", "TSkinnedPanel", "MiddlePanel", 140, 8, 8, 132, ""},
        {"VidCapPanel", "TSkinnedPanel", "MiddlePanel", 8, 8, 132, 132, ""},   // 116 stored, 132 made
        {"VidCap", "TVidCap", "VidCapPanel", 0, 0, 132, 132, ""},
        {"TopPanel", "TSkinnedPanel", "MainForm", 0, 0, 148, 78, ""},
        {"ProgramLogo", "TSkinnedButton", "TopPanel", 84, 9, 51, 34, "ProgramLogoMouseUp"},
        {"InfoButton", "TSkinnedButton", "TopPanel", 4, 52, 32, 24, "InfoButtonMouseUp"},
        {"CompactButton", "TSkinnedButton", "TopPanel", 40, 52, 32, 24, "CompactButtonMouseUp"},
        {"FullScreenButton", "TSkinnedButton", "TopPanel", 76, 52, 32, 24, "FullScreenButtonMouseUp"},
        {"CloseButton", "TSkinnedButton", "TopPanel", 112, 52, 32, 24, "CloseButtonMouseUp"},
        {"BottomPanel", "TSkinnedPanel", "MainForm", 0, 226, 148, 122, ""},
        {"SettingsButton", "TSkinnedButton", "BottomPanel", 4, 30, 32, 32, "SettingsButtonMouseUp"},
        {"CameraButton", "TSkinnedButton", "BottomPanel", 40, 30, 32, 32, "CameraButtonMouseUp"},
        {"VideosButton", "TSkinnedButton", "BottomPanel", 112, 30, 32, 32, "VideosButtonMouseUp"},
        {"PlaybackButton", "TSkinnedButton", "BottomPanel", 112, 66, 32, 32, "PlaybackButtonMouseUp"},
        {"SkinnedButton3", "TSkinnedButton", "BottomPanel", 76, 66, 32, 32, ""},
        {"StopButton", "TSkinnedButton", "BottomPanel", 40, 66, 32, 32, "StopButtonMouseUp"},
        {"InfoPanel", "TSkinnedPanel", "BottomPanel", 4, 2, 140, 24, ""},
        {"ReportText", "TLabel", "InfoPanel", 0, 4, 140, 17, ""},
        {"AudioButton", "TSkinnedSwitch", "BottomPanel", 76, 30, 32, 32, ""},
        {"StartButton", "TSkinnedSwitch", "BottomPanel", 4, 66, 32, 32, ""},
    };
    std::map<std::string, std::vector<std::string>> children;
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.name);
        auto* c = dynamic_cast<TControl*>(form->FindComponent(e.name));
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->ClassName(), e.className);
        ASSERT_NE(c->GetParent(), nullptr);
        EXPECT_EQ(c->GetParent()->GetName(), e.parent);
        EXPECT_EQ(c->GetLeft(), e.left);
        EXPECT_EQ(c->GetTop(), e.top);
        EXPECT_EQ(c->GetWidth(), e.width);
        EXPECT_EQ(c->GetHeight(), e.height);
        if (auto* skin = dynamic_cast<TCustomSkinnedControl*>(c)) {
            EXPECT_EQ(mouseUpName(skin), e.mouseUp);
            EXPECT_FALSE(skin->GetColorSetPresent());
        }
        children[e.parent].push_back(e.name);
    }
    // Stacking: the children of each parent in creation order, bottom first.
    for (auto& [parent, names] : children) {
        SCOPED_TRACE(parent);
        auto* p = parent == "MainForm" ? static_cast<TWinControl*>(form)
                                       : dynamic_cast<TWinControl*>(form->FindComponent(parent.c_str()));
        ASSERT_NE(p, nullptr);
        std::vector<std::string> actual;
        for (int i = 0; i < p->ControlCount(); ++i)
            actual.push_back(p->Controls(i)->GetName());
        EXPECT_EQ(actual, names);
    }
    using StateHandler = TMethodHandler<void(TObject*)>;
    using DragHandler = TMethodHandler<void(TObject*, TShiftState, int&, int&)>;
    ASSERT_NE(form->StartButton->OnStateChange.target<StateHandler>(), nullptr);
    EXPECT_EQ(form->StartButton->OnStateChange.target<StateHandler>()->MethodName(), "StartButtonStateChange");
    ASSERT_NE(form->AudioButton->OnStateChange.target<StateHandler>(), nullptr);
    EXPECT_EQ(form->AudioButton->OnStateChange.target<StateHandler>()->MethodName(), "AudioButtonStateChange");
    ASSERT_NE(form->TopPanel->OnDragTo.target<DragHandler>(), nullptr);
    EXPECT_EQ(form->TopPanel->OnDragTo.target<DragHandler>()->MethodName(), "TopPanelDragTo");
    ASSERT_NE(form->AutoRecordTimer->GetOnTimer().target<StateHandler>(), nullptr);
    EXPECT_EQ(form->AutoRecordTimer->GetOnTimer().target<StateHandler>()->MethodName(), "AutoRecordTimerTimer");
}

TEST_F(MainFormLayout, WindowSettingssAndWhatTheConstructorSets)
{
    EXPECT_EQ(form->GetCaption(), "Velkor - Free Lumo");
    EXPECT_EQ(form->GetBorderStyle(), bsNone);
    EXPECT_TRUE(form->GetAutoSize());
    RECT r{};
    GetWindowRect(form->Handle(), &r);
    EXPECT_EQ(r.right - r.left, 148);
    EXPECT_EQ(r.bottom - r.top, 348);
    EXPECT_EQ(r.left, (1920 - 148) / 2);   // centred on the headless screen
    EXPECT_EQ(r.top, (1080 - 348) / 2);

    EXPECT_FALSE(form->AutoRecordTimer->GetEnabled());
    EXPECT_EQ(form->AutoRecordTimer->GetInterval(), 1800000u);
    EXPECT_EQ(form->ReportText->GetCaption(), "STOPPED");
    EXPECT_EQ(form->ReportText->GetFont()->GetColor(), clSilver);
    EXPECT_EQ(form->ReportText->GetAlignment(), taCenter);
    EXPECT_FALSE(form->PlaybackButton->GetEnabled());
    EXPECT_FALSE(form->SkinnedButton3->GetEnabled());
    EXPECT_TRUE(form->StopButton->GetEnabled());
    EXPECT_FALSE(form->AudioButton->GetSwitchedOn());
    EXPECT_TRUE(form->TopPanel->GetDragParent());
    EXPECT_TRUE(form->TopPanel->GetDragable());

    TVidCap* v = form->VidCap;
    EXPECT_TRUE(v->GetDeviceConnected());
    EXPECT_EQ(v->GetDeviceIndex(), 0);
    EXPECT_FALSE(v->GetCaptureAudio());
    EXPECT_EQ(v->GetFileName(), "Capture.avi");
    EXPECT_EQ(v->GetFrameInterval(), 250000);
    EXPECT_TRUE(v->GetKeepAspectRatio());
    EXPECT_FALSE(v->GetOverlay());
    EXPECT_TRUE(v->GetPreview());
    EXPECT_FLOAT_EQ(v->GetPreviewRate(), 15.0f);
    EXPECT_TRUE(v->GetPreviewScaling());
    EXPECT_FALSE(v->GetStopGap());
    EXPECT_EQ(v->GetTimeLimit(), 600);
    EXPECT_FALSE(v->GetTimeLimitEnabled());

    ASSERT_NE(form->GetSettingsForm(), nullptr);
    EXPECT_EQ(form->GetSettingsForm()->GetVidCap(), v);
    EXPECT_EQ(form->GetSettingsForm()->Owner(), form);
    EXPECT_EQ(form->GetDocumentsFolderName(), documents);
    EXPECT_FALSE(form->GetCompressionAsked());
    EXPECT_EQ(form->GetVideoFolder(), "");
}

// The window's outline: the opaque artwork of the top and bottom panels and the whole
// middle panel, nothing else.
TEST_F(MainFormLayout, TheWindowRegionIsTheUnionOfTheShapedPanels)
{
    pump();
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(form->Handle(), region), ERROR);
    TBitmap* top = form->TopPanel->GetArtworkSet();
    TBitmap* bottom = form->BottomPanel->GetArtworkSet();
    ASSERT_EQ(top->GetWidth(), 148);
    ASSERT_EQ(bottom->GetHeight(), 122);
    int inside = 0, cut = 0, wrong = 0;
    for (int y = 0; y < 348; ++y)
        for (int x = 0; x < 148; ++x) {
            bool opaque;
            if (y < 78)
                opaque = top->Canvas()->GetPixel(x, y) != clLime;
            else if (y < 226)
                opaque = true;
            else
                opaque = bottom->Canvas()->GetPixel(x, y - 226) != clLime;
            const bool in = PtInRegion(region, x, y);
            (opaque ? inside : cut) += 1;
            wrong += in != opaque;
        }
    DeleteObject(region);
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(cut, 40);   // the rounded corners at least
    EXPECT_GT(inside, 148 * 300);
}

}   // namespace

namespace {

// The file name fits the 140-pixel report whatever face stands in for the layout's; short
// texts keep the layout's size.
TEST_F(MainFormLayout, TheReportFitsAFileName)
{
    clickOn(form->StartButton);
    ASSERT_EQ(form->ReportText->GetCaption(), form->GetVideoFileName());
    TBitmap measure;
    measure.Canvas()->Font()->Assign(form->ReportText->GetFont());
    EXPECT_LE(measure.Canvas()->TextWidth(form->ReportText->GetCaption()), 140);
    EXPECT_GE(form->ReportText->GetFont()->GetHeight(), -16);
    EXPECT_LE(form->ReportText->GetFont()->GetHeight(), -9);
    clickOn(form->StopButton);
    EXPECT_EQ(form->ReportText->GetFont()->GetHeight(), -16);
}

}   // namespace
