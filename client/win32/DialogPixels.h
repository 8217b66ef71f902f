#pragma once
// Dialog templates whose coordinates are pixels: the dialog manager reads a template's numbers as
// dialog units, which scale with the dialog's font, while the window's layout is fixed in pixels.

#include <windows.h>

namespace zel::win32 {

// Moves `dialog` to the rectangle of its DIALOGEX template `templateId` (taken as the outer
// frame) and every control of the template to its rectangle (relative to the client area), all
// read as pixels. False when the template is missing or is not a DIALOGEX one.
bool PlaceAtTemplatePixels(HWND dialog, HINSTANCE instance, int templateId);

}  // namespace zel::win32
