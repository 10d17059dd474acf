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

// With Taken, the time sources stand level with the check boxes beside them, Taken on the second
// row; without it, LastWrite and Creation keep their first places on one row.
TEST(DesignTest, TheTimeSourcesStandLevelWithTheCheckBoxes) {
  const std::vector<ControlDesign> with = DesignFor(true), without = DesignFor(false);
  const ControlDesign& frame = *Find(with, ControlId::Frame1);
  EXPECT_EQ(frame.top + Find(with, ControlId::Option1)->top, DesignOf(ControlId::Check1).top);
  EXPECT_EQ(frame.top + Find(with, ControlId::Option3)->top, DesignOf(ControlId::CheckSep).top);
  EXPECT_LE(frame.top + frame.height, DesignOf(ControlId::FrameOptions).height);
  const ControlDesign& oneRow = *Find(without, ControlId::Frame1);
  EXPECT_EQ(oneRow.top, 240);
  EXPECT_EQ(oneRow.height, 420);
  EXPECT_EQ(Find(without, ControlId::Option1)->top, Find(without, ControlId::Option2)->top);
  EXPECT_EQ(Find(without, ControlId::Option1)->top, 150);
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
