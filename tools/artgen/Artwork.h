// The pieces the windows' artwork is assembled from.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "Canvas.h"
#include "Shapes.h"
#include "Text.h"

namespace artgen {

// The looks of a control: the three interactive ones in the order of the artwork's columns,
// and the look of a control the program has disabled (a last column, where there is one).
enum class State { Normal, Hover, Pressed, Disabled };
inline constexpr State kStates[] = {State::Normal, State::Hover, State::Pressed};

// An icon drawn into a button of the given size; `on` is the switched-on row of a switch.
using Icon = std::function<void(Canvas& c, float cx, float cy, const Paint& ink, bool on)>;

// A button cell: rounded face with the icon, edges smoothed against the backdrop below. Every
// state has the same outline, so the control's shape never depends on the cell shown.
Canvas buttonCell(int w, int h, State state, const Icon& icon, bool on = false,
                  Rgb lamp = rgb(74, 176, 255));

// How a strip is laid out: a switch has an off row above an on row (the on row's bar in the
// lamp colour); a control the program disables has a fourth, disabled column.
struct StripLayout {
  bool isSwitch = false;
  bool disabledColumn = false;
  Rgb lamp = rgb(74, 176, 255);
};
// A whole strip of state columns, one cell per column and row.
Picture buttonStrip(int w, int h, const Icon& icon, Rgb key, const Picture& backdrop, int atX,
                    int atY, const StripLayout& layout = {});
// A panel body: rounded corners as given, gradient face, a thin light line along the top.
Canvas panelBody(int w, int h, float tl, float tr, float br, float bl);

// A darker tray behind a row of buttons.
void tray(Canvas& c, float x0, float y0, float x1, float y1, float r);

// Text drawn centred on (cx, baselineY).
void drawText(Canvas& c, const std::string& family, float size, const std::string& text, float cx,
              float baselineY, const Paint& ink, float tracking = 0, float opacity = 1.0f);
void drawTextLeft(Canvas& c, const std::string& family, float size, const std::string& text,
                  float x, float baselineY, const Paint& ink, float tracking = 0);

// The camera-lens emblem of the product.
void drawLens(Canvas& c, float cx, float cy, float r);

namespace icons {
void info(Canvas&, float, float, const Paint&, bool);
void compact(Canvas&, float, float, const Paint&, bool);
void fullScreen(Canvas&, float, float, const Paint&, bool);
void close(Canvas&, float, float, const Paint&, bool);
void gear(Canvas&, float, float, const Paint&, bool);
void camera(Canvas&, float, float, const Paint&, bool);
void folder(Canvas&, float, float, const Paint&, bool);
void play(Canvas&, float, float, const Paint&, bool);
void pause(Canvas&, float, float, const Paint&, bool);
void stop(Canvas&, float, float, const Paint&, bool);
void speaker(Canvas&, float, float, const Paint&, bool);
void record(Canvas&, float, float, const Paint&, bool);
void film(Canvas&, float, float, const Paint&, bool);
void sliders(Canvas&, float, float, const Paint&, bool);
void compress(Canvas&, float, float, const Paint&, bool);
}  // namespace icons

// One finished artwork file: its resource name and picture.
struct Artwork {
  std::string name;
  Picture picture;
};

std::vector<Artwork> mainWindowArtwork();
std::vector<Artwork> settingsWindowArtwork();
std::vector<Artwork> aboutWindowArtwork();

}  // namespace artgen
