// The window manager's frame around the program's windows.
#pragma once

#include <functional>

class QWidget;

namespace orn {

// Runs `action` once, when `window` next appears on the screen.  The window
// manager adds its frame when it maps a window, so only from then on is the
// window's outer rectangle known.
void WhenOnScreen(QWidget& window, std::function<void()> action);

// Asks an X11 window manager for a caption without any buttons on `window`
// (a created top-level window); does nothing on other platforms.
void AskForCaptionOnly(QWidget& window);

} // namespace orn
