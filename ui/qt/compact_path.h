// Showing a long path in a fixed-width control by putting "..." in its middle.
#pragma once

#include <QFontMetrics>
#include <QString>

class QWidget;

namespace tokiren::ui {

// The format value of a path ellipsis, as callers pass it.
inline constexpr int kPathEllipsis = 0x4000;

// The longest form of `path` that fits `width` pixels: the path itself when it fits; otherwise its
// beginning, "...", and its end from the separator before the last name (the trailing separator
// counts as part of the text). Where even "..." and the last name do not fit, the last name is
// cut at its end too and "..." follows it.
QString CompactPath(const QString& path, const QFontMetrics& metrics, int width);

// Shows `path` in `ctl` (a label or a one-line text box) in its compact form for 97 % of the
// control's width, measured in the window's font. The full path goes to the control's "tag"
// property, and to its tool tip when the shown text differs (a tip that shows it as written, even
// where it looks like markup); the tool tip is never reset.
// `flags` without kPathEllipsis shows the path unshortened.
void CompactPathDisp(QWidget* ctl, const QString& path, int flags);

}  // namespace tokiren::ui
