// A picture of the whole screen or of one window, for GUI tests and the README's pictures.
// Callers let the toolkit draw first (a few poll_event calls), since a window only shows what it
// has painted.
#pragma once

#include <string>

namespace kavri {

// Saves the whole screen as a PNG file: on X, the root window through ImageMagick's `import`;
// on Windows, the desktop as GDI draws it. False when it could not be taken: no display, no
// `import`, or the file was not written.
bool save_screenshot(const std::string& png_path);

// The same for the one top-level window of that title, as it stands on the screen (whatever
// covers it shows too); false also when no window has that title.
bool save_window_screenshot(const std::string& png_path, const std::string& title);

}  // namespace kavri
