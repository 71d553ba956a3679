// The rendered artwork against what the window layouts need of it: sizes, where the outline's
// key colour may appear, and edges that carry no trace of the key.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <queue>
#include <string>
#include <vector>

#include "Artwork.h"
#include "Theme.h"

namespace artgen {
namespace {

struct Expect {
  enum Key { Lime, White, Opaque };
  int width, height, cols, rows;
  Key key;
};

// Sizes are the control's size times its grid (the layouts' tables); the key is the
// transparent colour the layout gives the control, or Opaque for pieces that are not cut.
const std::map<std::string, Expect> kExpected = {
    {"MainForm.TopPanel", {148, 78, 1, 1, Expect::Lime}},
    {"MainForm.ProgramLogo", {153, 34, 3, 1, Expect::Opaque}},
    {"MainForm.InfoButton", {96, 24, 3, 1, Expect::White}},
    {"MainForm.CompactButton", {96, 24, 3, 1, Expect::White}},
    {"MainForm.FullScreenButton", {96, 24, 3, 1, Expect::White}},
    {"MainForm.CloseButton", {96, 24, 3, 1, Expect::White}},
    {"MainForm.VidCapFrameTopLeft", {8, 8, 1, 1, Expect::Opaque}},
    {"MainForm.VidCapFrameTopRight", {8, 8, 1, 1, Expect::Opaque}},
    {"MainForm.VidCapFrameBottomLeft", {8, 8, 1, 1, Expect::Opaque}},
    {"MainForm.VidCapFrameBottomRight", {8, 8, 1, 1, Expect::Opaque}},
    {"MainForm.VidCapFrameTop", {132, 8, 1, 1, Expect::Opaque}},
    {"MainForm.VidCapFrameBottom", {132, 8, 1, 1, Expect::Opaque}},
    {"MainForm.VidCapFrameLeft", {8, 128, 1, 1, Expect::Opaque}},
    {"MainForm.VidCapFrameRight", {8, 128, 1, 1, Expect::Opaque}},
    {"MainForm.VidCapPanel", {132, 128, 1, 1, Expect::Opaque}},
    {"MainForm.BottomPanel", {148, 122, 1, 1, Expect::Lime}},
    {"MainForm.InfoPanel", {140, 24, 1, 1, Expect::Lime}},
    {"MainForm.SettingsButton", {128, 32, 4, 1, Expect::White}},
    {"MainForm.CameraButton", {128, 32, 4, 1, Expect::White}},
    {"MainForm.VideosButton", {96, 32, 3, 1, Expect::White}},
    {"MainForm.PlaybackButton", {128, 32, 4, 1, Expect::White}},
    {"MainForm.SkinnedButton3", {128, 32, 4, 1, Expect::White}},
    {"MainForm.StopButton", {128, 32, 4, 1, Expect::White}},
    {"MainForm.AudioButton", {128, 64, 4, 2, Expect::Lime}},
    {"MainForm.StartButton", {128, 64, 4, 2, Expect::Lime}},
    {"SettingsForm.MainPanel", {112, 128, 1, 1, Expect::White}},
    {"SettingsForm.AudioButton", {96, 32, 3, 1, Expect::White}},
    {"SettingsForm.SkinnedButton1", {96, 32, 3, 1, Expect::White}},
    {"SettingsForm.SkinnedButton2", {96, 32, 3, 1, Expect::White}},
    {"SettingsForm.SkinnedButton3", {312, 32, 3, 1, Expect::White}},
    {"AboutForm.MainPanel", {344, 224, 1, 1, Expect::White}},
    {"AboutForm.SkinnedButton1", {738, 21, 3, 1, Expect::Opaque}},
};

std::map<std::string, Picture> renderAll() {
  std::map<std::string, Picture> all;
  for (auto* make : {mainWindowArtwork, settingsWindowArtwork, aboutWindowArtwork})
    for (auto& a : make()) all[a.name] = std::move(a.picture);
  return all;
}

const std::map<std::string, Picture>& artwork() {
  static const std::map<std::string, Picture> all = renderAll();
  return all;
}

bool isColour(const Picture& p, int x, int y, int r, int g, int b) {
  const uint8_t* px = &p.bgr[(size_t(y) * p.width + x) * 3];
  return px[2] == r && px[1] == g && px[0] == b;
}

bool isKey(const Picture& p, int x, int y, Expect::Key key) {
  if (key == Expect::Lime) return isColour(p, x, y, 0, 255, 0);
  if (key == Expect::White) return isColour(p, x, y, 255, 255, 255);
  return isColour(p, x, y, 0, 255, 0) || isColour(p, x, y, 255, 255, 255);
}

TEST(Artwork, EveryPieceTheLayoutsNameIsThereAtItsSize) {
  EXPECT_EQ(artwork().size(), kExpected.size());
  for (const auto& [name, e] : kExpected) {
    auto it = artwork().find(name + ".ArtworkSet");
    ASSERT_NE(it, artwork().end()) << name;
    EXPECT_EQ(it->second.width, e.width) << name;
    EXPECT_EQ(it->second.height, e.height) << name;
  }
}

// The key colour may only stand where the outline is cut away: in each cell every key pixel
// reaches the cell's border through key pixels (no key-coloured hole inside the picture), and
// pieces that are not cut carry none at all.
TEST(Artwork, KeyColourOnlyWhereTheOutlineIsCutAway) {
  for (const auto& [name, e] : kExpected) {
    const Picture& p = artwork().at(name + ".ArtworkSet");
    const int cw = e.width / e.cols, ch = e.height / e.rows;
    for (int row = 0; row < e.rows; ++row)
      for (int col = 0; col < e.cols; ++col) {
        const int x0 = col * cw, y0 = row * ch;
        std::vector<char> reached(size_t(cw) * ch, 0);
        std::queue<std::pair<int, int>> todo;
        int keys = 0;
        for (int y = 0; y < ch; ++y)
          for (int x = 0; x < cw; ++x) {
            if (!isKey(p, x0 + x, y0 + y, e.key)) continue;
            ++keys;
            if (x == 0 || y == 0 || x == cw - 1 || y == ch - 1) {
              reached[size_t(y) * cw + x] = 1;
              todo.push({x, y});
            }
          }
        if (e.key == Expect::Opaque) {
          EXPECT_EQ(keys, 0) << name << " cell " << col << "," << row;
          continue;
        }
        int found = int(todo.size());
        while (!todo.empty()) {
          auto [x, y] = todo.front();
          todo.pop();
          const int d[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
          for (auto& s : d) {
            int nx = x + s[0], ny = y + s[1];
            if (nx < 0 || ny < 0 || nx >= cw || ny >= ch || reached[size_t(ny) * cw + nx]) continue;
            if (!isKey(p, x0 + nx, y0 + ny, e.key)) continue;
            reached[size_t(ny) * cw + nx] = 1;
            todo.push({nx, ny});
            ++found;
          }
        }
        EXPECT_EQ(found, keys) << name << " cell " << col << "," << row
                               << ": key-coloured pixels inside the picture";
        EXPECT_GT(keys, 0) << name << ": a cut piece should cut something";
      }
  }
}

// With automatic transparency the framework takes the bottom-left pixel as the transparent
// colour: it has to be the key itself.
TEST(Artwork, AutomaticTransparencyFindsTheKeyInTheBottomLeftPixel) {
  for (const auto& [name, e] : kExpected) {
    if (e.key != Expect::White) continue;
    const Picture& p = artwork().at(name + ".ArtworkSet");
    EXPECT_TRUE(isColour(p, 0, p.height - 1, 255, 255, 255)) << name;
  }
}

// Edges are smoothed against what lies beneath, never against the key: a pixel next to a cut
// away one is nowhere near the key colour (a green or white fringe would show on the desktop).
TEST(Artwork, EdgesNextToTheCutAwayCarryNoFringe) {
  for (const auto& [name, e] : kExpected) {
    if (e.key == Expect::Opaque) continue;
    const Picture& p = artwork().at(name + ".ArtworkSet");
    for (int y = 0; y < p.height; ++y)
      for (int x = 0; x < p.width; ++x) {
        if (isKey(p, x, y, e.key)) continue;
        bool besideKey = (x > 0 && isKey(p, x - 1, y, e.key)) ||
                         (x + 1 < p.width && isKey(p, x + 1, y, e.key)) ||
                         (y > 0 && isKey(p, x, y - 1, e.key)) ||
                         (y + 1 < p.height && isKey(p, x, y + 1, e.key));
        if (!besideKey) continue;
        Rgb c = p.get(x, y);
        Rgb k = e.key == Expect::Lime ? theme::kLime : theme::kWhite;
        float distance = std::hypot(c.r - k.r, c.g - k.g, c.b - k.b);
        ASSERT_GT(distance, 0.5f) << name << " at " << x << "," << y;
      }
  }
}

// A switch's on row differs from its off row, and each state column differs from the others,
// so hover, press and switching are visible.
TEST(Artwork, StatesLookDifferent) {
  for (const auto& [name, e] : kExpected) {
    if (e.cols != 3) continue;
    const Picture& p = artwork().at(name + ".ArtworkSet");
    const int cw = e.width / 3, ch = e.height / e.rows;
    auto differing = [&](int c1, int r1, int c2, int r2) {
      int n = 0;
      for (int y = 0; y < ch; ++y)
        for (int x = 0; x < cw; ++x) {
          Rgb a = p.get(c1 * cw + x, r1 * ch + y), b = p.get(c2 * cw + x, r2 * ch + y);
          if (std::fabs(a.r - b.r) + std::fabs(a.g - b.g) + std::fabs(a.b - b.b) > 0.05f) ++n;
        }
      return n;
    };
    EXPECT_GT(differing(0, 0, 1, 0), 20) << name << ": hover";
    EXPECT_GT(differing(0, 0, 2, 0), 20) << name << ": pressed";
    if (e.rows == 2) {
      EXPECT_GT(differing(0, 0, 0, 1), 20) << name << ": on row";
    }
  }
}

float luminance(Rgb c) { return 0.30f * c.r + 0.59f * c.g + 0.11f * c.b; }

// The disabled column: the outline is the normal cell's to the pixel (the window's shape never
// depends on the state shown); the icon stays legible on its face but clearly dimmer than
// the normal icon, without the normal cell's lit rim; and a disabled switch that is on keeps
// its lamp's colour, so a locked Start still reads as recording.
TEST(Artwork, DisabledCellsKeepTheOutlineAndReadUnavailable) {
  int withDisabledColumn = 0;
  for (const auto& [name, e] : kExpected) {
    if (e.cols != 4) continue;
    ++withDisabledColumn;
    const Picture& p = artwork().at(name + ".ArtworkSet");
    const int cw = e.width / 4, ch = e.height / e.rows;
    for (int row = 0; row < e.rows; ++row) {
      SCOPED_TRACE(name + " row " + std::to_string(row));
      auto normal = [&](int x, int y) { return p.get(x, row * ch + y); };
      auto disabled = [&](int x, int y) { return p.get(3 * cw + x, row * ch + y); };
      int outlineDiffers = 0;
      for (int y = 0; y < ch; ++y)
        for (int x = 0; x < cw; ++x)
          outlineDiffers += isKey(p, x, row * ch + y, e.key) != isKey(p, 3 * cw + x, row * ch + y, e.key);
      EXPECT_EQ(outlineDiffers, 0);

      // The face is what the inner part of the cell mostly is; the icon what stands out of it.
      auto faceOf = [&](auto cell) {
        std::vector<float> l;
        for (int y = 4; y < ch - 4; ++y)
          for (int x = 4; x < cw - 4; ++x) l.push_back(luminance(cell(x, y)));
        std::nth_element(l.begin(), l.begin() + l.size() / 4, l.end());
        return l[l.size() / 4];
      };
      const float normalFace = faceOf(normal), disabledFace = faceOf(disabled);
      float normalIcon = 0, disabledIcon = 0;
      int iconPixels = 0;
      for (int y = 4; y < ch - 4; ++y)
        for (int x = 4; x < cw - 4; ++x)
          if (luminance(normal(x, y)) > normalFace + 0.15f) {
            normalIcon += luminance(normal(x, y));
            disabledIcon += luminance(disabled(x, y));
            ++iconPixels;
          }
      ASSERT_GT(iconPixels, 15);
      normalIcon /= iconPixels, disabledIcon /= iconPixels;
      // Grey ink loses most of its contrast; a lamp (the on row of a switch) keeps more.
      const bool lampRow = e.rows == 2 && row == 1;
      EXPECT_LT(disabledIcon, 0.85f * normalIcon) << "dimmed";
      if (!lampRow) {
        EXPECT_LT(disabledIcon - disabledFace, 0.7f * (normalIcon - normalFace)) << "greyed";
      }
      EXPECT_GT(disabledIcon - disabledFace, 0.12f) << "still legible";
      // No lit rim along the top of the face.
      float normalRim = 0, disabledRim = 0;
      for (int x = 8; x < cw - 8; ++x) {
        normalRim += luminance(normal(x, 2)) - luminance(normal(x, 4));
        disabledRim += luminance(disabled(x, 2)) - luminance(disabled(x, 4));
      }
      EXPECT_GT(normalRim, 0.5f);
      EXPECT_LT(disabledRim, 0.25f * normalRim);

      if (lampRow) {
        auto lampPixels = [&](auto cell) {
          int n = 0;
          for (int y = 0; y < ch; ++y)
            for (int x = 0; x < cw; ++x) {
              Rgb c = cell(x, y);
              if (c.r == 0 && c.g == 1 && c.b == 0) continue;  // the key
              n += std::max({c.r, c.g, c.b}) - std::min({c.r, c.g, c.b}) > 0.25f;
            }
          return n;
        };
        EXPECT_GT(lampPixels(disabled), lampPixels(normal) / 2) << "the lamp's colour is kept";
      }
    }
  }
  EXPECT_EQ(withDisabledColumn, 7) << "Start, Stop, Camera, Settings, Audio, Playback, pause";
}

}  // namespace
}  // namespace artgen
