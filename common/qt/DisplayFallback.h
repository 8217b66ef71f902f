#pragma once

namespace zel {

// Lets the programs run where there is no display: call before the application object exists.

// Chooses Qt's offscreen platform when no platform was asked for and neither an X11 nor a
// Wayland display is there, so a window program starts headless instead of aborting.
void UseOffscreenWithoutDisplay();

}  // namespace zel
