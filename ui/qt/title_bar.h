// How wide a window must be for the window manager to show its whole title.
#pragma once

class QWidget;

namespace tokiren::ui {

// The outer width `window` needs for its title to show whole in the title bar, with room for the
// bar's icon and buttons. Qt cannot ask the window manager, so this errs on the wide side: the
// title is measured in bold in the wider of the title-bar font Qt knows (the system's caption
// font on Windows) and the window's own font, and five square slots of a title bar's height are
// added: the icon, up to three buttons (minimise, maximise, close) and the frame's edges with the
// gaps between them. (Openbox's default theme shows all of these even on a dialog; at 96 dpi it
// cut a title Qt measures at 108 pixels in a window of 204 and showed it whole at 209.)
int TitleBarWidth(const QWidget& window);

}  // namespace tokiren::ui
