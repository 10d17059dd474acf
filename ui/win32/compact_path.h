// The path display: a long path shortened in its middle, as DrawText does it.
#pragma once

#include <windows.h>

#include <string>

namespace tokiren::ui::win32 {

// The share of a control's width a shortened path may take.
inline constexpr double kUsableWidth = 0.97;

// `path` as `DrawTextW` shortens it with `flags` (DT_PATH_ELLIPSIS: "..." in place of a middle
// part, the last folder name kept) to fit `width` pixels in `font`, measured on `window`'s device
// context; the whole path when it fits. Nothing is drawn.
std::wstring CompactPath(HWND window, HFONT font, const std::wstring& path, int width, UINT flags);

}  // namespace tokiren::ui::win32
