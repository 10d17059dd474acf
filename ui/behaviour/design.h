// The window's controls as designed, for every toolkit: kind, container, caption, place in twips,
// tab index, tool tip and font. Each window makes and places its controls from this table, and fits
// the captions to the font it found by the rules here.
#pragma once

#include <array>
#include <vector>

namespace tokiren::behaviour {

// The controls by their design names; the Win32 window uses these numbers as its control ids.
enum class ControlId : int {
  None = 0,
  FrameOptions = 100,
  Command6,  // set
  CheckSep,  // separater
  Check1,    // Same > +1
  Frame1,
  Option1,  // LastWrite
  Option2,  // Creation
  FrameRunning,
  Command4,  // Keep Folder Name
  Command1,  // RUN
  Command2,  // <<
  Label3,    // the chosen folder
  FrameStart,
  Command5,  // Reset
  Command8,  // Options
  List1,
  Command3,  // <<<
  Command7,  // Drag/Push to Select Folder
  Text1,
  Label2,    // the notice
  Command9,  // Preview
  Option3,   // Taken: only where the window offers it (Window::OffersTaken)
  Check2,    // Companions
  Label4,    // Shift, naming Text2
  Text2,     // the camera clock's offset
};

enum class ControlKind {
  kCaptionedFrame,  // a panel with a border and a caption
  kPanel,           // a panel without a border
  kBorderedGroup,   // a group with a border and no caption
  kButton,
  kCheckBox,
  kOptionButton,
  kFolderLabel,  // light grey, single border, centred
  kCheckList,    // light grey, a check box on each entry
  kTextBox,      // light grey
  kNotice,       // centred
  kCaption,      // a label naming the control beside it: left-aligned, centred up and down
};

enum class ControlFont {
  kWindow,  // the window's: "ＭＳ Ｐゴシック" 9.75 pt
  kSmall,   // the same at 9 pt
  kRun,     // "ＭＳ ゴシック" 10.5 pt
};

struct ControlDesign {
  ControlId id;
  ControlKind kind;
  ControlId container;  // None: the window itself
  const char* caption;  // null: none
  int left, top, width, height;  // twips, in the container
  int tab;
  const char* tip;  // null: none
  ControlFont font;
};

// Design units: 1440 twips make an inch.
inline constexpr int kTwipsPerInch = 1440;
// The client area, in twips: the panels' width, and high enough for the notice label (which ends
// at 990) with a small margin. The panels are wider than they were first designed by the room
// Preview takes beside RUN, so that no control moved for it.
inline constexpr int kClientWidthTwips = 6228;
inline constexpr int kClientHeightTwips = 1080;
// Where start-up puts the panels.
inline constexpr int kPanelTopTwips = 0;
inline constexpr int kOptionsTopTwips = -10;

// The preview's dialog: its first client size, and its columns' first widths (folder, name, new
// name, note), in pixels at 96 dots per inch.
inline constexpr int kPreviewWidth = 760;
inline constexpr int kPreviewHeight = 480;
inline constexpr int kPreviewColumnWidths[] = {140, 160, 170, 250};

// Every control in creation order; the panels at their design places (start-up moves them). On the
// options panel four columns stand on two rows: the time sources ("LastWrite" above "Creation",
// "Taken" beside "Creation"), "Same > +1" above "separater", "Companions" above "Shift" with its
// box, and "set".
extern const std::array<ControlDesign, 25> kDesign;

// The design of `id`, which is in the table.
const ControlDesign& DesignOf(ControlId id);

// The controls a window makes, in creation order: the whole table where it offers "Taken";
// otherwise the table without Option3, in a frame as narrow as the other two need.
std::vector<ControlDesign> DesignFor(bool offersTaken);

// A control's place in pixels, in its container.
struct PixelPlace {
  int left = 0, top = 0, width = 0, height = 0;
  int right() const { return left + width; }
  friend bool operator==(const PixelPlace&, const PixelPlace&) = default;
};

// The time sources fitted to their captions in the font a window found, all in pixels (the frame
// in its container, the buttons in the frame). Each button becomes as wide as `wanted` asks, never
// narrower than placed; a button starts `gap` clear of the caption of the one before it in its row
// (the same top), moving right where it must, and that one then ends `gap` before it; the frame
// grows to hold every button with `margin` to spare at its right, moving left where it must to
// end at `rightmost`, but not past `leftmost`. Where even then a caption cannot be whole, the
// frame ends at `rightmost` and the buttons are cut at its margin.
void FitTimeSources(PixelPlace* frame, std::vector<PixelPlace>* buttons,
                    const std::vector<int>& wanted, int leftmost, int rightmost, int gap,
                    int margin);

// Whether a control of `kind` holds other controls.
bool IsContainer(ControlKind kind);

// Whether a control of `kind` takes the focus, and so has a place in the tab order.
bool TakesFocus(ControlKind kind);

}  // namespace tokiren::behaviour
