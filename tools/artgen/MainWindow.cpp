// The main window: top panel with the lens and the logo, the video frame, the bottom panel
// with the report display and the recording buttons.
#include "Artwork.h"
#include "Theme.h"

namespace artgen {

using namespace theme;

namespace {

constexpr int kWidth = 148;
constexpr float kOuterRadius = 12;

Picture topPanel() {
  Canvas c = panelBody(kWidth, 78, kOuterRadius, kOuterRadius, 0, 0);
  drawLens(c, 27, 26, 18);
  // A few grip lines between lens and logo say "drag me" without words.
  for (int i = 0; i < 3; ++i)
    c.fill(roundRect(56, 19 + i * 5.0f, 76, 20.2f + i * 5.0f, 0.6f), solid(kPanelEdge), 0.6f);
  tray(c, 2, 49, kWidth - 2, 78, 6);
  return flatten(c, kLime);
}


Picture logo(const Picture& panel) {
  const int w = 51, h = 34, x = 84, y = 9;
  Picture strip;
  strip.width = w * 3;
  strip.height = h;
  strip.bgr.assign(size_t(strip.width) * h * 3, 0);
  for (int col = 0; col < 3; ++col) {
    Canvas c(w, h);
    State s = kStates[col];
    Rgb word = s == State::Normal ? kText : s == State::Hover ? rgb(250, 251, 252) : kAccent;
    Rgb tag = s == State::Pressed ? kText : kAccent;
    float dy = s == State::Pressed ? 1 : 0;
    drawText(c, kFontBold, 17, "lumo", w / 2.0f, 19 + dy, solid(word), -0.3f);
    drawText(c, kFontCondensedBold, 9.5f, "FREE", w / 2.0f, 31 + dy, solid(tag), 2.2f);
    strip.paste(flattenOver(c, panel, x, y), col * w, 0);
  }
  return strip;
}

// A piece of the dark frame round the picture: the outer side carries the window's edge line,
// the inner side a shadow line against the picture. Uniform along its length so it stretches.
Picture framePiece(int w, int h, bool outerLeft, bool outerRight, bool innerLeft, bool innerRight,
                   bool innerTop, bool innerBottom) {
  Canvas c(w, h);
  c.fill(rect(0, 0, float(w), float(h)), solid(kBezel));
  if (outerLeft) c.fill(rect(0, 0, 1, float(h)), solid(kPanelEdge));
  if (outerRight) c.fill(rect(w - 1.0f, 0, float(w), float(h)), solid(kPanelEdge));
  Rgb shadow = rgb(8, 9, 11);
  if (innerLeft) c.fill(rect(0, 0, 1, float(h)), solid(shadow));
  if (innerRight) c.fill(rect(w - 1.0f, 0, float(w), float(h)), solid(shadow));
  if (innerTop) c.fill(rect(0, 0, float(w), 1), solid(shadow));
  if (innerBottom) c.fill(rect(0, h - 1.0f, float(w), float(h)), solid(shadow));
  return flatten(c, kLime);
}

Picture videoBackground() {
  Canvas c(132, 128);
  c.fill(rect(0, 0, 132, 128), radial(66, 64, 90, rgb(52, 56, 63), rgb(30, 32, 37)));
  return flatten(c, kLime);
}

Picture bottomPanel() {
  Canvas c = panelBody(kWidth, 122, 0, 0, kOuterRadius, kOuterRadius);
  tray(c, 2, 28, kWidth - 2, 100, 6);
  drawText(c, kFontCondensedBold, 9, "LUMO FREE", kWidth / 2.0f, 114, solid(kTextDim), 2.0f);
  return flatten(c, kLime);
}

Picture infoPanel(const Picture& bottom) {
  Canvas c(140, 24);
  c.fill(roundRect(0, 0, 140, 24, 5), solid(rgb(70, 76, 86)));
  c.fill(roundRect(0, 1, 140, 24, 5), solid(rgb(12, 13, 15)));
  c.fill(roundRect(1, 1.5f, 139, 23, 4.5f), solid(rgb(0, 0, 0)));
  return flatten(c, kLime, &bottom, 4, 2);
}

}  // namespace

std::vector<Artwork> mainWindowArtwork() {
  std::vector<Artwork> out;
  Picture top = topPanel();
  Picture bottom = bottomPanel();
  auto add = [&](const std::string& component, Picture p) {
    out.push_back({"MainForm." + component + ".ArtworkSet", std::move(p)});
  };
  add("TopPanel", top);
  add("ProgramLogo", logo(top));
  const struct {
    const char* name;
    Icon icon;
    int x;
  } topButtons[] = {{"InfoButton", icons::info, 4},
                    {"CompactButton", icons::compact, 40},
                    {"FullScreenButton", icons::fullScreen, 76},
                    {"CloseButton", icons::close, 112}};
  for (const auto& b : topButtons) add(b.name, buttonStrip(32, 24, b.icon, kWhite, top, b.x, 52));

  add("VidCapFrameTopLeft", framePiece(8, 8, true, false, false, false, false, false));
  add("VidCapFrameTopRight", framePiece(8, 8, false, true, false, false, false, false));
  add("VidCapFrameBottomLeft", framePiece(8, 8, true, false, false, false, false, false));
  add("VidCapFrameBottomRight", framePiece(8, 8, false, true, false, false, false, false));
  add("VidCapFrameTop", framePiece(132, 8, false, false, false, false, false, true));
  add("VidCapFrameBottom", framePiece(132, 8, false, false, false, false, true, false));
  add("VidCapFrameLeft", framePiece(8, 128, true, false, false, true, false, false));
  add("VidCapFrameRight", framePiece(8, 128, false, true, true, false, false, false));
  add("VidCapPanel", videoBackground());

  add("BottomPanel", bottom);
  add("InfoPanel", infoPanel(bottom));
  // The buttons the program ever disables carry a disabled column (the layout's
  // EnableDisabledArtwork): Playback before a recording, Stop when idle, the rest while
  // recording; the pause button is never enabled. Videos stays available throughout.
  const struct {
    const char* name;
    Icon icon;
    int x, y;
    bool disables;
  } bottomButtons[] = {{"SettingsButton", icons::gear, 4, 30, true},
                       {"CameraButton", icons::camera, 40, 30, true},
                       {"VideosButton", icons::folder, 112, 30, false},
                       {"PlaybackButton", icons::play, 112, 66, true},
                       {"SkinnedButton3", icons::pause, 76, 66, true},
                       {"StopButton", icons::stop, 40, 66, true}};
  for (const auto& b : bottomButtons)
    add(b.name, buttonStrip(32, 32, b.icon, kWhite, bottom, b.x, b.y, {.disabledColumn = b.disables}));
  add("AudioButton", buttonStrip(32, 32, icons::speaker, kLime, bottom, 76, 30,
                                 {.isSwitch = true, .disabledColumn = true}));
  add("StartButton", buttonStrip(32, 32, icons::record, kLime, bottom, 4, 66,
                                 {.isSwitch = true, .disabledColumn = true, .lamp = kRecord}));
  return out;
}

}  // namespace artgen
