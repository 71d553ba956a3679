// The colours and measures every piece of artwork shares, so the windows read as one tool.
#pragma once
#include "Canvas.h"

namespace artgen::theme {

// Panels: dark graphite, lit slightly from above.
inline const Rgb kPanelTop = rgb(58, 63, 72);
inline const Rgb kPanelBottom = rgb(36, 39, 45);
inline const Rgb kPanelEdge = rgb(20, 22, 26);
inline const Rgb kPanelHighlight = rgb(96, 103, 115);
inline const Rgb kBezel = rgb(26, 28, 33);

// Buttons.
inline const Rgb kFaceTop = rgb(72, 78, 89);
inline const Rgb kFaceBottom = rgb(52, 56, 64);
inline const Rgb kFaceHoverTop = rgb(88, 96, 110);
inline const Rgb kFaceHoverBottom = rgb(64, 70, 80);
inline const Rgb kFacePressedTop = rgb(34, 37, 43);
inline const Rgb kFacePressedBottom = rgb(46, 50, 58);
inline const Rgb kFaceEdge = rgb(22, 24, 28);
// A disabled face lies flat and sinks toward the tray; its icon keeps its shape but loses
// most of its light. A lamp colour keeps more (KeepColour, LampSink): a disabled Start that
// is recording still shows red.
inline const Rgb kFaceDisabledTop = rgb(50, 54, 61);
inline const Rgb kFaceDisabledBottom = rgb(44, 47, 54);
inline const float kDisabledSink = 0.55f;
inline const float kDisabledKeepColour = 0.8f;
inline const float kDisabledLampSink = 0.3f;
inline const Rgb kIcon = rgb(200, 205, 213);
inline const Rgb kIconHover = rgb(246, 248, 250);
inline const Rgb kAccent = rgb(74, 176, 255);
inline const Rgb kRecord = rgb(240, 66, 56);
inline const Rgb kRecordDim = rgb(150, 70, 66);
inline const Rgb kText = rgb(214, 218, 224);
inline const Rgb kTextDim = rgb(132, 139, 150);

// Key colours: what a control's outline cuts away.
inline const Rgb kLime = rgb(0, 255, 0);
inline const Rgb kWhite = rgb(255, 255, 255);

inline const char* const kFontBold = "DejaVu Sans:bold";
inline const char* const kFont = "DejaVu Sans";
inline const char* const kFontCondensedBold = "DejaVu Sans Condensed:bold";

}  // namespace artgen::theme
