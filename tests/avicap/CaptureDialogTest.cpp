#include "CaptureFixture.h"
#include "avicap/window/CaptureDialogs.h"
#include "framework/ComCtrls.h"
#include "framework/Forms.h"
#include "framework/StdCtrls.h"

namespace {

class CaptureDialogs : public CaptureFixture
{
protected:
    void TearDown() override
    {
        setCaptureDialogHook(nullptr);
        CaptureFixture::TearDown();
    }

    // Works the dialog's controls by name, then closes it with result.
    static void answer(std::function<void(TForm&)> work, TModalResult result = mrOk)
    {
        setCaptureDialogHook([work, result](TForm& form) {
            work(form);
            form.SetModalResult(result);
        });
    }

    template <class T>
    static T* control(TForm& form, const char* name)
    {
        T* found = dynamic_cast<T*>(form.FindComponent(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
};

}  // namespace

TEST_F(CaptureDialogs, FormatDialogChangesTheImageSizeInTheStatus)
{
    ASSERT_TRUE(send(WM_CAP_DRIVER_CONNECT, 0));
    answer([](TForm& form) {
        TComboBox* sizes = control<TComboBox>(form, "SizeBox");
        ASSERT_EQ(sizes->GetItems()->Count(), 4);
        EXPECT_EQ(sizes->GetItemIndex(), 1);   // 640 x 480
        sizes->SetItemIndex(3);
    });
    ASSERT_TRUE(send(WM_CAP_DLG_VIDEOFORMAT));
    EXPECT_EQ(status().uiImageWidth, 1920u);
    EXPECT_EQ(status().uiImageHeight, 1080u);

    answer([](TForm& form) { control<TComboBox>(form, "SizeBox")->SetItemIndex(0); }, mrCancel);
    ASSERT_TRUE(send(WM_CAP_DLG_VIDEOFORMAT));
    EXPECT_EQ(status().uiImageWidth, 1920u);
}

TEST_F(CaptureDialogs, SourceDialogSetsPatternAndBrightness)
{
    ASSERT_TRUE(send(WM_CAP_DRIVER_CONNECT, 0));
    answer([](TForm& form) {
        control<TComboBox>(form, "Control0")->SetItemIndex(TestPatternDevice::Solid);
        control<TTrackBar>(form, "Control1")->SetPosition(0);
    });
    ASSERT_TRUE(send(WM_CAP_DLG_VIDEOSOURCE));
    static std::vector<uint8_t> seen;
    auto keep = [](HWND, LPVIDEOHDR h) -> LRESULT {
        seen.assign(h->lpData, h->lpData + 3);
        return TRUE;
    };
    ASSERT_TRUE(send(WM_CAP_SET_CALLBACK_FRAME, 0, LPARAM(+keep)));
    ASSERT_TRUE(send(WM_CAP_GRAB_FRAME_NOSTOP));
    EXPECT_EQ(seen, std::vector<uint8_t>({0, 0, 0}));   // brightness 0: black
}

TEST_F(CaptureDialogs, TheTestPatternHasNoDisplayDialog)
{
    ASSERT_TRUE(send(WM_CAP_DRIVER_CONNECT, 0));
    bool shown = false;
    setCaptureDialogHook([&](TForm& form) {
        shown = true;
        form.SetModalResult(mrCancel);
    });
    EXPECT_FALSE(send(WM_CAP_DLG_VIDEODISPLAY));
    EXPECT_FALSE(shown);
}

TEST_F(CaptureDialogs, CompressionDialogOffersTheTableWithMotionJpegAt85AndRemembersTheChoice)
{
    ASSERT_TRUE(send(WM_CAP_DRIVER_CONNECT, 0));
    EXPECT_EQ(capGetVideoCompression(cap).codec, VideoCodec::MotionJpeg);
    EXPECT_EQ(capGetVideoCompression(cap).quality, 85);
    answer([](TForm& form) {
        TComboBox* codec = control<TComboBox>(form, "CodecBox");
        ASSERT_EQ(codec->GetItems()->Count(), 3);
        EXPECT_EQ(codec->GetItems()->Strings(0), "Full Frames (Uncompressed)");
        EXPECT_EQ(codec->GetItems()->Strings(1), "Motion JPEG");
        EXPECT_EQ(codec->GetItems()->Strings(2), "H.264");
        EXPECT_EQ(codec->GetItemIndex(), 1);
        EXPECT_EQ(control<TTrackBar>(form, "QualityBar")->GetPosition(), 85);
        EXPECT_EQ(control<TLabel>(form, "QualityBarValue")->GetCaption(), "85");
        control<TTrackBar>(form, "QualityBar")->SetPosition(60);
        EXPECT_EQ(control<TLabel>(form, "QualityBarValue")->GetCaption(), "60") << "the value follows the slider";
    });
    ASSERT_TRUE(send(WM_CAP_DLG_VIDEOCOMPRESSION));
    EXPECT_EQ(capGetVideoCompression(cap).quality, 60);
    // The slider follows the compressor: off for full frames, on again for H.264.
    answer([](TForm& form) {
        TComboBox* codec = control<TComboBox>(form, "CodecBox");
        TTrackBar* quality = control<TTrackBar>(form, "QualityBar");
        codec->SetItemIndex(0);
        codec->OnChange(codec);
        EXPECT_FALSE(quality->GetEnabled());
        EXPECT_FALSE(control<TLabel>(form, "QualityBarValue")->GetEnabled());
        codec->SetItemIndex(2);
        codec->OnChange(codec);
        EXPECT_TRUE(quality->GetEnabled());
    });
    ASSERT_TRUE(send(WM_CAP_DLG_VIDEOCOMPRESSION));
    EXPECT_EQ(capGetVideoCompression(cap).codec, VideoCodec::H264);
    answer([](TForm& form) { EXPECT_EQ(control<TComboBox>(form, "CodecBox")->GetItemIndex(), 2); }, mrCancel);
    ASSERT_TRUE(send(WM_CAP_DLG_VIDEOCOMPRESSION));
    EXPECT_EQ(capGetVideoCompression(cap).codec, VideoCodec::H264) << "Cancel keeps the choice";
}

TEST(CaptureDialogModels, SourceValuesAreClampedToTheirRange)
{
    TestPatternDevice device;
    VideoSourceModel model(device);
    ASSERT_EQ(model.controls().size(), 2u);
    EXPECT_TRUE(model.setValue(1, 500));
    EXPECT_EQ(model.controls()[1].value, 100);
    EXPECT_FALSE(model.setValue(7, 1));
    model.resetToDefaults();
    EXPECT_EQ(model.controls()[1].value, 50);
    VideoCompressionModel compression({});
    compression.setQuality(0);
    compression.setCodec(9);
    EXPECT_EQ(compression.value.quality, 1);
    EXPECT_EQ(compression.value.codec, VideoCodec::MotionJpeg);
}
