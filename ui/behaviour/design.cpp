// The design table.
#include "ui/behaviour/design.h"

#include <algorithm>
#include <cstdlib>
#include <numeric>

#include "ui/behaviour/captions.h"

namespace tokiren::behaviour {

using Id = ControlId;
using Kind = ControlKind;
using Font = ControlFont;

// clang-format off
const std::array<ControlDesign, 25> kDesign{{
  {Id::FrameOptions, Kind::kCaptionedFrame, Id::None, kOptionsCaption, 30, 4350, 6168, 795, 11, nullptr, Font::kWindow},
  {Id::Command6, Kind::kButton, Id::FrameOptions, kSetCaption, 5550, 375, 510, 285, 21, nullptr, Font::kWindow},
  {Id::CheckSep, Kind::kCheckBox, Id::FrameOptions, kSeparatorCaption, 2520, 480, 1275, 255, 17, kTipCountUp, Font::kSmall},
  {Id::Check1, Kind::kCheckBox, Id::FrameOptions, kCountUpCaption, 2520, 210, 1275, 255, 16, kTipCountUp, Font::kSmall},
  {Id::Frame1, Kind::kBorderedGroup, Id::FrameOptions, nullptr, 90, 165, 2325, 615, 12, nullptr, Font::kWindow},
  {Id::Option1, Kind::kOptionButton, Id::Frame1, kLastWriteCaption, 90, 45, 1185, 255, 15, nullptr, Font::kWindow},
  {Id::Option2, Kind::kOptionButton, Id::Frame1, kCreationCaption, 90, 315, 1185, 255, 14, nullptr, Font::kWindow},
  {Id::FrameRunning, Kind::kPanel, Id::None, nullptr, 30, 3300, 6168, 795, 1, nullptr, Font::kWindow},
  {Id::Command4, Kind::kButton, Id::FrameRunning, kKeepFolderCaption, 1329, 456, 2208, 264, 10, kTipKeepFolder, Font::kWindow},
  {Id::Command1, Kind::kButton, Id::FrameRunning, kRunCaption, 3684, 396, 1272, 372, 6, kTipRun, Font::kRun},
  {Id::Command2, Kind::kButton, Id::FrameRunning, kBackCaption, 459, 432, 720, 312, 5, kTipBack, Font::kWindow},
  {Id::Label3, Kind::kFolderLabel, Id::FrameRunning, "", 90, 90, 5988, 255, 7, kTipFolder, Font::kWindow},
  {Id::FrameStart, Kind::kPanel, Id::None, nullptr, 30, 2130, 6168, 795, 2, nullptr, Font::kWindow},
  {Id::Command5, Kind::kButton, Id::FrameStart, kResetCaption, 3780, 450, 1455, 285, 23, kTipReset, Font::kWindow},
  {Id::Command8, Kind::kButton, Id::FrameStart, kOptionsCaption, 2400, 450, 1035, 285, 22, kTipOptions, Font::kWindow},
  {Id::List1, Kind::kCheckList, Id::FrameStart, nullptr, 108, 36, 1272, 690, 9, kTipList, Font::kSmall},
  {Id::Command3, Kind::kButton, Id::FrameStart, kAddCaption, 1410, 36, 804, 264, 8, kTipAdd, Font::kWindow},
  {Id::Command7, Kind::kButton, Id::FrameStart, kSelectFolderCaption, 2400, 60, 2835, 336, 4, kTipSelectFolder, Font::kWindow},
  {Id::Text1, Kind::kTextBox, Id::FrameStart, "", 1415, 336, 795, 264, 3, kTipNewExtension, Font::kSmall},
  {Id::Label2, Kind::kNotice, Id::None, kNotice, 750, 810, 4140, 180, 0, nullptr, Font::kSmall},
  {Id::Command9, Kind::kButton, Id::FrameRunning, kPreviewCaption, 5103, 432, 975, 312, 24, kTipPreview, Font::kWindow},
  {Id::Option3, Kind::kOptionButton, Id::Frame1, kTakenCaption, 1320, 315, 840, 255, 13, kTipTaken, Font::kWindow},
  {Id::Check2, Kind::kCheckBox, Id::FrameOptions, kCompanionsCaption, 3810, 210, 1440, 255, 18, kTipCompanions, Font::kSmall},
  {Id::Label4, Kind::kCaption, Id::FrameOptions, kShiftCaption, 3810, 480, 390, 255, 19, kTipShift, Font::kSmall},
  {Id::Text2, Kind::kTextBox, Id::FrameOptions, "", 4230, 465, 1230, 285, 20, kTipShift, Font::kSmall},
}};

// Without "Taken", its column is left out of the time sources' frame.
struct Place {
  ControlId id;
  int left, top, width, height;
};
constexpr Place kWithoutTaken[] = {
  {Id::Frame1, 90, 165, 1365, 615},
};
// clang-format on

const ControlDesign& DesignOf(ControlId id) {
  for (const ControlDesign& design : kDesign) {
    if (design.id == id) return design;
  }
  std::abort();  // every id is in the table
}

std::vector<ControlDesign> DesignFor(bool offersTaken) {
  std::vector<ControlDesign> designs;
  for (const ControlDesign& design : kDesign) {
    if (design.id == Id::Option3 && !offersTaken) continue;
    designs.push_back(design);
    if (offersTaken) continue;
    for (const Place& place : kWithoutTaken) {
      if (place.id != design.id) continue;
      ControlDesign& placed = designs.back();
      placed.left = place.left;
      placed.top = place.top;
      placed.width = place.width;
      placed.height = place.height;
    }
  }
  return designs;
}

void FitTimeSources(PixelPlace* frame, std::vector<PixelPlace>* buttons,
                    const std::vector<int>& wanted, int leftmost, int rightmost, int gap,
                    int margin) {
  std::vector<PixelPlace>& placed = *buttons;
  // Row by row, left to right.
  std::vector<std::size_t> order(placed.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(), [&placed](std::size_t a, std::size_t b) {
    return placed[a].top != placed[b].top ? placed[a].top < placed[b].top
                                          : placed[a].left < placed[b].left;
  });
  for (std::size_t i = 0; i < order.size(); ++i) {
    PixelPlace& button = placed[order[i]];
    if (i > 0 && placed[order[i - 1]].top == button.top) {
      // Clear of the caption before it, whose button then ends `gap` before this one.
      PixelPlace& before = placed[order[i - 1]];
      button.left = std::max(button.left, before.left + wanted[order[i - 1]] + gap);
      before.width = std::min(before.width, button.left - gap - before.left);
    }
    button.width = std::max(button.width, wanted[order[i]]);
  }
  int end = 0;
  for (const PixelPlace& button : placed) end = std::max(end, button.right());
  frame->width = std::max(frame->width, end + margin);
  if (frame->right() > rightmost) frame->left = std::max(leftmost, rightmost - frame->width);
  if (frame->right() > rightmost) {
    frame->width = rightmost - frame->left;
    for (PixelPlace& button : placed) {
      button.width = std::max(0, std::min(button.right(), frame->width - margin) - button.left);
    }
  }
}

bool IsContainer(ControlKind kind) {
  return kind == Kind::kCaptionedFrame || kind == Kind::kPanel || kind == Kind::kBorderedGroup;
}

bool TakesFocus(ControlKind kind) {
  switch (kind) {
    case Kind::kButton:
    case Kind::kCheckBox:
    case Kind::kOptionButton:
    case Kind::kCheckList:
    case Kind::kTextBox:
      return true;
    case Kind::kCaptionedFrame:
    case Kind::kPanel:
    case Kind::kBorderedGroup:
    case Kind::kFolderLabel:
    case Kind::kNotice:
    case Kind::kCaption:
      return false;
  }
  return false;
}

}  // namespace tokiren::behaviour
