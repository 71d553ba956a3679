#include "Preview.h"

#include "Artwork.h"
#include "Theme.h"

namespace artgen {

namespace {

struct Sheet {
  Picture pic;
  Sheet(int w, int h, Rgb background) {
    pic.width = w;
    pic.height = h;
    pic.bgr.resize(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) pic.set(x, y, mix(background, rgb(20, 40, 70), float(y) / h));
  }
  // Draws one cell of a strip, stretched to w x h, leaving the key colour out.
  void cell(const Picture& src, int cols, int rows, int col, int row, int x, int y, int w, int h,
            Rgb key) {
    int cw = src.width / cols, ch = src.height / rows;
    for (int dy = 0; dy < h; ++dy)
      for (int dx = 0; dx < w; ++dx) {
        Rgb c = src.get(col * cw + dx * cw / w, row * ch + dy * ch / h);
        bool isKey = std::abs(c.r - key.r) < 1e-3f && std::abs(c.g - key.g) < 1e-3f &&
                     std::abs(c.b - key.b) < 1e-3f;
        if (!isKey && x + dx < pic.width && y + dy < pic.height) pic.set(x + dx, y + dy, c);
      }
  }
};

// The main window with every enabled control in the look of column col; recording, as
// after Start (switches on, the controls a recording locks disabled), or as at start-up.
void mainWindow(Sheet& s, const std::map<std::string, Picture>& art, int ox, int oy, int col,
                bool on) {
  using namespace theme;
  auto a = [&](const char* n) -> const Picture& { return art.at(std::string("MainForm.") + n + ".ArtworkSet"); };
  s.cell(a("TopPanel"), 1, 1, 0, 0, ox, oy, 148, 78, kLime);
  s.cell(a("ProgramLogo"), 3, 1, col, 0, ox + 84, oy + 9, 51, 34, kLime);
  int x = 4;
  for (const char* n : {"InfoButton", "CompactButton", "FullScreenButton", "CloseButton"}) {
    s.cell(a(n), 3, 1, col, 0, ox + x, oy + 52, 32, 24, kWhite);
    x += 36;
  }
  int my = oy + 78;
  s.cell(a("VidCapFrameTopLeft"), 1, 1, 0, 0, ox, my, 8, 8, kLime);
  s.cell(a("VidCapFrameTopRight"), 1, 1, 0, 0, ox + 140, my, 8, 8, kLime);
  s.cell(a("VidCapFrameBottomLeft"), 1, 1, 0, 0, ox, my + 140, 8, 8, kLime);
  s.cell(a("VidCapFrameBottomRight"), 1, 1, 0, 0, ox + 140, my + 140, 8, 8, kLime);
  s.cell(a("VidCapFrameTop"), 1, 1, 0, 0, ox + 8, my, 132, 8, kLime);
  s.cell(a("VidCapFrameBottom"), 1, 1, 0, 0, ox + 8, my + 140, 132, 8, kLime);
  s.cell(a("VidCapFrameLeft"), 1, 1, 0, 0, ox, my + 8, 8, 132, kLime);
  s.cell(a("VidCapFrameRight"), 1, 1, 0, 0, ox + 140, my + 8, 8, 132, kLime);
  s.cell(a("VidCapPanel"), 1, 1, 0, 0, ox + 8, my + 8, 132, 132, kLime);
  // A stand-in camera picture, letterboxed 4:3 as the capture component lays it out.
  for (int y = 0; y < 99; ++y)
    for (int x2 = 0; x2 < 132; ++x2)
      s.pic.set(ox + 8 + x2, my + 8 + 16 + y,
                mix(rgb(90, 140, 200), rgb(220, 170, 120), float(x2 + y) / 231));
  int by = oy + 226;
  s.cell(a("BottomPanel"), 1, 1, 0, 0, ox, by, 148, 122, kLime);
  s.cell(a("InfoPanel"), 1, 1, 0, 0, ox + 4, by + 2, 140, 24, kLime);
  Canvas label(140, 17);
  label.fill(rect(0, 0, 140, 17), solid(rgb(0, 0, 0)));
  drawText(label, kFontCondensedBold, 13, on ? "2026-12-07 14-05-09 042.AVI" : "STOPPED", 70, 13,
           solid(on ? rgb(255, 0, 0) : rgb(192, 192, 192)));
  Picture lp = flattenOver(label, s.pic, ox + 4, by + 6);
  s.cell(lp, 1, 1, 0, 0, ox + 4, by + 6, 140, 17, kLime);
  const struct {
    const char* n;
    int x, y, rows;
    Rgb key;
    bool idleDisabled, recordingDisabled;
  } buttons[] = {{"SettingsButton", 4, 30, 1, kWhite, false, true},
                 {"CameraButton", 40, 30, 1, kWhite, false, true},
                 {"AudioButton", 76, 30, 2, kLime, false, true},
                 {"VideosButton", 112, 30, 1, kWhite, false, false},
                 {"StartButton", 4, 66, 2, kLime, false, true},
                 {"StopButton", 40, 66, 1, kWhite, false, false},
                 {"SkinnedButton3", 76, 66, 1, kWhite, true, true},
                 {"PlaybackButton", 112, 66, 1, kWhite, true, true}};
  for (const auto& b : buttons) {
    const Picture& strip = a(b.n);
    const int cols = strip.width / 32;
    const bool disabled = on ? b.recordingDisabled : b.idleDisabled;
    s.cell(strip, cols, b.rows, disabled ? cols - 1 : col, b.rows == 2 && on ? 1 : 0, ox + b.x,
           by + b.y, 32, 32, b.key);
  }
}

void scaleAndWrite(const Picture& p, int k, const std::filesystem::path& path) {
  Picture big;
  big.width = p.width * k;
  big.height = p.height * k;
  big.bgr.resize(size_t(big.width) * big.height * 3);
  for (int y = 0; y < big.height; ++y)
    for (int x = 0; x < big.width; ++x) big.set(x, y, p.get(x / k, y / k));
  writeBmp(big, path.string());
}

}  // namespace

void writePreviews(const std::map<std::string, Picture>& art, const std::filesystem::path& folder) {
  using namespace theme;
  Sheet main(4 * 168 + 20, 388, rgb(70, 90, 110));
  for (int i = 0; i < 4; ++i) mainWindow(main, art, 20 + i * 168, 20, i == 3 ? 0 : i, i == 3);
  writeBmp(main.pic, (folder / "preview-main.bmp").string());
  scaleAndWrite(main.pic, 2, folder / "preview-main-2x.bmp");

  Sheet dialogs(560, 300, rgb(70, 90, 110));
  dialogs.cell(art.at("SettingsForm.MainPanel.ArtworkSet"), 1, 1, 0, 0, 20, 20, 112, 128, kWhite);
  int x = 4;
  for (const char* n : {"AudioButton", "SkinnedButton1", "SkinnedButton2"}) {
    dialogs.cell(art.at(std::string("SettingsForm.") + n + ".ArtworkSet"), 3, 1, 0, 0, 20 + x, 56,
                 32, 32, kWhite);
    x += 36;
  }
  dialogs.cell(art.at("SettingsForm.SkinnedButton3.ArtworkSet"), 3, 1, 1, 0, 24, 92, 104, 32,
               kWhite);
  dialogs.cell(art.at("AboutForm.MainPanel.ArtworkSet"), 1, 1, 0, 0, 180, 20, 344, 224, kWhite);
  dialogs.cell(art.at("AboutForm.SkinnedButton1.ArtworkSet"), 3, 1, 1, 0, 229, 185, 246, 21, kLime);
  writeBmp(dialogs.pic, (folder / "preview-dialogs.bmp").string());
  scaleAndWrite(dialogs.pic, 2, folder / "preview-dialogs-2x.bmp");
}

}  // namespace artgen
