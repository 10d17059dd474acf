// The design table (ui/behaviour/design.h) under the Win32 window's names, and twips in pixels.
#pragma once

#include "ui/behaviour/design.h"

namespace tokiren::ui::win32 {

using Id = behaviour::ControlId;
using Kind = behaviour::ControlKind;
using Font = behaviour::ControlFont;
using behaviour::ControlDesign;
using behaviour::DesignOf;
using behaviour::IsContainer;
using behaviour::kClientHeightTwips;
using behaviour::kClientWidthTwips;
using behaviour::kDesign;
using behaviour::kOptionsTopTwips;
using behaviour::kPanelTopTwips;
using behaviour::kTwipsPerInch;

// `twips` in pixels at `dpi` dots per inch, rounded to the nearest, half away from zero (so a
// small negative place stays as far from 0 as a positive one).
inline int Pixels(int twips, int dpi) {
  const long long scaled = static_cast<long long>(twips) * dpi;
  return static_cast<int>(scaled >= 0 ? (scaled + kTwipsPerInch / 2) / kTwipsPerInch
                                      : -((-scaled + kTwipsPerInch / 2) / kTwipsPerInch));
}

}  // namespace tokiren::ui::win32
