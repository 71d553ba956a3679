// TVidCap's published properties and its place on the palette.
#include "capture/Vidcap.h"
#include "framework/Published.h"

TClass TVidCap::StaticClass()
{
    // Every property of our own is stored only when it differs from zero (false).
    static const TClass Class = TPublished<TVidCap, TCustomControl>("TVidCap")
        .Event("OnResize", &TVidCap::OnResize)
        .Property("Color", &TVidCap::GetColor, &TVidCap::SetColor, ColorIdents(), Default(clWindow))
        .Property("KeepAspectRatio", &TVidCap::GetKeepAspectRatio, &TVidCap::SetKeepAspectRatio, Default(false))
        .Property("Overlay", &TVidCap::GetOverlay, &TVidCap::SetOverlay, Default(false))
        .Property("Preview", &TVidCap::GetPreview, &TVidCap::SetPreview, Default(false))
        .Property("PreviewRate", &TVidCap::GetPreviewRate, &TVidCap::SetPreviewRate, Default(0.0f))
        .Property("PreviewScaling", &TVidCap::GetPreviewScaling, &TVidCap::SetPreviewScaling, Default(false))
        .Property("CaptureAudio", &TVidCap::GetCaptureAudio, &TVidCap::SetCaptureAudio, Default(false))
        .Property("FileName", &TVidCap::GetFileName, &TVidCap::SetFileName, Default(AnsiString()))
        .Property("FrameInterval", &TVidCap::GetFrameInterval, &TVidCap::SetFrameInterval, Default(0))
        .Property("FrameRate", &TVidCap::GetFrameRateValue, &TVidCap::SetFrameRate, Default(0.0f))
        .Property("StopGap", &TVidCap::GetStopGap, &TVidCap::SetStopGap, Default(false))
        .Property("TimeLimit", &TVidCap::GetTimeLimit, &TVidCap::SetTimeLimit, Default(0))
        .Property("TimeLimitEnabled", &TVidCap::GetTimeLimitEnabled, &TVidCap::SetTimeLimitEnabled, Default(false))
        .Event("OnCapControl", &TVidCap::OnCapControl)
        .Event("OnError", &TVidCap::OnError)
        .Event("OnFrame", &TVidCap::OnFrame)
        .Event("OnStatus", &TVidCap::OnStatus)
        .Event("OnVideoStream", &TVidCap::OnVideoStream)
        .Event("OnWaveStream", &TVidCap::OnWaveStream)
        .Event("OnYield", &TVidCap::OnYield);
    return Class;
}

namespace Vidcap {

void Register()
{
    RegisterComponents("VK Controls", {ClassOf<TVidCap>()});
}

}  // namespace Vidcap
