#include "ui/behaviour/design.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

namespace tokiren::behaviour {

// How a failed case shows a place.
void PrintTo(const PixelPlace& place, std::ostream* out) {
  *out << '(' << place.left << ", " << place.top << ", " << place.width << " x " << place.height
       << ')';
}

namespace {

const ControlDesign* Find(const std::vector<ControlDesign>& designs, ControlId id) {
  const auto found = std::find_if(designs.begin(), designs.end(),
                                  [id](const ControlDesign& design) { return design.id == id; });
  return found == designs.end() ? nullptr : &*found;
}

TEST(DesignTest, TakenIsMadeOnlyWhereTheWindowOffersIt) {
  const std::vector<ControlDesign> with = DesignFor(true), without = DesignFor(false);
  EXPECT_EQ(with.size(), kDesign.size());
  EXPECT_EQ(without.size(), kDesign.size() - 1);
  EXPECT_EQ(Find(without, ControlId::Option3), nullptr);
  const ControlDesign* taken = Find(with, ControlId::Option3);
  ASSERT_NE(taken, nullptr);
  EXPECT_STREQ(taken->caption, "Taken");
  EXPECT_STREQ(taken->tip, "写真や動画が撮影された日時を使います。");
  EXPECT_EQ(taken->container, ControlId::Frame1);
}

// The time sources stand on the rows of the check boxes beside them: "LastWrite" on the first,
// "Creation" and "Taken" on the second; without Taken the frame ends before Taken's column.
TEST(DesignTest, TheTimeSourcesStandOnTheRowsOfTheCheckBoxes) {
  for (const bool taken : {true, false}) {
    SCOPED_TRACE(taken);
    const std::vector<ControlDesign> designs = DesignFor(taken);
    const ControlDesign& frame = *Find(designs, ControlId::Frame1);
    const ControlDesign& lastWrite = *Find(designs, ControlId::Option1);
    EXPECT_EQ(frame.top + lastWrite.top, DesignOf(ControlId::Check1).top);
    EXPECT_EQ(frame.top + Find(designs, ControlId::Option2)->top,
              DesignOf(ControlId::CheckSep).top);
    EXPECT_EQ(Find(designs, ControlId::Option2)->left, lastWrite.left);
    EXPECT_LE(frame.top + frame.height, DesignOf(ControlId::FrameOptions).height);
    EXPECT_LE(lastWrite.left + lastWrite.width, frame.width);
    const ControlDesign& creation = *Find(designs, ControlId::Option2);
    const ControlDesign& takenDesign = DesignOf(ControlId::Option3);
    EXPECT_EQ(takenDesign.top, creation.top);
    EXPECT_GT(takenDesign.left, creation.left + creation.width);
    if (taken) {
      EXPECT_LE(takenDesign.left + takenDesign.width, frame.width);
    } else {
      EXPECT_LT(frame.width, takenDesign.left + takenDesign.width);
    }
  }
}

// The options panel's columns keep clear of each other and of the panel's edges.
TEST(DesignTest, TheOptionsPanelsControlsKeepClearOfEachOther) {
  const ControlDesign& panel = DesignOf(ControlId::FrameOptions);
  std::vector<ControlDesign> children;
  for (const ControlDesign& design : DesignFor(true)) {
    if (design.container == ControlId::FrameOptions) children.push_back(design);
  }
  ASSERT_EQ(children.size(), 7u);
  for (std::size_t i = 0; i < children.size(); ++i) {
    const ControlDesign& a = children[i];
    SCOPED_TRACE(static_cast<int>(a.id));
    EXPECT_GT(a.left, 0);
    EXPECT_GT(a.top, 0);
    EXPECT_LT(a.left + a.width, panel.width);
    EXPECT_LT(a.top + a.height, panel.height);
    for (std::size_t j = i + 1; j < children.size(); ++j) {
      const ControlDesign& b = children[j];
      const bool apart = a.left + a.width <= b.left || b.left + b.width <= a.left ||
                         a.top + a.height <= b.top || b.top + b.height <= a.top;
      EXPECT_TRUE(apart) << static_cast<int>(b.id);
    }
  }
}

TEST(DesignTest, EveryFocusableControlHasATabIndexOfItsOwn) {
  std::vector<int> tabs;
  for (const ControlDesign& design : kDesign) {
    if (TakesFocus(design.kind)) tabs.push_back(design.tab);
  }
  std::sort(tabs.begin(), tabs.end());
  EXPECT_EQ(std::adjacent_find(tabs.begin(), tabs.end()), tabs.end());
}

TEST(FitTimeSourcesTest, GrowsMovesAndCutsAsTheCaptionsNeed) {
  using P = PixelPlace;
  const struct {
    const char* name;
    P frame;
    std::vector<P> buttons;
    std::vector<int> wanted;
    P fittedFrame;
    std::vector<P> fitted;
  } cases[] = {
      {"captions that fit keep their places, a button ending a gap before the next in its row",
       {28, 11, 159, 41}, {{6, 3, 79, 17}, {84, 3, 71, 17}, {6, 21, 79, 17}}, {70, 60, 50},
       {28, 11, 159, 41}, {{6, 3, 74, 17}, {84, 3, 71, 17}, {6, 21, 79, 17}}},
      {"a wider caption pushes the next in its row right, and the frame grows",
       {28, 11, 159, 41}, {{6, 3, 79, 17}, {84, 3, 71, 17}, {6, 21, 79, 17}}, {90, 75, 50},
       {28, 11, 179, 41}, {{6, 3, 90, 17}, {100, 3, 75, 17}, {6, 21, 79, 17}}},
      {"a button on another row does not push",
       {28, 11, 159, 41}, {{6, 3, 79, 17}, {84, 3, 71, 17}, {6, 21, 79, 17}}, {70, 60, 120},
       {28, 11, 159, 41}, {{6, 3, 74, 17}, {84, 3, 71, 17}, {6, 21, 120, 17}}},
      {"the frame moves left to end at the limit",
       {28, 11, 159, 41}, {{6, 3, 79, 17}, {84, 3, 71, 17}}, {100, 90},
       {12, 11, 204, 41}, {{6, 3, 100, 17}, {110, 3, 90, 17}}},
      {"past the leftmost place the buttons are cut at the frame's margin",
       {28, 11, 159, 41}, {{6, 3, 79, 17}, {84, 3, 71, 17}}, {150, 120},
       {4, 11, 212, 41}, {{6, 3, 150, 17}, {160, 3, 48, 17}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    P frame = c.frame;
    std::vector<P> buttons = c.buttons;
    FitTimeSources(&frame, &buttons, c.wanted, /*leftmost=*/4, /*rightmost=*/216, /*gap=*/4,
                   /*margin=*/4);
    EXPECT_EQ(frame, c.fittedFrame);
    EXPECT_EQ(buttons, c.fitted);
  }
}

}  // namespace
}  // namespace tokiren::behaviour
