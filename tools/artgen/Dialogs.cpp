// The settings and about windows.
#include "Artwork.h"
#include "Theme.h"

namespace artgen {

using namespace theme;

namespace {

Icon textIcon(std::string text) {
  return [text](Canvas& c, float cx, float cy, const Paint& ink, bool) {
    drawText(c, kFontCondensedBold, 12, text, cx, cy + 4.5f, ink, 2.5f);
  };
}

void grip(Canvas& c, float cx, float y) {
  for (int i = 0; i < 3; ++i)
    c.fill(roundRect(cx - 9, y + i * 3.5f, cx + 9, y + 1.2f + i * 3.5f, 0.6f), solid(kPanelEdge),
           0.7f);
}

}  // namespace

std::vector<Artwork> settingsWindowArtwork() {
  Canvas c = panelBody(112, 128, 12, 12, 12, 12);
  drawText(c, kFontCondensedBold, 11, "SETTINGS", 56, 23, solid(kText), 2.5f);
  c.fill(roundRect(46, 27, 66, 28.4f, 0.7f), solid(kAccent), 0.9f);
  tray(c, 2, 34, 110, 106, 6);
  grip(c, 56, 112);
  Picture panel = flatten(c, kWhite);

  std::vector<Artwork> out;
  out.push_back({"SettingsForm.MainPanel.ArtworkSet", panel});
  out.push_back({"SettingsForm.AudioButton.ArtworkSet",
                 buttonStrip(32, 32, icons::film, kWhite, panel, 4, 36)});
  out.push_back({"SettingsForm.SkinnedButton1.ArtworkSet",
                 buttonStrip(32, 32, icons::sliders, kWhite, panel, 40, 36)});
  out.push_back({"SettingsForm.SkinnedButton2.ArtworkSet",
                 buttonStrip(32, 32, icons::compress, kWhite, panel, 76, 36)});
  out.push_back({"SettingsForm.SkinnedButton3.ArtworkSet",
                 buttonStrip(104, 32, textIcon("CLOSE"), kWhite, panel, 4, 72)});
  return out;
}

std::vector<Artwork> aboutWindowArtwork() {
  const int w = 344, h = 224;
  Canvas c = panelBody(w, h, 16, 16, 16, 16);
  drawLens(c, 78, 82, 44);
  drawTextLeft(c, kFontBold, 38, "lumo", 142, 80, solid(rgb(240, 243, 247)), -0.8f);
  drawTextLeft(c, kFontCondensedBold, 15, "FREE", 146, 104, solid(kAccent), 3.5f);
  drawTextLeft(c, kFont, 11, "Version 1.0", 212, 104, solid(kTextDim));
  drawTextLeft(c, kFont, 11, "A compact webcam recorder", 142, 128, solid(kText));
  drawTextLeft(c, kFont, 11, "for the Linux desktop.", 142, 143, solid(kText));
  c.fill(rect(24, 156, w - 24.0f, 157), solid(kPanelEdge), 0.8f);
  c.fill(rect(24, 157, w - 24.0f, 158), solid(kPanelHighlight), 0.35f);
  drawText(c, kFont, 9.5f, "Click anywhere to close", w / 2.0f, 206, solid(kTextDim));
  Picture panel = flatten(c, kWhite);

  // The web address: a link that lights up as a pill under the pointer.
  const int bw = 246, bh = 21, bx = 49, by = 165;
  Picture link;
  link.width = bw * 3;
  link.height = bh;
  link.bgr.assign(size_t(link.width) * bh * 3, 0);
  for (int col = 0; col < 3; ++col) {
    State s = kStates[col];
    Canvas b(bw, bh);
    if (s != State::Normal)
      b.fill(roundRect(0.5f, 0.5f, bw - 0.5f, bh - 0.5f, 10),
             solid(s == State::Hover ? rgb(60, 78, 100) : rgb(30, 40, 54)));
    Rgb ink = s == State::Hover ? rgb(250, 251, 252) : kAccent;
    float dy = s == State::Pressed ? 1 : 0;
    drawText(b, kFontBold, 11, "Open the Lumo free guide", bw / 2.0f, 15 + dy, solid(ink));
    link.paste(flattenOver(b, panel, bx, by), col * bw, 0);
  }
  return {{"AboutForm.MainPanel.ArtworkSet", panel}, {"AboutForm.SkinnedButton1.ArtworkSet", link}};
}

}  // namespace artgen
