// The compact window and full-screen mode of the main window.
#include "app/Mainunit.h"

void TMainForm::LayoutVideoFrame()
{
    const int W = MiddlePanel->GetWidth() - 16;
    const int H = MiddlePanel->GetHeight() - 16;
    VidCapPanel->SetWidth(W);
    VidCapPanel->SetHeight(H);
    VidCap->SetWidth(VidCapPanel->GetWidth());
    VidCap->SetHeight(VidCapPanel->GetHeight());
    VidCapFrameTop->SetWidth(W);
    VidCapFrameTopRight->SetLeft(W + 8);
    VidCapFrameRight->SetLeft(W + 8);
    VidCapFrameRight->SetHeight(H);
    VidCapFrameBottomRight->SetLeft(W + 8);
    VidCapFrameBottomRight->SetTop(H + 8);
    VidCapFrameBottom->SetTop(H + 8);
    VidCapFrameBottom->SetWidth(W);
    VidCapFrameBottomLeft->SetTop(H + 8);
    VidCapFrameLeft->SetHeight(H);
}

void TMainForm::DockBottomPanel(int Left, int Top)
{
    BottomPanel->SetBounds(Left, Top + TopPanel->GetHeight(), BottomPanel->GetWidth(), BottomPanel->GetHeight());
}

void TMainForm::EnterFullScreen()
{
    const TPoint p = TopPanel->ClientToScreen(TPoint(0, 0));
    SetAutoSize(false);
    SetWindowState(wsMaximized);
    SetVisible(false);
    MiddlePanel->SetBounds(0, 0, Screen->GetWidth(), Screen->GetHeight());
    LayoutVideoFrame();
    TopPanel->SetDragParent(false);
    TopPanel->SetLeft(p.X);
    TopPanel->SetTop(p.Y);
    DockBottomPanel(TopPanel->GetLeft(), TopPanel->GetTop());
    SetVisible(true);
}

void TMainForm::LeaveFullScreen()
{
    SetVisible(false);
    TopPanel->SetLeft(0);
    TopPanel->SetTop(0);
    MiddlePanel->SetBounds(0, 78, 148, 148);
    LayoutVideoFrame();
    BottomPanel->SetLeft(0);
    BottomPanel->SetTop(226);
    SetAutoSize(true);
    SetWindowState(wsNormal);
    TopPanel->SetDragParent(true);
    SetVisible(true);
}
