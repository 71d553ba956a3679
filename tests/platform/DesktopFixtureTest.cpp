// What the desktop fixture clears between tests beyond the windows: the GDI objects.
#include "platform/Windows.h"
#include "tests/support/DesktopFixture.h"

namespace {

class Desktop : public DesktopFixture
{
public:
    using DesktopFixture::SetUp;
    using DesktopFixture::TearDown;
    void TestBody() override {}
};

}  // namespace

TEST(DesktopFixture, DeletesTheGdiObjectsATestLeftBehindAndOnlyThose)
{
    HBRUSH kept = CreateSolidBrush(RGB(1, 2, 3));
    Desktop desktop;
    desktop.SetUp();
    HDC dc = CreateCompatibleDC(0);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 4, 4, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, 0, 0);
    SelectObject(dc, bitmap);   // deleted only once the DC lets go of it
    HBRUSH brush = CreateSolidBrush(RGB(4, 5, 6));
    WNDCLASSA wc{};
    wc.lpfnWndProc = &DefWindowProcA;
    wc.lpszClassName = "LumoDesktopTest";
    RegisterClassA(&wc);
    HDC windowDc = GetDC(CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 8, 8, 0, 0, nullptr, nullptr));
    desktop.TearDown();
    UnregisterClassA(wc.lpszClassName, nullptr);

    for (HGDIOBJ left : {HGDIOBJ(dc), HGDIOBJ(bitmap), HGDIOBJ(brush), HGDIOBJ(windowDc)})
        EXPECT_EQ(GetObjectType(left), 0u) << left;
    EXPECT_EQ(GetObjectType(kept), DWORD(OBJ_BRUSH));
    DeleteObject(kept);
}
