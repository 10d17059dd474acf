// How wide a window must be for its title bar to show the whole title.
#pragma once

#include <windows.h>

#include <string>

namespace tokiren::ui::win32 {

// The width in pixels of a window whose title bar shows `title` whole at `dpi`: the title in the
// system's caption font, and room for the window's icon and buttons. Window managers (and Wine
// under one) may put three buttons and an icon in the bar, each about a bar's height wide: five
// bar heights are kept for them and the bar's edges.
int TitleBarWidth(const std::wstring& title, int dpi);

// Makes `window` wide enough for its title where it is narrower, keeping it centred where it
// was; its push buttons move along so that they stay centred too.
void WidenForTitle(HWND window);

}  // namespace tokiren::ui::win32
