// A picture of the whole screen or of one window, for GUI tests and the README's pictures. Each
// is taken once the display has drawn every window of this program as it stands: the windows
// are mapped, every exposure answered and every damage repaired, and the display has carried
// out the drawing, so that a window just shown is never pictured before it was painted. The
// program's toolkit is the platform's (FLTK on X, Win32 on Windows).
#pragma once

#include <string>

namespace kavri {

// Saves the whole screen as a PNG file: on X, the root window through ImageMagick's `import`;
// on Windows, the desktop as GDI draws it. False when it could not be taken: no display, no
// `import`, the windows were still not drawn after a few seconds, or the file was not written.
bool save_screenshot(const std::string& png_path);

// The same for the one top-level window of that title, as it stands on the screen (whatever
// covers it shows too); false also when no window has that title.
bool save_window_screenshot(const std::string& png_path, const std::string& title);

}  // namespace kavri
